#include "SchemeManager.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include <sys/mman.h>

#include "MvText.h"
#include "PluginManager.h"

namespace mv {

namespace {

// ---- node images ------------------------------------------------------------
// One allocation per image: a header, the column pointer array, padded to a
// cache line, then the pixel block with column x at block + x * height.

constexpr std::size_t kAlign = 64;

// Plug-in calls nested deeper than this (a filter that re-runs its own chain
// from inside ApplyChannels, say) run nothing, so a misbehaving plug-in cannot
// recurse the host to death.
constexpr int kMaxNesting = 8;

constexpr const char* kFilterErrorOpen = "Ошибка в фильтре «";
constexpr const char* kFilterErrorClose = "»";
constexpr const char* kOutOfMemoryText = "Недостаточно памяти для выполнения операции";

std::size_t PointerBytes(std::uint32_t width) {
  return (static_cast<std::size_t>(width) * sizeof(MvPixel*) + kAlign - 1) / kAlign * kAlign;
}

bool ShapeAllowed(std::uint64_t width, std::uint64_t height) {
  return width <= TSchemeManager::kMaxImageSide && height <= TSchemeManager::kMaxImageSide &&
         width * height <= TSchemeManager::kMaxImagePixels;
}

// The pixel block of an image of `width` columns (null for no image).
MvPixel* PixelsOf(PixelColumns image, std::uint32_t width) {
  return image ? reinterpret_cast<MvPixel*>(reinterpret_cast<char*>(image) + PointerBytes(width)) : nullptr;
}

// Points every column pointer at its place in the block.
void SetColumns(PixelColumns image, std::uint32_t width, std::uint32_t height) {
  MvPixel* block = PixelsOf(image, width);
  for (std::uint32_t x = 0; x < width; ++x) image[x] = block + static_cast<std::size_t>(x) * height;
}

// Every image starts with a small header recording how it was allocated.
struct ImageHeader {
  std::size_t bytes;  // the whole allocation, header included
  bool mapped;        // true: mmap'ed (free with munmap), false: operator new
};
static_assert(sizeof(ImageHeader) <= kAlign);

// Images of this size and above are mapped directly and asked for huge pages:
// the first touch of fresh memory costs about 10 us per 4 KB page here, and
// with 2 MB pages a fresh 96 MB image is ready several times sooner.
constexpr std::size_t kMapThreshold = std::size_t{4} << 20;

// A width x height image with unset pixels; null when width is 0. Throws
// std::bad_alloc when the shape is refused or memory is short.
PixelColumns MakeImage(std::uint32_t width, std::uint32_t height) {
  if (!ShapeAllowed(width, height)) throw std::bad_alloc();
  if (width == 0) return nullptr;
  const std::size_t bytes =
      kAlign + PointerBytes(width) + static_cast<std::size_t>(width) * height * sizeof(MvPixel);
  char* base = nullptr;
  bool mapped = false;
  if (bytes >= kMapThreshold) {
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p != MAP_FAILED) {
      ::madvise(p, bytes, MADV_HUGEPAGE);  // a hint: ignored where huge pages are off
      base = static_cast<char*>(p);
      mapped = true;
    }
  }
  if (!base) base = static_cast<char*>(::operator new(bytes, std::align_val_t{kAlign}));
  new (base) ImageHeader{bytes, mapped};
  auto image = reinterpret_cast<PixelColumns>(base + kAlign);
  SetColumns(image, width, height);
  return image;
}

void FreeImage(PixelColumns image) {
  if (!image) return;
  char* base = reinterpret_cast<char*>(image) - kAlign;
  const ImageHeader header = *reinterpret_cast<ImageHeader*>(base);
  if (header.mapped)
    ::munmap(base, header.bytes);
  else
    ::operator delete(base, std::align_val_t{kAlign});
}

// Owns an image until it is handed to a node.
class ImageHolder {
 public:
  explicit ImageHolder(PixelColumns image = nullptr) : image_(image) {}
  ~ImageHolder() { FreeImage(image_); }
  ImageHolder(const ImageHolder&) = delete;
  ImageHolder& operator=(const ImageHolder&) = delete;
  PixelColumns get() const { return image_; }
  PixelColumns release() {
    PixelColumns p = image_;
    image_ = nullptr;
    return p;
  }

