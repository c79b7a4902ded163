#include "app/CatalFrm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/DataMod.h"
#include "platform/qt/ansi_text.h"
#include "platform/qt/db_check_box.h"
#include "platform/qt/db_edit.h"
#include "platform/qt/db_lookup_combo_box.h"
#include "platform/qt/db_memo.h"
#include "platform/qt/fonts.h"

using platform::qt::TDBCheckBox;
using platform::qt::TDBEdit;
using platform::qt::TDBLookupComboBox;
using platform::qt::TDBMemo;

TCatalogForm* CatalogForm = nullptr;

namespace {

QLabel* Label(const char* caption, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(QString::fromLatin1(caption), parent);
  label->setBuddy(buddy);
  return label;
}

TDBEdit* Edit(platform::TDataSource* source, const char* field, QWidget* parent) {
  auto* edit = new TDBEdit(parent);
  edit->SetDataSource(source);
  edit->SetDataField(field);
  return edit;
}

TDBLookupComboBox* Lookup(platform::TDataSource* source, const char* field,
                          platform::TDataSource* list, const char* key, QWidget* parent) {
  auto* box = new TDBLookupComboBox(parent);
  box->SetDataSource(source);
  box->SetDataField(field);
  box->SetListSource(list);
  box->SetKeyField(key);
  box->SetListField(key);
  return box;
}

TDBCheckBox* Check(platform::TDataSource* source, const char* field, const char* caption,
                   QWidget* parent) {
  auto* box = new TDBCheckBox(QString::fromLatin1(caption), parent);
  box->SetValueChecked("True");
  box->SetValueUnchecked("False");
  box->SetDataSource(source);
  box->SetDataField(field);
  return box;
}

}  // namespace

TCatalogForm::TCatalogForm(QWidget* parent)
    : TCatalogForm(&MastData->QvxcatSource, &MastData->CategorySource, &MastData->DevdistSource,
                   parent) {}

