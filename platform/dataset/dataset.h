// TDataSet: the abstract dataset of the data-access framework. A descendant (the
// table adapter) fills in the hooks below; controls follow it through data
// sources and data links (datalink.h); its values are field objects (field.h).
//
// STATES
//   dsInactive   closed: no cursor, no buffers
//   dsBrowse     open, reading
//   dsEdit       the active record is being changed (Edit)
//   dsInsert     a new record sits in the active buffer (Insert, Append)
//   dsSetKey     key values are being set (descendants that search keys)
//   dsCalcFields OnCalcFields runs; fields read and write the calculation buffer
//   dsFilter     OnFilterRecord runs; fields read the record being tested
//   dsNewValue, dsOldValue  NewValue / OldValue of a field are being read
// The last four are temporary: entered and left around one call, without
// deUpdateState (SetTempState / RestoreState).
//
//                  Open                      Edit
//   dsInactive ─────────────► dsBrowse ──────────────► dsEdit
//        ▲       Close        │ ▲   ▲ ◄──────────────── │
//        └────────────────────┘ │   │  Post / Cancel    │
//          (from any state;     │   │                   │ Delete: Cancel-free
//           an edit is          │   └──── Post/Cancel ──┴──► (back to dsBrowse)
//           cancelled)          │
//                Insert/Append  ▼
//                           dsInsert ── Post / Cancel / Delete ──► dsBrowse
//
//   Post:   InternalPost (edit: rewrite; insert: add), then dsBrowse, Resync.
//   Cancel: InternalCancel, then dsBrowse, Resync.
//   Any move (First, Last, Next, Prior, MoveBy, GotoBookmark, RecNo, Locate,
//   Refresh) first calls CheckBrowseMode, which posts a modified record (or
//   cancels an unmodified one).
//   Edit on an empty dataset is Insert.
//
// EVENT ORDER (a Before event that raises, e.g. EAbort, stops the operation)
//   Open:    BeforeOpen, InternalOpen, buffers filled, state dsBrowse
//            (links: ActiveChanged), AfterOpen, AfterScroll (unless empty)
//   Close:   BeforeClose, [InternalCancel when editing], state dsInactive
//            (links: ActiveChanged), buffers freed, InternalClose, AfterClose
//   Scroll (First, Last, Next, Prior, MoveBy, GotoBookmark, RecNo, Locate):
//            CheckBrowseMode, BeforeScroll, the move, links: DataSetScrolled or
//            DataSetChanged, AfterScroll. BeforeScroll and AfterScroll fire
//            exactly once per call, also when the move finds nothing.
//   Insert / Append: CheckBrowseMode, BeforeInsert, BeforeScroll,
//            InternalInitRecord, state dsInsert, OnNewRecord, links:
//            DataSetChanged, AfterInsert, AfterScroll
//   Edit:    CheckBrowseMode, BeforeEdit, InternalEdit (OnEditError), state
//            dsEdit (links: EditingChanged), AfterEdit
//   Post:    links: UpdateData, CheckBrowseMode; BeforePost, InternalPost
//            (OnPostError), state dsBrowse, Resync, AfterPost
//   Cancel:  links: CheckBrowseMode; BeforeCancel, InternalCancel, state
//            dsBrowse, Resync, AfterCancel
//   Delete:  (in dsInsert: Cancel) links: CheckBrowseMode; BeforeDelete,
//            BeforeScroll, InternalDelete (OnDeleteError), state dsBrowse,
//            Resync, AfterDelete, AfterScroll
//   Field change: OnValidate, value stored, OnChange, links:
//            RecordChanged(field), OnCalcFields when AutoCalcFields
//   Each record fetched into a buffer: OnCalcFields (when calculated fields exist)
//   Each record the descendant's filter tests: OnFilterRecord (state dsFilter)
//
// RECORD BUFFERS
// The dataset keeps BufferCount record buffers (the largest BufferCount of its
// links, at least 1) plus one spare, each RecBufSize bytes from
// AllocRecordBuffer. Buffers [0, BufferedRecordCount) hold consecutive records of
// the view; ActiveRecord is the index of the current one. Moving inside the
// window only changes ActiveRecord; moving past its edge fetches one record with
// GetRecord and rotates the ring, so a grid over a large table reads one record
// per row scrolled. CurrentRecord is the buffer whose record the cursor (the
// descendant's position) is on; UpdateCursorPos repositions the cursor with
// InternalSetToRecord when another buffer becomes active.
//
// Position: RecNo and RecordCount come from the descendant (GetRecNo,
// GetRecordCount); IsSequenced tells whether RecNo is the position in the view
// (natural order, no filter) or only the record's number. RecordFraction and
// MoveToFraction give and take the active record's place among the records the
// view shows, for scroll bars: from RecNo and RecordCount when sequenced, from the
// descendant otherwise.
#ifndef PLATFORM_DATASET_DATASET_H_
#define PLATFORM_DATASET_DATASET_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/dataset/datalink.h"
#include "platform/dataset/dbtypes.h"
#include "platform/dataset/field.h"
#include "platform/dataset/stream.h"

