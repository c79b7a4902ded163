// Support for the program's window tests: a catalog directory made by the sample
// maker (or from other programs' tables), the program's windows created over it,
// and an answerer for modal boxes.
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

// Answers modal windows as they appear (see qvxtest::ModalAnswers): each answer
// is given the modal widget and must close it. Texts of message boxes are kept in
// Texts().
class ModalAnswerer {
 public:
  // Queues an answer for the next modal window.
  void Then(std::function<void(QWidget*)> answer) { answers_.Then(std::move(answer)); }
  // Queues a click on the button of a message box whose text is `button` ("OK",
  // "Cancel", "&Yes", "&No").
  void Press(const QString& button);
  QStringList Texts() const;
  int Pending() const { return answers_.Pending(); }

 private:
  qvxtest::ModalAnswers answers_;
};

// Runs work as an event of the message loop, so that an exception reaches the
// application's handler as it would from a menu command; returns when it is done.
void RunAsEvent(const std::function<void()>& work);

// Saves a picture of the main window as NAME.png in the directory named by the
// environment's QVX_SHOT_DIR (nothing without it), for looking at the windows.
void SaveShot(const std::string& name);

// Lets the event loop deliver what is pending.
void ProcessEvents();

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
