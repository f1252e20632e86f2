#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>

#include "Text.h"

using namespace fw;

TEST(Val, ReadsTheLeadingDecimalNumber) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"", 0},         {"abc", 0},       {"-", 0},        {".", 0},          {"12", 12},
      {"  7", 7},      {"-5", -5},       {"+3", 3},       {"1.5", 1.5},      {"1.", 1},
      {".5", 0.5},     {"32767.9", 32767.9}, {"12a", 12}, {"1.2.3", 1.2},    {"1e5", 1},
      {"2147483648", 2147483648.0}, {"3/7/2004", 3},
  };
  for (const auto& c : cases) EXPECT_EQ(Val(c.text), c.value) << '"' << c.text << '"';
}

TEST(Val, NumbersBeyondTheRangeOfARealSaturateOrVanish) {
  // Past the smallest real a number reads as zero, never as infinity.
  const std::string tiny = "0." + std::string(400, '0') + "1";
  EXPECT_EQ(Val(tiny), 0.0);
  EXPECT_EQ(Val("-" + tiny), 0.0);
  EXPECT_EQ(CInt(Val(tiny)), 0);
  EXPECT_EQ(Val("-.5"), -0.5);
  const std::string huge = std::string(400, '9') + ".5";
  EXPECT_EQ(Val(huge), std::numeric_limits<double>::infinity());
  EXPECT_EQ(Val("-00" + huge), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(CInt(Val(huge)), 2147483647);
}

TEST(Str, WritesPlainShortestDecimals) {
  const struct {
    double value;
    const char* text;
  } reals[] = {{1.5, "1.5"},   {0.9, "0.9"},       {32767.9, "32767.9"}, {32768, "32768"}, {0.0, "0"},
               {-0.0, "0"},    {-0.5, "-0.5"},     {1e20, "100000000000000000000"},        {0.1, "0.1"}};
  for (const auto& c : reals) EXPECT_EQ(Str(c.value), c.text) << c.value;
  EXPECT_EQ(Str(int32_t{-2147483647 - 1}), "-2147483648");
  EXPECT_EQ(Str(int32_t{129}), "129");
  for (const auto& c : reals) EXPECT_EQ(Val(Str(c.value)), c.value == 0 ? 0 : c.value);
}

TEST(Numbers, CIntTruncatesAndSaturatesRoundGoesAwayFromZero) {
  EXPECT_EQ(CInt(1.9), 1);
  EXPECT_EQ(CInt(-1.9), -1);
  EXPECT_EQ(CInt(1e12), 2147483647);
  EXPECT_EQ(CInt(-1e12), -2147483647 - 1);
  EXPECT_EQ(CInt(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(CInt(std::numeric_limits<double>::infinity()), 2147483647);
  EXPECT_EQ(Round(2.5), 3);
  EXPECT_EQ(Round(-2.5), -3);
  EXPECT_EQ(Round(2.4), 2);
  EXPECT_EQ(Floor(-0.5), -1);
}

TEST(Strings, CountAndCutBytes) {
  const std::string high = "\xE9t\xE9";  // three Latin-1 characters, three bytes
  EXPECT_EQ(Len(high), 3);
  EXPECT_EQ(Left(high, 2), "\xE9t");
  EXPECT_EQ(Right(high, 1), "\xE9");
  EXPECT_EQ(Left("abc", 0), "");
  EXPECT_EQ(Left("abc", -1), "");
  EXPECT_EQ(Left("abc", 9), "abc");
  EXPECT_EQ(Right("abc", 9), "abc");
  EXPECT_EQ(Chr(0), std::string(1, '\0'));
  EXPECT_EQ(Chr(255), "\xFF");
  EXPECT_EQ(Chr(-1), "");
  EXPECT_EQ(Chr(256), "");
}

TEST(Trim, DropsSpacesAndNulsAtBothEnds) {
  EXPECT_EQ(Trim(std::string("A B\0\0\0", 6)), "A B");
  EXPECT_EQ(Trim(std::string("\0 x \0", 5)), "x");
  EXPECT_EQ(Trim(std::string("a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(Trim(std::string(5, '\0')), "");
  EXPECT_EQ(Trim("\tx"), "\tx");
}

TEST(TagCharacters, EveryByteIsOneCharacterAndBack) {
  std::set<char32_t> seen;
  for (int byte = 0; byte < 256; ++byte) {
    const char32_t character = CharacterOfByte(static_cast<unsigned char>(byte));
    EXPECT_EQ(ByteOfCharacter(character), byte) << "byte " << byte;
    seen.insert(character);
  }
  EXPECT_EQ(seen.size(), 256u);
}

TEST(TagCharacters, TheBytesWindowsProgramsWroteAreTheirCharacters) {
  // 0x80 to 0x9F as Windows-1252 shows them; the five it leaves undefined are the control characters of their code.
  const std::u32string high = U"€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ";
  ASSERT_EQ(high.size(), 32u);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(CharacterOfByte(static_cast<unsigned char>(0x80 + i)), high[i]) << 0x80 + i;
  // Below and above them, each byte is the character of its own code.
  const struct {
    unsigned char byte;
    char32_t character;
  } plain[] = {{0x00, 0x00}, {'A', U'A'}, {0x7F, 0x7F}, {0xA0, 0xA0}, {0xE9, U'é'}, {0xFF, U'ÿ'}};
  for (const auto& c : plain) EXPECT_EQ(CharacterOfByte(c.byte), c.character) << int{c.byte};
}

TEST(TagCharacters, CharactersNoByteHoldsHaveNone) {
  // The C1 controls whose bytes show other characters, and what lies beyond one byte.
  for (char32_t character : {U'\u0080', U'\u0085', U'\u0093', U'\u009F', U'\u0100', U'☕', U'日', U'\uFFFD',
                             U'\U0001F600', char32_t{0xD800}}) {
    EXPECT_EQ(ByteOfCharacter(character), -1) << static_cast<uint32_t>(character);
  }
}
