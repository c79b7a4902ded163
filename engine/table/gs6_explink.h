// The table's link to the expression engine: created when a table opens (its
// field variables and table functions), freed when it closes.
#ifndef ENGINE_TABLE_GS6_EXPLINK_H_
#define ENGINE_TABLE_GS6_EXPLINK_H_

#include <memory>

namespace devazoz {

class GSO_dBaseFld;
class TgsDBFExpUserLink;

// Frees a link where its class is complete, so that holders need only the
// forward declaration.
struct TgsExpLinkDeleter {
  void operator()(TgsDBFExpUserLink* link) const;
};
using TgsTableExpLink = std::unique_ptr<TgsDBFExpUserLink, TgsExpLinkDeleter>;

// The link of a table (null table: the table functions only); the table owns it.
TgsTableExpLink CreateTableExpressionLink(GSO_dBaseFld* table);

}  // namespace devazoz

#endif  // ENGINE_TABLE_GS6_EXPLINK_H_
