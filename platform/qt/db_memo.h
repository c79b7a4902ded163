// TDBMemo: a data-aware multi-line text box with a vertical scroll bar. Enter adds
// a line break, Tab moves on. It shows one field of the current record (a memo
// field's text comes through the dataset's blob stream), starts editing through the
// data source's automatic edit on the user's first change, and writes its text back
// (again through the blob stream) when the dataset asks its links for their values
// or when the focus leaves it. Line breaks are stored as CR LF. While the memo is
// not visible it only notes that the record changed and reads the text when shown.
#ifndef PLATFORM_QT_DB_MEMO_H_
#define PLATFORM_QT_DB_MEMO_H_

#include <QPlainTextEdit>
#include <string>

#include "platform/dataset/datalink.h"

namespace platform::qt {

class TDBMemo : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit TDBMemo(QWidget* parent = nullptr);
  ~TDBMemo() override;

  TDataSource* DataSource() const { return link_.DataSource(); }
  void SetDataSource(TDataSource* source) { link_.SetDataSource(source); }
  const std::string& DataField() const { return link_.FieldName(); }
  void SetDataField(const std::string& name) { link_.SetFieldName(name); }
  TField* Field() const { return link_.Field(); }
  bool ReadOnly() const { return link_.ReadOnly(); }
  void SetReadOnly(bool read_only);
  // The text as the field holds it (CR LF line breaks), current also while hidden.
  QString FieldText();

 signals:
  void Change();

 protected:
  void focusOutEvent(QFocusEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void DataChange();
  void LoadText();
  void UpdateData();
  void TextChanged();
  void UpdateEditable();

  TFieldDataLink link_;
  bool loading_ = false;
  bool starting_edit_ = false;
  bool stale_ = true;  // the record changed while the memo was hidden
};

}  // namespace platform::qt

#endif  // PLATFORM_QT_DB_MEMO_H_
