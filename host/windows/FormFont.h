// Fonts of the auxiliary windows. The named fonts fall back to DejaVu Sans at
// the given character height. DejaVu Sans is some 15% wider than Tahoma, so
// the two small tool windows, whose components are laid out to the pixel for
// Tahoma, use its semi-condensed face (DejaVu Sans Condensed), which keeps the
// texts inside their boxes.
#pragma once

#include <algorithm>

#include <QFont>
#include <QLabel>

#include "Canvas.h"

namespace mv {

enum class FontWidth { Normal, Narrow };

inline QFont FormFont(const char* name, int pixelHeight, FontWidth width = FontWidth::Normal, bool bold = false,
                      bool italic = false) {
  QFont f = FontSpec{.name = name, .pixelHeight = pixelHeight, .bold = bold, .italic = italic}.ToQFont();
  if (width == FontWidth::Narrow) f.setStretch(QFont::SemiCondensed);
  return f;
}

/// Gives a label the size of its text, keeping its top-left corner, as labels
/// without a fixed size do; it never shrinks below its laid-out size.
inline void FitText(QLabel* label) {
  const QSize hint = label->sizeHint();
  label->resize(std::max(label->width(), hint.width()), std::max(label->height(), hint.height()));
}

}  // namespace mv
