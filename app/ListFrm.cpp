#include "app/ListFrm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/qt/db_edit.h"
#include "platform/qt/fonts.h"

TListEntryForm::TListEntryForm(platform::TDataSource* source, const Layout& shape, QWidget* parent)
    : TRecordForm(source, parent) {
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

  QHBoxLayout* buttons = CreateButtons();
  SetDefaultButton(ButtonOK);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 10);
  layout->setSpacing(4);
  layout->addWidget(Label1);
  layout->addWidget(edit_);
  layout->addSpacing(14);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TListEntryForm::FormShow() { edit_->setFocus(); }
