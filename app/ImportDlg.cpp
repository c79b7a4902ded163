#include "app/ImportDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "platform/qt/ansi_text.h"
#include "platform/qt/fonts.h"
#include "platform/qt/progress_window.h"

namespace {

using platform::qt::AnsiToQString;

constexpr int kPreviewRows = 20;

QString Plural(int64_t n, const char* one, const char* many) {
  return QString::number(n) + " " + (n == 1 ? one : many);
}

}  // namespace

TImportDialog::TImportDialog(const QString& path, std::vector<catalog::TargetField> fields, int key,
                             QWidget* parent)
    : TModalForm(parent), path_(path), fields_(std::move(fields)), key_(key) {
  setObjectName("ImportDialog");
  setWindowTitle("Import");
  setFont(platform::qt::MapFont("MS Sans Serif", 8));

  FileLabel = new QLabel("List: " + QFileInfo(path).fileName(), this);
  FileLabel->setToolTip(path);
  EncodingComboBox = new QComboBox(this);
  EncodingComboBox->setObjectName("EncodingComboBox");
  EncodingComboBox->addItems({"UTF-8", "Windows-1252"});
  EncodingLabel = new QLabel("&Character set:", this);
  EncodingLabel->setBuddy(EncodingComboBox);
  SeparatorComboBox = new QComboBox(this);
  SeparatorComboBox->setObjectName("SeparatorComboBox");
  SeparatorComboBox->addItems({"Comma", "Semicolon", "Tab"});
  SeparatorLabel = new QLabel("&Separator:", this);
  SeparatorLabel->setBuddy(SeparatorComboBox);
  PreviewGrid = new QTableWidget(this);
  PreviewGrid->setObjectName("PreviewGrid");
  PreviewGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  PreviewGrid->setSelectionMode(QAbstractItemView::NoSelection);
  PreviewGrid->setMinimumSize(760, 280);
  PreviewLabel = new QLabel("&Columns, the fields they go into, and the first rows:", this);
  PreviewLabel->setBuddy(PreviewGrid);
  StatusLabel = new QLabel(this);
  StatusLabel->setObjectName("StatusLabel");
  StatusLabel->setWordWrap(true);
  DuplicatesCheckBox = new QCheckBox("&Add titles that are already in the catalog", this);
  DuplicatesCheckBox->setObjectName("DuplicatesCheckBox");
  DuplicatesCheckBox->setToolTip("Unticked, rows whose title the catalog holds are skipped");
  ImportBtn = new QPushButton("&Import", this);
  ImportBtn->setObjectName("ImportBtn");
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  SetDefaultButton(ImportBtn);
  SetCancelButton(CancelBtn);
  SetButtonModalResult(ImportBtn, platform::qt::mrOk);
  SetButtonModalResult(CancelBtn, platform::qt::mrCancel);

  auto* format = new QHBoxLayout;
  format->addWidget(EncodingLabel);
  format->addWidget(EncodingComboBox);
  format->addSpacing(16);
  format->addWidget(SeparatorLabel);
  format->addWidget(SeparatorComboBox);
  format->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(DuplicatesCheckBox);
  buttons->addStretch(1);
  for (QPushButton* button : {ImportBtn, CancelBtn}) {
    button->setMinimumWidth(75);
    buttons->addWidget(button);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 10);
  layout->addWidget(FileLabel);
  layout->addLayout(format);
  layout->addWidget(PreviewLabel);
  layout->addWidget(PreviewGrid, 1);
  layout->addWidget(StatusLabel);
  layout->addLayout(buttons);
  setTabOrder(EncodingComboBox, SeparatorComboBox);
  setTabOrder(SeparatorComboBox, PreviewGrid);
  setTabOrder(PreviewGrid, DuplicatesCheckBox);
  setTabOrder(DuplicatesCheckBox, ImportBtn);
  setTabOrder(ImportBtn, CancelBtn);

  ReadList(std::nullopt, std::nullopt, false);
  connect(EncodingComboBox, &QComboBox::currentIndexChanged, this,
          &TImportDialog::EncodingComboBoxChange);
  connect(SeparatorComboBox, &QComboBox::currentIndexChanged, this,
          &TImportDialog::SeparatorComboBoxChange);
}

QComboBox* TImportDialog::ColumnBox(int column) const {
  return qobject_cast<QComboBox*>(PreviewGrid->cellWidget(0, column));
}

catalog::ImportChoices TImportDialog::Choices() const {
  catalog::ImportChoices choices;
  choices.format = survey_.format;
  for (int c = 0; c < PreviewGrid->columnCount(); ++c) {
    QComboBox* box = ColumnBox(c);
    choices.columns.push_back(box != nullptr ? box->currentIndex() - 1 : -1);
  }
  choices.add_duplicates = DuplicatesCheckBox->isChecked();
  return choices;
}

void TImportDialog::EncodingComboBoxChange() {
  if (filling_) return;
  ReadList(
      EncodingComboBox->currentIndex() == 0 ? catalog::Encoding::kUtf8 : catalog::Encoding::kCp1252,
      survey_.format.separator, true);
}

void TImportDialog::SeparatorComboBoxChange() {
  if (filling_) return;
  static const char kSeparators[] = {',', ';', '\t'};
  int i = SeparatorComboBox->currentIndex();
  ReadList(survey_.format.encoding, kSeparators[i < 0 || i > 2 ? 0 : i], false);
}

