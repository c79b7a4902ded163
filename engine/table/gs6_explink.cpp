// A table's expression link: its table functions and one variable per field,
// registered in this order when the table opens.
#include "engine/table/gs6_explink.h"

#include <memory>

#include "engine/table/gs6_dbfld.h"
#include "engine/table/gs6_sqldbf.h"

namespace devazoz {

TgsTableExpLink CreateTableExpressionLink(GSO_dBaseFld* table) {
  auto link = std::make_unique<TgsDBFExpUserLink>(table);
  link->AddFunction(std::make_unique<TgslDBFRecNo>(table));
  link->AddFunction(std::make_unique<TgslDBFDeleted>(table));
  link->AddFunction(std::make_unique<TgslDBFBOF>(table));
  link->AddFunction(std::make_unique<TgslDBFEOF>(table));
  link->AddFunction(std::make_unique<TgslDBFType>(table));
  link->AddFunction(std::make_unique<TgslDBFLen>(table));
  if (table) {
    for (const FieldDescriptor& field : table->Descriptors())
      link->AddFieldVar(std::make_unique<TgslDBFFieldVars>(field.name, table, field.number));
  }
  return TgsTableExpLink(link.release());
}

void TgsExpLinkDeleter::operator()(TgsDBFExpUserLink* link) const {
  std::default_delete<TgsDBFExpUserLink>()(link);
}

}  // namespace devazoz
