// The table's link to the expression engine: created when a table opens (its
// field variables and table functions), freed when it closes.
#ifndef ENGINE_TABLE_GS6_EXPLINK_H_
#define ENGINE_TABLE_GS6_EXPLINK_H_

namespace devazoz {

class GSO_dBaseFld;
class TgsDBFExpUserLink;

TgsDBFExpUserLink* CreateTableExpressionLink(GSO_dBaseFld* table);
void DestroyTableExpressionLink(TgsDBFExpUserLink* link);

}  // namespace devazoz

#endif  // ENGINE_TABLE_GS6_EXPLINK_H_
