// Small text and file-name helpers shared by the engine.
#ifndef ENGINE_FOUNDATION_GS6_TOOL_H_
#define ENGINE_FOUNDATION_GS6_TOOL_H_

#include <cstddef>
#include <string>

namespace devazoz {

// The name unchanged when its last component has an extension, else name + extension.
std::string DefaultExtension(const std::string& name, const std::string& extension);
// The file name without directory and extension.
std::string BaseName(const std::string& name);
// The file name without directory.
std::string FileNamePart(const std::string& name);
// The name with its extension replaced (or added).
std::string ChangeExtension(const std::string& name, const std::string& extension);
// Appends c until text is n long.
std::string PadRight(std::string text, char c, size_t n);
std::string TrimRightZ(std::string text);
std::string TrimLeft(const std::string& text);
std::string Trim(const std::string& text);
void UpperCaseBuffer(char* bytes, size_t count);
int CompareZ(const char* a, const char* b);
int CompareZNoCase(const char* a, const char* b);
double Ceiling(double x);
double Floor(double x);

}  // namespace devazoz

#endif  // ENGINE_FOUNDATION_GS6_TOOL_H_