 private:
  PixelColumns image_;
};

void FillWhite(MvPixel* p, std::size_t count) { std::fill_n(p, count, MV_WHITE); }

// Resizes one image of a node in place of the old one: overlapping pixels
// kept, new ones white. Allocates before it releases.
void Resize(PixelColumns& image, std::uint32_t& width, std::uint32_t& height, std::uint32_t newWidth,
            std::uint32_t newHeight) {
  ImageHolder fresh(MakeImage(newWidth, newHeight));
  MvPixel* to = PixelsOf(fresh.get(), newWidth);
  const MvPixel* from = PixelsOf(image, width);
  const std::uint32_t keepW = from ? std::min(width, newWidth) : 0;
  if (newHeight == height) {
    // Columns are contiguous and of equal length: one copy, then the new columns.
    const std::size_t kept = static_cast<std::size_t>(keepW) * height;
    if (kept) std::memcpy(to, from, kept * sizeof(MvPixel));
    FillWhite(to + kept, static_cast<std::size_t>(newWidth) * newHeight - kept);
  } else {
    const std::uint32_t keepH = std::min(height, newHeight);
    for (std::uint32_t x = 0; x < newWidth; ++x) {
      MvPixel* col = to + static_cast<std::size_t>(x) * newHeight;
      std::uint32_t y = 0;
      if (x < keepW) {
        std::memcpy(col, from + static_cast<std::size_t>(x) * height, keepH * sizeof(MvPixel));
        y = keepH;
      }
      FillWhite(col + y, newHeight - y);
    }
  }
  FreeImage(image);
  image = fresh.release();
  width = newWidth;
  height = newHeight;
}

// Copies one image of a node over another of the same node: reuses the
// target's memory when the shapes agree, else allocates before it releases.
// Returns true when memory was released.
bool CopyImage(PixelColumns from, std::uint32_t fromW, std::uint32_t fromH, PixelColumns& to, std::uint32_t& toW,
               std::uint32_t& toH) {
  const std::size_t count = static_cast<std::size_t>(fromW) * fromH;
  const MvPixel* src = PixelsOf(from, fromW);
  if ((to || fromW == 0) && toW == fromW && toH == fromH) {
    if (count) {
      if (src) std::memcpy(PixelsOf(to, toW), src, count * sizeof(MvPixel));
      else FillWhite(PixelsOf(to, toW), count);
    }
    return false;
  }
  ImageHolder fresh(MakeImage(fromW, fromH));
  if (count) {
    if (src) std::memcpy(PixelsOf(fresh.get(), fromW), src, count * sizeof(MvPixel));
    else FillWhite(PixelsOf(fresh.get(), fromW), count);
  }
  FreeImage(to);
  to = fresh.release();
  toW = fromW;
  toH = fromH;
  return true;
}

// One column of the blend: three table look-ups per pixel, written to both
// images. The channels are read as bytes (little-endian: red first), which
// spares the shifting and masking of whole pixels; bits 24-31 are never read.
static_assert(std::endian::native == std::endian::little, "channel bytes are read in little-endian order");
void BlendColumn(const std::uint8_t* table, const MvPixel* a, const MvPixel* b, MvPixel* base, MvPixel* current,
                 std::uint32_t rows) {
  const auto* p = reinterpret_cast<const unsigned char*>(a);
  const auto* q = reinterpret_cast<const unsigned char*>(b);
  for (std::uint32_t y = 0; y < rows; ++y, p += 4, q += 4) {
    const std::uint32_t red = table[(std::uint32_t{p[0]} << 8) + q[0]];
    const std::uint32_t green = table[(std::uint32_t{p[1]} << 8) + q[1]];
    const std::uint32_t blue = table[(std::uint32_t{p[2]} << 8) + q[2]];
    const MvPixel v = red | (green << 8) | (blue << 16);
    base[y] = v;
    current[y] = v;
  }
}

template <class Notify, class Arg>
void Send(const Notify& notify, Arg arg) {
  if (notify) notify(arg);
}

// Counts a plug-in call in progress for as long as it lives.
class NestingScope {
 public:
  explicit NestingScope(int& depth) : depth_(depth) { ++depth_; }
  ~NestingScope() { --depth_; }
  NestingScope(const NestingScope&) = delete;
  NestingScope& operator=(const NestingScope&) = delete;

