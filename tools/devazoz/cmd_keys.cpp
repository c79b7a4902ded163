// devazoz keys TABLE INDEXFILE TAG: every key of the tag in traversal order
// (descending tags highest first), one line KEY<TAB>RECNO: character keys
// without trailing blanks, numbers as FormatNumber gives them, dates yyyymmdd.
#include <cstdio>
#include <string>

#include "engine/foundation/gs6_Date.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_cdxnode.h"
#include "engine/index/gs6_mdxnode.h"
#include "engine/index/gs6_ntxtag.h"
#include "tools/devazoz/commands.h"
#include "tools/devazoz/index_progress.h"

namespace devazoz_tool {
namespace {

std::string KeyText(const devazoz::GSobjIndexTag& tag) {
  const devazoz::TgsVariant& v = tag.CurrentKey().Value;
  if (tag.KeyType() == 'C')
    return Escape(std::string(reinterpret_cast<const char*>(v.Data()), v.Length()));
  double number;
  if (tag.FormatName() == "NTX") {
    // Digits: a date as yyyymmdd ("00000000" for none), a number as text.
    if (tag.KeyType() == 'D') {
      std::string digits(reinterpret_cast<const char*>(v.Data()), v.Length());
      return digits == "00000000" ? std::string(8, ' ') : Escape(digits);
    }
    number = devazoz::GSobjNTXTag::DecodeNumber(v.Data(), v.Length());
  } else if (tag.FormatName() == "MDX") {
    number = devazoz::MdxKeyNumber(tag.KeyType(), v.Data(), v.Length());
  } else {
    number = devazoz::DecodeCdxNumber(v.Data(), v.Length());
  }
  if (tag.KeyType() == 'D') {
    // An empty date in an NDX or MDX file is a huge number; CDX keeps 0.
    if (!(number >= 1 && number < 1e8)) return std::string(8, ' ');
    return devazoz::DBFDate().DayToStorage(int32_t(number));
  }
  return FormatNumber(number);
}

int RunKeys(const ParsedArgs& parsed) {
  const Args& args = parsed.Positionals();
  if (args.size() != 3) throw UsageError{"keys takes a table, an index file and a tag"};
  devazoz::GSO_dBaseFld table(args[0], false, false);
  auto cdx = OpenIndex(&table, args[1], false, false);
  devazoz::GSobjIndexTag* tag = cdx->FindTag(args[2]);
  if (!tag) throw devazoz::EDevazozError("Cannot find index tag " + args[2]);
  // No walk of a sound file yields more keys than its blocks can hold.
  uint64_t limit = uint64_t(cdx->KnownEnd(true) / 512 + 1) * devazoz::kCdxMaxLeafKeys * 2;
  uint64_t count = 0;
  std::string out;
  tag->LoadTree(0);
  for (tag->Navigate(devazoz::kNavFirst); !tag->Eof() && !tag->Bof();
       tag->Navigate(devazoz::kNavNext)) {
    if (++count > limit) throw devazoz::EDevazozError("Index tag " + args[2] + " never ends");
    out += KeyText(*tag) + "\t" + std::to_string(tag->CurrentKey().TreePointer) + "\n";
    if (out.size() > (1 << 16)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  tag->ReleaseTree();
  std::fwrite(out.data(), 1, out.size(), stdout);
  return kExitOk;
}

static CommandRegistrar reg(
    {"keys",
     "lists every key of an index tag in the tag's order",
     "keys TABLE INDEXFILE TAG",
     {{"TABLE", "the table the index belongs to"},
      {"INDEXFILE", "a CDX, NTX, NDX or MDX file (the format follows the extension)"},
      {"TAG", "the tag's name (an NTX or NDX file's tag is named after the file)"}},
     {},
     "output: one line KEY<TAB>RECNO per key, descending tags highest first; character\n"
     "keys without trailing blanks, numbers in plain decimals, dates as yyyymmdd."},
    &RunKeys);

}  // namespace
}  // namespace devazoz_tool
