// THelpWindow: the program's help, HTML pages built into the program (app/help/)
// shown in a browser with Back, Forward and Contents. One window serves the
// whole program: asking for a topic shows it and brings the window forward.
// Asked for while a modal window is open (F1 in a dialog), the topic shows in a
// window of its own over that dialog, since the dialog would block the shared one.
#ifndef APP_HELPWIN_H_
#define APP_HELPWIN_H_

#include <QDialog>
#include <QString>

class QAction;
class QTextBrowser;

class THelpWindow : public QDialog {
  Q_OBJECT

 public:
  explicit THelpWindow(QWidget* parent = nullptr);

  // Shows `page` ("find.html"; empty: the contents) and returns the window that
  // shows it.
  static THelpWindow* ShowTopic(const QString& page = QString());
  // The shared window, or null before the first topic was asked for.
  static THelpWindow* Shared();

  void ShowPage(const QString& page);
  // The page shown ("find.html").
  QString CurrentPage() const;
  QTextBrowser* Browser() const { return browser_; }

  void BackClick();
  void ForwardClick();
  void ContentsClick();

 private:
  void UpdateActions();

  QTextBrowser* browser_;
  QAction* back_;
  QAction* forward_;
  QAction* contents_;
};

#endif  // APP_HELPWIN_H_
