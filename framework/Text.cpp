#include "Text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace fw {

double Val(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  const size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool digits = false;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      digits = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return 0.0;
  // from_chars takes no leading "+" and reads without a locale.
  size_t from = start;
  if (text[from] == '+') ++from;
  double value = 0.0;
  const auto result = std::from_chars(text.data() + from, text.data() + i, value, std::chars_format::fixed);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large when a digit other than 0 stands before the point; otherwise too small, which reads as zero.
    const bool negative = text[from] == '-';
    bool large = false;
    for (size_t k = negative ? from + 1 : from; k < i && text[k] != '.'; ++k) large = large || text[k] != '0';
    if (!large) return negative ? -0.0 : 0.0;
    return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  }
  return result.ec == std::errc() ? value : 0.0;
}

std::string Str(int32_t value) { return std::to_string(value); }

std::string Str(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (value == 0.0) return "0";  // also -0
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return std::string(buffer, result.ptr);
}

int32_t CInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);  // truncates toward zero
}

double Floor(double value) { return std::floor(value); }

double Round(double value) { return std::round(value); }

int32_t Len(const std::string& text) {
  return text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())
             ? std::numeric_limits<int32_t>::max()
             : static_cast<int32_t>(text.size());
}

std::string Left(const std::string& text, int32_t count) {
  if (count <= 0) return {};
  return text.substr(0, static_cast<size_t>(count));
}

std::string Right(const std::string& text, int32_t count) {
  if (count <= 0) return {};
  const size_t n = static_cast<size_t>(count);
  return n >= text.size() ? text : text.substr(text.size() - n);
}

std::string Chr(int32_t code) {
  if (code < 0 || code > 255) return {};
  return std::string(1, static_cast<char>(static_cast<unsigned char>(code)));
}

std::string Trim(const std::string& text) {
  auto blank = [](char c) { return c == ' ' || c == '\0'; };
  size_t first = 0;
  size_t last = text.size();
  while (first < last && blank(text[first])) ++first;
  while (last > first && blank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

namespace {

// The characters of the bytes 0x80 to 0x9F; 0x81, 0x8D, 0x8F, 0x90 and 0x9D stay the controls of their code.
constexpr std::array<char16_t, 32> kBytes80To9F = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

char32_t CharacterOfByte(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kBytes80To9F[byte - 0x80];
  return byte;
}

int ByteOfCharacter(char32_t character) {
  if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) return static_cast<int>(character);
  for (size_t i = 0; i < kBytes80To9F.size(); ++i) {
    if (kBytes80To9F[i] == character) return static_cast<int>(0x80 + i);
  }
  return -1;
}

}  // namespace fw
