// Where the catalog grid's scroll-bar thumb stands on a table in index-tag order
// or under a filter, and moving to a thumb position, from the current tag's node
// path: each level of the B-tree narrows the position to one entry of its node,
// so the path from the root to the leaf gives the fraction of the keys before
// the current one. Reading it costs nothing (the path is loaded); moving to a
// fraction loads one node per level. Keys hidden by a filter or a FOR condition
// still count, so under a filter the position is an estimate.
#ifndef APP_GRIDPOS_H_
#define APP_GRIDPOS_H_

#include "platform/qt/db_grid.h"

class TDevazozGridPositioner : public platform::qt::TGridPositioner {
 public:
  double Position(platform::TDataSet& dataset, int32_t* cursor_record) override;
  bool MoveToPosition(platform::TDataSet& dataset, double fraction) override;
};

#endif  // APP_GRIDPOS_H_
