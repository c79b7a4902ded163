// File-name services: full-path expansion, the executable's and the system's
// configuration directories, and reading one section of an INI-style file.
#ifndef PLATFORM_SERVICES_PATHS_H_
#define PLATFORM_SERVICES_PATHS_H_

#include <string>
#include <utility>
#include <vector>

namespace platform {

// An absolute, normalised form of the name ("." and ".." resolved) against the
// current directory. Does not touch the file itself.
std::string ExpandFileName(const std::string& name);
std::string CurrentDirectory();
std::string ExecutableDirectory();
// The directory that stands in for the operating system's Windows directory:
// $QVX_WINDIR when set, else /etc.
std::string WindowsDirectory();
// The user's configuration directory: $XDG_CONFIG_HOME when set, else $HOME/.config.
std::string UserConfigDirectory();
// The name=value lines of [section] in an INI file; empty when the file or section is absent.
std::vector<std::pair<std::string, std::string>> ReadIniSection(const std::string& file,
                                                                const std::string& section);

}  // namespace platform

#endif  // PLATFORM_SERVICES_PATHS_H_