 private:
  int& depth_;
};

}  // namespace

TSchemeManager::TSchemeManager() = default;

TSchemeManager::~TSchemeManager() {
  for (auto& n : Images) {
    FreeImage(n.Base);
    FreeImage(n.Current);
  }
}

// ---- lookup -------------------------------------------------------------------

TImageEntry* TSchemeManager::Node(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= Images.size()) return nullptr;
  return &Images[static_cast<std::size_t>(index)];
}

TFilterEntry* TSchemeManager::Entry(int index, int k) {
  TImageEntry* n = Node(index);
  if (!n || k < 0 || static_cast<std::size_t>(k) >= n->FilterChain.size()) return nullptr;
  return &n->FilterChain[static_cast<std::size_t>(k)];
}

MvFilter* TSchemeManager::FindFilter(const std::string& identifier) {
  return PluginManager ? PluginManager->FindFilter(identifier) : nullptr;
}

// ---- dependencies ---------------------------------------------------------------

std::vector<int> TSchemeManager::CollectWithDependents(int index) {
  std::vector<int> result;
  if (!Node(index)) return result;
  const int count = GetImageCount();
  // Direct dependents of every node, ascending (a node blended twice from the same source once).
  std::vector<std::vector<int>> dependents(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const TImageEntry& n = Images[static_cast<std::size_t>(i)];
    if (!n.Generated) continue;
    for (int s : {n.FirstSource, n.SecondSource}) {
      if (s < 0 || s >= count || s == i) continue;
      auto& list = dependents[static_cast<std::size_t>(s)];
      if (list.empty() || list.back() != i) list.push_back(i);
    }
  }
  // Depth-first pre-order with one visited set; an explicit stack keeps deep
  // blend chains off the call stack.
  std::vector<char> visited(static_cast<std::size_t>(count), 0);
  std::vector<std::pair<int, std::size_t>> stack;  // node, next dependent to look at
  visited[static_cast<std::size_t>(index)] = 1;
  result.push_back(index);
  stack.emplace_back(index, 0);
  while (!stack.empty()) {
    auto& [node, next] = stack.back();
    const auto& list = dependents[static_cast<std::size_t>(node)];
    if (next == list.size()) {
      stack.pop_back();
      continue;
    }
    const int d = list[next++];
    if (visited[static_cast<std::size_t>(d)]) continue;
    visited[static_cast<std::size_t>(d)] = 1;
    result.push_back(d);
    stack.emplace_back(d, 0);
  }
  return result;
}

int* TSchemeManager::GetDependents(int index, int& count) {
  count = 0;
  if (!Node(index)) return nullptr;
  std::vector<int> found;
  const int total = GetImageCount();
  for (int i = 0; i < total; ++i) {
    if (i == index) continue;
    const TImageEntry& n = Images[static_cast<std::size_t>(i)];
    if (n.Generated && (n.FirstSource == index || n.SecondSource == index)) found.push_back(i);
  }
  if (found.empty()) return nullptr;
  int* array = new int[found.size()];
  std::copy(found.begin(), found.end(), array);
  count = static_cast<int>(found.size());
  return array;
}

// ---- images -----------------------------------------------------------------------

PixelColumns TSchemeManager::GetPixels(int index) {
  TImageEntry* n = Node(index);
  return n ? n->Current : nullptr;
}

PixelColumns TSchemeManager::GetBasePixels(int index) {
  TImageEntry* n = Node(index);
  return n ? n->Base : nullptr;
}

int TSchemeManager::GetWidth(int index) {
  TImageEntry* n = Node(index);
  return n ? static_cast<int>(n->Width) : 0;
}

int TSchemeManager::GetHeight(int index) {
  TImageEntry* n = Node(index);
  return n ? static_cast<int>(n->Height) : 0;
}

