#include "JpegCodec.h"

#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <unistd.h>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace mv::loaders {
namespace {

// A progressive file may hold any number of scans, and every scan costs a pass
// over the whole coefficient buffer: a few hundred is far more than any
// encoder writes, and keeps a hostile file from running for hours.
constexpr int kMaxScans = 500;

// libjpeg reports a fatal error through error_exit, which must not return: it
// jumps back to the setjmp of the function that started the libjpeg call. The
// functions holding a setjmp keep only plain data, so nothing needs unwinding.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  int warnings;
};

void OnError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }

void OnMessage(j_common_ptr cinfo, int level) {
  if (level < 0) ++reinterpret_cast<ErrorManager*>(cinfo->err)->warnings;  // corrupt data, repaired
}

void OnOutput(j_common_ptr) {}

void OnProgress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
    OnError(cinfo);
}

void InitErrors(ErrorManager& errors) {
  jpeg_std_error(&errors.pub);
  errors.pub.error_exit = OnError;
  errors.pub.emit_message = OnMessage;
  errors.pub.output_message = OnOutput;
  errors.warnings = 0;
}

// Everything a decode needs, made before the first libjpeg call.
struct Decode {
  jpeg_decompress_struct cinfo;
  ErrorManager errors;
  jpeg_progress_mgr progress;
  std::FILE* file;
  Orientation orientation;
  PixelTarget* target;
  ColumnStore* store;            // made once the size is known
  std::vector<std::uint8_t>* band;
  bool rowsDone;
};

// Phase one: the header, up to the image size. false: not a JPEG we read.
bool ReadHeader(Decode& d) {
  if (setjmp(d.errors.jump)) return false;
  d.cinfo.err = &d.errors.pub;  // before create, which reports through it
  jpeg_create_decompress(&d.cinfo);
  d.cinfo.mem->max_memory_to_use = std::size_t(kAllocationLimitMb) << 20;
  d.cinfo.progress = &d.progress;
  jpeg_stdio_src(&d.cinfo, d.file);
  if (jpeg_read_header(&d.cinfo, TRUE) != JPEG_HEADER_OK) return false;
  const std::int64_t w = d.cinfo.image_width, h = d.cinfo.image_height;
  if (w <= 0 || h <= 0 || w * h > kMaxPixels) return false;
  const bool cmyk = d.cinfo.jpeg_color_space == JCS_CMYK || d.cinfo.jpeg_color_space == JCS_YCCK;
  d.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBX;
  return true;
}

// Phase two: all scans, then the pixels, band by band, into the target.
ReadResult ReadPixels(Decode& d) {
  if (setjmp(d.errors.jump)) return d.rowsDone ? ReadResult::Damaged : ReadResult::Failed;
  // A progressive file is read whole here, so most damage shows before the
  // node is touched.
  jpeg_start_decompress(&d.cinfo);
  const int w = static_cast<int>(d.cinfo.output_width), h = static_cast<int>(d.cinfo.output_height);
  if (d.cinfo.output_components != 4 || w != static_cast<int>(d.cinfo.image_width) ||
      h != static_cast<int>(d.cinfo.image_height))
    return ReadResult::Failed;
  const RowLayout layout = d.cinfo.out_color_space == JCS_CMYK ? RowLayout::InvertedCmyk : RowLayout::Rgbx;
  const bool turn = d.orientation.rotate90;
  PixelColumns columns = d.target->Prepare(turn ? h : w, turn ? w : h);
  if (!columns) return ReadResult::Failed;
  d.store->Attach(columns);

  const std::size_t stride = std::size_t(w) * 4;
  std::array<JSAMPROW, kBandRows> rows;
  for (int k = 0; k < kBandRows; ++k) rows[k] = d.band->data() + stride * k;
  int y = 0;
  while (y < h) {
    int n = 0;
    const int want = h - y < kBandRows ? h - y : kBandRows;
    while (n < want) {
      JDIMENSION got = jpeg_read_scanlines(&d.cinfo, rows.data() + n, static_cast<JDIMENSION>(want - n));
      if (got == 0) return ReadResult::Failed;
      n += static_cast<int>(got);
    }
    d.store->Store(d.band->data(), static_cast<std::ptrdiff_t>(stride), layout, nullptr, y, n);
    y += n;
  }
  d.rowsDone = true;
  jpeg_finish_decompress(&d.cinfo);
  return d.errors.warnings > 0 ? ReadResult::Damaged : ReadResult::Loaded;
}

