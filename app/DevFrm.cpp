#include "app/DevFrm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/DataMod.h"
#include "platform/qt/db_edit.h"
#include "platform/qt/fonts.h"
#include "platform/qt/message_dlg.h"
#include "platform/qt/run_handler.h"

using platform::TDataSetState;

TDeveloperForm* DeveloperForm = nullptr;

TDeveloperForm::TDeveloperForm(QWidget* parent) : TDeveloperForm(&MastData->DevdistSource, parent) {}

TDeveloperForm::TDeveloperForm(platform::TDataSource* source, QWidget* parent)
    : TModalForm(parent), source_(source) {
  setObjectName("DeveloperForm");
  setWindowTitle("Developers/Distributors");
  setFont(platform::qt::MapFont("MS Sans Serif", 8));

  DBEditDevdist = new platform::qt::TDBEdit(this);
  DBEditDevdist->setObjectName("DBEditDevdist");
  DBEditDevdist->SetDataSource(source);
  DBEditDevdist->SetDataField("DEVDIST");
  DBEditDevdist->setMinimumWidth(QFontMetrics(font()).averageCharWidth() * 36);
  Label1 = new QLabel("Developer/Distributor:", this);
  Label1->setBuddy(DBEditDevdist);

  ButtonOK = new QPushButton("OK", this);
  ButtonOK->setObjectName("ButtonOK");
  ButtonCancel = new QPushButton("Cancel", this);
  ButtonCancel->setObjectName("ButtonCancel");
  ButtonApply = new QPushButton("&Apply", this);
  ButtonApply->setObjectName("ButtonApply");
  SetDefaultButton(ButtonOK);
  SetCancelButton(ButtonCancel);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (QPushButton* button : {ButtonOK, ButtonCancel, ButtonApply}) {
    button->setMinimumWidth(75);
    buttons->addWidget(button);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 10);
  layout->setSpacing(4);
  layout->addWidget(Label1);
  layout->addWidget(DBEditDevdist);
  layout->addSpacing(14);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(ButtonOK, &QPushButton::clicked, this, &TDeveloperForm::ButtonOKClick);
  connect(ButtonCancel, &QPushButton::clicked, this, &TDeveloperForm::ButtonCancelClick);
  connect(ButtonApply, &QPushButton::clicked, this, &TDeveloperForm::ButtonApplyClick);
}

bool TDeveloperForm::Editing() const {
  const TDataSetState state = source_->State();
  return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

void TDeveloperForm::FormShow() { DBEditDevdist->setFocus(); }

void TDeveloperForm::ButtonOKClick() {
  platform::qt::RunHandler([this] {
    if (Editing()) source_->DataSet()->Post();
    Close();
  });
}

void TDeveloperForm::ButtonApplyClick() {
  platform::qt::RunHandler([this] {
    if (Editing()) source_->DataSet()->Post();
    ButtonApply->setEnabled(false);
  });
}

void TDeveloperForm::ButtonCancelClick() { Close(); }

void TDeveloperForm::FormCloseQuery(bool& can_close) {
  if (!Editing()) return;
  switch (platform::qt::MessageDlg("Do you want to save changes?",
                                   platform::qt::TMsgDlgType::mtWarning,
                                   platform::qt::mbYes | platform::qt::mbNo | platform::qt::mbCancel,
                                   this)) {
    case platform::qt::mrYes: source_->DataSet()->Post(); break;
    case platform::qt::mrNo: source_->DataSet()->Cancel(); break;
    default: can_close = false; break;
  }
}
