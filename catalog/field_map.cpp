#include "catalog/field_map.h"

#include <algorithm>
#include <cctype>

namespace catalog {
namespace {

struct Synonyms {
  const char* field;
  std::vector<const char*> keys;  // HeaderKey forms
};

const std::vector<Synonyms>& SynonymTable() {
  static const std::vector<Synonyms> table = {
      {"TITLE", {"title", "name", "game", "gametitle", "gamename", "titlename"}},
      {"CATEGORY", {"category", "genre", "genres", "categories"}},
      {"DEVELOPER", {"developer", "developers", "developedby", "dev"}},
      {"DISTRIBUTR", {"distributor", "publisher", "publishers", "publishedby"}},
      {"PLAYERS", {"players", "numberofplayers", "noofplayers", "maxplayers", "playercount"}},
      {"MEMORYBLKS", {"memoryblocks", "memblocks", "blocks", "memorycardblocks", "saveblocks"}},
      {"ANALOG", {"analog", "analogue", "analogcompatible"}},
      {"DUALSHOCK", {"dualshock", "dualshockcompatible", "vibration", "rumble"}},
      {"NOTES", {"notes", "note", "description", "comments", "comment"}},
  };
  return table;
}

}  // namespace

std::string HeaderKey(std::string_view header) {
  std::string key;
  for (char c : header) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x80 && std::isalnum(u)) key += char(std::tolower(u));
  }
  return key;
}

int FieldIndex(const std::vector<TargetField>& fields, std::string_view name) {
  std::string key = HeaderKey(name);
  for (size_t i = 0; i < fields.size(); ++i)
    if (!key.empty() && HeaderKey(fields[i].name) == key) return int(i);
  return -1;
}

std::vector<int> MapColumns(const std::vector<std::string>& headers,
                            const std::vector<TargetField>& fields) {
  std::vector<int> map(headers.size(), -1);
  std::vector<bool> taken(fields.size(), false);
  auto assign = [&](size_t column, int field) {
    if (field < 0 || taken[size_t(field)] || map[column] >= 0) return;
    map[column] = field;
    taken[size_t(field)] = true;
  };
  for (size_t c = 0; c < headers.size(); ++c) assign(c, FieldIndex(fields, headers[c]));
  for (size_t c = 0; c < headers.size(); ++c) {
    std::string key = HeaderKey(headers[c]);
    for (const Synonyms& s : SynonymTable()) {
      if (std::find(s.keys.begin(), s.keys.end(), key) == s.keys.end()) continue;
      assign(c, FieldIndex(fields, s.field));
      break;
    }
  }
  return map;
}

bool ParseLogical(std::string_view text, bool& value) {
  static const char* const kTrue[] = {"yes", "y", "true", "t", "1", "x", "on"};
  static const char* const kFalse[] = {"", "no", "n", "false", "f", "0", "off", "-"};
  std::string t;
  for (char c : text)
    if (c != ' ' && c != '\t') t += char(std::tolower(static_cast<unsigned char>(c)));
  value = false;
  for (const char* k : kTrue)
    if (t == k) return value = true;
  for (const char* k : kFalse)
    if (t == k) return true;
  return false;
}

}  // namespace catalog
