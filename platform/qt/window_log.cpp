#include "platform/qt/window_log.h"

#include <QEvent>
#include <QMessageBox>
#include <QWidget>

namespace platform::qt {
namespace {

std::string OneLine(QString text) {
  text.replace(QChar('\t'), QChar(' '));
  text.replace(QChar('\r'), QChar(' '));
  text.replace(QChar('\n'), QChar(' '));
  return text.toStdString();
}

}  // namespace

TWindowLog::TWindowLog(const std::string& path, QObject* parent)
    : QObject(parent), file_(std::fopen(path.c_str(), "a")) {}

TWindowLog::~TWindowLog() {
  if (file_ != nullptr) std::fclose(file_);
}

std::string TWindowLog::Line(const char* what, const QWidget* window) {
  QString text;
  if (auto* box = qobject_cast<const QMessageBox*>(window)) text = box->text();
  return std::string(what) + "\t" + OneLine(window->objectName()) + "\t" +
         OneLine(window->windowTitle()) + "\t" + OneLine(text);
}

bool TWindowLog::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (file_ != nullptr && (type == QEvent::Show || type == QEvent::Hide) &&
      watched->isWidgetType()) {
    auto* widget = static_cast<QWidget*>(watched);
    const Qt::WindowType kind = widget->windowType();
    if (widget->isWindow() && kind != Qt::Popup && kind != Qt::ToolTip) {
      std::string line = Line(type == QEvent::Show ? "show" : "hide", widget) + "\n";
      std::fwrite(line.data(), 1, line.size(), file_);
      std::fflush(file_);
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace platform::qt
