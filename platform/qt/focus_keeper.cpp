#include "platform/qt/focus_keeper.h"

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QTimer>

namespace platform::qt {
namespace {

// Dialogs and boxes: windows that stand over another one. Menus and tooltips come
// and go without taking the activation.
bool IsDialogWindow(const QWidget* w) {
  if (!w->isWindow()) return false;
  const Qt::WindowType type = w->windowType();
  return type == Qt::Dialog || type == Qt::Sheet;
}

}  // namespace

TFocusKeeper::TFocusKeeper(QObject* parent) : QObject(parent) {}

bool TFocusKeeper::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Hide && watched->isWidgetType()) {
    auto* widget = static_cast<QWidget*>(watched);
    if (IsDialogWindow(widget)) {
      if (QWidget* parent = widget->parentWidget()) owner_ = parent->window();
      if (!pending_) {
        pending_ = true;
        // After the closing has run its course (a form closes right after its box).
        QTimer::singleShot(0, this, &TFocusKeeper::Restore);
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

QWidget* TFocusKeeper::Target() const {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  for (QWidget* w = owner_; w != nullptr;) {
    if (w->isVisible()) return w;
    QWidget* parent = w->parentWidget();
    w = parent != nullptr ? parent->window() : nullptr;
  }
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && qobject_cast<QMainWindow*>(w) != nullptr) return w;
  return nullptr;
}

void TFocusKeeper::Restore() {
  pending_ = false;
  QWidget* target = Target();
  owner_ = nullptr;
  if (target == nullptr || target->isMinimized()) return;
  // Asked even when the toolkit still counts it active: the manager may not.
  target->activateWindow();
}

}  // namespace platform::qt
