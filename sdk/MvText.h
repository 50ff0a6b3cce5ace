// Text helpers for the plug-in interface: UTF-8 <-> Windows code page 1251.
//
// Every text that crosses the plug-in interface is CP1251 (see MvPlugin.h).
// Sources are UTF-8, so a plug-in writes its Russian texts as UTF-8 literals
// and converts them once, for example:
//
//   std::string GetName() override { return mv::Utf8ToCp1251("Размытие"); }
//
// Header-only, no dependencies beyond the standard library. Both directions
// cover all 256 byte values: byte 0x98, which CP1251 leaves unassigned, maps to
// U+0098 and back, so any byte string survives a round trip. A code point that
// CP1251 cannot represent becomes '?'; malformed UTF-8 bytes become '?' too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mv {

/// Unicode code point of each CP1251 byte 0x80..0xFF (0x00..0x7F are ASCII).
inline constexpr char16_t kCp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,};

/// CP1251 byte for a code point, or -1 when the code page has none.
constexpr int Cp1251FromCodePoint(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<int>(cp - 0x0410 + 0xC0);
  for (int i = 0; i < 64; ++i)  // 0x80..0xBF: the irregular half
    if (kCp1251High[i] == cp) return 0x80 + i;
  return -1;
}

/// Converts UTF-8 text to CP1251.
inline std::string Utf8ToCp1251(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  for (std::size_t i = 0; i < n;) {
    unsigned char c = s[i];
    char32_t cp = 0;
    int extra = 0;
    if (c < 0x80) { cp = c; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
    else { out.push_back('?'); ++i; continue; }
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= n || (s[i + k] & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (!ok) { out.push_back('?'); ++i; continue; }
    i += static_cast<std::size_t>(extra) + 1;
    int b = Cp1251FromCodePoint(cp);
    out.push_back(b < 0 ? '?' : static_cast<char>(b));
  }
  return out;
}

/// Converts CP1251 text to UTF-8.
inline std::string Cp1251ToUtf8(std::string_view cp1251) {
  std::string out;
  out.reserve(cp1251.size() * 2);
  for (char ch : cp1251) {
    auto b = static_cast<unsigned char>(ch);
    char32_t cp = b < 0x80 ? b : kCp1251High[b - 0x80];
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace mv
