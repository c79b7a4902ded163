// TDBLookupComboBox: a data-aware drop-down list whose entries come from another
// dataset (the list source). The key field and the list field of the list dataset
// name what is stored and what is shown; here they are one field. The list holds
// the list dataset's records in that dataset's current order and within its
// current filter.
//
// To show the field's value, the box locates the entry whose key equals the stored
// text (Locate on the key field, exact and case-sensitive), which makes that entry
// the list dataset's current record, and shows its list field. A stored text with
// no entry shows an empty box; the field keeps its text until the user picks an
// entry, which puts the dataset into edit state through the data source's
// automatic edit, stores the entry's key at once and fires Click.
//
// The list itself is read when the user first opens it or steps through it from
// the keyboard or the wheel, and again after the list dataset changed. While the
// box is hidden a record change is only noted; the value is located when shown.
#ifndef PLATFORM_QT_DB_LOOKUP_COMBO_BOX_H_
#define PLATFORM_QT_DB_LOOKUP_COMBO_BOX_H_

#include <QComboBox>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "platform/dataset/datalink.h"

class QStringListModel;

namespace platform::qt {

class TDBLookupComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit TDBLookupComboBox(QWidget* parent = nullptr);
  ~TDBLookupComboBox() override;

  TDataSource* DataSource() const { return data_link_.DataSource(); }
  void SetDataSource(TDataSource* source) { data_link_.SetDataSource(source); }
  const std::string& DataField() const { return data_link_.FieldName(); }
  void SetDataField(const std::string& name) { data_link_.SetFieldName(name); }
  TField* Field() const { return data_link_.Field(); }
  bool ReadOnly() const { return data_link_.ReadOnly(); }
  void SetReadOnly(bool read_only) { data_link_.SetReadOnly(read_only); }

  TDataSource* ListSource() const;
  void SetListSource(TDataSource* source);
  const std::string& KeyField() const { return key_field_; }
  void SetKeyField(const std::string& name);
  const std::string& ListField() const { return list_field_; }
  void SetListField(const std::string& name);

  // What the box shows: the list field of the located entry, empty when none.
  const QString& DisplayText();
  // The entries' list texts and keys in list order (reads the list when needed).
  const QStringList& Items();
  const std::vector<std::string>& Keys();
  // Stores the key of entry `row` in the field, as a pick by the user does.
  void SelectEntry(int row);

 signals:
  // The user picked an entry.
  void Click();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 public:
  void showPopup() override;

 private:
  class ListLink;

  void DataChange();
  void KeyValueChanged();
  void ListChanged();
  void EnsureList();
  void SyncCurrentRow();
  void Activated(int row);

  TFieldDataLink data_link_;
  std::unique_ptr<ListLink> list_link_;
  QStringListModel* model_;
  std::string key_field_;
  std::string list_field_;
  std::string key_;  // the stored text (ANSI), empty when none
  QString text_;
  QStringList items_;
  std::vector<std::string> keys_;
  bool list_stale_ = true;
  bool value_stale_ = true;
};

}  // namespace platform::qt

#endif  // PLATFORM_QT_DB_LOOKUP_COMBO_BOX_H_
