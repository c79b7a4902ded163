// Character sets of the tables and the user interface: ANSI is Windows-1252, OEM is
// code page 437. All operations work on byte text in place or return a copy.
#ifndef PLATFORM_SERVICES_CODEPAGE_H_
#define PLATFORM_SERVICES_CODEPAGE_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

uint8_t AnsiUpperChar(uint8_t c);
uint8_t AnsiLowerChar(uint8_t c);
void AnsiUpperBuffer(char* bytes, size_t count);
void AnsiLowerBuffer(char* bytes, size_t count);
std::string AnsiUpper(std::string text);
std::string AnsiLower(std::string text);

void OemToAnsiBuffer(const char* source, char* dest, size_t count);
void AnsiToOemBuffer(const char* source, char* dest, size_t count);
std::string OemToAnsi(const std::string& text);
std::string AnsiToOem(const std::string& text);

// Upper case of an OEM byte: the OEM letter whose ANSI form is the upper case of this
// byte's ANSI form ("ü" 0x81 gives "Ü" 0x9A). Bytes without such a letter stay as they are.
uint8_t OemUpperChar(uint8_t c);
std::string OemUpper(std::string text);

// Windows-1252 bytes to UTF-8 and back, for the windowing toolkit; unmappable
// characters become '?'.
std::string AnsiToUtf8(const std::string& text);
std::string Utf8ToAnsi(const std::string& text);
// Utf8ToAnsi that loses nothing: false, with the first character Windows-1252
// lacks (or the first byte that is no UTF-8) in *missing, instead of a '?'.
bool Utf8ToAnsiExact(const std::string& text, std::string& out, std::string* missing);

// The place of the first ANSI character that code page 437 (OEM) has no
// character for (AnsiToOem would give another character), or npos.
size_t FirstAnsiNotInOem(const std::string& text);

}  // namespace platform

#endif  // PLATFORM_SERVICES_CODEPAGE_H_
