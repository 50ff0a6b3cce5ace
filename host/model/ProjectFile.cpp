// Project files (*.mvl): writing a whole scheme and rebuilding it.
//
// Layout (little-endian, no padding):
//   "MVL"  PlainCount:u32  plain records  GeneratedCount:u32  generated records  pixel blocks
// A plain record is a 24-byte header (BaseWidth, BaseHeight, Left, Top,
// FilterCount, PixelOffset) followed by its filter records; a generated record
// is a 24-byte header (BlendRatio, Left, Top, FilterCount, FirstSource,
// SecondSource) followed by its filter records. A filter record is the
// identifier's bytes, a 0 byte, HasChannels (1 byte) and, when HasChannels is
// not 0, the channel mask (1 byte). A pixel block is a plain node's base image
// in row order, one little-endian 32-bit pixel after another. Sources are file
// indices: plain nodes first, in record order, then generated nodes.
//
// I/O. Both directions go through a buffer of their own and move pixels in
// bands of whole rows (about 1 MiB, so a band stays in cache). The conversion
// between the model's column layout and the file's row order works on one band
// at a time: the writer gathers 16 columns at a time into the band's rows (16
// pixels are one cache line of a row), the reader writes each column straight
// down from the band's rows, whose lines serve the next 15 columns too.
//
// Safety. Saving writes a temporary file in the target's folder and renames
// it over the target only once every byte is written and flushed to disk, so a
// failed save leaves the previous project as it was. Reading trusts nothing:
// every count, size, offset and source is checked against the file's length
// and the nodes already rebuilt before anything is allocated or indexed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "MvText.h"
#include "PluginManager.h"
#include "Prompts.h"
#include "SchemeManager.h"

namespace mv {
namespace {

constexpr char kMagic[3] = {'M', 'V', 'L'};
constexpr std::uint64_t kHeaderSize = 24;
// Smallest possible filter record: an empty identifier's 0 byte and HasChannels.
constexpr std::uint64_t kMinFilterRecord = 2;
// Size of the I/O buffers, and of one band of pixel rows.
constexpr std::size_t kBufferBytes = std::size_t(1) << 20;
constexpr std::size_t kBandPixels = kBufferBytes / sizeof(MvPixel);
// Columns per tile of the column/row conversion: 16 pixels fill one cache line of a row.
constexpr std::uint32_t kTileColumns = 16;
// Generated nodes are computed, not stored, so a small file can ask for many
// large blends. Their pixels together may not exceed the larger of
// kGeneratedPixelFactor times the pixels the file holds and kGeneratedPixelFloor.
constexpr std::uint64_t kGeneratedPixelFactor = 64;
constexpr std::uint64_t kGeneratedPixelFloor = std::uint64_t(1) << 26;
// An image without pixels (0 columns or 0 rows) still costs its column
// pointers. The file holds nothing to measure them against, so their sizes
// together have a fixed limit, far above anything a real scheme holds.
constexpr std::uint64_t kEmptyExtentLimit = std::uint64_t(1) << 20;

/// How an image is cut for moving between the file and memory: bands of
/// `rows` whole rows while a row fits a band (a multiple of 16 rows when the
/// band holds that many, so every column gets whole cache lines), otherwise
/// single rows in pieces of `segment` pixels.
struct BandShape {
  std::uint32_t segment, rows;
  BandShape(std::uint32_t width, std::uint32_t height) {
    segment = static_cast<std::uint32_t>(std::min<std::size_t>(width, kBandPixels));
    std::size_t r = kBandPixels / segment;
    if (r >= 16) r -= r % 16;
    rows = static_cast<std::uint32_t>(std::clamp<std::size_t>(r, 1, height));
  }
};

inline std::uint32_t ToLittle(std::uint32_t v) {
  if constexpr (std::endian::native == std::endian::big) return __builtin_bswap32(v);
  return v;
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 24));
}

void PatchU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  out[at] = static_cast<std::uint8_t>(v);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
  out[at + 2] = static_cast<std::uint8_t>(v >> 16);
  out[at + 3] = static_cast<std::uint8_t>(v >> 24);
}