int TSchemeManager::GetBaseWidth(int index) {
  TImageEntry* n = Node(index);
  return n ? static_cast<int>(n->BaseWidth) : 0;
}

int TSchemeManager::GetBaseHeight(int index) {
  TImageEntry* n = Node(index);
  return n ? static_cast<int>(n->BaseHeight) : 0;
}

void TSchemeManager::SetWidth(int index, unsigned width) {
  TImageEntry* n = Node(index);
  if (!n || width == n->Width || !ShapeAllowed(width, n->Height)) return;
  Resize(n->Current, n->Width, n->Height, width, n->Height);
  ++Revision_;
}

void TSchemeManager::SetHeight(int index, unsigned height) {
  TImageEntry* n = Node(index);
  if (!n || height == n->Height || !ShapeAllowed(n->Width, height)) return;
  Resize(n->Current, n->Width, n->Height, n->Width, height);
  ++Revision_;
}

void TSchemeManager::SetBaseWidth(int index, unsigned width) {
  TImageEntry* n = Node(index);
  if (!n || width == n->BaseWidth || !ShapeAllowed(width, n->BaseHeight)) return;
  Resize(n->Base, n->BaseWidth, n->BaseHeight, width, n->BaseHeight);
  ++Revision_;
}

void TSchemeManager::SetBaseHeight(int index, unsigned height) {
  TImageEntry* n = Node(index);
  if (!n || height == n->BaseHeight || !ShapeAllowed(n->BaseWidth, height)) return;
  Resize(n->Base, n->BaseWidth, n->BaseHeight, n->BaseWidth, height);
  ++Revision_;
}

namespace {
// Copies source[x][y] over the whole shape; a null source or column is skipped.
void CopyIn(PixelColumns image, std::uint32_t width, std::uint32_t height, PixelColumns source) {
  if (!source || !image) return;
  MvPixel* block = PixelsOf(image, width);
  for (std::uint32_t x = 0; x < width; ++x) {
    MvPixel* to = block + static_cast<std::size_t>(x) * height;
    const MvPixel* from = source[x];
    // memmove: a plug-in may hand back the very array it was lent.
    if (from && from != to) std::memmove(to, from, height * sizeof(MvPixel));
  }
}
}  // namespace

void TSchemeManager::SetPixels(int index, PixelColumns source) {
  TImageEntry* n = Node(index);
  if (n) CopyIn(n->Current, n->Width, n->Height, source);
}

void TSchemeManager::SetBasePixels(int index, PixelColumns source) {
  TImageEntry* n = Node(index);
  if (n) CopyIn(n->Base, n->BaseWidth, n->BaseHeight, source);
}

// ---- position, selection, chain fields --------------------------------------------

int TSchemeManager::GetLeft(int index) {
  TImageEntry* n = Node(index);
  return n ? n->Left : 0;
}

int TSchemeManager::GetTop(int index) {
  TImageEntry* n = Node(index);
  return n ? n->Top : 0;
}

void TSchemeManager::SetLeft(int index, int x) {
  if (TImageEntry* n = Node(index)) n->Left = x;
}

void TSchemeManager::SetTop(int index, int y) {
  if (TImageEntry* n = Node(index)) n->Top = y;
}

bool TSchemeManager::GetSelected(int index) {
  TImageEntry* n = Node(index);
  return n && n->Selected;
}

void TSchemeManager::SetSelected(int index, bool selected) {
  if (TImageEntry* n = Node(index)) n->Selected = selected;
}

int TSchemeManager::GetImageCount() { return static_cast<int>(Images.size()); }

int TSchemeManager::GetChainLength(int index) {
  TImageEntry* n = Node(index);
  return n ? static_cast<int>(n->FilterChain.size()) : 0;
}

std::string TSchemeManager::GetFilterIdentifier(int index, int k) {
  TFilterEntry* e = Entry(index, k);
  return e ? e->Identifier : std::string();
}

std::uint8_t TSchemeManager::GetFilterChannels(int index, int k) {
  TFilterEntry* e = Entry(index, k);
  return e ? e->Channels : 0;
}

