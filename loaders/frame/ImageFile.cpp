// The codec glue. Qt's image I/O judges and sizes every file and decodes most
// formats; the pixels of JPEG and (non-interlaced) PNG files, the formats that
// matter most for speed, go straight from libjpeg-turbo and libpng into the
// node a band at a time. Uncompressed exports are streamed by our own writers.
#include "ImageFile.h"

#include <array>
#include <cstring>

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <unistd.h>

#include "FileChecks.h"
#include "JpegCodec.h"
#include "NativeFile.h"
#include "PngCodec.h"
#include "StreamWriters.h"

namespace mv::loaders {

namespace {

constexpr int kJpegQuality = 92;
constexpr int kConvertRows = 64;  // rows per band when Qt must convert a layout first

bool StartsWith(const std::uint8_t* head, std::size_t size, const char* magic, std::size_t n, std::size_t at = 0) {
  return size >= at + n && std::memcmp(head + at, magic, n) == 0;
}

const char* QtName(FileFormat f) {
  switch (f) {
    case FileFormat::Png: return "png";
    case FileFormat::Jpeg: return "jpeg";
    case FileFormat::Bmp: return "bmp";
    case FileFormat::Gif: return "gif";
    case FileFormat::Tiff: return "tiff";
    case FileFormat::WebP: return "webp";
    case FileFormat::Tga: return "tga";
    case FileFormat::Pnm: return "ppm";  // one handler reads pbm, pgm and ppm
  }
  return "";
}

Orientation FromQt(QImageIOHandler::Transformations t) {
  Orientation o;
  o.mirror = t.testFlag(QImageIOHandler::TransformationMirror);
  o.flip = t.testFlag(QImageIOHandler::TransformationFlip);
  o.rotate90 = t.testFlag(QImageIOHandler::TransformationRotate90);
  return o;
}

bool WithinLimits(qint64 w, qint64 h) { return w > 0 && h > 0 && w * h <= kMaxPixels; }

// A Qt reader over a regular file, its format fixed by the file's first
// bytes: Qt never guesses, so only the decoders we chose ever see the data.
class FileReader {
 public:
  bool Open(const std::string& path, FormatSet accepted) {
    const int fd = OpenRegularFile(path);
    if (fd < 0) return false;
    if (!file_.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
      ::close(fd);
      return false;
    }
    std::uint8_t head[16];
    const qint64 n = file_.peek(reinterpret_cast<char*>(head), sizeof head);
    if (n <= 0) return false;
    std::optional<FileFormat> sniffed = SniffFormat(head, static_cast<std::size_t>(n));
    format_ = sniffed ? *sniffed : FileFormat::Tga;  // the one format without a signature
    if (!(accepted & Only(format_))) return false;

    reader_.setDevice(&file_);
    reader_.setFormat(QtName(format_));
    reader_.setAutoDetectImageFormat(false);
    reader_.setAllocationLimit(kAllocationLimitMb);
    reader_.setAutoTransform(false);  // orientation is applied while storing
    if (!reader_.canRead()) return false;
    const QSize size = reader_.size();
    return WithinLimits(size.width(), size.height()) && HoldsWholeImage(format_, file_.handle());
  }

  FileFormat format() const { return format_; }
  QImageReader& reader() { return reader_; }
  int fd() const { return file_.handle(); }

