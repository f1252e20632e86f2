// Text and number services. A text is a std::string holding one byte per character, exactly as stored in a file.
#pragma once

#include <cstdint>
#include <string>

namespace fw {

// The leading decimal number of a text: optional spaces, an optional sign, digits and at most one decimal point.
// A text without a leading number gives 0. No exponent, no locale.
double Val(const std::string& text);

// Decimal text of an integer.
std::string Str(int32_t value);
// Plain decimal text of a real, without exponent: the shortest text that Val reads back as the same value.
std::string Str(double value);

// Truncation toward zero, saturated at the 32-bit limits; not-a-number gives 0.
int32_t CInt(double value);
double Floor(double value);
// Halves round away from zero.
double Round(double value);

int32_t Len(const std::string& text);
// The first (last) count characters; the whole text when it is shorter, "" when count is 0 or less.
std::string Left(const std::string& text, int32_t count);
std::string Right(const std::string& text, int32_t count);
// The one-character text of a code from 0 to 255; any other code gives "".
std::string Chr(int32_t code);
// Removes spaces and NUL characters at both ends.
std::string Trim(const std::string& text);

// The character a byte of a tag text stands for: Windows-1252 as the WHATWG encoding standard defines it, so the
// bytes 0x80 to 0x9F are the curly quotes, dashes and the like that Windows programs wrote there, and the five
// bytes it leaves undefined are the control characters of the same code. Each byte is a character of its own.
char32_t CharacterOfByte(unsigned char byte);
// The byte that stands for a character; -1 for a character that no byte stands for.
int ByteOfCharacter(char32_t character);

}  // namespace fw
