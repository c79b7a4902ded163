// TDBNavigator: the record navigator. The main window keeps it hidden and drives
// it by BtnClick: move first, prior, next or last, insert, delete (after the
// "Delete record?" confirmation), edit, post, cancel, refresh. Every button does
// nothing while its data source's dataset is closed.
#ifndef PLATFORM_QT_DB_NAVIGATOR_H_
#define PLATFORM_QT_DB_NAVIGATOR_H_

#include <QWidget>
#include <memory>

#include "platform/dataset/datalink.h"

namespace platform::qt {

enum class TNavigateBtn {
  nbFirst,
  nbPrior,
  nbNext,
  nbLast,
  nbInsert,
  nbDelete,
  nbEdit,
  nbPost,
  nbCancel,
  nbRefresh
};

class TDBNavigator : public QWidget {
  Q_OBJECT

 public:
  explicit TDBNavigator(QWidget* parent = nullptr);
  ~TDBNavigator() override;

  TDataSource* DataSource() const { return link_->DataSource(); }
  void SetDataSource(TDataSource* source) { link_->SetDataSource(source); }
  bool ConfirmDelete() const { return confirm_delete_; }
  void SetConfirmDelete(bool on) { confirm_delete_ = on; }

  void BtnClick(TNavigateBtn button);

 private:
  std::unique_ptr<TDataLink> link_;
  bool confirm_delete_ = true;
};

}  // namespace platform::qt

#endif  // PLATFORM_QT_DB_NAVIGATOR_H_
