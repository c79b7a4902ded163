#include "app/GridPos.h"

#include <algorithm>
#include <memory>

#include "app/DataMod.h"
#include "engine/foundation/gs6_dbsy.h"
#include "engine/index/gs6_indxkey.h"
#include "engine/index/gs6_indxtag.h"

namespace {

devazoz::GSO_dBHandler* HandlerOf(platform::TDataSet& dataset) {
  auto* table = dynamic_cast<TDevazozDataSet*>(&dataset);
  return table != nullptr && table->Active() ? table->Handler() : nullptr;
}

}  // namespace

double TDevazozGridPositioner::Position(platform::TDataSet& dataset, int32_t* cursor_record) {
  devazoz::GSO_dBHandler* handler = HandlerOf(dataset);
  if (handler == nullptr) return -1.0;
  *cursor_record = handler->RecordNumber();
  devazoz::GSobjIndexTag* tag = handler->CurrentTag();
  if (tag == nullptr) {
    // Natural order under a filter: the record number among all records.
    const int32_t count = handler->RecordCount();
    return count > 1 ? double(handler->RecordNumber() - 1) / (count - 1) : 0.0;
  }
  double fraction = 0.0;
  double scale = 1.0;
  int depth = 0;
  for (devazoz::GSobjIndexKey* node = tag->Root(); node != nullptr && depth < 64;
       node = node->Child.get(), ++depth) {
    const size_t count = node->Count();
    if (count == 0) break;
    const int position = std::clamp(node->Position, 0, int(count) - 1);
    fraction += scale * position / double(count);
    scale /= double(count);
    if (node->IsLeaf()) break;
  }
  return std::clamp(fraction, 0.0, 1.0);
}

bool TDevazozGridPositioner::MoveToPosition(platform::TDataSet& dataset, double fraction) {
  devazoz::GSO_dBHandler* handler = HandlerOf(dataset);
  if (handler == nullptr) return false;
  devazoz::GSobjIndexTag* tag = handler->CurrentTag();
  int32_t record = 0;
  if (tag == nullptr) {
    record = std::max<int32_t>(1, int32_t(fraction * handler->RecordCount()) + 1);
  } else {
    // Down from the root, one node per level, to the entry at the fraction.
    int32_t page = tag->RootPointer();
    for (int depth = 0; depth < 64 && page > 0; ++depth) {
      auto node = std::make_unique<devazoz::GSobjIndexKey>(tag, nullptr, page,
                                                           devazoz::kNodeInterior, depth);
      const size_t count = node->Count();
      if (count == 0) return false;
      const size_t index = std::min(count - 1, size_t(fraction * double(count)));
      fraction = std::clamp(fraction * double(count) - double(index), 0.0, 1.0);
      if (node->IsLeaf()) {
        record = node->RecordAt(index);
        break;
      }
      page = node->PointerAt(index);
    }
  }
  if (record <= 0) return false;
  dataset.SetRecNo(record);
  // A record hidden by the filter or deleted is left for the nearest visible one.
  if (dataset.Filtered()) {
    dataset.Next();
    if (!dataset.Eof()) dataset.Prior();
  }
  return true;
}
