// Reading and writing image files for the loader frame, in the node pixel
// layout. This header is plain standard C++; the codecs behind it are Qt's
// image I/O, libjpeg-turbo and libpng.
//
// Every reader trusts nothing in the file: the format is judged by the
// content, the size is checked before any pixel is decoded, and any broken,
// truncated or hostile file gives a failure, never a crash.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ColumnConvert.h"
#include "MvPlugin.h"

namespace mv::loaders {

enum class FileFormat : std::uint8_t { Png, Jpeg, Bmp, Gif, Tiff, WebP, Tga, Pnm };

/// A set of formats, one bit per FileFormat.
using FormatSet = unsigned;
constexpr FormatSet Only(FileFormat f) { return 1u << static_cast<unsigned>(f); }
inline constexpr FormatSet kEveryFormat = (1u << 8) - 1;

/// Largest image accepted: 2^28 pixels (1 GiB in the node layout).
inline constexpr std::int64_t kMaxPixels = std::int64_t(1) << 28;
/// Largest single allocation a decoder may make, in MiB.
inline constexpr int kAllocationLimitMb = 1024;

/// The format a file's first bytes announce. TGA has no signature and is
/// never reported here.
std::optional<FileFormat> SniffFormat(const std::uint8_t* head, std::size_t size);

/// Where a reader puts the pixels: called once, after the file has been
/// decoded far enough to be known good, with the final (oriented) size.
/// Returns the columns to fill, or null to give up.
class PixelTarget {
 public:
  virtual PixelColumns Prepare(int width, int height) = 0;

 protected:
  ~PixelTarget() = default;
};

enum class ReadResult {
  Failed,  ///< nothing usable; the target may have been prepared
  Loaded,
  Damaged  ///< loaded, but the decoder had to repair corrupt data
};

/// The file is a regular file, in one of `accepted`, with a plausible header
/// and a size within the limits. Decodes no pixels.
bool CanReadImage(const std::string& path, FormatSet accepted);

/// Decodes the file into `target`, applying the file's orientation, laying
/// alpha over white and reducing deeper samples to 8 bits.
ReadResult ReadImage(const std::string& path, FormatSet accepted, PixelTarget& target);

/// Writes width x height pixels to `path` in `format` (Png, Jpeg, Bmp, Tiff or
/// WebP). The file appears only once it is complete.
bool WriteImage(const std::string& path, FileFormat format, const PixelColumns columns, int width, int height);

}  // namespace mv::loaders