void TSchemeManager::SetFilterChannels(int index, int k, std::uint8_t mask) {
  TFilterEntry* e = Entry(index, k);
  mask &= MV_CHANNEL_ALL;
  if (!e || e->Channels == mask) return;
  e->Channels = mask;
  try {
    if (RunChain(index)) UpdateDependentsOnce(index);
  } catch (const std::bad_alloc&) {
    ReportOutOfMemory();
  }
}

bool TSchemeManager::IsGenerated(int index) {
  TImageEntry* n = Node(index);
  return n && n->Generated;
}

int TSchemeManager::GetFirstSource(int index) {
  TImageEntry* n = Node(index);
  return n && n->Generated ? n->FirstSource : -1;
}

int TSchemeManager::GetSecondSource(int index) {
  TImageEntry* n = Node(index);
  return n && n->Generated ? n->SecondSource : -1;
}

int TSchemeManager::GetBlendRatio(int index) {
  TImageEntry* n = Node(index);
  return n && n->Generated ? static_cast<int>(n->BlendRatio) : -1;
}

void TSchemeManager::SetBlendRatio(int index, int ratio) {
  TImageEntry* n = Node(index);
  if (!n || !n->Generated || ratio < 0 || ratio > 100) return;
  n->BlendRatio = static_cast<std::uint32_t>(ratio);
  try {
    ComputeBlend(index, false);
    if (RunChain(index, true)) UpdateDependentsOnce(index);
  } catch (const std::bad_alloc&) {
    ReportOutOfMemory();
  }
}

std::pair<std::int32_t, std::int32_t> TSchemeManager::GetFilterParams(int index, int k) {
  TFilterEntry* e = Entry(index, k);
  return e ? std::make_pair(e->Param1, e->Param2) : std::make_pair(0, 0);
}

void TSchemeManager::SetFilterParams(int index, int k, int param1, int param2) {
  if (TFilterEntry* e = Entry(index, k)) {
    e->Param1 = param1;
    e->Param2 = param2;
  }
}

bool TSchemeManager::CheckFilterParams(int index, int k) {
  const auto [first, second] = GetFilterParams(index, k);
  return !(first != 0 && second == 0);
}

void TSchemeManager::AppendFilterEntry(int index, const TFilterEntry& entry) {
  if (TImageEntry* n = Node(index)) {
    n->FilterChain.push_back(entry);
    n->FilterChain.back().Channels &= MV_CHANNEL_ALL;
  }
}

// ---- node operations ------------------------------------------------------------------

void TSchemeManager::AddImage(PixelColumns pixels, unsigned width, unsigned height) {
  AddImageAt(pixels, width, height, 0, 0);
}

void TSchemeManager::AddImageAt(PixelColumns pixels, unsigned width, unsigned height, int left, int top) {
  AddUnfilledImageAt(width, height, left, top);
  TImageEntry& node = Images.back();
  const std::size_t count = static_cast<std::size_t>(width) * height;
  if (!count) return;
  MvPixel* to = PixelsOf(node.Base, width);
  for (unsigned x = 0; x < width; ++x) {
    MvPixel* col = to + static_cast<std::size_t>(x) * height;
    if (pixels && pixels[x]) std::memcpy(col, pixels[x], height * sizeof(MvPixel));
    else FillWhite(col, height);
  }
  std::memcpy(PixelsOf(node.Current, width), to, count * sizeof(MvPixel));
}

void TSchemeManager::AddUnfilledImageAt(unsigned width, unsigned height, int left, int top) {
  ImageHolder base(MakeImage(width, height));
  ImageHolder current(MakeImage(width, height));
  TImageEntry node;
  node.BaseWidth = node.Width = width;
  node.BaseHeight = node.Height = height;
  node.Left = left;
  node.Top = top;
  Images.push_back(std::move(node));
  Images.back().Base = base.release();
  Images.back().Current = current.release();
}

