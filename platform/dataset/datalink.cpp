#include "platform/dataset/datalink.h"

#include <algorithm>

#include "platform/dataset/dataset.h"

namespace platform {

// ---- TDataSource

TDataSource::~TDataSource() {
  std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links) link->SetDataSource(nullptr);
  SetDataSet(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataset) {
  if (dataset == dataset_) return;
  if (dataset && dataset->IsLinkedTo(this)) DatabaseError("Circular datalinks are not allowed");
  if (dataset_) {
    auto& list = dataset_->data_sources_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    TDataSet* old = dataset_;
    dataset_ = nullptr;
    for (TDataLink* link : links_) link->UpdateState();
    old->UpdateBufferCount();
  }
  dataset_ = dataset;
  if (dataset_) {
    dataset_->data_sources_.push_back(this);
    dataset_->UpdateBufferCount();
    for (TDataLink* link : links_) link->UpdateState();
  }
  NotifyStateChange();
}

void TDataSource::SetEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  if (dataset_) dataset_->UpdateBufferCount();
  for (TDataLink* link : links_) link->UpdateState();
  NotifyStateChange();
}

TDataSetState TDataSource::State() const {
  if (!dataset_ || !enabled_) return TDataSetState::dsInactive;
  return dataset_->State();
}

void TDataSource::Edit() {
  if (auto_edit_ && State() == TDataSetState::dsBrowse) dataset_->Edit();
}

bool TDataSource::IsLinkedTo(const TDataSet* dataset) const {
  const TDataSource* source = this;
  for (int guard = 0; source && guard < 1000; ++guard) {
    TDataSet* d = source->dataset_;
    if (!d) return false;
    if (d == dataset) return true;
    source = d->DataSource();
  }
  return false;
}

void TDataSource::NotifyStateChange() {
  TDataSetState now = State();
  if (now == last_state_) return;
  last_state_ = now;
  if (OnStateChange) OnStateChange(*this);
}

void TDataSource::DataEvent(TDataEvent event, intptr_t info) {
  if (!enabled_) return;
  std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links) link->DataEvent(event, info);
  switch (event) {
    case TDataEvent::deUpdateState:
      NotifyStateChange();
      break;
    case TDataEvent::deFieldChange:
    case TDataEvent::deRecordChange:
      if (OnDataChange) OnDataChange(*this, reinterpret_cast<TField*>(info));
      break;
    case TDataEvent::deDataSetChange:
    case TDataEvent::deDataSetScroll:
    case TDataEvent::deLayoutChange:
      if (OnDataChange) OnDataChange(*this, nullptr);
      break;
    case TDataEvent::deUpdateRecord:
      if (OnUpdateData) OnUpdateData(*this);
      break;
    default:
      break;
  }
}

void TDataSource::AddLink(TDataLink* link) {
  links_.push_back(link);
  if (dataset_) dataset_->UpdateBufferCount();
}

void TDataSource::RemoveLink(TDataLink* link) {
  links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
  if (dataset_) dataset_->UpdateBufferCount();
}

// ---- TDataLink

TDataLink::~TDataLink() {
  if (source_) source_->RemoveLink(this);
  source_ = nullptr;
}

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == source_) return;
  if (source_) {
    TDataSource* old = source_;
    source_ = nullptr;
    old->RemoveLink(this);
    UpdateState();
  }
  source_ = source;
  if (source_) {
    source_->AddLink(this);
    UpdateState();
  }
}

TDataSet* TDataLink::DataSet() const { return source_ ? source_->DataSet() : nullptr; }

void TDataLink::SetReadOnly(bool read_only) {
  if (read_only == read_only_) return;
  read_only_ = read_only;
  UpdateState();
}

void TDataLink::SetBufferCount(int count) {
  count = std::max(count, 1);
  if (count == buffer_count_) return;
  buffer_count_ = count;
  if (active_) {
    DataSet()->UpdateBufferCount();
    UpdateRange();
  }
}

int TDataLink::RecordCount() const {
  if (!active_) return 0;
  int n = DataSet()->BufferedRecordCount() - first_record_;
  return std::clamp(n, 0, buffer_count_);
}

int TDataLink::ActiveRecord() const {
  if (!active_) return 0;
  return DataSet()->ActiveRecord() - first_record_;
}

void TDataLink::SetActiveRecord(int row) {
  if (!active_) return;
  TDataSet* d = DataSet();
  int index = first_record_ + row;
  if (index >= 0 && index < std::max(d->BufferedRecordCount(), 1)) d->SetActiveRecordIndex(index);
}

bool TDataLink::Edit() {
  if (!read_only_ && source_) source_->Edit();
  return editing_;
}

void TDataLink::UpdateRecord() {
  if (active_) DataSet()->UpdateRecord();
}

bool TDataLink::Bof() const { return active_ && DataSet()->Bof(); }
bool TDataLink::Eof() const { return active_ && DataSet()->Eof(); }

