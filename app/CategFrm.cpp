#include "app/CategFrm.h"

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

TCategoryForm* CategoryForm = nullptr;

TCategoryForm::TCategoryForm(QWidget* parent) : TCategoryForm(&MastData->CategorySource, parent) {}

TCategoryForm::TCategoryForm(platform::TDataSource* source, QWidget* parent)
    : TModalForm(parent), source_(source) {
  setObjectName("CategoryForm");
  setWindowTitle("Categories");
  setFont(platform::qt::MapFont("MS Sans Serif", 8));

  DBEditCategory = new platform::qt::TDBEdit(this);
  DBEditCategory->setObjectName("DBEditCategory");
  DBEditCategory->SetDataSource(source);
  DBEditCategory->SetDataField("CATEGORY");
  DBEditCategory->setMinimumWidth(QFontMetrics(font()).averageCharWidth() * 36);
  Label1 = new QLabel("Category:", this);
  Label1->setBuddy(DBEditCategory);

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
  layout->addWidget(DBEditCategory);
  layout->addSpacing(14);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(ButtonOK, &QPushButton::clicked, this, &TCategoryForm::ButtonOKClick);
  connect(ButtonCancel, &QPushButton::clicked, this, &TCategoryForm::ButtonCancelClick);
  connect(ButtonApply, &QPushButton::clicked, this, &TCategoryForm::ButtonApplyClick);
}

bool TCategoryForm::Editing() const {
  const TDataSetState state = source_->State();
  return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

void TCategoryForm::FormShow() { DBEditCategory->setFocus(); }

void TCategoryForm::ButtonOKClick() {
  platform::qt::RunHandler([this] {
    if (Editing()) source_->DataSet()->Post();
    Close();
  });
}

void TCategoryForm::ButtonApplyClick() {
  platform::qt::RunHandler([this] {
    if (Editing()) source_->DataSet()->Post();
    ButtonApply->setEnabled(false);
  });
}

void TCategoryForm::ButtonCancelClick() { Close(); }

void TCategoryForm::FormCloseQuery(bool& can_close) {
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
