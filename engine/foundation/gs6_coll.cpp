#include "engine/foundation/gs6_coll.h"

#include <algorithm>

namespace devazoz {

// A descendant's FreeItem can no longer be reached from here, so a descendant that
// overrides it empties the list (FreeAll) in its own destructor.
TgsCollection::~TgsCollection() { FreeAll(); }

void TgsCollection::FreeItem(TgsObject* item) { delete item; }

void TgsCollection::FreeAll() {
  std::vector<TgsObject*> items;
  items.swap(items_);
  for (TgsObject* item : items) FreeItem(item);
}

void TgsCollection::RemoveAndFree(TgsObject* item) {
  if (Remove(item)) FreeItem(item);
}

void TgsCollection::Insert(size_t index, TgsObject* item) {
  if (index > items_.size()) index = items_.size();
  items_.insert(items_.begin() + long(index), item);
}

bool TgsCollection::Remove(TgsObject* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return false;
  items_.erase(it);
  return true;
}

void TgsCollection::Delete(size_t index) {
  if (index < items_.size()) items_.erase(items_.begin() + long(index));
}

int TgsCollection::IndexOf(const TgsObject* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : int(it - items_.begin());
}

}  // namespace devazoz
