#include "app/AboutDlg.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/qt/application.h"
#include "platform/qt/fonts.h"

TAboutDialog* AboutDialog = nullptr;

TAboutDialog::TAboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutDialog");
  setWindowTitle("About");
  // A fixed dialog border with the system menu only: no resizing, no help button.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                 Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFont(platform::qt::MapFont("MS Sans Serif", 8));

  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  Label1->setFont(platform::qt::MapFont("MS Sans Serif", 16, true));
  Label2 = new QLabel("Version 1.0.0.0", this);
  Label2->setObjectName("Label2");
  Label3 = new QLabel("A catalog of console game titles.", this);
  Label3->setObjectName("Label3");
  Label4 = new QLabel(
      "Free software under the GNU General Public License,\nversion 3 or later; without any "
      "warranty.",
      this);
  Label4->setObjectName("Label4");
  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setFixedSize(46, 48);
  Image1->setPixmap(QPixmap(":/qvxcat/icons/qvxcat.png")
                        .scaled(46, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  Image1->setAlignment(Qt::AlignCenter);
  Label6 = new QLabel(this);
  Label6->setObjectName("Label6");
  Label6->setTextFormat(Qt::RichText);
  Label6->setOpenExternalLinks(false);
  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->setContentsMargins(24, 16, 24, 16);
  layout->setSpacing(8);
  for (QWidget* w :
       {static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2), static_cast<QWidget*>(Image1),
        static_cast<QWidget*>(Label3), static_cast<QWidget*>(Label4), static_cast<QWidget*>(Label6),
        static_cast<QWidget*>(OKBtn)})
    layout->addWidget(w, 0, Qt::AlignHCenter);
  for (QLabel* l : {Label1, Label2, Label3, Label4, Label6}) l->setAlignment(Qt::AlignCenter);

  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(Label6, &QLabel::linkActivated, this, &TAboutDialog::Label6Click);
  // The program has no web page of its own: the line credits its pictures.
  SetHomePage(QString());
  FormCreate();
}

void TAboutDialog::SetHomePage(const QString& address) {
  home_page_ = address;
  if (address.isEmpty()) {
    Label6->setText(
        "Tool bar and speed bar pictures: GNOME Adwaita icons<br>(CC BY-SA 3.0 or LGPL 3)");
    Label6->setCursor(Qt::ArrowCursor);
    return;
  }
  Label6->setCursor(Qt::PointingHandCursor);
  Label6->setText(QString("<a href=\"%1\" style=\"color:#0000ff; text-decoration:underline\">"
                          "%1</a>")
                      .arg(address.toHtmlEscaped()));
}

void TAboutDialog::FormCreate() {
  const platform::qt::TApplication* app = platform::qt::Application();
  Label1->setText(app && !app->Title().isEmpty() ? app->Title()
                                                 : QGuiApplication::applicationDisplayName());
}

void TAboutDialog::FormShow() {}

void TAboutDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Centred on the screen, not on the main window.
  if (QScreen* screen = this->screen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
  FormShow();
}

void TAboutDialog::Label6Click() {
  // Whether a browser opened is not examined; a failure is not reported.
  if (!home_page_.isEmpty()) QDesktopServices::openUrl(QUrl(home_page_));
}

int TAboutDialog::ShowModal() { return exec(); }
