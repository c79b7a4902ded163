// The application object's exception handler, the message box, fonts and the one
// crossing between ANSI bytes and Qt text.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFontInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <stdexcept>

#include "platform/qt/ansi_text.h"
#include "platform/qt/application.h"
#include "platform/qt/fonts.h"
#include "platform/qt/message_dlg.h"
#include "platform/services/exception.h"

namespace qvx_test {
namespace {

using namespace platform::qt;

struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;
  QString default_button;
};

// Answers the next message box with the button whose text is given.
SeenBox Answer(const QString& button, const std::function<void()>& show) {
  SeenBox seen;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    timer.stop();
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    for (QAbstractButton* b : box->buttons()) seen.buttons << b->text();
    if (box->defaultButton() != nullptr) seen.default_button = box->defaultButton()->text();
    for (QAbstractButton* b : box->buttons())
      if (b->text() == button) b->click();
  });
  timer.start(5);
  show();
  return seen;
}

TEST(MessageDlg, IconsCaptionsButtonsAndAnswers) {
  int result = 0;
  SeenBox seen = Answer("Cancel", [&] {
    result = MessageDlg("Delete record?", TMsgDlgType::mtConfirmation, mbOK | mbCancel);
  });
  EXPECT_EQ(result, mrCancel);
  EXPECT_EQ(seen.text, "Delete record?");
  EXPECT_EQ(seen.title, "Confirm");
  EXPECT_EQ(seen.icon, QMessageBox::Question);
  EXPECT_EQ(seen.buttons.size(), 2);
  EXPECT_EQ(seen.default_button, "OK");
  seen =
      Answer("&Yes", [&] { result = MessageDlg("Go?", TMsgDlgType::mtInformation, mbYes | mbNo); });
  EXPECT_EQ(result, mrYes);
  EXPECT_EQ(seen.title, "Information");
  EXPECT_EQ(seen.icon, QMessageBox::Information);
  seen = Answer("&No", [&] {
    result = MessageDlg("Save?", TMsgDlgType::mtWarning, mbYes | mbNo | mbCancel);
  });
  EXPECT_EQ(result, mrNo);
  EXPECT_EQ(seen.title, "Warning");
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
  EXPECT_EQ(seen.buttons.size(), 3);
  seen = Answer("OK", [&] { ShowMessage("Hello"); });
  EXPECT_EQ(seen.title, "QVX Catalog");
  EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
}

TEST(ApplicationHandler, ShowsTheMessageOfAnExceptionEscapingAnEventAndGoesOn) {
  TApplication* app = Application();
  ASSERT_NE(app, nullptr);
  const int before = app->ExceptionCount();
  bool after_throw = false;
  bool next_event = false;
  SeenBox seen = Answer("OK", [&] {
    QTimer::singleShot(0, [&] {
      throw platform::Exception("Cannot find file /x/QVXCAT.DBF");
      after_throw = true;
    });
    QTimer::singleShot(20, [&] { next_event = true; });
    while (!next_event) QApplication::processEvents(QEventLoop::AllEvents, 5);
  });
  EXPECT_EQ(seen.text, "Cannot find file /x/QVXCAT.DBF");
  EXPECT_EQ(seen.title, "QVX Catalog");
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_FALSE(after_throw);
  EXPECT_TRUE(next_event);
  EXPECT_EQ(app->ExceptionCount(), before + 1);
  // Standard errors too, and ANSI message bytes become Unicode.
  seen = Answer(
      "OK", [&] { EXPECT_FALSE(app->Guard([] { throw std::runtime_error("Caf\xe9 closed"); })); });
  EXPECT_EQ(seen.text, QString::fromUtf8("Caf\xc3\xa9 closed"));
  EXPECT_TRUE(app->Guard([] {}));
}

TEST(Fonts, WindowsNamesMapToMetricCompatibleFonts) {
  EXPECT_EQ(MapFontFamily("Arial"), "Liberation Sans");
  EXPECT_EQ(MapFontFamily("Times New Roman"), "Liberation Serif");
  EXPECT_EQ(MapFontFamily("Tahoma"), "DejaVu Sans");
  EXPECT_EQ(MapFontFamily("MS Sans Serif"), "DejaVu Sans");
  EXPECT_EQ(MapFontFamily("Courier New"), "Liberation Mono");
  EXPECT_EQ(MapFontFamily("Noto Sans"), "Noto Sans");
  QFont tahoma = MapFont("Tahoma", 8);
  EXPECT_EQ(tahoma.pointSize(), 8);
  EXPECT_EQ(QFontInfo(tahoma).family(), "DejaVu Sans");
  QFont title = MapPixelFont("Times New Roman", 16, true);
  EXPECT_EQ(title.pixelSize(), 16);
  EXPECT_TRUE(title.bold());
  EXPECT_EQ(QFontInfo(title).family(), "Liberation Serif");
}

TEST(AnsiText, CrossesWindows1252BothWays) {
  EXPECT_EQ(AnsiToQString("Plain"), "Plain");
  EXPECT_EQ(AnsiToQString("\x80 \xe9\xfc"), QString::fromUtf8("\xe2\x82\xac \xc3\xa9\xc3\xbc"));
  EXPECT_EQ(QStringToAnsi(QString::fromUtf8("\xe2\x82\xac \xc3\xa9\xc3\xbc")), "\x80 \xe9\xfc");
  try {
    QStringToAnsi(QString::fromUtf8("ab\xe4\xb8\xad"));
    ADD_FAILURE() << "a character outside Windows-1252 went through";
  } catch (const platform::Exception& e) {
    EXPECT_STREQ(e.what(),
                 "Text with the character U+4E2D cannot be used: the catalog's code page has no "
                 "such character");
  }
  EXPECT_EQ(QStringToAnsi(QString::fromUtf8("?")), "?");
  EXPECT_EQ(AnsiToQString(std::string("a\0b", 3)).size(), 3);
}

}  // namespace
}  // namespace qvx_test
