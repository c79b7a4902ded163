// Until the expression engine registers a table's names, a table has no link.
#include "engine/table/gs6_explink.h"

namespace devazoz {

TgsDBFExpUserLink* CreateTableExpressionLink(GSO_dBaseFld*) { return nullptr; }
void DestroyTableExpressionLink(TgsDBFExpUserLink*) {}

}  // namespace devazoz
