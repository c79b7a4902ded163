// Switches the C library's numeric locale to one whose decimal separator is a comma
// (de_DE.UTF-8), as a windowing toolkit does from the user's environment, and back at
// the end of the scope. When the locale is not installed it is compiled into a
// temporary directory with localedef; Active() is false when neither works, and the
// test should skip with Reason().
#ifndef TESTS_SUPPORT_COMMA_LOCALE_H_
#define TESTS_SUPPORT_COMMA_LOCALE_H_

#include <memory>
#include <string>

#include "tests/support/dbf_fixture.h"

namespace qvx_test {

class CommaLocale {
 public:
  CommaLocale();
  ~CommaLocale();
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;
  bool Active() const { return active_; }
  static const char* Reason() {
    return "no locale with a decimal comma (run: localedef -i de_DE -f UTF-8 de_DE.UTF-8)";
  }

 private:
  std::string saved_;
  std::unique_ptr<TempDir> dir_;
  bool active_ = false;
};

}  // namespace qvx_test

#endif  // TESTS_SUPPORT_COMMA_LOCALE_H_