void TImportDialog::MappingChange() {
  if (filling_) return;
  // A field takes one column: choosing it for this column takes it from another.
  auto* changed = qobject_cast<QComboBox*>(sender());
  filling_ = true;
  for (int c = 0; changed != nullptr && c < PreviewGrid->columnCount(); ++c) {
    QComboBox* box = ColumnBox(c);
    if (box != changed && box->currentIndex() > 0 && box->currentIndex() == changed->currentIndex())
      box->setCurrentIndex(0);
  }
  filling_ = false;
  UpdateStatus();
}

void TImportDialog::ReadList(std::optional<catalog::Encoding> encoding,
                             std::optional<char> separator, bool keep_mapping) {
  std::vector<int> mapping;
  if (keep_mapping) mapping = Choices().columns;
  {
    // A long list takes a moment to read through: the window says so and can stop it.
    platform::qt::TProgressWindow progress("Import", this);
    progress.Begin("Reading " + QFileInfo(path_).fileName(), 0);
    survey_ = catalog::SurveyCsv(catalog::FileOpener(path_.toStdString()), encoding, separator,
                                 kPreviewRows, [&](int64_t done, int64_t total) {
                                   if (total != progress.StageTotal())
                                     progress.Begin(progress.StageText(), total);
                                   return progress.Step(done);
                                 });
  }
  if (mapping.size() != survey_.headers.size())
    mapping = catalog::MapColumns(survey_.headers, fields_);
  filling_ = true;
  EncodingComboBox->setCurrentIndex(survey_.format.encoding == catalog::Encoding::kUtf8 ? 0 : 1);
  SeparatorComboBox->setCurrentIndex(survey_.format.separator == ';'    ? 1
                                     : survey_.format.separator == '\t' ? 2
                                                                        : 0);
  FillPreview(mapping);
  filling_ = false;
  UpdateStatus();
}

void TImportDialog::FillPreview(const std::vector<int>& mapping) {
  const int columns = int(survey_.headers.size());
  PreviewGrid->clear();
  PreviewGrid->setColumnCount(columns);
  PreviewGrid->setRowCount(columns > 0 ? 1 + int(survey_.preview.size()) : 0);
  QStringList headers, lines{"Field"};
  for (const std::string& h : survey_.headers) headers << AnsiToQString(h);
  for (int64_t line : survey_.preview_lines) lines << QString::number(line);
  PreviewGrid->setHorizontalHeaderLabels(headers);
  PreviewGrid->setVerticalHeaderLabels(lines);
  for (int c = 0; c < columns; ++c) {
    auto* box = new QComboBox;
    box->setObjectName("ColumnBox" + QString::number(c));
    box->setAccessibleName("Field for column " + headers[c]);
    box->addItem("(ignored)");
    for (const catalog::TargetField& f : fields_)
      box->addItem(AnsiToQString(f.label.empty() ? f.name : f.label));
    box->setCurrentIndex(size_t(c) < mapping.size() ? mapping[size_t(c)] + 1 : 0);
    connect(box, &QComboBox::currentIndexChanged, this, &TImportDialog::MappingChange);
    PreviewGrid->setCellWidget(0, c, box);
  }
  for (size_t r = 0; r < survey_.preview.size(); ++r) {
    const std::vector<std::string>& row = survey_.preview[r];
    for (int c = 0; c < columns && size_t(c) < row.size(); ++c) {
      QString text = AnsiToQString(row[size_t(c)]);
      text.replace("\r\n", " ").replace('\n', ' ').replace('\r', ' ');
      PreviewGrid->setItem(int(r) + 1, c, new QTableWidgetItem(text));
    }
  }
  PreviewGrid->resizeColumnsToContents();
  for (int c = 0; c < columns; ++c)
    PreviewGrid->setColumnWidth(c, std::min(PreviewGrid->columnWidth(c), 220));
  // Text rows as high as a line; the row of boxes as high as a box.
  const int line = PreviewGrid->fontMetrics().height() + 6;
  for (int r = 1; r < PreviewGrid->rowCount(); ++r) PreviewGrid->setRowHeight(r, line);
  if (columns > 0) PreviewGrid->setRowHeight(0, ColumnBox(0)->sizeHint().height() + 2);
}

void TImportDialog::UpdateStatus() {
  QString text;
  bool can_import = survey_.error.empty();
  if (!can_import) {
    text = "This list cannot be imported: " + QString::fromStdString(survey_.error);
  } else {
    text = Plural(survey_.rows, "row", "rows") + " to import (" +
           catalog::EncodingName(survey_.format.encoding) + ", " +
           catalog::SeparatorName(survey_.format.separator) + "-separated).";
    if (survey_.ragged_rows > 0)
      text += " " + Plural(survey_.ragged_rows, "row has", "rows have") +
              " another number of columns than the header (the first on line " +
              QString::number(survey_.first_ragged_line) + ") and will be skipped.";
    bool key_mapped = key_ < 0;
    for (int f : Choices().columns) key_mapped = key_mapped || f == key_;
    if (!key_mapped) {
      const catalog::TargetField& key = fields_[size_t(key_)];
      text += " Choose the column that holds the " +
              AnsiToQString(key.label.empty() ? key.name : key.label).toLower() + ".";
      can_import = false;
    }
  }
  StatusLabel->setText(text);
  ImportBtn->setEnabled(can_import);
}