void TSchemeManager::AddBlendedImage(int first, int second, int ratio, bool showProgress) {
  TImageEntry* a = Node(first);
  TImageEntry* b = Node(second);
  if (!a || !b) return;
  TImageEntry node;
  node.BaseWidth = node.Width = std::min(a->Width, b->Width);
  node.BaseHeight = node.Height = std::min(a->Height, b->Height);
  node.Generated = true;
  node.FirstSource = first;
  node.SecondSource = second;
  // A ratio outside 0..100 (a damaged project file) would take the channel
  // arithmetic out of 0..255: keep it in range.
  node.BlendRatio = static_cast<std::uint32_t>(std::clamp(ratio, 0, 100));
  BlendTable(node.BlendRatio);
  ImageHolder base(MakeImage(node.BaseWidth, node.BaseHeight));
  ImageHolder current(MakeImage(node.Width, node.Height));
  Images.push_back(std::move(node));
  Images.back().Base = base.release();
  Images.back().Current = current.release();
  // The images have the blend's shape already: ComputeBlend only writes them.
  ComputeBlend(GetImageCount() - 1, showProgress);
}

const std::uint8_t* TSchemeManager::BlendTable(std::uint32_t ratio) {
  ratio = std::min(ratio, 100u);
  if (BlendTable_.empty() || BlendTableRatio_ != ratio) {
    BlendTable_.resize(256 * 256);
    // Each channel: (r * 0.01) * c1 + ((100 - r) * 0.01) * c2 in 80-bit
    // extended precision (long double on x86-64), each step rounded in the
    // order written, then truncated toward zero.
    //
    // The value is never negative and never falls as c2 grows, so its
    // truncation is found by stepping an exact whole number up to it: this
    // avoids a float-to-integer conversion per entry, which on the x87 unit
    // costs a control-word switch each time.
    const long double first = static_cast<long double>(ratio) * 0.01L;
    const long double second = static_cast<long double>(100 - ratio) * 0.01L;
    std::uint8_t* table = BlendTable_.data();
    for (int c1 = 0; c1 < 256; ++c1) {
      const long double part = first * static_cast<long double>(c1);
      int whole = 0;
      long double next = 1.0L;  // whole + 1, exactly
      for (int c2 = 0; c2 < 256; ++c2) {
        const long double value = part + second * static_cast<long double>(c2);
        while (whole < 255 && next <= value) {
          ++whole;
          next += 1.0L;
        }
        table[c1 << 8 | c2] = static_cast<std::uint8_t>(whole);
      }
    }
    BlendTableRatio_ = ratio;
  }
  return BlendTable_.data();
}

void TSchemeManager::ComputeBlend(int index, bool showProgress) {
  TImageEntry* n = Node(index);
  if (!n || !n->Generated) return;
  const std::uint8_t* table = BlendTable(n->BlendRatio);
  const std::uint32_t w = n->BaseWidth, h = n->BaseHeight;

  // Both images are written in place when they already have the blend's
  // shape (the usual case: a generated node's size is fixed); otherwise the
  // new ones are made before the old ones go, so a failure changes nothing.
  const bool baseFits = n->Base || w == 0;
  const bool currentFits = (n->Current || w == 0) && n->Width == w && n->Height == h;
  ImageHolder freshBase(baseFits ? nullptr : MakeImage(w, h));
  ImageHolder freshCurrent(currentFits ? nullptr : MakeImage(w, h));
  if (!baseFits) n->Base = freshBase.release();
  if (!currentFits) {
    FreeImage(n->Current);
    n->Current = freshCurrent.release();
    n->Width = w;
    n->Height = h;
    ++Revision_;
  }

  if (showProgress) {
    Send(OnProgressMin, 0);
    Send(OnProgressMax, static_cast<int>(w));
    Send(OnProgressPosition, 0);
    Send(OnProgressVisible, true);
  }

  // What the sources hold now: a filter may have made a source smaller than
  // the node. Only existing pixels are read; the rest of the node is white.
  const TImageEntry* s1 = Node(n->FirstSource);
  const TImageEntry* s2 = Node(n->SecondSource);
  const MvPixel* p1 = s1 ? PixelsOf(s1->Current, s1->Width) : nullptr;
  const MvPixel* p2 = s2 ? PixelsOf(s2->Current, s2->Width) : nullptr;
  const std::uint32_t h1 = p1 ? s1->Height : 0, h2 = p2 ? s2->Height : 0;
  const std::uint32_t cols = p1 && p2 ? std::min({w, s1->Width, s2->Width}) : 0;
  const std::uint32_t rows = std::min({h, h1, h2});

  MvPixel* base = PixelsOf(n->Base, w);
  MvPixel* current = PixelsOf(n->Current, w);
  const std::uint64_t removals = Removals_, revision = Revision_;
  for (std::uint32_t x = 0; x < w; ++x) {
    MvPixel* b = base + static_cast<std::size_t>(x) * h;
    MvPixel* c = current + static_cast<std::size_t>(x) * h;
    const std::uint32_t done = x < cols ? rows : 0;
    if (done)
      BlendColumn(table, p1 + static_cast<std::size_t>(x) * h1, p2 + static_cast<std::size_t>(x) * h2, b, c, done);
    FillWhite(b + done, h - done);
    FillWhite(c + done, h - done);
    if (showProgress) {
      Send(OnProgressPosition, static_cast<int>(x));
      // A handler that let the user change the scheme has invalidated what
      // this loop holds: stop here.
      if (Removals_ != removals || Revision_ != revision) break;
    }
  }

  if (showProgress) {
    Send(OnProgressPosition, 0);
    Send(OnProgressVisible, false);
  }
}

