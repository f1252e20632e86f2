// An in-memory builder of SPC files for tests: the header in the text or the binary layout, register bytes, the
// RAM/DSP image, an xid6 chunk, raw bytes anywhere, truncation, and writing the result to a file.
//
//   std::string bytes = spctest::SpcBuilder()
//       .Text({.song = "Title", .date = "12/24/1999", .length = "180", .fade = "10000"})
//       .Chunk(spctest::Xid6().String(0x01, std::string(40, 'x')).Value(0x11, 2).Long(0x30, 1920000))
//       .Bytes();
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace spctest {

inline constexpr size_t kImageStart = 0x100;
inline constexpr size_t kImageSize = 0x10100;
inline constexpr size_t kChunkStart = 0x10200;  // also the length of a file without a chunk
inline constexpr size_t kItemsStart = 0x10208;

// The items of an xid6 chunk, in the order they are added.
class Xid6 {
 public:
  // Type 0: the value in the item header's 16-bit field.
  Xid6& Value(uint8_t id, uint16_t value) { return Header(id, 0, value); }

  // A string item: the text, one NUL, NULs to a multiple of 4; the field is the text's length plus 1 unless given.
  // A type byte other than 1 gives the odd types that readers must take as strings.
  Xid6& String(uint8_t id, std::string_view text, uint8_t type = 1, std::optional<uint16_t> field = std::nullopt) {
    Header(id, type, field ? *field : static_cast<uint16_t>(text.size() + 1));
    data_.append(text);
    data_.append(4 - text.size() % 4, '\0');
    return *this;
  }

  // Type 4: a 32-bit value after the header; the field is normally 4.
  Xid6& Long(uint8_t id, uint32_t value, uint16_t field = 4) {
    Header(id, 4, field);
    AppendLE(data_, value, 4);
    return *this;
  }

  // An item header alone (ID, type, field), for items whose data follows as raw bytes.
  Xid6& Header(uint8_t id, uint8_t type, uint16_t field) {
    data_.push_back(static_cast<char>(id));
    data_.push_back(static_cast<char>(type));
    AppendLE(data_, field, 2);
    return *this;
  }

  Xid6& Raw(std::string_view bytes) {
    data_.append(bytes);
    return *this;
  }

  // The chunk size field; the length of the items unless set.
  Xid6& Size(uint32_t size) {
    size_ = size;
    return *this;
  }

  // "xid6", the size field and the items.
  std::string Bytes() const {
    std::string out = "xid6";
    AppendLE(out, size_ ? *size_ : static_cast<uint32_t>(data_.size()), 4);
    return out + data_;
  }

  const std::string& Items() const { return data_; }

  static void AppendLE(std::string& out, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  }

 private:
  std::string data_;
  std::optional<uint32_t> size_;
};

// The ID666 header in the text layout; numbers are texts, as stored.
// Every member has a default, so designated initializers may leave any out.
struct TextHeader {
  std::string song{}, game{}, dumper{}, comments{}, date{}, length{}, fade{}, artist{};
  uint8_t mask = 0;
  char emulator = '0';
};

// The ID666 header in the binary layout.
struct BinaryHeader {
  std::string song{}, game{}, dumper{}, comments{};
  uint8_t day = 0, month = 0;
  uint16_t year = 0;
  uint32_t length = 0;  // 24 bits
  uint32_t fade = 0;
  std::string artist{};
  uint8_t mask = 0;
  uint8_t emulator = 0;
};

class SpcBuilder {
 public:
  // A file of 0x10200 bytes: the signature "SNES-SPC700 Sound File Data v0.30", the bytes 26, 26, 26, 30, and
  // zeros for the registers, the ID666 header and the image.
  SpcBuilder() : data_(kChunkStart, '\0') {
    Put(0, "SNES-SPC700 Sound File Data v0.30");
    Put(0x21, std::string("\x1A\x1A\x1A\x1E", 4));
  }

  // Raw bytes at an offset, growing the file when they reach past its end.
  SpcBuilder& Put(size_t offset, std::string_view bytes) {
    if (data_.size() < offset + bytes.size()) data_.resize(offset + bytes.size(), '\0');
    data_.replace(offset, bytes.size(), bytes);
    return *this;
  }
  SpcBuilder& Byte(size_t offset, uint8_t value) { return Put(offset, std::string(1, static_cast<char>(value))); }
  SpcBuilder& LE(size_t offset, uint64_t value, int width) {
    std::string bytes;
    Xid6::AppendLE(bytes, value, width);
    return Put(offset, bytes);
  }
  // A text cut to the width or followed by NULs up to it.
  SpcBuilder& Field(size_t offset, std::string_view text, size_t width) {
    std::string bytes(text.substr(0, width));
    bytes.resize(width, '\0');
    return Put(offset, bytes);
  }

  // The 9 register bytes at 0x25.
  SpcBuilder& Registers(std::string_view nine) { return Field(0x25, nine, 9); }
  // A recognisable pattern over the whole RAM/DSP image (0x100..0x101FF), different for each seed.
  SpcBuilder& Ram(uint32_t seed = 1) {
    uint32_t x = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < kImageSize; ++i) {
      x = x * 1103515245u + 12345u;
      data_[kImageStart + i] = static_cast<char>(x >> 24);
    }
    return *this;
  }

  SpcBuilder& Text(const TextHeader& h) {
    Field(0x2E, h.song, 32).Field(0x4E, h.game, 32).Field(0x6E, h.dumper, 16).Field(0x7E, h.comments, 32);
    Field(0x9E, h.date, 11).Field(0xA9, h.length, 3).Field(0xAC, h.fade, 5).Field(0xB1, h.artist, 32);
    return Byte(0xD1, h.mask).Byte(0xD2, static_cast<uint8_t>(h.emulator));
  }

  SpcBuilder& Binary(const BinaryHeader& h) {
    Field(0x2E, h.song, 32).Field(0x4E, h.game, 32).Field(0x6E, h.dumper, 16).Field(0x7E, h.comments, 32);
    Byte(0x9E, h.day).Byte(0x9F, h.month).LE(0xA0, h.year, 2).Field(0xA2, "", 7);
    LE(0xA9, h.length, 3).LE(0xAC, h.fade, 4).Field(0xB0, h.artist, 32);
    return Byte(0xD0, h.mask).Byte(0xD1, h.emulator);
  }

  // The chunk at 0x10200; whatever stood from there on is replaced.
  SpcBuilder& Chunk(const Xid6& chunk) {
    data_.resize(kChunkStart, '\0');
    return Append(chunk.Bytes());
  }
  SpcBuilder& Append(std::string_view bytes) {
    data_.append(bytes);
    return *this;
  }
  SpcBuilder& Truncate(size_t size) {
    if (size < data_.size()) data_.resize(size);
    return *this;
  }

  const std::string& Bytes() const { return data_; }
  size_t Size() const { return data_.size(); }

  // Writes the file, replacing one at that path, and returns the path.
  std::string WriteTo(const std::string& path) const { return WriteFile(path, data_); }

  static std::string WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path);
    return path;
  }

 private:
  std::string data_;
};

}  // namespace spctest