TCatalogForm::TCatalogForm(platform::TDataSource* titles, platform::TDataSource* categories,
                           platform::TDataSource* companies, QWidget* parent)
    : TRecordForm(titles, parent), titles_(titles) {
  setObjectName("CatalogForm");
  setWindowTitle("Catalog");
  setFont(platform::qt::MapFont("MS Sans Serif", 8));

  PageControl = new QTabWidget(this);
  PageControl->setObjectName("PageControl");
  TabSheet1 = new QWidget;
  TabSheet1->setObjectName("TabSheet1");
  TabSheet2 = new QWidget;
  TabSheet2->setObjectName("TabSheet2");
  PageControl->addTab(TabSheet1, "General");
  PageControl->addTab(TabSheet2, "Notes");

  // Page "General": labels on the left; Players and Mem. Blocks share a line, as do
  // the two check boxes, whose right-hand members line up.
  DBEditTitle = Edit(titles, "TITLE", TabSheet1);
  DBLookupComboBoxCategory = Lookup(titles, "CATEGORY", categories, "CATEGORY", TabSheet1);
  DBLookupComboBoxDeveloper = Lookup(titles, "DEVELOPER", companies, "DEVDIST", TabSheet1);
  DBLookupComboBoxDistributor = Lookup(titles, "DISTRIBUTR", companies, "DEVDIST", TabSheet1);
  DBEditPlayers = Edit(titles, "PLAYERS", TabSheet1);
  DBEditMemory = Edit(titles, "MEMORYBLKS", TabSheet1);
  DBCheckBoxAnalog = Check(titles, "ANALOG", "Analog Compatible", TabSheet1);
  DBCheckBoxDualshock = Check(titles, "DUALSHOCK", "Dual Shock Compatible", TabSheet1);
  LabelTitle = Label("Title:", DBEditTitle, TabSheet1);
  LabelCategory = Label("Category:", DBLookupComboBoxCategory, TabSheet1);
  LabelDeveloper = Label("Developer:", DBLookupComboBoxDeveloper, TabSheet1);
  LabelDistributor = Label("Distributor:", DBLookupComboBoxDistributor, TabSheet1);
  LabelPlayers = Label("Players:", DBEditPlayers, TabSheet1);
  LabelMemory = Label("Mem. Blocks:", DBEditMemory, TabSheet1);

  const QFontMetrics metrics(font());
  DBEditTitle->setMinimumWidth(metrics.averageCharWidth() * 44);
  const int short_width = metrics.horizontalAdvance("00000") + 16;
  DBEditPlayers->setFixedWidth(short_width);
  DBEditMemory->setFixedWidth(short_width);

  auto* general = new QGridLayout(TabSheet1);
  general->setContentsMargins(10, 12, 10, 10);
  general->setHorizontalSpacing(8);
  general->setVerticalSpacing(7);
  general->addWidget(LabelTitle, 0, 0);
  general->addWidget(DBEditTitle, 0, 1, 1, 3);
  general->addWidget(LabelCategory, 1, 0);
  general->addWidget(DBLookupComboBoxCategory, 1, 1, 1, 3);
  general->addWidget(LabelDeveloper, 2, 0);
  general->addWidget(DBLookupComboBoxDeveloper, 2, 1, 1, 3);
  general->addWidget(LabelDistributor, 3, 0);
  general->addWidget(DBLookupComboBoxDistributor, 3, 1, 1, 3);
  general->addWidget(LabelPlayers, 4, 0);
  general->addWidget(DBEditPlayers, 4, 1, Qt::AlignLeft);
  general->addWidget(LabelMemory, 4, 2);
  general->addWidget(DBEditMemory, 4, 3);
  general->addWidget(DBCheckBoxAnalog, 5, 1);
  general->addWidget(DBCheckBoxDualshock, 5, 2, 1, 2);
  general->setColumnStretch(1, 1);
  general->setRowStretch(6, 1);

  // Page "Notes": the memo fills the page.
  DBMemoNotes = new TDBMemo(TabSheet2);
  DBMemoNotes->setObjectName("DBMemoNotes");
  DBMemoNotes->SetDataSource(titles);
  DBMemoNotes->SetDataField("NOTES");
  LabelNotesProblem = new QLabel(TabSheet2);
  LabelNotesProblem->setObjectName("LabelNotesProblem");
  LabelNotesProblem->setWordWrap(true);
  LabelNotesProblem->hide();
  auto* notes = new QVBoxLayout(TabSheet2);
  notes->setContentsMargins(6, 6, 6, 6);
  notes->addWidget(LabelNotesProblem);
  notes->addWidget(DBMemoNotes);

  // OK is not the default button: Enter neither closes the form nor leaves the notes.
  QHBoxLayout* buttons = CreateButtons();
  ButtonApply->setEnabled(false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setSpacing(8);
  layout->addWidget(PageControl);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  DBEditTitle->setObjectName("DBEditTitle");
  DBLookupComboBoxCategory->setObjectName("DBLookupComboBoxCategory");
  DBLookupComboBoxDeveloper->setObjectName("DBLookupComboBoxDeveloper");
  DBLookupComboBoxDistributor->setObjectName("DBLookupComboBoxDistributor");
  DBEditPlayers->setObjectName("DBEditPlayers");
  DBEditMemory->setObjectName("DBEditMemory");
  DBCheckBoxAnalog->setObjectName("DBCheckBoxAnalog");
  DBCheckBoxDualshock->setObjectName("DBCheckBoxDualshock");

  // The tab order follows the rows of the page, then the buttons.
  QWidget* order[] = {DBEditTitle,
                      DBLookupComboBoxCategory,
                      DBLookupComboBoxDeveloper,
                      DBLookupComboBoxDistributor,
                      DBEditPlayers,
                      DBEditMemory,
                      DBCheckBoxAnalog,
                      DBCheckBoxDualshock,
                      ButtonOK,
                      ButtonCancel,
                      ButtonApply};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  connect(DBEditTitle, &TDBEdit::Change, this, &TCatalogForm::UpdateApplyButton);
  connect(DBLookupComboBoxCategory, &TDBLookupComboBox::Click, this,
          &TCatalogForm::UpdateApplyButton);
  connect(DBLookupComboBoxDeveloper, &TDBLookupComboBox::Click, this,
          &TCatalogForm::UpdateApplyButton);
  connect(DBLookupComboBoxDistributor, &TDBLookupComboBox::Click, this,
          &TCatalogForm::UpdateApplyButton);
  connect(DBEditPlayers, &TDBEdit::Change, this, &TCatalogForm::UpdateApplyButton);
  connect(DBEditMemory, &TDBEdit::Change, this, &TCatalogForm::UpdateApplyButton);
  connect(DBCheckBoxAnalog, &TDBCheckBox::Click, this, &TCatalogForm::UpdateApplyButton);
  connect(DBCheckBoxDualshock, &TDBCheckBox::Click, this, &TCatalogForm::UpdateApplyButton);
  connect(DBMemoNotes, &TDBMemo::Change, this, &TCatalogForm::UpdateApplyButton);
}

void TCatalogForm::FormShow() {
  PageControl->setCurrentWidget(TabSheet1);
  DBEditTitle->setFocus();
  // Without its memo file the title table opens, but no notes can be shown or kept.
  std::string problem;
  if (auto* table = dynamic_cast<TDevazozDataSet*>(titles_->DataSet()))
    problem = table->MemoProblem();
  LabelNotesProblem->setText(platform::qt::AnsiToQString(problem.empty() ? "" : problem + "."));
  LabelNotesProblem->setVisible(!problem.empty());
  DBMemoNotes->SetReadOnly(!problem.empty());
}

void TCatalogForm::UpdateApplyButton() {
  if (Editing()) ButtonApply->setEnabled(true);
}