void TSchemeManager::DeleteImage(int index) {
  const std::vector<int> doomed = CollectWithDependents(index);
  if (doomed.empty()) return;
  const std::size_t count = Images.size();
  std::vector<char> gone(count, 0);
  for (int d : doomed) gone[static_cast<std::size_t>(d)] = 1;
  // New position of every survivor; the doomed list holds every node
  // generated from a removed one, so no survivor refers to a removed node.
  std::vector<int> renumber(count, -1);
  int next = 0;
  for (std::size_t i = 0; i < count; ++i)
    if (!gone[i]) renumber[i] = next++;
  auto moved = [&](int s) { return s >= 0 && static_cast<std::size_t>(s) < count ? renumber[static_cast<std::size_t>(s)] : -1; };

  std::size_t to = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (gone[i]) {
      FreeImage(Images[i].Base);
      FreeImage(Images[i].Current);
      continue;
    }
    if (to != i) Images[to] = std::move(Images[i]);
    TImageEntry& n = Images[to];
    if (n.Generated) {
      n.FirstSource = moved(n.FirstSource);
      n.SecondSource = moved(n.SecondSource);
      if (n.FirstSource < 0 || n.SecondSource < 0) {  // only a damaged record gets here
        n.Generated = false;
        n.FirstSource = n.SecondSource = -1;
      }
    }
    ++to;
  }
  Images.resize(to);
  ++Removals_;
  ++Revision_;
}

void TSchemeManager::Clear() {
  for (auto& n : Images) {
    FreeImage(n.Base);
    n.Base = nullptr;
    n.BaseWidth = n.BaseHeight = 0;
    FreeImage(n.Current);
    n.Current = nullptr;
    n.Width = n.Height = 0;
  }
  Images.clear();
  ++Removals_;
  ++Revision_;
}

// ---- filter chains ----------------------------------------------------------------------

void TSchemeManager::ReportFilterError(MvFilter* filter, const std::string& identifier) {
  std::string name;
  try {
    name = filter->GetName();
  } catch (...) {
    name = identifier;
  }
  Send(OnStatusText, std::string(kFilterErrorOpen) + Cp1251ToUtf8(name) + kFilterErrorClose);
}

void TSchemeManager::ReportOutOfMemory() { Send(OnStatusText, std::string(kOutOfMemoryText)); }

void TSchemeManager::CallFilter(MvFilter* filter, int index, std::uint8_t mask, bool reapply) {
  {
    NestingScope scope(Nesting_);
    try {
      if (filter->SupportsChannels())
        filter->ApplyChannels(index, mask);
      else
        filter->Apply(index, reapply ? 1 : 0);
    } catch (...) {
      std::string id;
      try {
        id = filter->GetIdentifier();
      } catch (...) {
      }
      ReportFilterError(filter, id);
    }
  }
  // The column pointers are the host's: undo whatever the plug-in wrote into them.
  if (TImageEntry* n = Node(index)) SetColumns(n->Current, n->Width, n->Height);
}

