// TCatalogForm (instance CatalogForm): the catalog record form. It edits the
// current title of QvxcatTable through data-aware controls bound to QvxcatSource;
// OK, Cancel, Apply and the close question are the record form's (RecordFrm.h). The
// Category box lists the category table, Developer and Distributor both list the
// developer/distributor table.
#ifndef APP_CATALFRM_H_
#define APP_CATALFRM_H_

#include "app/RecordFrm.h"

class QLabel;
class QTabWidget;
class QWidget;

namespace platform {
class TDataSource;
}
namespace platform::qt {
class TDBCheckBox;
class TDBEdit;
class TDBLookupComboBox;
class TDBMemo;
}  // namespace platform::qt

class TCatalogForm : public TRecordForm {
  Q_OBJECT

 public:
  // Binds to the data module's QvxcatSource, CategorySource and DevdistSource.
  explicit TCatalogForm(QWidget* parent = nullptr);
  // Binds to the given sources (the title table's, the category table's and the
  // developer/distributor table's).
  TCatalogForm(platform::TDataSource* titles, platform::TDataSource* categories,
               platform::TDataSource* companies, QWidget* parent = nullptr);

  void FormShow() override;
  void UpdateApplyButton();

  QTabWidget* PageControl;
  QWidget* TabSheet1;
  QWidget* TabSheet2;
  QLabel* LabelTitle;
  QLabel* LabelCategory;
  QLabel* LabelDeveloper;
  QLabel* LabelDistributor;
  QLabel* LabelPlayers;
  QLabel* LabelMemory;
  platform::qt::TDBEdit* DBEditTitle;
  platform::qt::TDBLookupComboBox* DBLookupComboBoxCategory;
  platform::qt::TDBLookupComboBox* DBLookupComboBoxDeveloper;
  platform::qt::TDBLookupComboBox* DBLookupComboBoxDistributor;
  platform::qt::TDBEdit* DBEditPlayers;
  platform::qt::TDBEdit* DBEditMemory;
  platform::qt::TDBCheckBox* DBCheckBoxAnalog;
  platform::qt::TDBCheckBox* DBCheckBoxDualshock;
  platform::qt::TDBMemo* DBMemoNotes;
  // Above the notes: what keeps them from being shown (the memo file missing).
  QLabel* LabelNotesProblem;

 private:
  platform::TDataSource* titles_;
};

extern TCatalogForm* CatalogForm;

#endif  // APP_CATALFRM_H_