std::uint32_t GetU32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

/// Closes a descriptor when it goes out of scope.
class FileHandle {
 public:
  explicit FileHandle(int fd = -1) : fd_(fd) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int get() const { return fd_; }
  /// false when closing reported an error (for a file being written: data may be lost).
  bool Close() {
    if (fd_ < 0) return true;
    const int r = ::close(fd_);
    fd_ = -1;
    return r == 0;
  }

 private:
  int fd_;
};

// ---------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------

/// Sequential writer with a buffer of its own. Chunks at least as large as the
/// buffer go straight to the file.
class FileWriter {
 public:
  FileWriter(int fd, std::size_t capacity) : fd_(fd), buffer_(std::max<std::size_t>(capacity, 1)) {}

  bool Put(const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    if (used_ + n > buffer_.size()) {
      if (!Flush()) return false;
      if (n >= buffer_.size()) return WriteAll(p, n);
    }
    std::memcpy(buffer_.data() + used_, p, n);
    used_ += n;
    return true;
  }

  bool Flush() {
    const bool ok = WriteAll(buffer_.data(), used_);
    used_ = 0;
    return ok;
  }

 private:
  bool WriteAll(const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
      const ssize_t r = ::write(fd_, p, n);
      if (r < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (r == 0) return false;
      p += r;
      n -= static_cast<std::size_t>(r);
    }
    return true;
  }

  int fd_;
  std::vector<std::uint8_t> buffer_;
  std::size_t used_ = 0;
};

/// Copies the pixels of columns [x0, x1) and rows [y0, y1) into `out` in row
/// order (row length x1 - x0), as little-endian words.
void ColumnsToRows(PixelColumns columns, std::uint32_t x0, std::uint32_t x1, std::uint32_t y0, std::uint32_t y1,
                   MvPixel* out) {
  const std::size_t stride = x1 - x0;
  for (std::uint32_t tx = x0; tx < x1; tx += kTileColumns) {
    const std::uint32_t n = std::min(kTileColumns, x1 - tx);
    const MvPixel* col[kTileColumns] = {};
    for (std::uint32_t i = 0; i < n; ++i) col[i] = columns[tx + i];
    MvPixel* row = out + (tx - x0);
    if (n == kTileColumns) {
      for (std::uint32_t y = y0; y < y1; ++y, row += stride)
        for (std::uint32_t i = 0; i < kTileColumns; ++i) row[i] = ToLittle(col[i][y]);
    } else {
      for (std::uint32_t y = y0; y < y1; ++y, row += stride)
        for (std::uint32_t i = 0; i < n; ++i) row[i] = ToLittle(col[i][y]);
    }
  }
}

/// Writes a width x height image in the file's row order, band by band.
bool WritePixelBlock(FileWriter& out, PixelColumns columns, std::uint32_t width, std::uint32_t height,
                     std::vector<MvPixel>& band) {
  if (width == 0 || height == 0) return true;
  const BandShape shape(width, height);
  const std::uint32_t segment = shape.segment, rows = shape.rows;
  for (std::uint32_t y0 = 0; y0 < height; y0 += rows) {
    const std::uint32_t y1 = y0 + std::min(rows, height - y0);
    for (std::uint32_t x0 = 0; x0 < width; x0 += segment) {
      const std::uint32_t x1 = x0 + std::min(segment, width - x0);
      ColumnsToRows(columns, x0, x1, y0, y1, band.data());
      if (!out.Put(band.data(), std::size_t(x1 - x0) * (y1 - y0) * sizeof(MvPixel))) return false;
    }
  }
  return true;
}

/// Where a save really goes: the target itself, or the file a symbolic link names.
std::string ResolveTarget(const std::string& fileName) {
  struct stat st {};
  if (::lstat(fileName.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(fileName.c_str(), nullptr)) {
      std::string resolved(real);
      std::free(real);
      return resolved;
    }
  }
  return fileName;
}

