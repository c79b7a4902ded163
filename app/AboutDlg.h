// TAboutDialog (instance AboutDialog): the about box with the program's title, its
// version, two notice lines (what it is, its licence), its picture and, where the
// link to a web page would stand, the credit for the icons (the program has no
// page of its own; SetHomePage puts a link there).
#ifndef APP_ABOUTDLG_H_
#define APP_ABOUTDLG_H_

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

class TAboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutDialog(QWidget* parent = nullptr);

  int ShowModal();

  // The web page that Label6 shows and opens; empty: Label6 credits the icons.
  QString HomePage() const { return home_page_; }
  void SetHomePage(const QString& address);

  void FormCreate();
  void FormShow();
  void Label6Click();

  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QLabel* Image1;
  QLabel* Label6;
  QPushButton* OKBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QString home_page_;
};

extern TAboutDialog* AboutDialog;

#endif  // APP_ABOUTDLG_H_
