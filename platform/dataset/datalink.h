// Data sources and data links: how controls (grids, edits, lookup boxes, the
// report walk) and detail datasets follow a dataset.
//
// A TDataSource joins one dataset to any number of TDataLink objects. The dataset
// sends each data event to every link of every data source bound to it (unless
// its controls are disabled); each link turns it into one of its notifications:
//
//   event               notification
//   deUpdateState       ActiveChanged (active flag changed) and/or EditingChanged
//   deDataSetChange     DataSetChanged (the buffered records changed: re-read all)
//   deDataSetScroll     DataSetScrolled(distance), or DataSetChanged when the
//                       link's window moved by more than its BufferCount
//   deRecordChange      RecordChanged(field or null)
//   deFieldChange       RecordChanged(field)
//   deUpdateRecord      UpdateData (write pending control values into the fields)
//   deCheckBrowseMode   CheckBrowseMode
//   deLayoutChange      LayoutChanged
//
// Buffer window. A link asks for BufferCount record buffers (a grid: its visible
// rows; an edit: 1). The dataset keeps as many buffers as the largest BufferCount
// of its links. Each link sees a window of BufferCount consecutive buffers of the
// dataset's; RecordCount of the link is how many of them hold records, and
// ActiveRecord the row of the dataset's current record inside the window. The
// distance of DataSetScrolled is how many records the link's window moved:
// positive when it moved toward the end of the dataset (rows go up), negative
// toward the beginning. A grid paints row r by setting ActiveRecord to r, reading
// the fields, and setting it back; moving the cursor to row r is
// DataSet()->MoveBy(r - ActiveRecord()).
#ifndef PLATFORM_DATASET_DATALINK_H_
#define PLATFORM_DATASET_DATALINK_H_

#include <functional>
#include <string>
#include <vector>

#include "platform/dataset/dbtypes.h"

namespace platform {

class TDataSet;
class TDataLink;
class TField;

class TDataSource {
 public:
  TDataSource() = default;
  explicit TDataSource(TDataSet* dataset) { SetDataSet(dataset); }
  ~TDataSource();
  TDataSource(const TDataSource&) = delete;
  TDataSource& operator=(const TDataSource&) = delete;

  TDataSet* DataSet() const { return dataset_; }
  void SetDataSet(TDataSet* dataset);
  // Controls may put the dataset into edit state by themselves (default true).
  bool AutoEdit() const { return auto_edit_; }
  void SetAutoEdit(bool on) { auto_edit_ = on; }
  // A disabled source passes nothing to its links (default true).
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  // The dataset's state; dsInactive without a dataset or while disabled.
  TDataSetState State() const;
  // Puts the dataset into edit state when AutoEdit allows and it is browsing.
  void Edit();
  bool IsLinkedTo(const TDataSet* dataset) const;

  std::function<void(TDataSource&)> OnStateChange;
  std::function<void(TDataSource&, TField*)> OnDataChange;
  std::function<void(TDataSource&)> OnUpdateData;

 private:
  friend class TDataSet;
  friend class TDataLink;
  void DataEvent(TDataEvent event, intptr_t info);
  void NotifyStateChange();
  void AddLink(TDataLink* link);
  void RemoveLink(TDataLink* link);

  TDataSet* dataset_ = nullptr;
  bool auto_edit_ = true;
  bool enabled_ = true;
  TDataSetState last_state_ = TDataSetState::dsInactive;
  std::vector<TDataLink*> links_;
};

class TDataLink {
 public:
  TDataLink() = default;
  virtual ~TDataLink();
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;

  TDataSource* DataSource() const { return source_; }
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const;
  // The source's dataset is open (and the source enabled).
  bool Active() const { return active_; }
  // The dataset is in edit or insert state.
  bool Editing() const { return editing_; }
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only);

  int BufferCount() const { return buffer_count_; }
  // At least 1; the dataset grows or shrinks its buffers to the largest count.
  void SetBufferCount(int count);
  // Records in this link's window (0..BufferCount).
  int RecordCount() const;
  // Row of the dataset's current record in this link's window.
  int ActiveRecord() const;
  // Makes row `row` the dataset's active buffer for reading its fields (no
  // events, no cursor move); set it back when done.
  void SetActiveRecord(int row);
  // Puts the dataset into edit state through the source (AutoEdit); true when editing.
  bool Edit();
  // Sends deUpdateRecord to the dataset, so every link writes its pending values.
  void UpdateRecord();
  bool Bof() const;
  bool Eof() const;

 protected:
  // Notifications (see the table at the top of this file).
  virtual void ActiveChanged() {}
  virtual void CheckBrowseMode() {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled(int distance) {
    (void)distance;
    DataSetChanged();
  }
  virtual void EditingChanged() {}
  virtual void LayoutChanged() { DataSetChanged(); }
  virtual void RecordChanged(TField* field) { (void)field; }
  virtual void UpdateData() {}
  virtual void FocusControl(TField* field) { (void)field; }

 private:
  friend class TDataSource;
  friend class TDataSet;
  void DataEvent(TDataEvent event, intptr_t info);
  void UpdateState();
  // Keeps the dataset's active record inside the window; the window's new first row.
  void UpdateRange();

  TDataSource* source_ = nullptr;
  bool active_ = false;
  bool editing_ = false;
  bool read_only_ = false;
  bool updating_ = false;
  int buffer_count_ = 1;
  int first_record_ = 0;  // the window's first buffer in the dataset's ring
};

// A link to one field of the source's dataset, for single-field controls. Its
// hooks are callbacks so that a control needs no subclass.
class TFieldDataLink : public TDataLink {
 public:
  const std::string& FieldName() const { return field_name_; }
  void SetFieldName(const std::string& name);
  // The bound field; null while inactive or when the dataset has no such field.
  TField* Field() const { return field_; }
  bool CanModify() const;
  // The control's value differs from the field's (set by the control, cleared by
  // Reset and after UpdateData).
  void Modified() { modified_ = true; }
  void Reset();

  std::function<void()> OnActiveChange;
  std::function<void()> OnDataChange;
  std::function<void()> OnEditingChange;
  std::function<void()> OnUpdateData;

 protected:
  void ActiveChanged() override;
  void EditingChanged() override;
  void LayoutChanged() override;
  void RecordChanged(TField* field) override;
  void UpdateData() override;

 private:
  void UpdateField();
  std::string field_name_;
  TField* field_ = nullptr;
  bool modified_ = false;
};

// The link of a detail dataset to its master: OnMasterChange runs when the
// master's current record changes (scroll, open, post), OnMasterDisable when the
// master closes or the source is removed.
class TMasterDataLink : public TDataLink {
 public:
  explicit TMasterDataLink(TDataSet* detail) : detail_(detail) {}
  const std::string& FieldNames() const { return field_names_; }
  void SetFieldNames(const std::string& names);
  // The master's fields named by FieldNames (';'-separated); empty when inactive.
  std::vector<TField*> Fields() const;
  TDataSet* Detail() const { return detail_; }

  std::function<void()> OnMasterChange;
  std::function<void()> OnMasterDisable;

 protected:
  void ActiveChanged() override;
  void CheckBrowseMode() override;
  void LayoutChanged() override { RecordChanged(nullptr); }
  void RecordChanged(TField* field) override;

 private:
  TDataSet* detail_;
  std::string field_names_;
};

}  // namespace platform

#endif  // PLATFORM_DATASET_DATALINK_H_
