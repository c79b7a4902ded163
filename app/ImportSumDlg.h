// TImportSummaryDialog: what an import did, shown when it ends (rows read, titles
// added, rows skipped with the first line numbers and reasons, values cut, lookup
// entries added, and where it stopped when it did not reach the end), with "Undo this
// import", which the caller carries out when ShowModal returns mrUndo.
#ifndef APP_IMPORTSUMDLG_H_
#define APP_IMPORTSUMDLG_H_

#include <string>
#include <vector>

#include "platform/qt/modal_form.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

class TImportSummaryDialog : public platform::qt::TModalForm {
  Q_OBJECT

 public:
  static constexpr int mrUndo = 100;

  // lines: the summary in the interface's ANSI set; can_undo: the import added
  // something.
  TImportSummaryDialog(const std::vector<std::string>& lines, bool can_undo,
                       QWidget* parent = nullptr);

  QLabel* HeadingLabel;
  QPlainTextEdit* SummaryMemo;
  QPushButton* UndoBtn;
  QPushButton* CloseBtn;
};

#endif  // APP_IMPORTSUMDLG_H_