bool TSchemeManager::RunChain(int index, bool currentIsBase) {
  TImageEntry* n = Node(index);
  if (!n || n->FilterChain.empty() || Nesting_ >= kMaxNesting) return true;
  const std::uint64_t removals = Removals_;
  if (!currentIsBase) ResetImage(index);
  // Nothing of the node or its chain is held across a plug-in call: the
  // filter may resize the node, and the pending window messages that a
  // progress call lets through may change the chain.
  for (std::size_t k = 0;; ++k) {
    n = Node(index);
    if (!n || k >= n->FilterChain.size()) break;
    const TFilterEntry entry = n->FilterChain[k];
    MvFilter* filter = FindFilter(entry.Identifier);
    if (!filter) continue;  // its plug-in is not loaded
    CallFilter(filter, index, entry.Channels, true);
    if (Removals_ != removals) return false;
  }
  return true;
}

void TSchemeManager::ApplyFilter(int index, int filterIndex) {
  if (!Node(index) || !PluginManager || filterIndex < 0 || filterIndex >= PluginManager->GetFilterCount() ||
      Nesting_ >= kMaxNesting)
    return;
  MvFilter* filter = PluginManager->GetFilter(filterIndex);
  if (!filter) return;
  TFilterEntry entry;
  try {
    entry.Identifier = filter->GetIdentifier();
  } catch (...) {
    return;
  }
  try {
    Node(index)->FilterChain.push_back(entry);
    const std::uint64_t removals = Removals_;
    CallFilter(filter, index, MV_CHANNEL_ALL, false);
    if (Removals_ == removals) UpdateDependentsOnce(index);
  } catch (const std::bad_alloc&) {
    ReportOutOfMemory();
  }
}

void TSchemeManager::RunFilterChain(int index) {
  TImageEntry* n = Node(index);
  if (!n || n->FilterChain.empty()) return;
  try {
    if (RunChain(index)) UpdateDependentsOnce(index);
  } catch (const std::bad_alloc&) {
    ReportOutOfMemory();
  }
}

void TSchemeManager::ResetImage(int index) {
  TImageEntry* n = Node(index);
  if (n && CopyImage(n->Base, n->BaseWidth, n->BaseHeight, n->Current, n->Width, n->Height)) ++Revision_;
}

void TSchemeManager::CommitImage(int index) {
  TImageEntry* n = Node(index);
  if (n && CopyImage(n->Current, n->Width, n->Height, n->Base, n->BaseWidth, n->BaseHeight)) ++Revision_;
}

void TSchemeManager::RestoreImage(int index) {
  if (!Node(index)) return;
  try {
    ResetImage(index);
    Node(index)->FilterChain.clear();
    UpdateDependentsOnce(index);
  } catch (const std::bad_alloc&) {
    ReportOutOfMemory();
  }
}

void TSchemeManager::UpdateDependents(int index) {
  try {
    UpdateDependentsOnce(index);
  } catch (const std::bad_alloc&) {
    ReportOutOfMemory();
  }
}

void TSchemeManager::UpdateDependentsOnce(int index) {
  if (!Node(index)) return;
  // Sources always precede the nodes blended from them, so one ascending pass
  // finds everything generated from `index`, directly or not, and is an order
  // in which every node is recomputed after its sources: each exactly once.
  const int count = GetImageCount();
  std::vector<char> reached(static_cast<std::size_t>(count - index), 0);
  reached[0] = 1;
  auto from = [&](int s, int i) { return s >= index && s < i && reached[static_cast<std::size_t>(s - index)]; };
  std::vector<int> order;
  for (int i = index + 1; i < count; ++i) {
    const TImageEntry& n = Images[static_cast<std::size_t>(i)];
    if (n.Generated && (from(n.FirstSource, i) || from(n.SecondSource, i))) {
      reached[static_cast<std::size_t>(i - index)] = 1;
      order.push_back(i);
    }
  }
  const std::uint64_t removals = Removals_;
  for (int d : order) {
    ComputeBlend(d, false);
    if (!RunChain(d, true) || Removals_ != removals) return;
  }
}

}  // namespace mv
