#include "tests/support/comma_locale.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qvx_test {

CommaLocale::CommaLocale() {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  saved_ = old ? old : "C";
  bool switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  if (!switched) {
    dir_ = std::make_unique<TempDir>();
    std::string out;
    RunCommand("localedef -i de_DE -f UTF-8 " + dir_->File("de_DE.UTF-8") + " 2>&1", &out);
    setenv("LOCPATH", dir_->path().c_str(), 1);
    switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  }
  if (!switched) return;
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  active_ = std::strcmp(probe, "1,5") == 0;  // the C library now writes a comma
}

CommaLocale::~CommaLocale() {
  std::setlocale(LC_NUMERIC, saved_.c_str());
  if (dir_) unsetenv("LOCPATH");
}

}  // namespace qvx_test
