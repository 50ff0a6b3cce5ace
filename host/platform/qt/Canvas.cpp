#include "Canvas.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <optional>
#include <unordered_map>

#include <QFontMetrics>
#include <QPainter>
#include <QStaticText>

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

// The painter sees the bitmap as Format_RGB32, whose byte order (blue first)
// is ours with red and blue exchanged, so it is given colours with red and
// blue exchanged. Every channel is blended alike, so the pixels are those of
// an RGBX8888 view, but Qt blends glyphs into RGB32 much faster, and RGB32
// ignores bits 24-31 when it reads: an RGBX8888 view reads our zero there as
// a transparent pixel and blackens the box of a glyph drawn without background.
QColor ToPainterColour(MvPixel p) { return QColor((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF); }

bool SameFont(const FontSpec& a, const FontSpec& b) {
  return a.name == b.name && a.pointSize == b.pointSize && a.pixelHeight == b.pixelHeight && a.bold == b.bold &&
         a.italic == b.italic;
}

}  // namespace

struct Canvas::FontCache {
  explicit FontCache(const FontSpec& request) : key(request), font(request.ToQFont()), metrics(font) {}
  /// The advance of `text`; a picture draws the same captions many times,
  /// so the widths measured are kept (a bounded number of them).
  int Width(const std::string& text, const QString& s) {
    if (const auto it = widths.find(text); it != widths.end()) return it->second;
    if (widths.size() >= 512) widths.clear();
    const int w = metrics.horizontalAdvance(s);
    widths.emplace(text, w);
    return w;
  }
  /// `text` shaped and laid out once, drawn from then on without shaping;
  /// it paints the same pixels as QPainter::drawText at the same place.
  QStaticText& Laid(const std::string& text, const QString& s) {
    if (const auto it = laid.find(text); it != laid.end()) return it->second;
    if (laid.size() >= 512) laid.clear();
    QStaticText st(s);
    st.setTextFormat(Qt::PlainText);
    st.prepare(QTransform(), font);
    return laid.emplace(text, std::move(st)).first->second;
  }
  FontSpec key;
  QFont font;
  QFontMetrics metrics;
  std::unordered_map<std::string, int> widths;
  std::unordered_map<std::string, QStaticText> laid;
};

struct Canvas::Painter {
  // The image must be the only QImage over the memory while the painter is
  // open, or the painter would draw into a detached copy.
  QImage image;
  QPainter painter;
  const MvPixel* memory = nullptr;
  int width = 0, height = 0;
  std::optional<FontSpec> font;  // the font set on the painter
};

Canvas::Canvas(Bitmap& target) : bitmap_(&target) {}

Canvas::~Canvas() = default;

Canvas::Canvas(const Canvas& other)
    : PenColour(other.PenColour),
      BrushColour(other.BrushColour),
      TextBackground(other.TextBackground),
      Font(other.Font),
      bitmap_(other.bitmap_) {}

Canvas& Canvas::operator=(const Canvas& other) {
  if (this == &other) return *this;
  PenColour = other.PenColour;
  BrushColour = other.BrushColour;
  TextBackground = other.TextBackground;
  Font = other.Font;
  if (bitmap_ != other.bitmap_) painter_.reset();
  bitmap_ = other.bitmap_;
  return *this;
}

Canvas::FontCache& Canvas::Fonts() const {
  if (!fonts_ || !SameFont(fonts_->key, Font)) fonts_ = std::make_unique<FontCache>(Font);
  return *fonts_;
}

Canvas::Painter* Canvas::Paint() {
  if (bitmap_->Empty()) {
    painter_.reset();
    return nullptr;
  }
  if (painter_ && (painter_->memory != bitmap_->Data() || painter_->width != bitmap_->Width() ||
                   painter_->height != bitmap_->Height()))
    painter_.reset();
  if (!painter_) {
    painter_ = std::make_unique<Painter>();
    painter_->image = QImage(reinterpret_cast<uchar*>(bitmap_->Data()), bitmap_->Width(), bitmap_->Height(),
                             bitmap_->Width() * 4, QImage::Format_RGB32);
    painter_->memory = bitmap_->Data();
    painter_->width = bitmap_->Width();
    painter_->height = bitmap_->Height();
    painter_->painter.begin(&painter_->image);
  }
  return painter_.get();
}

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
  Painter* painter = Paint();
  if (!painter) return;
  QPainter& p = painter->painter;
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(ToPainterColour(PenColour));
  p.setBrush(ToPainterColour(BrushColour));
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
  if (text.empty()) return;
  Painter* painter = Paint();
  if (!painter) return;
  QPainter& p = painter->painter;
  FontCache& fonts = Fonts();
  if (!painter->font || !SameFont(*painter->font, Font)) {
    p.setFont(fonts.font);
    painter->font = Font;
  }
  const QString s = QString::fromStdString(text);
  if (TextBackground)
    p.fillRect(QRect(x, y, fonts.Width(text, s), fonts.metrics.height()), ToPainterColour(BrushColour));
  p.setPen(ToPainterColour(Font.colour));
  // A laid-out text would break lines and expand tabs where drawText does not.
  if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
    p.drawText(x, y + fonts.metrics.ascent(), s);
  else
    p.drawStaticText(x, y, fonts.Laid(text, s));
}

int Canvas::TextWidth(const std::string& text) const { return Fonts().Width(text, QString::fromStdString(text)); }

int Canvas::TextHeight(const std::string&) const { return Fonts().metrics.height(); }

}  // namespace mv