/// A new, empty file beside `target`, its name returned in `tempName`. The
/// mode is the target's when it exists, else the usual one for a new file.
int CreateTempBeside(const std::string& target, std::string& tempName) {
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::random_device rd;
  std::mt19937_64 gen((std::uint64_t(rd()) << 32) ^ rd() ^ std::uint64_t(::getpid()));
  static const char kHex[] = "0123456789abcdef";
  for (int attempt = 0; attempt < 64; ++attempt) {
    std::string suffix;
    std::uint64_t r = gen();
    for (int i = 0; i < 12; ++i, r >>= 4) suffix.push_back(kHex[r & 15]);
    tempName = folder + "." + base + ".saving-" + suffix;
    const int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      struct stat st {};
      if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(fd, st.st_mode & 07777);
      return fd;
    }
    if (errno != EEXIST) break;
  }
  tempName.clear();
  return -1;
}

/// Makes a finished rename durable; a folder that cannot be synced changes nothing.
void SyncFolderOf(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string(".") : target.substr(0, slash == 0 ? 1 : slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// ---------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------

/// Positioned reader with a buffer of its own over a file of known length.
/// Every read is all or nothing: a short read is a failed read.
class FileReader {
 public:
  FileReader(int fd, std::uint64_t length)
      : fd_(fd), length_(length), buffer_(static_cast<std::size_t>(std::clamp<std::uint64_t>(length, 1, kBufferBytes))) {}

  std::uint64_t Length() const { return length_; }
  std::uint64_t Position() const { return position_; }
  std::uint64_t Remaining() const { return length_ - std::min(position_, length_); }
  void Seek(std::uint64_t position) { position_ = position; }

  bool Read(void* data, std::size_t n) {
    auto* dst = static_cast<std::uint8_t*>(data);
    while (n > 0) {
      if (!Buffered()) {
        if (n >= buffer_.size()) return ReadDirect(dst, n);
        if (!Fill()) return false;
      }
      const std::size_t at = static_cast<std::size_t>(position_ - start_);
      const std::size_t take = std::min(n, filled_ - at);
      std::memcpy(dst, buffer_.data() + at, take);
      dst += take;
      n -= take;
      position_ += take;
    }
    return true;
  }

  bool ReadByte(std::uint8_t& b) { return Read(&b, 1); }

  bool ReadU32(std::uint32_t& v) {
    std::uint8_t bytes[4];
    if (!Read(bytes, 4)) return false;
    v = GetU32(bytes);
    return true;
  }

  /// The bytes up to the next 0 byte (which is consumed); false when the file ends first.
  bool ReadString(std::string& s) {
    s.clear();
    for (;;) {
      if (!Buffered() && !Fill()) return false;
      const std::size_t at = static_cast<std::size_t>(position_ - start_);
      const auto* begin = buffer_.data() + at;
      const auto* zero = static_cast<const std::uint8_t*>(std::memchr(begin, 0, filled_ - at));
      const std::size_t take = zero ? static_cast<std::size_t>(zero - begin) : filled_ - at;
      s.append(reinterpret_cast<const char*>(begin), take);
      position_ += take;
      if (zero) {
        ++position_;
        return true;
      }
    }
  }

 private:
  bool Buffered() const { return position_ >= start_ && position_ < start_ + filled_; }

  bool Fill() {
    start_ = position_;
    filled_ = 0;
    if (position_ >= length_) return false;
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), length_ - position_));
    if (!ReadAt(buffer_.data(), want, position_)) return false;
    filled_ = want;
    return true;
  }

  bool ReadDirect(std::uint8_t* dst, std::size_t n) {
    if (n > Remaining() || !ReadAt(dst, n, position_)) return false;
    position_ += n;
    return true;
  }

  bool ReadAt(std::uint8_t* dst, std::size_t n, std::uint64_t at) {
    while (n > 0) {
      const ssize_t r = ::pread(fd_, dst, n, static_cast<off_t>(at));
      if (r < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (r == 0) return false;  // the file is shorter than it was
      dst += r;
      n -= static_cast<std::size_t>(r);
      at += static_cast<std::uint64_t>(r);
    }
    return true;
  }

  int fd_;
  std::uint64_t length_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t start_ = 0;   // file offset of buffer_[0]
  std::size_t filled_ = 0;    // valid bytes in buffer_
  std::uint64_t position_ = 0;
};

