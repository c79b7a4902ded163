// TSortDialog (instance SortDialog): chooses the index tag that orders a table.
// Callers fill IndexNames and IndexCaptions (one caption per tag, same position)
// and set DataSet first; OK sets the table's IndexName to the chosen tag.
#ifndef APP_SORTDLG_H_
#define APP_SORTDLG_H_

#include <string>
#include <vector>

#include "app/DataMod.h"
#include "platform/qt/modal_form.h"

class QComboBox;
class QLabel;
class QPushButton;

class TSortDialog : public platform::qt::TModalForm {
  Q_OBJECT

 public:
  explicit TSortDialog(QWidget* parent = nullptr);

  void FormCreate();
  void FormShow() override;
  void FormClose(platform::qt::TCloseAction& action) override;

  TDevazozDataSet* DataSet = nullptr;
  std::vector<std::string> IndexNames;
  std::vector<std::string> IndexCaptions;

  QLabel* SortByLabel;
  QComboBox* SortByComboBox;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
};

extern TSortDialog* SortDialog;

#endif  // APP_SORTDLG_H_
