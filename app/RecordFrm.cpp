#include "app/RecordFrm.h"

#include <QHBoxLayout>
#include <QPushButton>

#include "platform/dataset/datalink.h"
#include "platform/dataset/dataset.h"
#include "platform/qt/message_dlg.h"
#include "platform/qt/run_handler.h"

using platform::TDataSetState;

namespace {

constexpr int kButtonWidth = 75;

QPushButton* Button(const char* name, const char* caption, QWidget* parent) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setObjectName(name);
  button->setMinimumWidth(kButtonWidth);
  return button;
}

}  // namespace

TRecordForm::TRecordForm(platform::TDataSource* source, QWidget* parent)
    : TModalForm(parent), source_(source) {}

QHBoxLayout* TRecordForm::CreateButtons() {
  ButtonOK = Button("ButtonOK", "OK", this);
  ButtonCancel = Button("ButtonCancel", "Cancel", this);
  ButtonApply = Button("ButtonApply", "&Apply", this);
  SetCancelButton(ButtonCancel);
  connect(ButtonOK, &QPushButton::clicked, this, &TRecordForm::ButtonOKClick);
  connect(ButtonCancel, &QPushButton::clicked, this, &TRecordForm::ButtonCancelClick);
  connect(ButtonApply, &QPushButton::clicked, this, &TRecordForm::ButtonApplyClick);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  for (QPushButton* button : {ButtonOK, ButtonCancel, ButtonApply}) row->addWidget(button);
  return row;
}

bool TRecordForm::Editing() const {
  const TDataSetState state = source_->State();
  return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

void TRecordForm::ButtonOKClick() {
  platform::qt::RunHandler([this] {
    if (Editing()) source_->DataSet()->Post();
    Close();
  });
}

void TRecordForm::ButtonApplyClick() {
  platform::qt::RunHandler([this] {
    if (Editing()) source_->DataSet()->Post();
    ButtonApply->setEnabled(false);
  });
}

void TRecordForm::ButtonCancelClick() { Close(); }

void TRecordForm::FormCloseQuery(bool& can_close) {
  if (!Editing()) return;
  switch (platform::qt::MessageDlg(
      "Do you want to save changes?", platform::qt::TMsgDlgType::mtWarning,
      platform::qt::mbYes | platform::qt::mbNo | platform::qt::mbCancel, this)) {
    case platform::qt::mrYes:
      source_->DataSet()->Post();
      break;
    case platform::qt::mrNo:
      source_->DataSet()->Cancel();
      break;
    default:
      can_close = false;
      break;
  }
}
