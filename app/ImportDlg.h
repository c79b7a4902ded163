// TImportDialog: File > Import's dialog. It shows a CSV list as it will be read:
// the character set and separator (detected, and changeable), the first rows under
// their headers, and above each column the field it goes into (filled by header
// names and synonyms, changeable per column, "(ignored)" leaves it out); whether
// titles already in the catalog are skipped or added; and what keeps the list from
// being imported (a damaged file, no column for the title). Import is enabled only
// when the list can be imported. Read afterwards through Choices() and Rows().
#ifndef APP_IMPORTDLG_H_
#define APP_IMPORTDLG_H_

#include <QString>
#include <optional>
#include <vector>

#include "catalog/csv_survey.h"
#include "catalog/field_map.h"
#include "catalog/table_import.h"
#include "platform/qt/modal_form.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

class TImportDialog : public platform::qt::TModalForm {
  Q_OBJECT

 public:
  // Reads the list at path (a survey of the whole file). fields: what the columns
  // can fill; key: the index of the field a row needs (the title).
  TImportDialog(const QString& path, std::vector<catalog::TargetField> fields, int key,
                QWidget* parent = nullptr);

  catalog::ImportChoices Choices() const;
  int64_t Rows() const { return survey_.rows; }
  const catalog::CsvSurvey& Survey() const { return survey_; }

  // Handlers.
  void EncodingComboBoxChange();
  void SeparatorComboBoxChange();
  void MappingChange();

  QLabel* FileLabel;
  QLabel* EncodingLabel;
  QComboBox* EncodingComboBox;
  QLabel* SeparatorLabel;
  QComboBox* SeparatorComboBox;
  QLabel* PreviewLabel;
  QTableWidget* PreviewGrid;
  QLabel* StatusLabel;
  QCheckBox* DuplicatesCheckBox;
  QPushButton* ImportBtn;
  QPushButton* CancelBtn;

  // The mapping box of a column.
  QComboBox* ColumnBox(int column) const;

 private:
  // Reads the list again with the chosen (or, the first time, detected) format
  // and fills the controls; columns keep their fields when keep_mapping is set and
  // the column count stayed.
  void ReadList(std::optional<catalog::Encoding> encoding, std::optional<char> separator,
                bool keep_mapping);
  void FillPreview(const std::vector<int>& mapping);
  void UpdateStatus();

  QString path_;
  std::vector<catalog::TargetField> fields_;
  int key_;
  catalog::CsvSurvey survey_;
  bool filling_ = false;
};

#endif  // APP_IMPORTDLG_H_
