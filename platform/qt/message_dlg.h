// The standard message box: a text, an icon chosen by the message type, and a set
// of buttons; the answer is the modal result of the button pressed. Captions are the
// platform's: "Warning", "Error", "Information", "Confirm"; a custom box carries the
// application's title.
#ifndef PLATFORM_QT_MESSAGE_DLG_H_
#define PLATFORM_QT_MESSAGE_DLG_H_

#include <QString>
#include <QStringList>

class QWidget;

namespace platform::qt {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Buttons of a message box; combine with |.
enum TMsgDlgBtn : unsigned {
  mbYes = 1u << 0,
  mbNo = 1u << 1,
  mbOK = 1u << 2,
  mbCancel = 1u << 3,
  mbAbort = 1u << 4,
  mbRetry = 1u << 5,
  mbIgnore = 1u << 6,
};
using TMsgDlgButtons = unsigned;

enum TModalResult {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrAbort = 3,
  mrRetry = 4,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7
};

// Shows the box modally over the active window and returns the answer. The default
// button is OK, else Yes; Esc answers Cancel, else No, else OK.
int MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons,
               QWidget* parent = nullptr);

// A box whose buttons carry the given captions, left to right ("Open &Read-Only",
// "&Repair"); the first is the default, and Esc presses the one at `escape`.
// Returns the index of the button pressed (-1 when the box closed otherwise).
int ChoiceDlg(const QString& text, TMsgDlgType type, const QStringList& buttons, int escape = 0,
              QWidget* parent = nullptr);

// A box with the application's title, no icon and an OK button.
void ShowMessage(const QString& text, QWidget* parent = nullptr);

}  // namespace platform::qt

#endif  // PLATFORM_QT_MESSAGE_DLG_H_
