// The CP1251 converter: every code point of the code page, both directions.
#include <gtest/gtest.h>

#include "MvText.h"

namespace {

TEST(Cp1251, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(mv::Utf8ToCp1251(mv::Cp1251ToUtf8(all)), all);
}

TEST(Cp1251, RussianTextsAndTheLetterYo) {
  struct Row { const char* utf8; std::string cp1251; };
  const Row rows[] = {
      {"Выделение слоёв", "\xC2\xFB\xE4\xE5\xEB\xE5\xED\xE8\xE5 \xF1\xEB\xEE\xB8\xE2"},
      {"Ёж", "\xA8\xE6"},
      {"№ 5 — «да»", "\xB9 5 \x97 \xAB\xE4\xE0\xBB"},
      {"ASCII", "ASCII"},
      {"", ""},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(mv::Utf8ToCp1251(r.utf8), r.cp1251) << r.utf8;
    EXPECT_EQ(mv::Cp1251ToUtf8(r.cp1251), r.utf8) << r.utf8;
  }
}

TEST(Cp1251, UnmappableAndMalformedBecomeQuestionMarks) {
  EXPECT_EQ(mv::Utf8ToCp1251("日本"), "??");
  EXPECT_EQ(mv::Utf8ToCp1251("a\xD0"), "a?");          // truncated sequence
  EXPECT_EQ(mv::Utf8ToCp1251("\x80z"), "?z");          // stray continuation byte
  EXPECT_EQ(mv::Utf8ToCp1251("\xF0\x9F\x98\x80"), "?");  // emoji
}

TEST(Cp1251, UsableAtCompileTime) {
  static_assert(mv::Cp1251FromCodePoint(U'ё') == 0xB8);
  static_assert(mv::Cp1251FromCodePoint(U'А') == 0xC0);
  static_assert(mv::Cp1251FromCodePoint(U'€') == 0x88);
  static_assert(mv::Cp1251FromCodePoint(U'日') == -1);
  SUCCEED();
}

}  // namespace