struct Encode {
  jpeg_compress_struct cinfo;
  ErrorManager errors;
  std::FILE* file;
  RowLoad* rows;
  std::vector<std::uint8_t>* band;
  int width, height, quality;
};

bool WritePixels(Encode& e) {
  if (setjmp(e.errors.jump)) return false;
  e.cinfo.err = &e.errors.pub;
  jpeg_create_compress(&e.cinfo);
  jpeg_stdio_dest(&e.cinfo, e.file);
  e.cinfo.image_width = static_cast<JDIMENSION>(e.width);
  e.cinfo.image_height = static_cast<JDIMENSION>(e.height);
  e.cinfo.input_components = 4;
  e.cinfo.in_color_space = JCS_EXT_RGBX;
  jpeg_set_defaults(&e.cinfo);
  jpeg_set_quality(&e.cinfo, e.quality, TRUE);
  for (int c = 0; c < e.cinfo.num_components; ++c) {  // no chroma subsampling
    e.cinfo.comp_info[c].h_samp_factor = 1;
    e.cinfo.comp_info[c].v_samp_factor = 1;
  }
  jpeg_start_compress(&e.cinfo, TRUE);
  const std::size_t stride = std::size_t(e.width) * 4;
  std::array<JSAMPROW, kBandRows> rows;
  for (int k = 0; k < kBandRows; ++k) rows[k] = e.band->data() + stride * k;
  for (int y = 0; y < e.height; y += kBandRows) {
    const int n = e.height - y < kBandRows ? e.height - y : kBandRows;
    e.rows->Load(y, n, RowFormat::Rgbx, e.band->data(), static_cast<std::ptrdiff_t>(stride));
    if (jpeg_write_scanlines(&e.cinfo, rows.data(), static_cast<JDIMENSION>(n)) != static_cast<JDIMENSION>(n))
      return false;
  }
  jpeg_finish_compress(&e.cinfo);
  return true;
}

// A stdio stream of its own over a duplicate of `fd`.
std::FILE* OpenStream(int fd, const char* mode, bool rewind) {
  int copy = ::dup(fd);
  if (copy < 0) return nullptr;
  if (rewind && ::lseek(copy, 0, SEEK_SET) != 0) {
    ::close(copy);
    return nullptr;
  }
  std::FILE* f = ::fdopen(copy, mode);
  if (!f) ::close(copy);
  return f;
}

// Releases the decoder and its stream however the decode ends, an allocation
// failure included (the jumps never leave the functions above, so this runs).
class ReleaseDecode {
 public:
  explicit ReleaseDecode(Decode& d) : d_(d) {}
  ~ReleaseDecode() {
    jpeg_destroy_decompress(&d_.cinfo);
    if (d_.file) std::fclose(d_.file);
  }
  ReleaseDecode(const ReleaseDecode&) = delete;
  ReleaseDecode& operator=(const ReleaseDecode&) = delete;

 private:
  Decode& d_;
};

}  // namespace

ReadResult ReadJpeg(int fd, Orientation orientation, PixelTarget& target) {
  Decode d{};
  ReleaseDecode release(d);
  InitErrors(d.errors);
  d.progress.progress_monitor = OnProgress;
  d.orientation = orientation;
  d.target = &target;
  d.file = OpenStream(fd, "rb", true);
  if (!d.file || !ReadHeader(d)) return ReadResult::Failed;
  // Buffers are made here, outside the jumps, and before the node is touched.
  const int w = static_cast<int>(d.cinfo.image_width), h = static_cast<int>(d.cinfo.image_height);
  std::vector<std::uint8_t> band(std::size_t(w) * 4 * kBandRows);
  ColumnStore store(w, h, orientation);
  d.band = &band;
  d.store = &store;
  return ReadPixels(d);
}

bool WriteJpeg(int fd, const PixelColumns columns, int width, int height, int quality) {
  if (width <= 0 || height <= 0) return false;
  RowLoad rows(columns, width, height);
  std::vector<std::uint8_t> band(std::size_t(width) * 4 * kBandRows);
  Encode e{};
  InitErrors(e.errors);
  e.rows = &rows;
  e.band = &band;
  e.width = width;
  e.height = height;
  e.quality = quality;
  e.file = OpenStream(fd, "wb", false);
  if (!e.file) return false;
  // Nothing between here and the end can throw.
  const bool written = WritePixels(e);
  jpeg_destroy_compress(&e.cinfo);
  const bool closed = std::fclose(e.file) == 0;  // a failed close means lost bytes
  return written && closed;
}

}  // namespace mv::loaders
