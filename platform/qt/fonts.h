// The windows name Windows fonts; they are drawn with installed fonts of the same
// metrics: Liberation Sans for Arial, Liberation Serif for Times New Roman, DejaVu
// Sans for Tahoma and MS Sans Serif. Other names pass through unchanged.
#ifndef PLATFORM_QT_FONTS_H_
#define PLATFORM_QT_FONTS_H_

#include <QFont>
#include <QString>

namespace platform::qt {

QString MapFontFamily(const QString& windows_family);
// A font of the mapped family in points.
QFont MapFont(const QString& windows_family, int point_size, bool bold = false);
// A font of the mapped family whose height is given in pixels.
QFont MapPixelFont(const QString& windows_family, int pixel_size, bool bold = false);

}  // namespace platform::qt

#endif  // PLATFORM_QT_FONTS_H_