void TDataLink::UpdateRange() {
  TDataSet* d = DataSet();
  int records = d->BufferedRecordCount();
  int active = d->ActiveRecord();
  if (first_record_ > active) first_record_ = active;
  if (first_record_ < active - buffer_count_ + 1) first_record_ = active - buffer_count_ + 1;
  if (first_record_ > records - buffer_count_)
    first_record_ = std::max(records - buffer_count_, active - buffer_count_ + 1);
  if (first_record_ < 0) first_record_ = 0;
}

void TDataLink::UpdateState() {
  TDataSet* d = DataSet();
  bool now_active = source_ && source_->Enabled() && d && d->Active();
  if (now_active != active_) {
    active_ = now_active;
    first_record_ = 0;
    if (active_) {
      d->UpdateBufferCount();
      UpdateRange();
    }
    ActiveChanged();
  }
  TDataSetState state = d ? d->State() : TDataSetState::dsInactive;
  bool now_editing = active_ && !read_only_ &&
                     (state == TDataSetState::dsEdit || state == TDataSetState::dsInsert);
  if (now_editing != editing_) {
    editing_ = now_editing;
    EditingChanged();
  }
}

void TDataLink::DataEvent(TDataEvent event, intptr_t info) {
  if (event == TDataEvent::deUpdateState) {
    UpdateState();
    return;
  }
  if (!active_) return;
  switch (event) {
    case TDataEvent::deFieldChange:
    case TDataEvent::deRecordChange:
      if (!updating_) RecordChanged(reinterpret_cast<TField*>(info));
      break;
    case TDataEvent::deDataSetChange:
      UpdateRange();
      DataSetChanged();
      break;
    case TDataEvent::deDataSetScroll: {
      // The dataset's window moved by `info` records; the record at our old first
      // row now sits at first_record_ - info.
      int shifted = first_record_ - int(info);
      first_record_ = shifted;
      UpdateRange();
      int distance = first_record_ - shifted;
      if (distance >= buffer_count_ || distance <= -buffer_count_)
        DataSetChanged();
      else
        DataSetScrolled(distance);
      break;
    }
    case TDataEvent::deLayoutChange:
      LayoutChanged();
      break;
    case TDataEvent::deUpdateRecord:
      updating_ = true;
      try {
        UpdateData();
      } catch (...) {
        updating_ = false;
        throw;
      }
      updating_ = false;
      break;
    case TDataEvent::deCheckBrowseMode:
      CheckBrowseMode();
      break;
    default:
      break;
  }
}

// ---- TFieldDataLink

void TFieldDataLink::SetFieldName(const std::string& name) {
  if (name == field_name_) return;
  field_name_ = name;
  UpdateField();
}

bool TFieldDataLink::CanModify() const {
  return !ReadOnly() && field_ && !field_->ReadOnly() && DataSet() && DataSet()->CanModify();
}

void TFieldDataLink::Reset() {
  modified_ = false;
  if (OnDataChange) OnDataChange();
}

void TFieldDataLink::UpdateField() {
  field_ = nullptr;
  if (Active() && !field_name_.empty()) field_ = DataSet()->FieldByName(field_name_);
  modified_ = false;
  if (OnDataChange) OnDataChange();
}

void TFieldDataLink::ActiveChanged() {
  UpdateField();
  if (OnActiveChange) OnActiveChange();
}

void TFieldDataLink::EditingChanged() {
  if (OnEditingChange) OnEditingChange();
}

void TFieldDataLink::LayoutChanged() { UpdateField(); }

void TFieldDataLink::RecordChanged(TField* field) {
  if (field == nullptr || field == field_) {
    modified_ = false;
    if (OnDataChange) OnDataChange();
  }
}

void TFieldDataLink::UpdateData() {
  if (modified_) {
    if (field_ && OnUpdateData) OnUpdateData();
    modified_ = false;
  }
}

// ---- TMasterDataLink

void TMasterDataLink::SetFieldNames(const std::string& names) {
  field_names_ = names;
  if (Active()) RecordChanged(nullptr);
}

std::vector<TField*> TMasterDataLink::Fields() const {
  std::vector<TField*> out;
  if (!Active()) return out;
  size_t i = 0;
  while (i <= field_names_.size()) {
    size_t j = field_names_.find(';', i);
    if (j == std::string::npos) j = field_names_.size();
    std::string name = field_names_.substr(i, j - i);
    if (!name.empty()) out.push_back(DataSet()->FieldByName(name));
    i = j + 1;
  }
  return out;
}

void TMasterDataLink::ActiveChanged() {
  if (Active()) {
    if (OnMasterChange) OnMasterChange();
  } else if (OnMasterDisable) {
    OnMasterDisable();
  }
}

void TMasterDataLink::CheckBrowseMode() {
  if (detail_ && detail_->Active()) detail_->CheckBrowseMode();
}

void TMasterDataLink::RecordChanged(TField* field) {
  if (!Active() || !OnMasterChange) return;
  if (DataSource()->State() != TDataSetState::dsBrowse &&
      DataSource()->State() != TDataSetState::dsEdit)
    return;
  if (field) {
    // Only a change of a key field moves the detail.
    std::vector<TField*> keys = Fields();
    if (std::find(keys.begin(), keys.end(), field) == keys.end()) return;
  }
  OnMasterChange();
}

}  // namespace platform
