// The general collation of compound indexes: character keys stored as a string
// of primary weights followed by a string of secondary (diacritic) codes, so
// that keys sort without regard to accents first.
#ifndef ENGINE_INDEX_GS6_CDXCOLL_H_
#define ENGINE_INDEX_GS6_CDXCOLL_H_

#include <cstdint>
#include <string>

namespace devazoz {

// Translates text (trailing blanks already removed) into its weights: the
// primary weights, then every secondary code or-ed with 0xF0, with trailing
// 0xF0 bytes removed.
std::string GeneralCollationKey(const uint8_t* text, uint32_t length);

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_CDXCOLL_H_
