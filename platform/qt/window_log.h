// TWindowLog: a line in a file for every window of the program that shows or
// hides, for watching the program from outside (a test that starts it as a child
// process offscreen, where no window can be seen). The application object keeps
// one when the environment variable QVX_WINDOW_LOG names the file. Each line is
//
//   show|hide <TAB> object name <TAB> window title <TAB> text of a message box
//
// with line breaks in the texts written as blanks; the file is flushed after
// every line, so a reader sees it while the program runs (or after it is killed).
#ifndef PLATFORM_QT_WINDOW_LOG_H_
#define PLATFORM_QT_WINDOW_LOG_H_

#include <QObject>
#include <cstdio>
#include <string>

class QWidget;

namespace platform::qt {

class TWindowLog : public QObject {
  Q_OBJECT

 public:
  // Appends to the file at `path` (created when missing).
  TWindowLog(const std::string& path, QObject* parent = nullptr);
  ~TWindowLog() override;
  TWindowLog(const TWindowLog&) = delete;
  TWindowLog& operator=(const TWindowLog&) = delete;

  bool eventFilter(QObject* watched, QEvent* event) override;

  // The line written for a window (without its line break).
  static std::string Line(const char* what, const QWidget* window);

 private:
  std::FILE* file_;
};

}  // namespace platform::qt

#endif  // PLATFORM_QT_WINDOW_LOG_H_
