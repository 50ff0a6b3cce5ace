// Small image files built byte by byte, for formats or variants that our
// writers do not produce: the loader tests use them as fixtures and the fuzz
// corpus as seeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "MvPlugin.h"

namespace mv::samples {

/// A GIF89a of `indices` (row-major, one byte per pixel) over `palette`
/// (node pixels, at most 256); `transparent` is an index or -1. The LZW data
/// is written without compression (literal codes, cleared often).
std::string MakeGif(int width, int height, const std::vector<MvPixel>& palette,
                    const std::vector<std::uint8_t>& indices, int transparent);

/// An uncompressed 24-bit TGA of `pixels` (row-major node pixels), stored
/// bottom-up as the format's default origin asks, with the TGA 2.0 footer.
std::string MakeTga(int width, int height, const std::vector<MvPixel>& pixels);

/// A binary PGM with 16-bit samples (row-major), maximum value 65535.
std::string MakePgm16(int width, int height, const std::vector<std::uint16_t>& samples);

/// A PNG signature and header chunk declaring width x height (8-bit RGB), with
/// no image data: a file that claims a size and holds nothing.
std::string MakePngHeaderOnly(std::uint32_t width, std::uint32_t height);

/// An Adam7-interlaced 8-bit RGB PNG of `pixels` (row-major node pixels),
/// its data in stored (uncompressed) deflate blocks.
std::string MakeInterlacedPng(int width, int height, const std::vector<MvPixel>& pixels);

/// The JPEG `jpeg` with an Exif segment right after its start marker whose
/// only tag is Orientation (1 to 8).
std::string InsertExifOrientation(const std::string& jpeg, int orientation);

/// CRC-32 as PNG uses it.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);

}  // namespace mv::samples
