#include "Canvas.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <QFontMetrics>
#include <QPainter>

namespace mv {

QFont FontSpec::ToQFont() const {
  QString family = QString::fromStdString(name);
  if (family == "MS Sans Serif" || family == "Tahoma" || family.isEmpty()) family = "DejaVu Sans";
  QFont f(family);
  if (pixelHeight > 0)
    f.setPixelSize(pixelHeight);
  else
    f.setPixelSize(std::max(1, (pointSize * 96 + 36) / 72));
  f.setBold(bold);
  f.setItalic(italic);
  f.setStyleStrategy(QFont::PreferDefault);
  return f;
}

namespace {

QColor ToQColor(MvPixel p) { return QColor(p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF); }

}  // namespace

void Canvas::Line(int x0, int y0, int x1, int y1) {
  // Bresenham from the start point, stopping before the end point.
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  int x = x0, y = y0;
  while (x != x1 || y != y1) {
    bitmap_->SetPixel(x, y, PenColour);
    const int e2 = 2 * err;
    if (e2 >= dy) { err += dy; x += sx; }
    if (e2 <= dx) { err += dx; y += sy; }
  }
}

void Canvas::Outline(int x0, int y0, int x1, int y1) {
  if (x0 > x1) std::swap(x0, x1);
  if (y0 > y1) std::swap(y0, y1);
  const int w = bitmap_->Width(), h = bitmap_->Height();
  // Horizontal edges, clipped.
  for (int y : {y0, y1}) {
    if (y < 0 || y >= h) continue;
    MvPixel* row = bitmap_->Row(y);
    for (int x = std::max(x0, 0), e = std::min(x1, w - 1); x <= e; ++x) row[x] = PenColour;
  }
  // Vertical edges, clipped.
  for (int x : {x0, x1}) {
    if (x < 0 || x >= w) continue;
    for (int y = std::max(y0, 0), e = std::min(y1, h - 1); y <= e; ++y) bitmap_->Row(y)[x] = PenColour;
  }
}

void Canvas::FillRect(int left, int top, int right, int bottom) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, bitmap_->Width());
  bottom = std::min(bottom, bitmap_->Height());
  for (int y = top; y < bottom; ++y) std::fill(bitmap_->Row(y) + left, bitmap_->Row(y) + right, BrushColour);
}

void Canvas::Ellipse(int left, int top, int right, int bottom) {
  if (right <= left || bottom <= top) return;
  QImage img = bitmap_->AsImage();
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(ToQColor(PenColour));
  p.setBrush(ToQColor(BrushColour));
  p.drawEllipse(QRect(left, top, right - left - 1, bottom - top - 1));
}

void Canvas::Draw(int x, int y, const Bitmap& picture) {
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min(x + picture.Width(), bitmap_->Width());
  const int y1 = std::min(y + picture.Height(), bitmap_->Height());
  if (x0 >= x1) return;
  for (int row = y0; row < y1; ++row)
    std::memcpy(bitmap_->Row(row) + x0, picture.Row(row - y) + (x0 - x), sizeof(MvPixel) * (x1 - x0));
}

void Canvas::TextOut(int x, int y, const std::string& text) {
  if (text.empty() || bitmap_->Empty()) return;
  QImage img = bitmap_->AsImage();
  QPainter p(&img);
  const QFont f = Font.ToQFont();
  p.setFont(f);
  const QString s = QString::fromStdString(text);
  const QFontMetrics fm(f);
  if (TextBackground) {
    const QColor bg = ToQColor(BrushColour);
    p.fillRect(QRect(x, y, fm.horizontalAdvance(s), fm.height()), bg);
  }
  p.setPen(ToQColor(Font.colour));
  p.drawText(x, y + fm.ascent(), s);
}

int Canvas::TextWidth(const std::string& text) const {
  return QFontMetrics(Font.ToQFont()).horizontalAdvance(QString::fromStdString(text));
}

int Canvas::TextHeight(const std::string&) const { return QFontMetrics(Font.ToQFont()).height(); }

}  // namespace mv
