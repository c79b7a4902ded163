// Under a real window manager (Xvfb with openbox, driven by xdotool as a user's
// keyboard would be), the main window gets the keyboard back after every modal
// form and message box closes. Skipped when Xvfb, openbox or xdotool is missing.
//
// One cycle: Enter opens the current title in the catalog form, a letter typed
// into the title puts it into editing, Esc asks "Do you want to save changes?",
// and Alt+N answers No: the box and the form close one after the other, which is
// when a window manager is most likely to leave no window active.
//
// The X server, the manager and the program each take their time on a busy
// machine: every step waits for what it needs to see (a window active, the others
// gone) within a deadline, and a failure says what the display showed instead.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "tests/app/app_test_support.h"
#include "tests/support/child_process.h"

namespace qvx_test {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// Generous: a step normally takes a few milliseconds, and waiting returns as soon
// as the step is seen.
constexpr milliseconds kStep{20000};

// Polls `done` until it holds or `limit` passes.
template <class Done>
bool Until(milliseconds limit, Done done) {
  for (auto end = Clock::now() + limit;;) {
    if (done()) return true;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(milliseconds(20));
  }
}

std::string Trim(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// The last lines of a child's error output, for a failure message.
std::string Tail(const std::string& file) {
  std::string text = ReadFileText(file);
  if (text.size() > 600) text = "..." + text.substr(text.size() - 600);
  return text.empty() ? "(nothing)" : Trim(text);
}

// An X server of its own on a free display, with openbox managing its windows.
class XSession {
 public:
  // Empty when the server and the manager are up; else what went wrong and what
  // they wrote.
  std::string Start() {
    const auto start = Clock::now();
    auto elapsed = [&] {
      return std::to_string(
                 std::chrono::duration_cast<milliseconds>(Clock::now() - start).count()) +
             " ms";
    };
    if (!server_.Start(
            {"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, {}, "",
            logs_.File("xvfb.err")))
      return "Xvfb could not be started";
    // Xvfb writes the display number it took once it accepts connections.
    Until(kStep, [&] {
      const std::string& out = server_.Output();
      if (out.find('\n') != std::string::npos) display_ = ":" + out.substr(0, out.find('\n'));
      return !display_.empty() || !server_.Running();
    });
    if (display_.empty())
      return "Xvfb gave no display number after " + elapsed() +
             (server_.Running() ? " (still running)" : " (ended)") +
             "; it wrote: " + Tail(logs_.File("xvfb.err"));
    if (!manager_.Start({"openbox"}, {{"DISPLAY", display_}}, "", logs_.File("openbox.err")))
      return "openbox could not be started";
    // The manager is up once it has set its check window on the root.
    std::string root;
    if (!Until(kStep,
               [&] {
                 root = X("xprop -root _NET_SUPPORTING_WM_CHECK");
                 return root.find("window id") != std::string::npos || !manager_.Running();
               }) ||
        !manager_.Running())
      return "openbox on " + display_ + " did not take the display after " + elapsed() +
             (manager_.Running() ? " (still running)" : " (ended)") + "; the root's check: '" +
             Trim(root) + "'; openbox wrote: " + Tail(logs_.File("openbox.err")) +
             "; Xvfb wrote: " + Tail(logs_.File("xvfb.err"));
    return "";
  }
  const std::string& Display() const { return display_; }

  // Runs an X client command line on this display; its output.
  std::string X(const std::string& command) const {
    std::string out;
    RunCommand("DISPLAY=" + display_ + " " + command, &out);
    return out;
  }
  // The window the manager made active, once it also has the keyboard (the X input
  // focus): keys typed then go to it. Empty otherwise.
  std::string ActiveWindow() const {
    return Trim(
        X("sh -c 'a=$(xdotool getactivewindow) && [ \"$a\" = \"$(xdotool getwindowfocus)\" ] "
          "&& echo $a'"));
  }
  std::string ActiveTitle() const {
    const std::string active = ActiveWindow();
    return active.empty() ? "" : Trim(X("xdotool getwindowname " + active));
  }
  // The visible windows of process `pid`, one id a line.
  std::string WindowsOf(pid_t pid) const {
    return Trim(X("xdotool search --onlyvisible --pid " + std::to_string(pid)));
  }
  // What the display shows, for a failure message: the active window and the
  // visible windows of process `pid`, with their titles.
  std::string Seen(pid_t pid) const {
    return "active: " +
           Trim(X("sh -c 'w=$(xdotool getactivewindow) && echo \"$w \\\"$(xdotool getwindowname "
                  "$w)\\\"\"'")) +
           "; keyboard: " + Trim(X("xdotool getwindowfocus")) + "; visible: [" +
           Trim(X("sh -c 'for w in $(xdotool search --onlyvisible --pid " + std::to_string(pid) +
                  "); do printf \"%s \\\"%s\\\"; \" $w \"$(xdotool getwindowname $w)\"; done'")) +
           "]";
  }

 private:
  TempDir logs_;
  ChildProcess server_;
  ChildProcess manager_;
  std::string display_;
};

TEST(FocusUnderWindowManager, MainWindowIsActiveAfterEachOfFiftyFormAndBoxCycles) {
  for (const char* tool : {"Xvfb", "openbox", "xdotool", "xprop"})
    if (!ProgramInPath(tool)) GTEST_SKIP() << tool << " is not installed";
  // A server or manager that does not come up (a busy machine, a display number
  // another test took at the same moment) is given a second try.
  auto session = std::make_unique<XSession>();
  std::string why = session->Start();
  if (!why.empty()) {
    session = std::make_unique<XSession>();
    const std::string again = session->Start();
    if (!again.empty())
      why += "; and again: " + again;
    else
      why.clear();
  }
  ASSERT_EQ(why, "") << "no X server with openbox";
  XSession& x = *session;
  TempDir dir;
  MakeSampleCatalog(dir.path());
  ChildProcess program;
  ASSERT_TRUE(program.Start({QVX_QVXCAT_APP},
                            {{"DISPLAY", x.Display()}, {"QT_QPA_PLATFORM", "xcb"}}, dir.path(),
                            dir.File("qvxcat.err")));
  const pid_t pid = program.Pid();
  std::string main_window;
  ASSERT_TRUE(Until(kStep,
                    [&] {
                      main_window =
                          Trim(x.X("xdotool search --onlyvisible --name ' - QVX Catalog$'"));
                      return !main_window.empty() && main_window.find('\n') == std::string::npos;
                    }))
      << "the main window did not show: " << x.Seen(pid)
      << "; the program wrote: " << Tail(dir.File("qvxcat.err"));
  // The main window active and the only one of the program shown: a cycle starts
  // and ends there.
  auto main_alone = [&] {
    return x.ActiveWindow() == main_window && x.WindowsOf(pid) == main_window;
  };
  ASSERT_TRUE(Until(kStep, main_alone)) << "at start, " << x.Seen(pid);

  // Cycles run until fifty asked the question: Esc may beat the typed letter to the
  // form, and then the form closes without asking (still a cycle to check).
  int lost = 0;
  int boxes = 0;
  int cycle = 0;
  while (boxes < 50 && cycle < 100) {
    ++cycle;
    x.X("xdotool key Return");
    ASSERT_TRUE(Until(kStep, [&] { return x.ActiveTitle() == "Catalog"; }))
        << "cycle " << cycle << ": the catalog form did not become active; " << x.Seen(pid);
    x.X("xdotool type x");
    x.X("xdotool key Escape");
    std::string asked;
    ASSERT_TRUE(Until(kStep,
                      [&] {
                        asked = x.ActiveTitle();
                        return asked == "Warning" || x.ActiveWindow() == main_window;
                      }))
        << "cycle " << cycle << ": after Esc neither the question nor the main window is active; "
        << x.Seen(pid);
    if (asked == "Warning") {
      ++boxes;
      x.X("xdotool key alt+n");
    }
    if (!Until(kStep, main_alone)) {
      ++lost;
      ADD_FAILURE() << "cycle " << cycle << (asked == "Warning" ? " (answered No)" : " (not asked)")
                    << ": the main window is not active alone; " << x.Seen(pid);
      x.X("xdotool windowactivate " + main_window);
      ASSERT_TRUE(Until(kStep, main_alone)) << "and cannot be made so; " << x.Seen(pid);
    }
  }
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(boxes, 50) << "in " << cycle << " cycles";
  EXPECT_GE(boxes * 5, cycle * 4) << "the typed letter came too late to the form too often";
  EXPECT_TRUE(program.Running()) << "the program wrote: " << Tail(dir.File("qvxcat.err"));
}

}  // namespace
}  // namespace qvx_test
