// Under a real window manager (Xvfb with openbox, driven by xdotool as a user's
// keyboard would be), the main window gets the keyboard back after every modal
// form and message box closes. Skipped when Xvfb, openbox or xdotool is missing.
//
// One cycle: Enter opens the current title in the catalog form, a letter typed
// into the title puts it into editing, Esc asks "Do you want to save changes?",
// and Alt+N answers No: the box and the form close one after the other, which is
// when a window manager is most likely to leave no window active.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/app/app_test_support.h"
#include "tests/support/child_process.h"

namespace qvx_test {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// An X server of its own on a free display, with openbox managing its windows.
class XSession {
 public:
  bool Start() {
    if (!server_.Start(
            {"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, {}, "",
            "/dev/null"))
      return false;
    // Xvfb writes the display number it took once it accepts connections.
    for (auto end = Clock::now() + milliseconds(20000); Clock::now() < end;) {
      const std::string& out = server_.Output();
      if (out.find('\n') != std::string::npos) {
        display_ = ":" + out.substr(0, out.find('\n'));
        break;
      }
      if (!server_.Running()) return false;
      std::this_thread::sleep_for(milliseconds(20));
    }
    if (display_.empty()) return false;
    if (!manager_.Start({"openbox"}, {{"DISPLAY", display_}}, "", "/dev/null")) return false;
    // The manager is up once it has set its check window on the root.
    return Until(milliseconds(20000), [this] {
      return X("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") != std::string::npos;
    });
  }
  const std::string& Display() const { return display_; }

  // Runs an X client command line on this display; its output.
  std::string X(const std::string& command) const {
    std::string out;
    RunCommand("DISPLAY=" + display_ + " " + command, &out);
    return out;
  }
  std::string ActiveWindow() const { return Trim(X("xdotool getactivewindow")); }
  std::string ActiveTitle() const { return Trim(X("xdotool getactivewindow getwindowname")); }

  // Polls `done` until it holds or `limit` passes.
  template <class Done>
  static bool Until(milliseconds limit, Done done) {
    for (auto end = Clock::now() + limit;;) {
      if (done()) return true;
      if (Clock::now() >= end) return false;
      std::this_thread::sleep_for(milliseconds(20));
    }
  }
  static std::string Trim(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
  }

 private:
  ChildProcess server_;
  ChildProcess manager_;
  std::string display_;
};

TEST(FocusUnderWindowManager, MainWindowIsActiveAfterEachOfFiftyFormAndBoxCycles) {
  for (const char* tool : {"Xvfb", "openbox", "xdotool", "xprop"})
    if (!ProgramInPath(tool)) GTEST_SKIP() << tool << " is not installed";
  XSession x;
  ASSERT_TRUE(x.Start()) << "no X server with openbox";
  TempDir dir;
  MakeSampleCatalog(dir.path());
  ChildProcess program;
  ASSERT_TRUE(program.Start({QVX_QVXCAT_APP},
                            {{"DISPLAY", x.Display()}, {"QT_QPA_PLATFORM", "xcb"}}, dir.path(),
                            dir.File("qvxcat.err")));
  std::string main_window;
  ASSERT_TRUE(XSession::Until(milliseconds(20000), [&] {
    main_window = XSession::Trim(x.X("xdotool search --onlyvisible --name ' - QVX Catalog$'"));
    return !main_window.empty() && main_window.find('\n') == std::string::npos;
  })) << "the main window did not show";
  ASSERT_TRUE(XSession::Until(milliseconds(10000), [&] { return x.ActiveWindow() == main_window; }))
      << "the main window is not active at start";

  int lost = 0;
  int boxes = 0;  // cycles where the question was asked (the key may beat the form)
  for (int cycle = 1; cycle <= 50; ++cycle) {
    x.X("xdotool key Return");
    ASSERT_TRUE(XSession::Until(milliseconds(10000), [&] { return x.ActiveTitle() == "Catalog"; }))
        << "cycle " << cycle << ": the catalog form did not become active";
    x.X("xdotool type x");
    x.X("xdotool key Escape");
    std::string asked;
    ASSERT_TRUE(XSession::Until(milliseconds(10000),
                                [&] {
                                  asked = x.ActiveTitle();
                                  return asked == "Warning" || x.ActiveWindow() == main_window;
                                }))
        << "cycle " << cycle << ": after Esc the active window is '" << asked << "'";
    if (asked == "Warning") {
      ++boxes;
      x.X("xdotool key alt+n");
    }
    if (!XSession::Until(milliseconds(5000), [&] { return x.ActiveWindow() == main_window; })) {
      ++lost;
      ADD_FAILURE() << "cycle " << cycle << ": active window is '" << x.ActiveTitle()
                    << "', not the main window";
      x.X("xdotool windowactivate " + main_window);
    }
  }
  EXPECT_EQ(lost, 0);
  EXPECT_GE(boxes, 40);
  EXPECT_TRUE(program.Running());
}

}  // namespace
}  // namespace qvx_test
