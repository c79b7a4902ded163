// Support for the program's window tests: a catalog directory made by the sample
// maker (or from other programs' tables) and the program's windows created over
// it. Answering modal windows and running commands: tests/support_qt/qt_test.h.
#ifndef TESTS_APP_APP_TEST_SUPPORT_H_
#define TESTS_APP_APP_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

#include "tests/support/dbf_fixture.h"
#include "tests/support_qt/qt_test.h"

class QWidget;

namespace qvx_test {

// Writes the sample catalog (titles as given) into dir.
void MakeSampleCatalog(const std::string& dir, int titles = 48);

// What `devazoz check TABLE INDEX` prints (standard output, then errors) for
// two files of dir.
std::string DevazozCheck(const TempDir& dir, const std::string& table, const std::string& index);

// Saves a picture of the main window as NAME.png in the directory named by the
// environment's QVX_SHOT_DIR (nothing without it), for looking at the windows.
void SaveShot(const std::string& name);

// The program's windows over a catalog directory: CreateForms in the directory,
// the main window shown, and everything torn down at the end.
class ProgramFixture : public ::testing::Test {
 protected:
  void TearDown() override;
  // Creates the forms with dir as the current directory and shows the main window.
  void Start(const std::string& dir);
  void Stop();
  std::string old_dir_;
  bool started_ = false;
};

}  // namespace qvx_test

#endif  // TESTS_APP_APP_TEST_SUPPORT_H_
