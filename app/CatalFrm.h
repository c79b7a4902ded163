// TCatalogForm (instance CatalogForm): the catalog record form. It edits the
// current title of QvxcatTable through data-aware controls bound to QvxcatSource;
// the form only decides when to post, when to cancel and when to ask. The
// Category box lists the category table, Developer and Distributor both list the
// developer/distributor table.
#ifndef APP_CATALFRM_H_
#define APP_CATALFRM_H_

#include "platform/qt/modal_form.h"

class QLabel;
class QPushButton;
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

class TCatalogForm : public platform::qt::TModalForm {
  Q_OBJECT

 public:
  // Binds to the data module's QvxcatSource, CategorySource and DevdistSource.
  explicit TCatalogForm(QWidget* parent = nullptr);
  // Binds to the given sources (the title table's, the category table's and the
  // developer/distributor table's).
  TCatalogForm(platform::TDataSource* titles, platform::TDataSource* categories,
               platform::TDataSource* companies, QWidget* parent = nullptr);

  void FormShow() override;
  void FormCloseQuery(bool& can_close) override;
  void ButtonOKClick();
  void ButtonCancelClick();
  void ButtonApplyClick();
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
  QPushButton* ButtonOK;
  QPushButton* ButtonCancel;
  QPushButton* ButtonApply;

 private:
  // The title table is in edit or insert state.
  bool Editing() const;

  platform::TDataSource* source_;
};

extern TCatalogForm* CatalogForm;

#endif  // APP_CATALFRM_H_
