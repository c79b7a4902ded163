#include "platform/qt/db_navigator.h"

#include "platform/dataset/dataset.h"
#include "platform/qt/message_dlg.h"

namespace platform::qt {

TDBNavigator::TDBNavigator(QWidget* parent)
    : QWidget(parent), link_(std::make_unique<TDataLink>()) {}

TDBNavigator::~TDBNavigator() { link_->SetDataSource(nullptr); }

void TDBNavigator::BtnClick(TNavigateBtn button) {
  TDataSource* source = link_->DataSource();
  if (source == nullptr || source->State() == TDataSetState::dsInactive) return;
  TDataSet* ds = source->DataSet();
  switch (button) {
    case TNavigateBtn::nbFirst:
      ds->First();
      break;
    case TNavigateBtn::nbPrior:
      ds->Prior();
      break;
    case TNavigateBtn::nbNext:
      ds->Next();
      break;
    case TNavigateBtn::nbLast:
      ds->Last();
      break;
    case TNavigateBtn::nbInsert:
      ds->Insert();
      break;
    case TNavigateBtn::nbEdit:
      ds->Edit();
      break;
    case TNavigateBtn::nbPost:
      ds->Post();
      break;
    case TNavigateBtn::nbCancel:
      ds->Cancel();
      break;
    case TNavigateBtn::nbRefresh:
      ds->Refresh();
      break;
    case TNavigateBtn::nbDelete:
      if (!confirm_delete_ ||
          MessageDlg("Delete record?", TMsgDlgType::mtConfirmation, mbOK | mbCancel) != mrCancel)
        ds->Delete();
      break;
  }
}

}  // namespace platform::qt
