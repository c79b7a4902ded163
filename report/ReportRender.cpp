#include "report/ReportRender.h"

#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <cmath>

#include "platform/qt/fonts.h"

namespace {

QString FontKey(const TReportFont& f) {
  return f.Name + '|' + QString::number(f.Size) + '|' + QChar(f.Bold ? 'b' : '-') +
         QChar(f.Italic ? 'i' : '-') + QChar(f.Underline ? 'u' : '-');
}

bool SameFont(const TReportFont& a, const TReportFont& b) {
  return a.Size == b.Size && a.Bold == b.Bold && a.Italic == b.Italic &&
         a.Underline == b.Underline && a.Name == b.Name;
}

}  // namespace

QFont ReportQFont(const TReportFont& font) {
  QFont f(platform::qt::MapFontFamily(font.Name));
  f.setPixelSize(std::max(1, int(std::lround(font.Size * 25.4 / 72 * kReportUnitsPerMm))));
  f.setBold(font.Bold);
  f.setItalic(font.Italic);
  f.setUnderline(font.Underline);
  f.setHintingPreference(QFont::PreferNoHinting);
  f.setStyleHint(QFont::SansSerif);
  return f;
}

TReportFontCache::Entry& TReportFontCache::Find(const TReportFont& font) {
  // Controls keep their fonts while a layout lives: most look-ups are by address.
  auto known = by_address_.find(&font);
  if (known != by_address_.end() && SameFont(known->second->font_def, font)) return *known->second;
  auto [it, added] = entries_.try_emplace(FontKey(font));
  by_address_[&font] = &it->second;
  if (added) {
    it->second.font_def = font;
    it->second.font = ReportQFont(font);
    it->second.metrics = std::make_unique<QFontMetricsF>(it->second.font);
  }
  return it->second;
}

const QFont& TReportFontCache::Font(const TReportFont& font) { return Find(font).font; }

const QFontMetricsF& TReportFontCache::Metrics(const TReportFont& font) {
  return *Find(font).metrics;
}

namespace {

// Appends the lines of one paragraph (no line breaks inside).
void WrapParagraph(const QString& text, const QFontMetricsF& m, double width, QStringList& out) {
  if (m.horizontalAdvance(text) <= width) {
    out << text;
    return;
  }
  QString line;
  int i = 0;
  const int n = text.size();
  while (i < n) {
    // The next word with the blanks before it.
    int start = i;
    while (i < n && text[i] == ' ') ++i;
    while (i < n && text[i] != ' ') ++i;
    QString piece = text.mid(start, i - start);
    QString candidate = line + piece;
    if (m.horizontalAdvance(candidate) <= width) {
      line = candidate;
      continue;
    }
    if (!line.isEmpty()) {
      out << line;
      line.clear();
      // The word begins the next line without its leading blanks.
      int b = 0;
      while (b < piece.size() && piece[b] == ' ') ++b;
      piece = piece.mid(b);
    }
    // A word wider than a whole line is cut where the line is full.
    while (!piece.isEmpty() && m.horizontalAdvance(piece) > width) {
      int fit = 1;
      while (fit < piece.size() && m.horizontalAdvance(piece.left(fit + 1)) <= width) ++fit;
      out << piece.left(fit);
      piece = piece.mid(fit);
    }
    line = piece;
  }
  if (!line.isEmpty() || out.isEmpty()) out << line;
}

}  // namespace

QStringList WrapReportText(const QString& text, const QFontMetricsF& metrics, double width) {
  QStringList lines;
  QString normal = text;
  normal.replace("\r\n", "\n");
  for (const QString& paragraph : normal.split('\n'))
    WrapParagraph(paragraph, metrics, width, lines);
  if (lines.isEmpty()) lines << QString();
  return lines;
}

void ScalePainterToReportUnits(QPainter& painter, const QPaintDevice& device, double zoom) {
  const double sx = device.logicalDpiX() / 25.4 / kReportUnitsPerMm * zoom;
  const double sy = device.logicalDpiY() / 25.4 / kReportUnitsPerMm * zoom;
  painter.scale(sx, sy);
}

namespace {

QRectF ToUnits(const QRectF& mm) {
  return QRectF(mm.x() * kReportUnitsPerMm, mm.y() * kReportUnitsPerMm,
                mm.width() * kReportUnitsPerMm, mm.height() * kReportUnitsPerMm);
}

}  // namespace

void PaintReportPage(QPainter& painter, const TReportPageContent& page, TReportFontCache& fonts) {
  for (const TReportBandRect& band : page.Bands) {
    if (band.Color != Qt::white && band.Color.isValid())
      painter.fillRect(ToUnits(band.Rect), band.Color);
  }
  const TReportFont* current_font = nullptr;
  for (const TReportItem& item : page.Items) {
    const TReportControl& c = *item.Control;
    const QRectF rect = ToUnits(item.Rect);
    if (!c.Transparent) painter.fillRect(rect, c.Color);
    const TReportFont& f = *item.Font;
    const QFontMetricsF& m = fonts.Metrics(f);
    if (current_font != &f) {
      painter.setFont(fonts.Font(f));
      painter.setPen(f.Color);
      current_font = &f;
    }
    double y = rect.top() + m.ascent();
    for (int i = 0; i < item.Lines.size(); ++i) {
      // Lines that the rectangle cannot hold whole are left out, not cut.
      if (i > 0 && y + m.descent() > rect.bottom() + 1) break;
      const QString& line = item.Lines[i];
      if (line.isEmpty()) {
        y += m.height();
        continue;
      }
      const double w = m.horizontalAdvance(line);
      double x = rect.left();
      if (c.Alignment == TReportAlignment::Right) x = rect.right() - w;
      if (c.Alignment == TReportAlignment::Center) x = rect.left() + (rect.width() - w) / 2;
      if (w > rect.width() + 0.5) {
        // Only text that could not be wrapped (no word wrap) is wider than its
        // rectangle: it is cut at the rectangle's edges.
        painter.save();
        painter.setClipRect(rect, Qt::IntersectClip);
        painter.drawText(QPointF(x, y), line);
        painter.restore();
      } else {
        painter.drawText(QPointF(x, y), line);
      }
      y += m.height();
    }
    if (c.FrameBottom) {
      // A hairline of a quarter millimetre, drawn just inside the bottom edge.
      const double w = 0.25 * kReportUnitsPerMm;
      painter.fillRect(QRectF(rect.left(), rect.bottom() - w, rect.width(), w), Qt::black);
    }
  }
}
