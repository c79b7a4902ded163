// TDBCheckBox: a data-aware check box. Ticked when the field holds ValueChecked,
// unticked when it holds ValueUnchecked (a boolean field: true and false), grayed
// when the field has no value or another one. Each list may name several texts
// separated by ';', compared without regard to case; the first is the one stored.
// A click first puts the dataset into edit state through the data source's
// automatic edit; the box's state goes into the field when the dataset asks its
// links for their values (post) or when the focus leaves it.
#ifndef PLATFORM_QT_DB_CHECK_BOX_H_
#define PLATFORM_QT_DB_CHECK_BOX_H_

#include <QCheckBox>
#include <QString>
#include <string>

#include "platform/dataset/datalink.h"

namespace platform::qt {

class TDBCheckBox : public QCheckBox {
  Q_OBJECT

 public:
  explicit TDBCheckBox(QWidget* parent = nullptr);
  explicit TDBCheckBox(const QString& caption, QWidget* parent = nullptr);
  ~TDBCheckBox() override;

  TDataSource* DataSource() const { return link_.DataSource(); }
  void SetDataSource(TDataSource* source) { link_.SetDataSource(source); }
  const std::string& DataField() const { return link_.FieldName(); }
  void SetDataField(const std::string& name) { link_.SetFieldName(name); }
  TField* Field() const { return link_.Field(); }
  bool ReadOnly() const { return link_.ReadOnly(); }
  void SetReadOnly(bool read_only) { link_.SetReadOnly(read_only); }
  const QString& ValueChecked() const { return value_checked_; }
  void SetValueChecked(const QString& values);
  const QString& ValueUnchecked() const { return value_unchecked_; }
  void SetValueUnchecked(const QString& values);

 signals:
  // The box's state changed: clicked by the user or shown for another record.
  void Click();

 protected:
  void nextCheckState() override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  Qt::CheckState FieldState() const;
  void DataChange();
  void UpdateData();

  TFieldDataLink link_;
  QString value_checked_ = QStringLiteral("True");
  QString value_unchecked_ = QStringLiteral("False");
};

}  // namespace platform::qt

#endif  // PLATFORM_QT_DB_CHECK_BOX_H_