namespace platform {

class TDataSet;
using TDataSetNotifyEvent = std::function<void(TDataSet& dataset)>;
using TFilterRecordEvent = std::function<void(TDataSet& dataset, bool& accept)>;
using TDataSetErrorEvent =
    std::function<void(TDataSet& dataset, const Exception& error, TDataAction& action)>;

class TDataSet {
 public:
  TDataSet();
  virtual ~TDataSet();
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  // ---- Opening and state
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  bool Active() const { return state_ != TDataSetState::dsInactive; }
  void SetActive(bool active);
  TDataSetState State() const { return state_; }
  // Raises "Cannot perform this operation on a closed dataset" when closed.
  virtual void CheckActive();
  void CheckInactive();

  // ---- Navigation
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  // Moves by distance records; the number of records actually moved (signed).
  int MoveBy(int distance);
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool IsEmpty() const {
    return active_ && record_count_ == 0 && state_ != TDataSetState::dsInsert;
  }

  // ---- Editing
  void Insert();
  void Append();
  void Edit();
  void Post();
  void Cancel();
  void Delete();
  void Refresh();
  // Posts a modified record or cancels an unmodified one; sends deCheckBrowseMode.
  void CheckBrowseMode();
  // Re-reads the buffers around the cursor (rmExact: the cursor's record must
  // exist; rmCenter: put it mid-window).
  void Resync(TResyncMode mode);
  // Sends deUpdateRecord: the links write pending values into the fields.
  void UpdateRecord();
  bool Modified() const { return modified_; }
  bool CanModify() { return GetCanModify(); }

  // ---- Position
  int RecordCount() { return GetRecordCount(); }
  int RecNo() { return GetRecNo(); }
  void SetRecNo(int n) { DoSetRecNo(n); }
  virtual bool IsSequenced() { return true; }
  // The active record's position among the records the view shows, in the view's
  // order, as a fraction: 0 the first, 1 the last (0 when the view holds one);
  // negative when it cannot be told. `rows`, when given, receives the number of
  // records the view shows when that is known exactly, else 0.
  virtual double RecordFraction(int* rows = nullptr);
  // Makes the record at `fraction` of the view current (0 the first, 1 the last);
  // false when it cannot be done, and then nothing moved.
  virtual bool MoveToFraction(double fraction);

  // ---- Bookmarks (BookmarkSize bytes; an empty bookmark is none)
  TBookmark GetBookmark();
  void GotoBookmark(const TBookmark& bookmark);
  // -1, 0, 1; a missing bookmark sorts first.
  virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b);
  virtual bool BookmarkValid(const TBookmark& bookmark) { return !bookmark.empty(); }
  int BookmarkSize() const { return bookmark_size_; }

  // ---- Fields
  int FieldCount() const { return fields_.Count(); }
  TField* Fields(int i) const { return fields_[i]; }
  const TFields& FieldList() const { return fields_; }
  TField* FindField(const std::string& name) const { return fields_.FindField(name); }
  // Raises "Field '%s' not found".
  TField* FieldByName(const std::string& name) const { return fields_.FieldByName(name); }
  TFieldDefs& FieldDefs() { return field_defs_; }
  // Adds a persistent field (kept across open and close); only while closed.
  TField* AddField(std::unique_ptr<TField> field);
  template <class F, class... Args>
  F* AddField(const std::string& name, Args&&... args) {
    auto field = std::make_unique<F>(std::forward<Args>(args)...);
    field->SetFieldName(name);
    F* raw = field.get();
    AddField(std::move(field));
    return raw;
  }
  // True while the fields were created from the definitions at open.
  bool DefaultFields() const { return default_fields_; }

