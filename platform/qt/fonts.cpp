#include "platform/qt/fonts.h"

namespace platform::qt {

QString MapFontFamily(const QString& windows_family) {
  const QString name = windows_family.trimmed().toLower();
  if (name == "arial") return QStringLiteral("Liberation Sans");
  if (name == "times new roman") return QStringLiteral("Liberation Serif");
  if (name == "courier new") return QStringLiteral("Liberation Mono");
  if (name == "tahoma" || name == "ms sans serif") return QStringLiteral("DejaVu Sans");
  return windows_family;
}

QFont MapFont(const QString& windows_family, int point_size, bool bold) {
  QFont font(MapFontFamily(windows_family), point_size, bold ? QFont::Bold : QFont::Normal);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QFont MapPixelFont(const QString& windows_family, int pixel_size, bool bold) {
  QFont font(MapFontFamily(windows_family));
  font.setPixelSize(pixel_size);
  font.setBold(bold);
  return font;
}

}  // namespace platform::qt
