// The character sets a list to import may come in, and their detection. The catalog's
// own text is the interface's ANSI set (Windows-1252) on this side of the dataset; a
// file is UTF-8 (with or without a byte-order mark) or Windows-1252.
//
// Detection: a byte-order mark means UTF-8; otherwise a file whose every byte
// sequence is valid UTF-8 is UTF-8 (plain ASCII included, which reads the same in
// both), and any other file is Windows-1252, where every byte is a character.
#ifndef CATALOG_TEXT_ENCODING_H_
#define CATALOG_TEXT_ENCODING_H_

#include <string>
#include <string_view>

namespace catalog {

enum class Encoding { kUtf8, kCp1252 };

// "UTF-8" or "Windows-1252".
const char* EncodingName(Encoding encoding);

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool StartsWithUtf8Bom(std::string_view bytes);
// True when every sequence is a well-formed UTF-8 character (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// The bytes as Windows-1252 text. UTF-8 characters without a Windows-1252 form
// become '?'. REQUIRES: for kUtf8, IsValidUtf8(bytes).
std::string ToAnsi(const std::string& bytes, Encoding encoding);

}  // namespace catalog

#endif  // CATALOG_TEXT_ENCODING_H_
