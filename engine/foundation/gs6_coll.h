// TgsCollection: the engine's list of object pointers. Freeing an item goes
// through the virtual FreeItem, so a list can own its items (the default) or just
// refer to them (a descendant that overrides FreeItem to do nothing).
#ifndef ENGINE_FOUNDATION_GS6_COLL_H_
#define ENGINE_FOUNDATION_GS6_COLL_H_

#include <cstddef>
#include <vector>

#include "engine/foundation/gs6_glbl.h"

namespace devazoz {

class TgsCollection : public TgsObject {
 public:
  TgsCollection() = default;
  ~TgsCollection() override;

  virtual void FreeItem(TgsObject* item);
  void FreeAll();
  void RemoveAndFree(TgsObject* item);

  void Add(TgsObject* item) { items_.push_back(item); }
  void Insert(size_t index, TgsObject* item);
  // Removes without freeing; false when the item is not listed.
  bool Remove(TgsObject* item);
  void Delete(size_t index);
  int IndexOf(const TgsObject* item) const;
  size_t Count() const { return items_.size(); }
  TgsObject* At(size_t index) const { return items_.at(index); }

 private:
  std::vector<TgsObject*> items_;
};

}  // namespace devazoz

#endif  // ENGINE_FOUNDATION_GS6_COLL_H_
