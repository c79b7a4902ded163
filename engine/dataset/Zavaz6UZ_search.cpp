// TDevazozDataSet's quick search, exact visible count, breakdowns and Find's
// walk in the current order, all answered from the table's digest
// (Zavaz6UZ_digest.h).
//
// The digest is read in slices between the program's events (DoBackgroundWork),
// on the user-interface thread like everything else the dataset does: the
// reading goes through the table's own disk file, never moves the cursor, and
// shares nothing with another thread. Whatever needs the whole digest at once
// (setting a quick search, a breakdown, a Find) reads the rest first.
//
// The quick search hands the handler an accept set (the records holding every
// word), so that moves skip other records before reading them, in tag order as
// in natural order, just as they skip records outside the filter's set. The set
// is kept right as the dataset writes records: a title changed so that it no
// longer holds the words leaves the view, a new one that holds them joins it.
#include <algorithm>
#include <bit>

#include "engine/dataset/Zavaz6UZ.h"
#include "engine/foundation/gs6_scope.h"
#include "engine/foundation/gs6_tool.h"
#include "platform/services/codepage.h"

namespace devazoz {

using platform::DatabaseError;
using platform::DatabaseErrorFmt;
using platform::TFieldType;

namespace {

// The records of `rows` (bit r: record r + 1) as a set of record numbers.
void FillSet(TgsHugeSet& set, const TDigestBits& rows) {
  set.Clear();
  const std::vector<uint64_t>& words = rows.Words();
  for (size_t i = 0; i < words.size(); ++i) {
    uint64_t w = words[i];
    while (w) {
      const int bit = std::countr_zero(w);
      set.Change(int32_t(i * 64 + size_t(bit)) + 1, TgsHugeSet::kSet);
      w &= w - 1;
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// The digest

bool TDevazozDataSet::BackgroundWorkPending() {
  if (!handler_ || digest_failed_) return false;
  return !digest_ || !digest_->Complete(handler_->RecordCount());
}

bool TDevazozDataSet::DoBackgroundWork(const std::function<bool()>& out_of_time) {
  if (!BackgroundWorkPending()) return true;
  DBFObject& h = *handler_;
  try {
    if (!digest_) {
      digest_ = std::make_unique<TDevazozDigest>();
      digest_->Reset(h, translate_ascii_);
    }
    // Fewer records than rows read: the table lost records behind the dataset.
    if (digest_->Rows() > h.RecordCount()) digest_->Clear();
    return digest_->Build(h, out_of_time);
  } catch (...) {
    digest_failed_ = true;
    digest_.reset();
    throw;
  }
}

bool TDevazozDataSet::CompleteDigest() {
  if (!handler_ || digest_failed_) return false;
  return DoBackgroundWork(nullptr);
}

bool TDevazozDataSet::DigestUsable() {
  return handler_ && digest_ && digest_->Complete(handler_->RecordCount());
}

void TDevazozDataSet::DigestRecordWritten(int32_t n) {
  if (!digest_) return;
  digest_->Update(n, handler_->RecordBuffer());
  if (quick_words_.empty()) return;
  const bool holds = digest_->RowMatches(n, quick_words_, quick_fields_);
  quick_set_.Change(n, holds ? TgsHugeSet::kSet : TgsHugeSet::kClear);
}

void TDevazozDataSet::DigestDeleted(int32_t n, bool deleted) {
  if (digest_) digest_->SetDeleted(n, deleted);
}

void TDevazozDataSet::DigestPacked() {
  if (digest_) digest_->Clear();
  if (quick_words_.empty()) return;
  // The records have new numbers: the quick search is worked out again.
  try {
    if (!CompleteDigest()) DatabaseError("The quick search cannot read the table");
    ApplyQuickSearch();
  } catch (...) {
    handler_->SetAcceptSet(nullptr);
    quick_words_.clear();
    quick_text_.clear();
    throw;
  }
}

void TDevazozDataSet::DropDigest() {
  digest_.reset();
  digest_failed_ = false;
  quick_text_.clear();
  quick_words_.clear();
  quick_fields_.clear();
  quick_set_.Clear();
}

// ---------------------------------------------------------------------------
// Quick search

void TDevazozDataSet::SetQuickSearch(const std::string& text) {
  CheckActive();
  CheckBrowseMode();
  std::vector<std::string> words = TDevazozDigest::Words(text);
  if (words.empty()) {
    const bool was_on = !quick_words_.empty();
    quick_text_.clear();
    quick_words_.clear();
    handler_->SetAcceptSet(nullptr);
    if (was_on) First();
    return;
  }
  if (!CompleteDigest()) DatabaseError("The quick search cannot read the table");
  std::vector<int> fields;
  if (quick_names_.empty()) {
    for (int i = 0; i < FieldCount(); ++i) {
      platform::TField* f = Fields(i);
      if (f->Visible() && f->DataType() == TFieldType::ftString && f->FieldNo() > 0)
        fields.push_back(f->FieldNo());
    }
  } else {
    for (const std::string& name : quick_names_) {
      int n = handler_->FieldNumber(platform::AnsiUpper(Trim(name)));
      if (n == 0) DatabaseErrorFmt("Field '%s' not found", name);
      fields.push_back(n);
    }
  }
  quick_text_ = text;
  quick_words_ = std::move(words);
  quick_fields_ = std::move(fields);
  ApplyQuickSearch();
  First();
}

void TDevazozDataSet::ApplyQuickSearch() {
  FillSet(quick_set_, digest_->Search(quick_words_, quick_fields_));
  handler_->SetAcceptSet(&quick_set_);
}

// ---------------------------------------------------------------------------
// Counts and breakdowns

TDigestBits TDevazozDataSet::VisibleRows() {
  DBFObject& h = *handler_;
  const int32_t rows = digest_->Rows();
  const bool ranged = range_set_ || (master_link_.Active() && !master_link_.Fields().empty());
  if (ranged || (Filtered() && OnFilterRecord)) {
    // Only reading the records tells: walk the view, then stand where we were.
    TDigestBits visible(rows, false);
    const int32_t remembered = GetRecNo();
    h.GetRecord(kMoveFirst);
    while (!h.Eof() && !h.Bof()) {
      visible.Set(h.RecordNumber() - 1, true);
      h.GetRecord(kMoveNext);
    }
    if (remembered > 0) h.GetRecord(remembered);
    CursorPosChanged();
    return visible;
  }
  TDigestBits visible(rows, true);
  if (!h.use_deleted) visible.AndNot(digest_->DeletedBits());
  const bool filter = h.FilterSetInUse();
  const bool quick = !quick_words_.empty();
  if (filter || quick) {
    for (int32_t r = 0; r < rows; ++r) {
      if (!visible.Has(r)) continue;
      if ((filter && !h.FilterSet().Has(r + 1)) || (quick && !quick_set_.Has(r + 1)))
        visible.Set(r, false);
    }
  }
  return visible;
}

int TDevazozDataSet::VisibleCount(bool wait) {
  if (!handler_) DatabaseError("Cannot perform this operation on a closed dataset");
  DBFObject& h = *handler_;
  const bool ranged = range_set_ || (master_link_.Active() && !master_link_.Fields().empty());
  if (ranged || (Filtered() && OnFilterRecord) || digest_failed_) {
    const bool exact = exact_count_;
    exact_count_ = true;
    TgsScopeExit restore([&] { exact_count_ = exact; });
    return GetRecordCount();
  }
  if (h.use_deleted && !h.FilterSetInUse() && quick_words_.empty()) return h.RecordCount();
  if (wait) CompleteDigest();
  if (!DigestUsable()) return -1;
  return int(VisibleRows().Count());
}

std::vector<std::pair<std::string, int64_t>> TDevazozDataSet::Breakdown(const std::string& name) {
  CheckActive();
  DBFObject& h = *handler_;
  const int field = h.FieldNumber(platform::AnsiUpper(Trim(name)));
  if (field == 0) DatabaseErrorFmt("Field '%s' not found", name);
  if (!CompleteDigest()) DatabaseError("The breakdown cannot read the table");
  if (!digest_->HoldsField(field))
    DatabaseErrorFmt("Field '%s' is neither a string nor a boolean field", name);
  std::vector<std::pair<std::string, int64_t>> out;
  const FieldDescriptor& d = h.Descriptor(field);
  std::vector<uint8_t> record(size_t(h.RecordLength()));
  for (const TDevazozDigest::Share& share : digest_->Breakdown(field, VisibleRows())) {
    std::string value = share.value;
    if (d.type == 'C' && value.empty() && share.row >= 0) {
      // A field kept as folded text: its stored text from the row that holds it.
      const int64_t offset = int64_t(h.HeaderLength()) + int64_t(share.row) * h.RecordLength();
      if (h.GSO_DiskFile::ReadAt(offset, record.data(), h.RecordLength()) == h.RecordLength())
        value = Trim(h.RawGetStr(d, record.data()));
    }
    out.emplace_back(d.type == 'C' ? ToAnsi(value) : value, share.count);
  }
  return out;
}

// ---------------------------------------------------------------------------
// Find: the first match in the current order

bool TDevazozDataSet::LocateNext(const std::string& key_fields,
                                 const platform::TVariant& key_values,
                                 platform::TLocateOptions options) {
  return LocateInOrder(key_fields, key_values, options, true);
}

bool TDevazozDataSet::LocateInOrder(const std::string& key_fields,
                                    const platform::TVariant& key_values,
                                    platform::TLocateOptions options, bool after_current) {
  CheckActive();
  DBFObject& h = *handler_;
  if (h.RecordCount() == 0) return false;
  CheckBrowseMode();
  const bool partial = (options & platform::loPartialKey) != 0;
  const bool no_case = (options & platform::loCaseInsensitive) != 0;
  std::string value = ToOem(key_values.AsString());
  int field = h.FieldNumber(platform::AnsiUpper(Trim(key_fields)));
  if (field == 0) DatabaseErrorFmt("Field '%s' not found", key_fields);
  if (value.empty()) return false;

  // Only records whose folded field begins as the folded value can match: the
  // walk skips the others without reading them.
  TgsHugeSet candidates;
  bool narrowed = false;
  if (value.find_first_of("*?") == std::string::npos) {
    try {
      CompleteDigest();
    } catch (const std::exception&) {
      // Without the digest the walk reads every record; the error shows elsewhere.
    }
    if (DigestUsable() && digest_->HoldsText(field)) {
      TDigestBits rows = digest_->StartsWith(field, value);
      if (!quick_words_.empty())
        for (int32_t r = 0; r < rows.Rows(); ++r)
          if (rows.Has(r) && !quick_set_.Has(r + 1)) rows.Set(r, false);
      FillSet(candidates, rows);
      narrowed = true;
    }
  }
  const TgsHugeSet* view_set = h.AcceptSet();
  h.search_options = kSearchAnchored | kSearchKeepTag | kSearchKeepState |
                     (partial ? kSearchWildcards : kSearchWholeField) |
                     (no_case ? kSearchCaseInsensitive : 0);
  h.search_oem_text = translate_ascii_;
  if (partial) value += "*";
  int32_t record = after_current && !IsEmpty() ? RecordNumberOf(ActiveBuffer()) : 0;
  bool found = false;
  DisableControls();
  try {
    DoBeforeScroll();
    if (narrowed) h.SetAcceptSet(&candidates);
    TgsScopeExit back([&] { h.SetAcceptSet(view_set); });
    found = h.SearchField(value, field, 0, record) == 1;
  } catch (...) {
    EnableControls();
    throw;
  }
  if (found) {
    CursorPosChanged();
    at_first_ = at_last_ = false;
    try {
      Resync(platform::rmExact | platform::rmCenter);
    } catch (...) {
      EnableControls();
      throw;
    }
    DoAfterScroll();
  }
  EnableControls();
  return found;
}

// ---------------------------------------------------------------------------
// Wide texts: the records whose text wraps in a report's column, found from the
// digest. Sums of the widest each character can be leave out nearly every
// record; only the rest are read and measured by the caller.

TDevazozTagOrder* TDevazozDataSet::ExactPlaceOrder() {
  if (!place_) place_ = std::make_unique<TDevazozViewPlace>();
  TDevazozTagOrder* order = PlaceOrder();
  if (order != nullptr && order->ChangedCount() > 0) {
    place_->orders.erase(PlaceOrderKey());
    order = PlaceOrder();
  }
  PlaceVisible(order);
  return order;
}

bool TDevazozDataSet::WideTextPlaces(
    const std::vector<TTextColumn>& columns, const std::array<double, 256>& char_widths,
    const std::function<bool(size_t column, const std::string& text)>& wide,
    std::vector<int64_t>& places) {
  places.clear();
  CheckActive();
  DBFObject& h = *handler_;
  const bool ranged = range_set_ || (master_link_.Active() && !master_link_.Fields().empty());
  if (ranged || (Filtered() && OnFilterRecord)) return false;
  std::vector<int> fields;
  for (const TTextColumn& column : columns) {
    const int field = h.FieldNumber(platform::AnsiUpper(Trim(column.field)));
    if (field == 0 || h.Descriptor(field).type != 'C') return false;
    fields.push_back(field);
  }
  if (!CompleteDigest()) return false;
  for (int field : fields)
    if (!digest_->HoldsText(field)) return false;
  const TDigestBits visible = VisibleRows();
  TDigestBits candidates(visible.Rows(), false);
  for (size_t i = 0; i < fields.size(); ++i)
    candidates.Or(digest_->MayBeWider(fields[i], char_widths, columns[i].width, visible));

  // The candidates' texts as the fields give them, read past the cursor.
  std::vector<int32_t> records;
  std::vector<uint8_t> record(size_t(h.RecordLength()));
  const std::vector<uint64_t>& words = candidates.Words();
  for (size_t w = 0; w < words.size(); ++w) {
    for (uint64_t bits = words[w]; bits != 0; bits &= bits - 1) {
      const int32_t row = int32_t(w * 64) + std::countr_zero(bits);
      const int64_t offset = int64_t(h.HeaderLength()) + int64_t(row) * h.RecordLength();
      // A record the file does not hold reads as blank, as in the digest.
      if (h.GSO_DiskFile::ReadAt(offset, record.data(), h.RecordLength()) != h.RecordLength())
        continue;
      for (size_t i = 0; i < fields.size(); ++i) {
        std::string_view raw = h.RawPeekStr(h.Descriptor(fields[i]), record.data());
        while (!raw.empty() && (raw.back() == ' ' || raw.back() == '\0')) raw.remove_suffix(1);
        const std::string text = ToAnsi(std::string(raw));
        double sum = 0;
        unsigned control = 0;
        for (char ch : text) {
          sum += char_widths[uint8_t(ch)];
          control |= unsigned(uint8_t(ch) < 0x20) | unsigned(ch == 0x7F);
        }
        if ((sum > columns[i].width || control != 0) && wide(i, text)) {
          records.push_back(row + 1);
          break;
        }
      }
    }
  }
  if (records.empty()) return true;
  TDevazozTagOrder* order = ExactPlaceOrder();
  if (!place_->exact || (order != nullptr && order->Added() > 0)) return false;
  for (int32_t r : records) {
    const int32_t place = order != nullptr ? order->PlaceOf(r) : r - 1;
    if (place < 0) return false;
    places.push_back(place_->visible.RankOf(place));
  }
  std::sort(places.begin(), places.end());
  return true;
}

bool TDevazozDataSet::MoveToPlace(int64_t place) {
  if (!handler_ || IsEmpty()) return false;
  CheckBrowseMode();
  TDevazozTagOrder* order = ExactPlaceOrder();
  if (!place_->exact || (order != nullptr && order->Added() > 0)) return false;
  const int32_t at = place_->visible.PlaceAt(place);
  if (at < 0) return false;
  SetRecNo(order != nullptr ? order->RecordAt(at) : at + 1);
  return true;
}

}  // namespace devazoz
