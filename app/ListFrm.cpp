#include "app/ListFrm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/dataset/datalink.h"
#include "platform/dataset/dataset.h"
#include "platform/qt/db_edit.h"
#include "platform/qt/fonts.h"
#include "platform/qt/message_dlg.h"
#include "platform/qt/run_handler.h"

using platform::TDataSetState;

TListEntryForm::TListEntryForm(platform::TDataSource* source, const Layout& shape, QWidget* parent)
    : TModalForm(parent), source_(source) {
  setObjectName(shape.object_name);
  setWindowTitle(shape.caption);
  setFont(platform::qt::MapFont("MS Sans Serif", 8));

  edit_ = new platform::qt::TDBEdit(this);
  edit_->setObjectName(shape.edit_name);
  edit_->SetDataSource(source);
  edit_->SetDataField(shape.field_name);
  edit_->setMinimumWidth(QFontMetrics(font()).averageCharWidth() * 36);
  Label1 = new QLabel(shape.label, this);
  Label1->setBuddy(edit_);

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
  layout->addWidget(edit_);
  layout->addSpacing(14);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(ButtonOK, &QPushButton::clicked, this, &TListEntryForm::ButtonOKClick);
  connect(ButtonCancel, &QPushButton::clicked, this, &TListEntryForm::ButtonCancelClick);
  connect(ButtonApply, &QPushButton::clicked, this, &TListEntryForm::ButtonApplyClick);
}

bool TListEntryForm::Editing() const {
  const TDataSetState state = source_->State();
  return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

void TListEntryForm::FormShow() { edit_->setFocus(); }

void TListEntryForm::ButtonOKClick() {
  platform::qt::RunHandler([this] {
    if (Editing()) source_->DataSet()->Post();
    Close();
  });
}

void TListEntryForm::ButtonApplyClick() {
  platform::qt::RunHandler([this] {
    if (Editing()) source_->DataSet()->Post();
    ButtonApply->setEnabled(false);
  });
}

void TListEntryForm::ButtonCancelClick() { Close(); }

void TListEntryForm::FormCloseQuery(bool& can_close) {
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