/// Copies `rows` (row length `stride`, covering columns [x0, x1) and rows
/// [y0, y1)) into the same pixels of a column image. Each column is written
/// straight down; the rows it reads from stay in cache for the next 15 columns.
// Writes a band of rows into both images of a node at once (Base and
// Current start equal), so the pixels are read from the band only once.
void RowsToColumns(const MvPixel* rows, std::size_t stride, std::uint32_t x0, std::uint32_t x1, std::uint32_t y0,
                   std::uint32_t y1, PixelColumns base, PixelColumns current) {
  const std::uint32_t height = y1 - y0;
  for (std::uint32_t x = x0; x < x1; ++x) {
    MvPixel* to = base[x] + y0;
    MvPixel* copy = current[x] + y0;
    const MvPixel* from = rows + (x - x0);
    for (std::uint32_t y = 0; y < height; ++y) to[y] = copy[y] = ToLittle(from[y * stride]);
  }
}

std::string ProgressText(const char* what, std::uint64_t i, std::uint64_t n) {
  return std::string(what) + " (" + std::to_string(i) + " из " + std::to_string(n) + ")";
}

void ProcessMessages() { CurrentPrompts().ProcessMessages(); }

}  // namespace

// ---------------------------------------------------------------------------

bool TSchemeManager::SaveToFile(std::string fileName) {
  if (fileName.empty()) return false;
  const std::string target = ResolveTarget(fileName);
  // A project the user made read-only is not replaced behind their back.
  if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) return false;

  std::string tempName;
  try {
    const int count = GetImageCount();
    std::vector<std::uint8_t> meta;
    meta.reserve(4096);
    for (char c : kMagic) meta.push_back(static_cast<std::uint8_t>(c));

    // The writer's working tables: image index -> file index for plain and
    // generated nodes (-1 for a node of the other kind), and where each plain
    // record's PixelOffset field sits.
    std::vector<std::int64_t> plainMap(static_cast<std::size_t>(count), -1);
    std::vector<std::int64_t> generatedMap(static_cast<std::size_t>(count), -1);
    std::vector<std::size_t> plainRecordStart;
    std::vector<int> plainNodes;

    auto writeChain = [&](const TImageEntry& node) {
      for (const TFilterEntry& e : node.FilterChain) {
        meta.insert(meta.end(), e.Identifier.begin(), e.Identifier.end());
        meta.push_back(0);
        // An entry whose plug-in is gone keeps its mask: the user's setting is
        // not lost, and a reader with the plug-in installed gets it back.
        MvFilter* filter = PluginManager ? PluginManager->FindFilter(e.Identifier) : nullptr;
        const bool hasChannels = filter ? filter->SupportsChannels() : true;
        meta.push_back(hasChannels ? 1 : 0);
        if (hasChannels) meta.push_back(e.Channels);
      }
    };

    std::uint32_t plainCount = 0;
    for (int i = 0; i < count; ++i)
      if (!Images[static_cast<std::size_t>(i)].Generated) ++plainCount;
    PutU32(meta, plainCount);

    for (int i = 0; i < count; ++i) {
      const TImageEntry& node = Images[static_cast<std::size_t>(i)];
      if (node.Generated) continue;
      plainMap[static_cast<std::size_t>(i)] = static_cast<std::int64_t>(plainNodes.size());
      plainRecordStart.push_back(meta.size());
      plainNodes.push_back(i);
      PutU32(meta, node.BaseWidth);
      PutU32(meta, node.BaseHeight);
      PutU32(meta, static_cast<std::uint32_t>(node.Left));
      PutU32(meta, static_cast<std::uint32_t>(node.Top));
      PutU32(meta, static_cast<std::uint32_t>(node.FilterChain.size()));
      PutU32(meta, 0);  // PixelOffset, filled in below
      writeChain(node);
    }

    PutU32(meta, static_cast<std::uint32_t>(count) - plainCount);
    std::int64_t generatedWritten = 0;
    for (int i = 0; i < count; ++i) {
      const TImageEntry& node = Images[static_cast<std::size_t>(i)];
      if (!node.Generated) continue;
      generatedMap[static_cast<std::size_t>(i)] = generatedWritten++;
      std::uint32_t sources[2];
      const std::int32_t refs[2] = {node.FirstSource, node.SecondSource};
      for (int s = 0; s < 2; ++s) {
        // A source always precedes its node; anything else would make a file
        // that no reader can rebuild.
        if (refs[s] < 0 || refs[s] >= i) return false;
        const auto r = static_cast<std::size_t>(refs[s]);
        if (plainMap[r] >= 0)
          sources[s] = static_cast<std::uint32_t>(plainMap[r]);
        else if (generatedMap[r] >= 0)
          sources[s] = plainCount + static_cast<std::uint32_t>(generatedMap[r]);
        else
          return false;
      }
      PutU32(meta, node.BlendRatio);
      PutU32(meta, static_cast<std::uint32_t>(node.Left));
      PutU32(meta, static_cast<std::uint32_t>(node.Top));
      PutU32(meta, static_cast<std::uint32_t>(node.FilterChain.size()));
      PutU32(meta, sources[0]);
      PutU32(meta, sources[1]);
      writeChain(node);
    }

    // The pixel blocks follow the records, in record order. An offset that
    // does not fit the 32-bit field cannot be written truthfully.
    std::uint64_t offset = meta.size();
    std::uint64_t largest = 0;  // pixels of the largest base image
    for (std::size_t k = 0; k < plainNodes.size(); ++k) {
      const TImageEntry& node = Images[static_cast<std::size_t>(plainNodes[k])];
      if (offset > UINT32_MAX) return false;
      largest = std::max(largest, std::uint64_t(node.BaseWidth) * node.BaseHeight);
      PatchU32(meta, plainRecordStart[k] + 20, static_cast<std::uint32_t>(offset));
      offset += std::uint64_t(node.BaseWidth) * node.BaseHeight * sizeof(MvPixel);
      if (node.BaseWidth != 0 && node.BaseHeight != 0 && !node.Base) return false;
    }

    FileHandle file(CreateTempBeside(target, tempName));
    if (file.get() < 0) return false;
    bool ok = true;
    {
      // Small projects get small buffers; a band holds a whole image or kBandPixels.
      FileWriter out(file.get(), static_cast<std::size_t>(std::min<std::uint64_t>(offset, kBufferBytes)));
      std::vector<MvPixel> band(static_cast<std::size_t>(std::min<std::uint64_t>(largest, kBandPixels)));
      ok = out.Put(meta.data(), meta.size());
      for (std::size_t k = 0; ok && k < plainNodes.size(); ++k) {
        const TImageEntry& node = Images[static_cast<std::size_t>(plainNodes[k])];
        ok = WritePixelBlock(out, node.Base, node.BaseWidth, node.BaseHeight, band);
      }
      ok = ok && out.Flush();
    }
    ok = ok && ::fsync(file.get()) == 0;
    ok = file.Close() && ok;
    ok = ok && ::rename(tempName.c_str(), target.c_str()) == 0;
    if (!ok) {
      ::unlink(tempName.c_str());
      return false;
    }
    SyncFolderOf(target);
    return true;
  } catch (...) {
    if (!tempName.empty()) ::unlink(tempName.c_str());
    return false;
  }
}

