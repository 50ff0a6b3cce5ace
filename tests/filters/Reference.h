// Plain, obviously-correct versions of the eight filter rules,
// written straight from their definitions: every pixel visited in the
// frame's order (rows top to bottom, each row left to right), every sample
// read from the image as it is at that moment, per-channel integer arithmetic
// as written. No tables, no tricks: these are what the plug-ins must equal.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "MvPlugin.h"

namespace mv::test {

/// A test image in the column layout, every column its own allocation (a
/// filter must not rely on the columns being one block).
class TestImage {
 public:
  TestImage(int width, int height);
  TestImage(const TestImage& other);
  TestImage& operator=(const TestImage& other);

  int width() const { return width_; }
  int height() const { return height_; }
  MvPixel& at(int x, int y) { return columns_[x][y]; }
  MvPixel at(int x, int y) const { return columns_[x][y]; }
  PixelColumns columns() { return pointers_.data(); }
  bool operator==(const TestImage& other) const;

 private:
  int width_, height_;
  std::vector<std::unique_ptr<MvPixel[]>> columns_;
  std::vector<MvPixel*> pointers_;
};

/// The reference rule of a filter, by identifier, applied in place.
void ReferenceApply(const std::string& identifier, TestImage& image, std::uint8_t mask);

/// The two tone curves, evaluated per value exactly as the rule writes them.
unsigned LowlightOf(unsigned v);
unsigned UplightOf(unsigned v);

}  // namespace mv::test