  // ---- Searching
  // key_fields names one field (or several separated by ';' where the descendant
  // supports it). The found record becomes current.
  virtual bool Locate(const std::string& key_fields, const TVariant& key_values,
                      TLocateOptions options);
  // The result field's value of the matching record, null when none; the cursor stays.
  virtual TVariant Lookup(const std::string& key_fields, const TVariant& key_values,
                          const std::string& result_fields);

  // ---- Controls
  // While disabled (nesting counted) no data event reaches the links; enabling
  // again sends one deDataSetChange (and deUpdateState when the state changed).
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disable_count_ > 0; }

  // ---- Filters
  const std::string& Filter() const { return filter_text_; }
  void SetFilter(const std::string& text) { SetFilterText(text); }
  bool Filtered() const { return filtered_; }
  void SetFiltered(bool on) { DoSetFiltered(on); }
  TFilterOptions FilterOptions() const { return filter_options_; }
  void SetFilterOptions(TFilterOptions options) { DoSetFilterOptions(options); }

  bool AutoCalcFields() const { return auto_calc_fields_; }
  void SetAutoCalcFields(bool on) { auto_calc_fields_ = on; }

  // ---- Master source and blobs
  TDataSource* DataSource() { return GetDataSource(); }
  // True when source's dataset is this one or reaches it through master sources.
  bool IsLinkedTo(TDataSource* source);
  virtual std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode);
  // Character-set translation of a NUL-terminated text (dest may be source).
  virtual void Translate(const char* source, char* dest, bool to_oem);

  // ---- Field data (called by the field objects)
  virtual bool GetFieldData(TField* field, void* buffer) = 0;
  virtual void SetFieldData(TField* field, const void* buffer) = 0;
  // Copies the cursor's current record into buffer; false when there is none.
  virtual bool GetCurrentRecord(TRecordBuffer buffer) {
    (void)buffer;
    return false;
  }

  // ---- Buffers (for links and descendants)
  int BufferCount() const { return buffer_count_; }
  int BufferedRecordCount() const { return record_count_; }
  int ActiveRecord() const { return active_record_; }
  TRecordBuffer ActiveBuffer() const;
  // The buffer being calculated (dsCalcFields) or null.
  TRecordBuffer CalcBuffer() const { return calc_buffer_; }
  int CalcFieldsSize() const { return calc_fields_size_; }

  // ---- Events
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent OnCalcFields, OnNewRecord;
  TFilterRecordEvent OnFilterRecord;
  TDataSetErrorEvent OnDeleteError, OnEditError, OnPostError;

 protected:
  // ---- Hooks a descendant fills in
  virtual TRecordBuffer AllocRecordBuffer() = 0;
  virtual void FreeRecordBuffer(TRecordBuffer& buffer) = 0;
  virtual void GetBookmarkData(TRecordBuffer buffer, void* data) = 0;
  virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) = 0;
  virtual void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) = 0;
  virtual void SetBookmarkData(TRecordBuffer buffer, const void* data) = 0;
  // Reads the next, prior or current record of the cursor into buffer.
  virtual TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool do_check) = 0;
  virtual int GetRecordSize() = 0;
  virtual void InternalAddRecord(TRecordBuffer buffer, bool append) = 0;
  virtual void InternalClose() = 0;
  virtual void InternalDelete() = 0;
  virtual void InternalFirst() = 0;
  virtual void InternalGotoBookmark(const void* bookmark) = 0;
  virtual void InternalHandleException() {}
  virtual void InternalInitFieldDefs() = 0;
  virtual void InternalInitRecord(TRecordBuffer buffer) = 0;
  virtual void InternalLast() = 0;
  // Opens the cursor, fills FieldDefs, creates or binds the fields (CreateFields,
  // BindFields), sets BookmarkSize and positions before the first record.
  virtual void InternalOpen() = 0;
  virtual void InternalPost() = 0;
  virtual void InternalSetToRecord(TRecordBuffer buffer) = 0;
  virtual bool IsCursorOpen() = 0;

  virtual void InternalCancel() {}
  virtual void InternalEdit() {}
  virtual void InternalInsert() {}
  virtual void InternalRefresh() {}
  virtual void ClearCalcFields(TRecordBuffer buffer) { (void)buffer; }
  virtual bool GetCanModify() { return true; }
  virtual TDataSource* GetDataSource() { return nullptr; }
  virtual int GetRecordCount() { return -1; }
  virtual int GetRecNo() { return -1; }
  virtual void DoSetRecNo(int n) { (void)n; }
  virtual void SetFilterText(const std::string& text) { filter_text_ = text; }
  virtual void DoSetFiltered(bool on) { filtered_ = on; }
  virtual void DoSetFilterOptions(TFilterOptions options) { filter_options_ = options; }
  // Computes calculated fields of buffer (state dsCalcFields): OnCalcFields.
  virtual void CalculateFields(TRecordBuffer buffer);

  // Event calls, for descendants that add work around them.
  virtual void DoAfterInsert() { Fire(AfterInsert); }
  void DoBeforeScroll() { Fire(BeforeScroll); }
  void DoAfterScroll() { Fire(AfterScroll); }

  // ---- Services for descendants
  void Fire(const TDataSetNotifyEvent& event) {
    if (event) event(*this);
  }
  void CreateFields();
  void BindFields(bool binding);
  void DestroyDefaultFields();
  void SetBookmarkSize(int size) { bookmark_size_ = size; }
  void SetFilterTextValue(const std::string& text) { filter_text_ = text; }
  void SetFilteredValue(bool on) { filtered_ = on; }
  void SetFilterOptionsValue(TFilterOptions options) { filter_options_ = options; }
  TDataSetState SetTempState(TDataSetState state);
  void RestoreState(TDataSetState state);
  void SetState(TDataSetState state);
  void SetModified(bool modified) { modified_ = modified; }
  void DataEvent(TDataEvent event, intptr_t info);
  void GetCalcFields(TRecordBuffer buffer);
  // The cursor no longer matches a buffer.
  void CursorPosChanged() { current_record_ = -1; }
  // Puts the cursor on the active buffer's record.
  void UpdateCursorPos();
  void ClearBuffers();
  // Runs op, handing a failure to the error event (retry, abort or fail).
  void CheckOperation(const std::function<void()>& op, const TDataSetErrorEvent& on_error);
  // Buffer count wanted by the links changed.
  void UpdateBufferCount();
  bool InternalCalcFieldsPresent() const { return calc_field_count_ > 0; }
  bool Filtering() const { return state_ == TDataSetState::dsFilter; }
  TRecordBuffer BufferAt(int i) const { return buffers_[size_t(i)]; }

 private:
  friend class TDataSource;
  friend class TDataLink;
  friend class TField;

  void OpenCursor();
  void CloseCursor();
  void SetBufListSize(int count);
  void FreeBuffers();
  void ActivateBuffers();
  bool GetNextRecord();
  bool GetPriorRecord();
  int GetNextRecords();
  int GetPriorRecords();
  void SetCurrentRecord(int index);
  void BeginInsertAppend();
  void EndInsertAppend();
  void InitRecord(TRecordBuffer buffer);
  void MoveBuffer(int from, int to);
  void SendToLinks(TDataEvent event, intptr_t info);
  void FieldChanged(TField* field);
  void SetActiveRecordIndex(int index) { active_record_ = index; }

  TDataSetState state_ = TDataSetState::dsInactive;
  bool active_ = false;
  bool bof_ = true;
  bool eof_ = true;
  bool modified_ = false;
  bool default_fields_ = false;
  bool auto_calc_fields_ = true;
  bool filtered_ = false;
  TFilterOptions filter_options_ = 0;
  std::string filter_text_;
  int bookmark_size_ = 0;

  std::vector<TRecordBuffer> buffers_;  // buffer_count_ + 1 (the last a spare)
  int buffer_count_ = 0;
  int record_count_ = 0;
  int active_record_ = 0;
  int current_record_ = -1;
  TRecordBuffer calc_buffer_ = nullptr;
  int calc_fields_size_ = 0;
  int calc_field_count_ = 0;

  int disable_count_ = 0;
  TDataSetState disable_state_ = TDataSetState::dsInactive;
  bool pending_change_ = false;

  TFields fields_;
  std::vector<std::unique_ptr<TField>> owned_fields_;
  TFieldDefs field_defs_;
  std::vector<TDataSource*> data_sources_;
};

}  // namespace platform

#endif  // PLATFORM_DATASET_DATASET_H_
