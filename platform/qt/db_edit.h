// TDBEdit: a data-aware edit. It shows one field of the current record of its data
// source's dataset, follows record changes and scrolls, takes at most the string
// field's size in characters, starts editing through the data source's automatic
// edit on the user's first change, and writes its text into the field when the
// dataset asks its links for their values (post) or when the focus leaves it.
#ifndef PLATFORM_QT_DB_EDIT_H_
#define PLATFORM_QT_DB_EDIT_H_

#include <QLineEdit>
#include <string>

#include "platform/dataset/datalink.h"

namespace platform::qt {

class TDBEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit TDBEdit(QWidget* parent = nullptr);
  ~TDBEdit() override;

  TDataSource* DataSource() const { return link_.DataSource(); }
  void SetDataSource(TDataSource* source) { link_.SetDataSource(source); }
  const std::string& DataField() const { return link_.FieldName(); }
  void SetDataField(const std::string& name) { link_.SetFieldName(name); }
  // The bound field, null while the dataset is closed.
  TField* Field() const { return link_.Field(); }
  // A read-only edit never changes its field.
  bool ReadOnly() const { return link_.ReadOnly(); }
  void SetReadOnly(bool read_only);

 signals:
  // The text changed: typed by the user or shown for another record.
  void Change();

 protected:
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void DataChange();
  void EditingChange();
  void UpdateData();
  void TextChanged();
  void UpdateEditable();

  TFieldDataLink link_;
  bool loading_ = false;        // the text is being set from the field
  bool starting_edit_ = false;  // the dataset is entering edit state for a change
};

}  // namespace platform::qt

#endif  // PLATFORM_QT_DB_EDIT_H_
