#include "engine/dataset/Zavaz6UZ_place.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "engine/dataset/Zavaz6UZ.h"
#include "engine/index/gs6_indxtag.h"

namespace devazoz {

using platform::TDataSetState;

// ---------------------------------------------------------------------------
// One tag's order

void TDevazozTagOrder::Build(GSobjIndexTag& tag, int32_t record_count) {
  order_.clear();
  changed_.clear();
  added_ = 0;
  place_.assign(size_t(std::max(record_count, 0)) + 1, -1);
  for (int32_t r = tag.Navigate(kNavFirst); r > 0; r = tag.Navigate(kNavNext)) {
    // A key of a record beyond the table (a damaged index) is left out.
    if (r > record_count || place_[size_t(r)] >= 0) continue;
    place_[size_t(r)] = int32_t(order_.size());
    order_.push_back(r);
  }
}

void TDevazozTagOrder::MarkChanged(int32_t record) {
  if (changed_.insert(record).second && PlaceOf(record) < 0) ++added_;
}

int32_t TDevazozTagOrder::PlaceOf(int32_t record) const {
  return record > 0 && size_t(record) < place_.size() ? place_[size_t(record)] : -1;
}

// ---------------------------------------------------------------------------
// Visible places

void TDevazozVisibleIndex::Build(int32_t places, const Visible& visible) {
  places_ = std::max(places, 0);
  bits_.assign((size_t(places_) + 63) / 64, 0);
  before_.assign(size_t(places_) / kBlock + 1, 0);
  total_ = 0;
  for (int32_t p = 0; p < places_; ++p) {
    if (p % kBlock == 0) before_[size_t(p / kBlock)] = total_;
    if (!visible(p)) continue;
    bits_[size_t(p) >> 6] |= uint64_t(1) << (p & 63);
    ++total_;
  }
}

int64_t TDevazozVisibleIndex::RankOf(int32_t place) const {
  place = std::clamp(place, 0, places_);
  const int32_t block = place / kBlock;
  int64_t rank = before_[size_t(block)];
  for (int32_t p = block * kBlock; p < place;) {
    if (p % 64 == 0 && place - p >= 64) {
      rank += std::popcount(bits_[size_t(p) >> 6]);
      p += 64;
    } else {
      rank += Has(p) ? 1 : 0;
      ++p;
    }
  }
  return rank;
}

int32_t TDevazozVisibleIndex::PlaceAt(int64_t rank) const {
  if (rank < 0 || rank >= total_) return -1;
  // The last block whose count before it is at most rank, then its places.
  auto after = std::upper_bound(before_.begin(), before_.end(), rank);
  int32_t block = int32_t(after - before_.begin()) - 1;
  int64_t seen = before_[size_t(block)];
  for (int32_t p = block * kBlock; p < places_; ++p) {
    if (!Has(p)) continue;
    if (seen == rank) return p;
    ++seen;
  }
  return -1;
}

// ---------------------------------------------------------------------------
// The dataset's place operations

namespace {

// After changes to more than this share of a tag's records, read the tag again.
constexpr double kRebuildShare = 0.01;
// How far a changed record's unchanged neighbour is looked for.
constexpr int kNeighbourSteps = 256;
// A table this small is read into the digest at once when the place is asked for,
// so that its deleted records are known (a few milliseconds).
constexpr int32_t kDigestAtOnce = 20000;

}  // namespace

std::string TDevazozDataSet::PlaceOrderKey() {
  std::string key = handler_->CurrentTagName();
  key += '\x1f';
  if (range_set_) {
    key += range_low_ + '\x1f' + range_high_;
  } else if (master_link_.Active() && !master_link_.Fields().empty()) {
    key += master_link_.Fields().front()->AsString();
  }
  return key;
}

TDevazozTagOrder* TDevazozDataSet::PlaceOrder() {
  DBFObject& h = *handler_;
  GSobjIndexTag* tag = h.CurrentTag();
  if (tag == nullptr) return nullptr;
  if (!place_) place_ = std::make_unique<TDevazozViewPlace>();
  const std::string key = PlaceOrderKey();
  auto found = place_->orders.find(key);
  const int32_t records = h.RecordCount();
  if (found != place_->orders.end()) {
    const TDevazozTagOrder& kept = found->second;
    const bool small = kept.Size() <= kDigestAtOnce;
    const double changes = double(kept.ChangedCount());
    if (changes == 0 || (!small && changes <= kRebuildShare * kept.Size())) return &found->second;
  }
  TDevazozTagOrder& order = place_->orders[key];
  const int32_t remembered = h.RecordNumber();
  try {
    order.Build(*tag, records);
  } catch (...) {
    place_->orders.erase(key);
    if (remembered > 0) h.GetRecord(remembered);
    CursorPosChanged();
    throw;
  }
  if (remembered > 0) h.GetRecord(remembered);
  CursorPosChanged();
  place_->visible_signature.clear();
  return &order;
}

void TDevazozDataSet::PlaceVisible(TDevazozTagOrder* order) {
  DBFObject& h = *handler_;
  if (!DigestUsable() && h.RecordCount() <= kDigestAtOnce) {
    try {
      CompleteDigest();
    } catch (const std::exception&) {
      // An unreadable table is reported by the moves that read it; here the
      // deleted records just stay unknown.
    }
  }
  const bool digest = DigestUsable();
  const int32_t places = order ? order->Size() : h.RecordCount();
  std::string signature = PlaceOrderKey() + '\x1f' + std::to_string(places) + '\x1f' +
                          std::to_string(place_->writes) + '\x1f' + (digest ? "d" : "-") +
                          (h.use_deleted ? "u" : "-") + (h.FilterSetInUse() ? "f" : "-") +
                          h.FilterText() + '\x1f' + quick_text_;
  if (signature == place_->visible_signature) return;
  const auto record_at = [order](int32_t place) {
    return order ? order->RecordAt(place) : place + 1;
  };
  if (digest) {
    const TDigestBits rows = VisibleRows();
    place_->visible.Build(places, [&](int32_t place) { return rows.Has(record_at(place) - 1); });
  } else {
    // Without the digest the deleted records are not known: they count as shown.
    const bool filter = h.FilterSetInUse();
    const TgsHugeSet* accept = h.AcceptSet();
    place_->visible.Build(places, [&](int32_t place) {
      const int32_t r = record_at(place);
      return (!filter || h.FilterSet().Has(r)) && (!accept || accept->Has(r));
    });
  }
  const bool ranged = range_set_ || (master_link_.Active() && !master_link_.Fields().empty());
  // A range limits the tag's list itself; a record filter event can only be asked
  // record by record.
  place_->exact =
      (digest || h.use_deleted) && !(Filtered() && OnFilterRecord) && (order != nullptr || !ranged);
  place_->visible_signature = std::move(signature);
}

int32_t TDevazozDataSet::PlaceOfRecord(TDevazozTagOrder* order, int32_t record) {
  if (!order) return record - 1;
  int32_t place = order->PlaceOf(record);
  if (place >= 0 && !order->Changed(record)) return place;
  // Moved or new since the tag was read: from the nearest unchanged neighbour.
  DBFObject& h = *handler_;
  GSobjIndexTag* tag = h.CurrentTag();
  const int32_t remembered = h.RecordNumber();
  place = -1;
  h.GetRecord(record);
  for (int direction : {kNavNext, kNavPrior}) {
    if (h.RecordNumber() != record) h.GetRecord(record);
    int32_t r = record;
    for (int step = 1; step <= kNeighbourSteps; ++step) {
      r = tag->Navigate(direction);
      if (r <= 0) break;
      const int32_t at = order->PlaceOf(r);
      if (at >= 0 && !order->Changed(r)) {
        place = direction == kNavNext ? at - step + 1 : at + step;
        break;
      }
    }
    if (place >= 0) break;
  }
  if (remembered > 0) h.GetRecord(remembered);
  CursorPosChanged();
  return place >= 0 ? std::clamp(place, 0, std::max(order->Size() - 1, 0)) : -1;
}

// A place is only shown, never acted on: when the index cannot be read for it the
// place is unknown, and the moves that read it report the damage.
double TDevazozDataSet::RecordFraction(int* rows) {
  if (rows != nullptr) *rows = 0;
  if (!handler_ || IsEmpty() || State() != TDataSetState::dsBrowse) return -1.0;
  try {
    return PlaceFraction(rows);
  } catch (const std::exception&) {
    if (rows != nullptr) *rows = 0;
    return -1.0;
  }
}

double TDevazozDataSet::PlaceFraction(int* rows) {
  const int32_t record = GetRecNo();
  if (record <= 0) return -1.0;
  if (!place_) place_ = std::make_unique<TDevazozViewPlace>();
  TDevazozTagOrder* order = PlaceOrder();
  PlaceVisible(order);
  // Natural order without a filter, deleted records not known: the record number.
  if (!place_->exact && IsSequenced()) return TDataSet::RecordFraction(rows);
  const int32_t place = PlaceOfRecord(order, record);
  if (place < 0) return -1.0;
  // Records appended since the tag was read are not in the list: counted as shown.
  const int64_t count = place_->visible.Count() + (order ? order->Added() : 0);
  if (count <= 0) return -1.0;
  if (rows != nullptr && place_->exact && count <= INT32_MAX) *rows = int(count);
  if (count == 1) return 0.0;
  const int64_t rank = std::min(place_->visible.RankOf(place), count - 1);
  return double(rank) / double(count - 1);
}

bool TDevazozDataSet::MoveToFraction(double fraction) {
  if (!handler_ || IsEmpty() || !std::isfinite(fraction)) return false;
  CheckBrowseMode();
  if (!place_) place_ = std::make_unique<TDevazozViewPlace>();
  TDevazozTagOrder* order = PlaceOrder();
  PlaceVisible(order);
  if (!place_->exact && IsSequenced()) return TDataSet::MoveToFraction(fraction);
  const int64_t count = place_->visible.Count();
  if (count <= 0) return false;
  const int64_t rank = std::llround(std::clamp(fraction, 0.0, 1.0) * double(count - 1));
  int32_t place = place_->visible.PlaceAt(rank);
  if (place < 0) return false;
  int32_t record = order ? order->RecordAt(place) : place + 1;
  // A record that moved since the tag was read stands elsewhere now: take the next
  // one that did not.
  if (order) {
    while (order->Changed(record) && place + 1 < order->Size()) record = order->RecordAt(++place);
  }
  SetRecNo(record);
  // A record the filter event or a deletion hides is left for the nearest shown one.
  if (!place_->exact) {
    Next();
    if (!Eof()) Prior();
  }
  return true;
}

void TDevazozDataSet::PlaceWritten(int32_t record) {
  if (!place_) return;
  ++place_->writes;
  for (auto& [key, order] : place_->orders) order.MarkChanged(record);
}

void TDevazozDataSet::PlaceShownChanged() {
  if (place_) ++place_->writes;
}

void TDevazozDataSet::DropPlace() { place_.reset(); }

}  // namespace devazoz
