#include "SchemeView.h"

#include <algorithm>
#include <memory>
#include <utility>

#include <QMenu>
#include <QWidget>

#include "HostServices.h"
#include "MvText.h"
#include "SchemeManager.h"

namespace mv {

namespace {

constexpr MvPixel kLime = 0x0000FF00u;   // (0, 255, 0)
constexpr MvPixel kNavy = 0x00800000u;   // (0, 0, 128)
constexpr MvPixel kBlack = 0x00000000u;

constexpr const char* kCaptionHeader = "Применённые фильтры: ";

// Board coordinates come from the scheme, and a project file may hold any
// 32-bit position. Geometry is computed in 64 bits and clamped to this range
// before it reaches the canvas: far beyond any board, and small enough that
// no sum overflows and no clipped line walks for long outside the picture.
constexpr long long kFar = 1LL << 22;

int Clamp(long long v) { return static_cast<int>(std::clamp(v, -kFar, kFar)); }

void DeselectAll(TSchemeManager& scheme) {
  for (int i = 0, n = scheme.GetImageCount(); i < n; ++i) scheme.SetSelected(i, false);
}

}  // namespace

void ToolWindowFactory::ShowPopupMenu(QMenu* menu, QPoint screen) {
  if (menu) menu->popup(screen);
}

std::string ChannelList(std::uint8_t mask) {
  std::string list;
  const char* names[] = {"R", "G", "B"};
  for (int bit = 0; bit < 3; ++bit) {
    if (!(mask & (1u << bit))) continue;
    if (!list.empty()) list += ", ";
    list += names[bit];
  }
  return list.empty() ? std::string("все слои отключены") : list;
}

int HitTest(TSchemeManager& scheme, int x, int y, int sampleWidth, int sampleHeight, const TRect& viewRect) {
  for (int i = scheme.GetImageCount() - 1; i >= 0; --i) {
    const long long left = static_cast<long long>(scheme.GetLeft(i)) - viewRect.Left;
    const long long top = static_cast<long long>(scheme.GetTop(i)) - viewRect.Top;
    if (left < x && x < left + sampleWidth && top < y && y < top + sampleHeight) return i;
  }
  return -1;
}

TSchemeView::TSchemeView() { InitServices(&Services); }

TSchemeView::~TSchemeView() = default;

int TSchemeView::GetHotImage() { return HotImage; }

Bitmap TSchemeView::MakeBitmap(PixelColumns pixels, TRect r) {
  Bitmap bitmap(r.Width(), r.Height());
  if (!pixels) return bitmap;
  // Bitmap coordinates equal image coordinates: only the part of r that lies
  // inside the bitmap is filled.
  const int x0 = std::max(r.Left, 0), x1 = std::min(r.Right, bitmap.Width());
  const int y0 = std::max(r.Top, 0), y1 = std::min(r.Bottom, bitmap.Height());
  for (int x = x0; x < x1; ++x) {
    const MvPixel* column = pixels[x];
    for (int y = y0; y < y1; ++y) bitmap.Row(y)[x] = column[y];
  }
  return bitmap;
}

Bitmap TSchemeView::MakeSampleBitmap(PixelColumns pixels, int width, int height, TRect source) {
  Bitmap bitmap(width, height);
  SamplePreview(bitmap, 0, 0, pixels, width, height, source);
  return bitmap;
}

void TSchemeView::SamplePreview(Bitmap& target, int dx, int dy, PixelColumns pixels, int width, int height,
                                TRect source, const std::vector<TRect>* covers) {
  // Only the preview pixels that land inside the target are computed.
  const int tw = target.Width(), th = target.Height();
  const int x0 = static_cast<int>(std::max<long long>(0, -static_cast<long long>(dx)));
  const int x1 = static_cast<int>(std::min<long long>(width, static_cast<long long>(tw) - dx));
  const int y0 = static_cast<int>(std::max<long long>(0, -static_cast<long long>(dy)));
  const int y1 = static_cast<int>(std::min<long long>(height, static_cast<long long>(th) - dy));
  if (x0 >= x1 || y0 >= y1) return;

  const int sw = source.Width(), sh = source.Height();
  if (!pixels || sw <= 0 || sh <= 0) {
    // Nothing to sample (a node left without an image): the preview is white.
    for (int y = y0; y < y1; ++y) std::fill_n(target.Row(dy + y) + dx + x0, x1 - x0, MV_WHITE);
    return;
  }

  // Nearest neighbour by truncation: source column trunc(left + x / fx) with
  // fx = width / source width, held as a double; the same for rows. The
  // clamp only guards against rounding at the last column or row.
  const double fx = static_cast<double>(width) / sw;
  const double fy = static_cast<double>(height) / sh;
  sampleCols_.resize(static_cast<std::size_t>(width));
  sampleRows_.resize(static_cast<std::size_t>(height));
  for (int x = x0; x < x1; ++x)
    sampleCols_[x] = std::clamp(static_cast<int>(source.Left + x / fx), source.Left, source.Right - 1);
  for (int y = y0; y < y1; ++y)
    sampleRows_[y] = std::clamp(static_cast<int>(source.Top + y / fy), source.Top, source.Bottom - 1);

  // In bands of kBand preview columns: each row of a band is one cache line
  // of the target, and the band's source columns are read downwards, a few
  // streams in order, prefetched some rows ahead. (Column by column, the
  // writes would step by the picture's row length, which for widths like
  // 2048 keeps hitting the same cache sets.)
  constexpr int kBand = 16;
  constexpr int kAhead = 8;
  const int* rows = sampleRows_.data();
  const std::size_t stride = static_cast<std::size_t>(tw);
  const MvPixel* band[kBand];
  int n = 0;
  int bandLeft = 0;  // target column of the band's first column
  const auto sample = [&](int from, int to) {
    MvPixel* out = target.Row(dy + from) + bandLeft;
    if (n == kBand) {
      for (int y = from; y < to; ++y, out += stride) {
        const int r = rows[y];
        const int ahead = rows[std::min(y + kAhead, to - 1)];
        for (int k = 0; k < kBand; ++k) {
          __builtin_prefetch(band[k] + ahead);
          out[k] = band[k][r];
        }
      }
    } else {
      for (int y = from; y < to; ++y, out += stride) {
        const int r = rows[y];
        for (int k = 0; k < n; ++k) out[k] = band[k][r];
      }
    }
  };

  for (int xb = x0; xb < x1; xb += kBand) {
    n = std::min(kBand, x1 - xb);
    for (int k = 0; k < n; ++k) band[k] = pixels[sampleCols_[xb + k]];
    bandLeft = dx + xb;
    if (!covers || covers->empty()) {
      sample(y0, y1);
      continue;
    }
    // Rows of this band that a later preview paints over anyway are skipped.
    const int left = bandLeft, right = bandLeft + n;
    hidden_.clear();
    for (const TRect& c : *covers)
      if (c.Left <= left && c.Right >= right) {
        const int top = std::max(c.Top - dy, y0), bottom = std::min(c.Bottom - dy, y1);
        if (top < bottom) hidden_.push_back({top, bottom});
      }
    std::sort(hidden_.begin(), hidden_.end());
    int y = y0;
    for (const auto& [top, bottom] : hidden_) {
      if (top > y) sample(y, top);
      y = std::max(y, bottom);
    }
    if (y < y1) sample(y, y1);
  }
}

Bitmap TSchemeView::TakeScratch(int width, int height) {
  Bitmap picture = std::move(scratch_);
  scratch_ = Bitmap();
  if (picture.Width() != width || picture.Height() != height) picture.Reset(width, height);
  return picture;
}

void TSchemeView::HandOver(Bitmap& picture) {
  if (Canvas) Canvas->ShowPicture(picture);
  // What comes back (the board's previous picture) is memory for the next one.
  scratch_ = std::move(picture);
}

Bitmap TSchemeView::RenderScheme(TSchemeManager* scheme, bool drawLinks, TRect area, int skipImage) {
  // A board-sized picture; its memory is reused from the last one shown, but
  // every pixel is drawn anew.
  Bitmap picture = TakeScratch(ViewRect.Width(), ViewRect.Height());
  picture.Fill(MV_WHITE);
  if (!scheme || picture.Empty()) return picture;

  if (ShowGrid && GridStep > 0) {
    for (int y = 0; y < area.Height(); y += GridStep)
      for (int x = 0; x < area.Width(); x += GridStep) picture.SetPixel(x, y, kBlack);
  }

  mv::Canvas canvas(picture);
  canvas.Font.name = "MS Sans Serif";
  canvas.Font.pointSize = 6;
  canvas.Font.colour = kBlack;
  canvas.BrushColour = MV_WHITE;
  canvas.TextBackground = true;

  // The previews that will be drawn, clipped to the picture. A preview
  // paints every pixel of its rectangle, so the part of an earlier preview
  // that a later one covers is never seen and is not sampled.
  const int count = scheme->GetImageCount();
  const auto drawn = [&](int i) { return i != skipImage && scheme->GetWidth(i) > 0 && scheme->GetHeight(i) > 0; };
  previews_.assign(static_cast<std::size_t>(count), TRect{});
  for (int i = 0; i < count; ++i) {
    if (!drawn(i)) continue;
    const long long x = scheme->GetLeft(i), y = scheme->GetTop(i);
    TRect& r = previews_[i];
    r.Left = static_cast<int>(std::clamp<long long>(x, 0, picture.Width()));
    r.Top = static_cast<int>(std::clamp<long long>(y, 0, picture.Height()));
    r.Right = static_cast<int>(std::clamp<long long>(x + SampleWidth, 0, picture.Width()));
    r.Bottom = static_cast<int>(std::clamp<long long>(y + SampleHeight, 0, picture.Height()));
  }

  for (int i = 0; i < count; ++i) {
    if (!drawn(i)) continue;  // a node without an image is not drawn
    const int w = scheme->GetWidth(i), h = scheme->GetHeight(i);
    const int x = Clamp(scheme->GetLeft(i)), y = Clamp(scheme->GetTop(i));
    // Whatever falls outside the picture is clipped by every primitive, at no
    // cost; a node's links are drawn wherever the node lies, since they may
    // cross the visible board.
    canvas.PenColour = scheme->GetSelected(i) ? kLime : kNavy;
    canvas.Outline(x - 3, y - 3, x + SampleWidth + 2, y + SampleHeight + 2);
    const TRect& mine = previews_[i];
    covers_.clear();
    for (int j = i + 1; j < count; ++j) {
      const TRect& c = previews_[j];
      if (c.Left < c.Right && c.Top < c.Bottom && c.Left < mine.Right && c.Right > mine.Left &&
          c.Top < mine.Bottom && c.Bottom > mine.Top)
        covers_.push_back(c);
    }
    SamplePreview(picture, x, y, scheme->GetPixels(i), SampleWidth, SampleHeight, TRect{0, 0, w, h}, &covers_);
    DrawCaptions(canvas, i, x, y);
    if (drawLinks) DrawBlendLinks(canvas, i);
  }
  return picture;
}

void TSchemeView::DrawCaptions(mv::Canvas& canvas, int image, int x, int y) {
  if (!Services.GetImageFilterIndexes) return;
  unsigned count = 0;
  const std::unique_ptr<int[]> indexes(Services.GetImageFilterIndexes(image, &count));
  if (count == 0 || !indexes) return;

  const int pictureWidth = canvas.Target().Width(), pictureHeight = canvas.Target().Height();
  if (x >= pictureWidth) return;  // every line starts at x and runs to the right
  // The measured height of a caption line is the font's line height, the
  // same for every text, so it is measured once.
  const int lineHeight = std::max(1, canvas.TextHeight(kCaptionHeader));
  const auto draw = [&](long long top, const std::string& text) {
    if (top + lineHeight <= 0 || top >= pictureHeight) return;
    if (x < 0 && x + canvas.TextWidth(text) <= 0) return;
    canvas.TextOut(x, static_cast<int>(top), text);
  };

  const long long first = static_cast<long long>(y) + SampleHeight + 3;
  draw(first, kCaptionHeader);
  std::unique_ptr<std::string[]> ids;  // fetched only for a filter that is not loaded
  for (unsigned j = 0; j < count; ++j) {
    const long long top = first + static_cast<long long>(j + 1) * lineHeight;
    if (top >= pictureHeight) break;
    if (top + lineHeight <= 0) continue;
    std::string line = "* ";
    MvFilter* filter = indexes[j] >= 0 && Services.GetFilter ? Services.GetFilter(indexes[j]) : nullptr;
    if (filter) {
      // A plug-in must not throw; one that does gets a bare line rather than
      // an exception escaping the paint.
      try {
        std::string name = Cp1251ToUtf8(filter->GetName());
        if (filter->SupportsChannels() && filter->UsesChannelMask())
          name += " (" + ChannelList(Services.GetFilterChannels(image, static_cast<int>(j))) + ")";
        line += name;
      } catch (...) {
      }
    } else {
      // The chain names a filter that is not loaded: show its identifier.
      unsigned idCount = 0;
      if (!ids && Services.GetImageFilterIds) ids.reset(Services.GetImageFilterIds(image, &idCount));
      if (ids && j < idCount) line += Cp1251ToUtf8(ids[j]);
    }
    draw(top, line);
  }
}

void TSchemeView::DrawBlendLinks(mv::Canvas& surface, int image) {
  if (!Services.IsImageGenerated || !Services.IsImageGenerated(image)) return;
  const long long toX = static_cast<long long>(Services.GetImageLeft(image)) - 3;
  const long long toY = static_cast<long long>(Services.GetImageTop(image)) + SampleHeight / 2;
  surface.PenColour = kNavy;
  for (const int source : {Services.GetFirstSource(image), Services.GetSecondSource(image)}) {
    if (source < 0) continue;
    const long long fromX = static_cast<long long>(Services.GetImageLeft(source)) + SampleWidth + 3;
    const long long fromY = static_cast<long long>(Services.GetImageTop(source)) + SampleHeight / 2;
    surface.Line(Clamp(fromX), Clamp(fromY), Clamp(toX), Clamp(toY));
  }
}

bool TSchemeView::IsNode(TSchemeManager* scheme, int image) {
  return image >= 0 && image < scheme->GetImageCount();
}

QPoint TSchemeView::BoardToScreen(int x, int y) {
  void* board = Services.GetBoardWindow ? Services.GetBoardWindow() : nullptr;
  if (board) return static_cast<QWidget*>(board)->mapToGlobal(QPoint(x, y));
  // No board window in the services (a host without a main window): the
  // surface the pictures go to maps its own points.
  if (Canvas) return Canvas->ToScreen(QPoint(x, y));
  return QPoint(x, y);
}

void TSchemeView::ImageAdded(TSchemeManager* scheme, int image) {
  if (!scheme) return;
  ButtonDown = true;
  HotImage = DragImage = image;
  Dragging = true;
  DragOffsetX = SampleWidth / 2;
  DragOffsetY = SampleHeight / 2;
  // Centred on the last known pointer position.
  scheme->SetLeft(image, LastX - DragOffsetX);
  scheme->SetTop(image, LastY - DragOffsetY);
  DeselectAll(*scheme);
  DragBackground = RenderScheme(scheme, false, ViewRect, image);
  DragSample = MakeSampleBitmap(scheme->GetPixels(image), SampleWidth, SampleHeight,
                                TRect{0, 0, scheme->GetWidth(image), scheme->GetHeight(image)});
  Paint(scheme);
}

void TSchemeView::ImagesDeleted(TSchemeManager* scheme) {
  if (scheme) Paint(scheme);
}

void TSchemeView::ImageRestored(TSchemeManager* scheme, int) {
  if (scheme) Paint(scheme);
}

void TSchemeView::ShowBlendOptions(TSchemeManager* scheme) {
  if (!scheme || !IsNode(scheme, HotImage)) return;
  // The bottom-left corner of the preview.
  const QPoint at = BoardToScreen(Clamp(static_cast<long long>(Services.GetImageLeft(HotImage))),
                                  Clamp(static_cast<long long>(Services.GetImageTop(HotImage)) + SampleHeight));
  if (ToolWindows) ToolWindows->ShowCombine(&Services, HotImage, at);
}

void TSchemeView::ShowFilterOptions(TSchemeManager* scheme) {
  if (!scheme || !IsNode(scheme, HotImage)) return;
  if (Services.GetImageFilterCount(HotImage) == 0) return;
  // The top-right corner of the preview.
  const QPoint at = BoardToScreen(Clamp(static_cast<long long>(Services.GetImageLeft(HotImage)) + SampleWidth),
                                  Clamp(static_cast<long long>(Services.GetImageTop(HotImage))));
  if (ToolWindows) ToolWindows->ShowLayers(&Services, HotImage, at);
}

void TSchemeView::Paint(TSchemeManager* scheme) {
  if (!scheme) return;
  Bitmap picture = RenderScheme(scheme, true, ViewRect, -1);
  HandOver(picture);
}

void TSchemeView::Resize(TSchemeManager* scheme, int, int, TRect client) {
  if (!scheme) return;
  ViewRect = client;
  if (Dragging)
    DragBackground = RenderScheme(scheme, false, ViewRect, DragImage);
  else
    Paint(scheme);
}

void TSchemeView::MouseDown(TSchemeManager* scheme, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x,
                            int y) {
  if (!scheme || ButtonDown) return;
  LastButton = button;
  LastShift = shift;
  LastX = x;
  LastY = y;
  ButtonDown = true;
  // A hot node that no longer exists (nodes deleted since the last move)
  // counts as none.
  if (!IsNode(scheme, HotImage)) return;

  if (button == Qt::LeftButton) {
    if (!(shift & Qt::ShiftModifier)) DeselectAll(*scheme);
    scheme->SetSelected(HotImage, true);
    DragImage = HotImage;
    Dragging = true;
    DragOffsetX = Clamp(static_cast<long long>(x) - scheme->GetLeft(DragImage));
    DragOffsetY = Clamp(static_cast<long long>(y) - scheme->GetTop(DragImage));
    DragBackground = RenderScheme(scheme, false, ViewRect, DragImage);
    DragSample = MakeSampleBitmap(scheme->GetPixels(DragImage), SampleWidth, SampleHeight,
                                  TRect{0, 0, scheme->GetWidth(DragImage), scheme->GetHeight(DragImage)});
    // Nothing is painted: the new selection shows at the first move or the release.
  } else if (button == Qt::RightButton) {
    const QPoint at = BoardToScreen(x, y);
    if (!PopupMenu) return;
    if (ToolWindows)
      ToolWindows->ShowPopupMenu(PopupMenu, at);
    else
      PopupMenu->popup(at);
  }
}

void TSchemeView::MouseMove(TSchemeManager* scheme, Qt::KeyboardModifiers shift, int x, int y) {
  if (!scheme) return;
  LastShift = shift;
  LastX = x;
  LastY = y;
  if (!ButtonDown) {
    HotImage = HitTest(*scheme, x, y, SampleWidth, SampleHeight, ViewRect);
    return;
  }
  if (!Dragging) return;

  DeselectAll(*scheme);
  scheme->SetSelected(HotImage, true);
  int nx = Clamp(static_cast<long long>(x) - DragOffsetX);
  int ny = Clamp(static_cast<long long>(y) - DragOffsetY);
  if (SnapToGrid && GridStep > 0) {
    nx = nx / GridStep * GridStep;  // truncates toward zero: -5 -> 0, 13 -> 8
    ny = ny / GridStep * GridStep;
  }
  scheme->SetLeft(DragImage, nx);
  scheme->SetTop(DragImage, ny);

  // The board without the node, the node's preview and lime frame, and every
  // link on top.
  Bitmap picture = std::move(scratch_);
  scratch_ = Bitmap();
  picture = DragBackground;  // reuses the scratch memory when the sizes match
  mv::Canvas canvas(picture);
  canvas.Draw(nx, ny, DragSample);
  canvas.PenColour = kLime;
  canvas.Outline(nx - 3 - ViewRect.Left, ny - 3 - ViewRect.Top, nx + SampleWidth + 2 - ViewRect.Left,
                 ny + SampleHeight + 2 - ViewRect.Top);
  for (int i = 0, n = scheme->GetImageCount(); i < n; ++i) DrawBlendLinks(canvas, i);
  HandOver(picture);
}

void TSchemeView::MouseUp(TSchemeManager* scheme, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x,
                          int y) {
  if (!scheme) return;
  LastShift = shift;
  LastButton = button;
  LastX = x;
  LastY = y;
  ButtonDown = false;
  if (Dragging) {
    Dragging = false;
    DragImage = -1;
    DragSample = Bitmap();
    DragBackground = Bitmap();
  }
  Paint(scheme);
}

}  // namespace mv