bool TSchemeManager::LoadFromFile(std::string fileName) {
  // Non-blocking open: a FIFO must not hang the program; it is refused below.
  FileHandle file(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) return false;
  struct stat st {};
  if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;

  auto progressMin = [&](int v) { if (OnProgressMin) OnProgressMin(v); };
  auto progressMax = [&](int v) { if (OnProgressMax) OnProgressMax(v); };
  auto progressPosition = [&](int v) { if (OnProgressPosition) OnProgressPosition(v); };
  auto progressVisible = [&](bool v) { if (OnProgressVisible) OnProgressVisible(v); };
  auto statusText = [&](const std::string& s) { if (OnStatusText) OnStatusText(s); };

  try {
    Clear();
    FileReader in(file.get(), static_cast<std::uint64_t>(st.st_size));

    char magic[3];
    if (!in.Read(magic, 3) || std::memcmp(magic, kMagic, 3) != 0) return false;
    std::uint32_t plainCount = 0;
    if (!in.ReadU32(plainCount) || plainCount > in.Remaining() / kHeaderSize) return false;

    progressMin(0);
    progressMax(100);
    progressVisible(true);

    // Reads `filterCount` filter records into the chain of node `index`.
    // 0: done; 1: the file is broken; 2: a filter is missing (already reported).
    auto readChain = [&](int index, std::uint32_t filterCount) -> int {
      if (filterCount > in.Remaining() / kMinFilterRecord) return 1;
      for (std::uint32_t f = 0; f < filterCount; ++f) {
        TFilterEntry entry;
        std::uint8_t hasChannels = 0;
        if (!in.ReadString(entry.Identifier) || !in.ReadByte(hasChannels)) return 1;
        if (hasChannels == 0) continue;  // saved without channel support: dropped
        if (!in.ReadByte(entry.Channels)) return 1;
        entry.Channels &= MV_CHANNEL_ALL;
        // Is a filter with exactly this identifier loaded? Asked of the
        // registry by position, identifiers through its services table.
        bool found = false;
        if (PluginManager) {
          MvServices* services = PluginManager->Services;
          const int n = PluginManager->GetFilterCount();
          for (int j = 0; j < n && !found; ++j) {
            if (services && services->GetFilterId)
              found = services->GetFilterId(j) == entry.Identifier;
            else if (MvFilter* f = PluginManager->GetFilter(j))
              found = f->GetIdentifier() == entry.Identifier;
          }
        }
        if (!found) {
          CurrentPrompts().ShowMessage(
              "Фильтр '" + Cp1251ToUtf8(entry.Identifier) + "', используемый в проекте, не загружен в системе!",
              MessageIcon::Error);
          return 2;
        }
        AppendFilterEntry(index, entry);
      }
      return 0;
    };

    std::vector<MvPixel> band;
    std::uint64_t pixelBytes = 0;       // all pixel blocks together: they cannot hold more than the file
    std::uint64_t emptyExtent = 0;      // sizes of images without pixels
    for (std::uint32_t i = 0; i < plainCount; ++i) {
      progressPosition(0);
      statusText(ProgressText("Загрузка данных изображения", std::uint64_t(i) + 1, plainCount));
      ProcessMessages();

      std::uint8_t header[kHeaderSize];
      if (!in.Read(header, kHeaderSize)) return false;
      const std::uint32_t width = GetU32(header);
      const std::uint32_t height = GetU32(header + 4);
      const auto left = static_cast<std::int32_t>(GetU32(header + 8));
      const auto top = static_cast<std::int32_t>(GetU32(header + 12));
      const std::uint32_t filterCount = GetU32(header + 16);
      const std::uint32_t pixelOffset = GetU32(header + 20);
      const std::uint64_t after = in.Position();

      // The block must lie inside the file, and the blocks together must fit it.
      const std::uint64_t length = in.Length();
      if (width > kMaxImageSide || height > kMaxImageSide) return false;
      if (width != 0 && height != 0) {
        if (height > length / sizeof(MvPixel) / width) return false;
        const std::uint64_t bytes = std::uint64_t(width) * height * sizeof(MvPixel);
        if (pixelOffset > length || bytes > length - pixelOffset) return false;
        pixelBytes += bytes;
        if (pixelBytes > length) return false;
      } else {
        emptyExtent += std::uint64_t(width) + height;
        if (emptyExtent > kEmptyExtentLimit) return false;
      }

      const int before = GetImageCount();
      AddUnfilledImageAt(width, height, left, top);  // every pixel is read below
      const int index = GetImageCount() - 1;
      if (index != before) return false;  // nothing was appended
      if (width != 0 && height != 0) {
        TImageEntry& node = Images.back();
        const std::uint64_t area = std::uint64_t(width) * height;
        if (band.size() < std::min<std::uint64_t>(area, kBandPixels))
          band.resize(static_cast<std::size_t>(std::min<std::uint64_t>(area, kBandPixels)));
        const BandShape shape(width, height);
        const std::uint32_t segment = shape.segment, rows = shape.rows;
        in.Seek(pixelOffset);
        for (std::uint32_t y0 = 0; y0 < height; y0 += rows) {
          const std::uint32_t y1 = y0 + std::min(rows, height - y0);
          for (std::uint32_t x0 = 0; x0 < width; x0 += segment) {
            const std::uint32_t x1 = x0 + std::min(segment, width - x0);
            if (!in.Read(band.data(), std::size_t(x1 - x0) * (y1 - y0) * sizeof(MvPixel))) {
              // The node never got its pixels: it was not rebuilt.
              DeleteImage(index);
              return false;
            }
            RowsToColumns(band.data(), x1 - x0, x0, x1, y0, y1, node.Base, node.Current);
          }
          for (std::uint32_t y = y0; y < y1; ++y)
            progressPosition(static_cast<int>(static_cast<long double>(y) / height * 100));
        }
      } else {
        for (std::uint32_t y = 0; y < height; ++y)  // rows without pixels still count
          progressPosition(static_cast<int>(static_cast<long double>(y) / height * 100));
      }
      in.Seek(after);

      const int chain = readChain(index, filterCount);
      if (chain == 1) return false;
      if (chain == 2) {
        Clear();
        return false;
      }
      RunFilterChain(index);
    }

    std::uint32_t generatedCount = 0;
    if (!in.ReadU32(generatedCount) || generatedCount > in.Remaining() / kHeaderSize) return false;
    const std::uint64_t generatedBudget =
        std::max(kGeneratedPixelFloor, pixelBytes / sizeof(MvPixel) * kGeneratedPixelFactor);
    std::uint64_t generatedPixels = 0;
    for (std::uint32_t k = 0; k < generatedCount; ++k) {
      statusText(ProgressText("Формирование сгенерированных изображений", std::uint64_t(k) + 1, generatedCount));
      ProcessMessages();

      std::uint8_t header[kHeaderSize];
      if (!in.Read(header, kHeaderSize)) return false;
      const std::uint32_t ratio = GetU32(header);
      const auto left = static_cast<std::int32_t>(GetU32(header + 4));
      const auto top = static_cast<std::int32_t>(GetU32(header + 8));
      const std::uint32_t filterCount = GetU32(header + 12);
      const std::uint32_t first = GetU32(header + 16);
      const std::uint32_t second = GetU32(header + 20);

      // Sources must be nodes already rebuilt; the ratio a percentage.
      const auto rebuilt = static_cast<std::uint32_t>(GetImageCount());
      const std::uint64_t fileIndex = std::uint64_t(plainCount) + k;
      if (first >= rebuilt || second >= rebuilt || first >= fileIndex || second >= fileIndex) return false;
      if (ratio > 100) return false;
      const auto a = static_cast<int>(first), b = static_cast<int>(second);
      const std::uint64_t w = static_cast<std::uint64_t>(std::max(0, std::min(GetWidth(a), GetWidth(b))));
      const std::uint64_t h = static_cast<std::uint64_t>(std::max(0, std::min(GetHeight(a), GetHeight(b))));
      generatedPixels += w * h;
      if (generatedPixels > generatedBudget) return false;

      AddBlendedImage(a, b, static_cast<int>(ratio), true);
      const int index = GetImageCount() - 1;
      if (static_cast<std::uint32_t>(index) != rebuilt) return false;  // nothing was appended
      ProcessMessages();
      SetLeft(index, left);
      SetTop(index, top);

      const int chain = readChain(index, filterCount);
      if (chain == 1) return false;
      if (chain == 2) {
        Clear();
        return false;
      }
      RunFilterChain(index);
    }

    progressVisible(false);
    statusText("");
    ProcessMessages();
    return true;
  } catch (...) {
    try {
      Clear();
    } catch (...) {
    }
    return false;
  }
}

}  // namespace mv