 private:
  QFile file_;
  QImageReader reader_;
  FileFormat format_ = FileFormat::Png;
};

// The layout of a Qt image the column store takes as it is.
bool NativeLayout(QImage::Format f, RowLayout& layout) {
  switch (f) {
    case QImage::Format_RGB32: layout = RowLayout::Bgrx; return true;
    case QImage::Format_ARGB32: layout = RowLayout::Bgra; return true;
    case QImage::Format_ARGB32_Premultiplied: layout = RowLayout::BgraPremul; return true;
    case QImage::Format_RGBX8888: layout = RowLayout::Rgbx; return true;
    case QImage::Format_RGBA8888: layout = RowLayout::Rgba; return true;
    case QImage::Format_RGBA8888_Premultiplied: layout = RowLayout::RgbaPremul; return true;
    case QImage::Format_Grayscale8: layout = RowLayout::Gray8; return true;
    case QImage::Format_Indexed8: layout = RowLayout::Indexed8; return true;
    default: return false;
  }
}

ReadResult StoreImage(const QImage& image, Orientation o, PixelTarget& target) {
  const int w = image.width(), h = image.height();
  if (!WithinLimits(w, h)) return ReadResult::Failed;
  RowLayout layout = RowLayout::Bgrx;
  const bool native = NativeLayout(image.format(), layout);
  std::array<MvPixel, 256> palette{};
  if (image.format() == QImage::Format_Indexed8) {
    const QList<QRgb> table = image.colorTable();
    for (qsizetype i = 0; i < table.size() && i < 256; ++i)
      palette[i] = OverWhite(qRed(table[i]), qGreen(table[i]), qBlue(table[i]), qAlpha(table[i]));
  }
  // Other layouts (16 bits per sample, 1-bit, 24-bit ...) go through Qt's
  // own conversion, a band at a time.
  const QImage::Format convertTo = image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
  if (!native) layout = image.hasAlphaChannel() ? RowLayout::Bgra : RowLayout::Bgrx;

  ColumnStore store(w, h, o);
  PixelColumns columns = target.Prepare(o.rotate90 ? h : w, o.rotate90 ? w : h);
  if (!columns) return ReadResult::Failed;
  store.Attach(columns);
  if (native) {
    store.Store(image.constBits(), image.bytesPerLine(), layout, palette.data(), 0, h);
    return ReadResult::Loaded;
  }
  for (int y = 0; y < h; y += kConvertRows) {
    const int n = std::min(kConvertRows, h - y);
    QImage view(image.constScanLine(y), w, n, image.bytesPerLine(), image.format());
    if (image.colorCount() > 0) view.setColorTable(image.colorTable());
    const QImage band = view.convertToFormat(convertTo);
    if (band.isNull()) return ReadResult::Failed;
    store.Store(band.constBits(), band.bytesPerLine(), layout, nullptr, y, n);
  }
  return ReadResult::Loaded;
}

bool WriteWithQt(int fd, FileFormat format, const PixelColumns columns, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return false;
  RowLoad(columns, width, height).Load(0, height, RowFormat::Bgrx, image.bits(), image.bytesPerLine());
  QFile file;
  if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) return false;
  QImageWriter writer(&file, QtName(format));
  if (format == FileFormat::WebP) writer.setQuality(100);  // Qt's WebP writer is lossless at 100
  return writer.write(image) && file.flush();
}

}  // namespace

std::optional<FileFormat> SniffFormat(const std::uint8_t* head, std::size_t size) {
  if (StartsWith(head, size, "\x89PNG\r\n\x1a\n", 8)) return FileFormat::Png;
  if (StartsWith(head, size, "\xFF\xD8\xFF", 3)) return FileFormat::Jpeg;
  if (StartsWith(head, size, "BM", 2)) return FileFormat::Bmp;
  if (StartsWith(head, size, "GIF87a", 6) || StartsWith(head, size, "GIF89a", 6)) return FileFormat::Gif;
  if (StartsWith(head, size, "II*\0", 4) || StartsWith(head, size, "MM\0*", 4)) return FileFormat::Tiff;
  if (StartsWith(head, size, "RIFF", 4) && StartsWith(head, size, "WEBP", 4, 8)) return FileFormat::WebP;
  if (size >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6' &&
      (head[2] == ' ' || head[2] == '\t' || head[2] == '\r' || head[2] == '\n' || head[2] == '#'))
    return FileFormat::Pnm;
  return std::nullopt;
}

bool CanReadImage(const std::string& path, FormatSet accepted) {
  FileReader reader;
  return reader.Open(path, accepted);
}

ReadResult ReadImage(const std::string& path, FormatSet accepted, PixelTarget& target) {
  FileReader file;
  if (!file.Open(path, accepted)) return ReadResult::Failed;
  QImageReader& reader = file.reader();
  if (file.format() == FileFormat::Jpeg) return ReadJpeg(file.fd(), FromQt(reader.transformation()), target);
  if (file.format() == FileFormat::Png)
    if (std::optional<ReadResult> result = ReadPng(file.fd(), target)) return *result;
  QImage image;
  if (!reader.read(&image) || image.isNull()) return ReadResult::Failed;
  return StoreImage(image, FromQt(reader.transformation()), target);
}

bool WriteImage(const std::string& path, FileFormat format, const PixelColumns columns, int width, int height) {
  if (!columns || !WithinLimits(width, height)) return false;
  for (int x = 0; x < width; ++x)
    if (!columns[x]) return false;
  ReplacingFile out(path);
  if (out.fd() < 0) return false;
  bool written = false;
  switch (format) {
    case FileFormat::Jpeg: written = WriteJpeg(out.fd(), columns, width, height, kJpegQuality); break;
    case FileFormat::Bmp: written = WriteBmp(out, columns, width, height); break;
    case FileFormat::Tiff: written = WriteTiff(out, columns, width, height); break;
    case FileFormat::Png:
    case FileFormat::WebP: written = WriteWithQt(out.fd(), format, columns, width, height); break;
    default: return false;
  }
  return written && out.Commit();
}

}  // namespace mv::loaders
