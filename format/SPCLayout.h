// Where each part of an SPC file stands and how many bytes it takes, stated once for the readers and the writers.
// Offsets are absolute byte offsets from the start of the file; a width is a count of bytes. The fields of the
// ID666 header follow one another with no gap, so the readers and the writers visit them in order and seek only to
// the places named here; the checks at the end hold the widths to those places.
#pragma once

#include <cstdint>
#include <string_view>

namespace spclayout {

// The signature: a fixed text, a version text, and four marker bytes.
inline constexpr std::string_view kSignature = "SNES-SPC700 Sound File Data v";
inline constexpr int32_t kSignatureBytes = static_cast<int32_t>(kSignature.size());
// Read and not used; a new file gets this one.
inline constexpr std::string_view kVersion = "0.30";
inline constexpr int32_t kVersionBytes = static_cast<int32_t>(kVersion.size());
// The header check wants the first two marker bytes to be kMarker; a new file has kMarker in the first three and
// kVersionByte in the fourth.
inline constexpr int32_t kMarkerBytes = 4;
inline constexpr int32_t kMarker = 26;
inline constexpr int32_t kVersionByte = 30;

// The processor's registers: never read, copied to a new file as they stand.
inline constexpr uint64_t kRegistersStart = 0x25;
inline constexpr int32_t kRegisterBytes = 9;

// The ID666 header, from 0x2E up to the RAM/DSP image. Both layouts begin with the same four texts.
inline constexpr uint64_t kHeaderStart = 0x2E;
inline constexpr int32_t kSongTitleWidth = 32;
inline constexpr int32_t kGameTitleWidth = 32;
inline constexpr int32_t kDumperWidth = 16;
inline constexpr int32_t kCommentsWidth = 32;
// Where the two layouts part: the date, in the text layout a text, in the binary layout three numbers.
inline constexpr uint64_t kDateStart = 0x9E;
// The song length stands here in both layouts.
inline constexpr uint64_t kSongLengthStart = 0xA9;

// The rest of the text layout (the only layout a new file gets), from the date on.
inline constexpr int32_t kDateWidth = 11;
inline constexpr int32_t kSongLengthWidth = 3;
inline constexpr int32_t kFadeWidth = 5;
inline constexpr int32_t kArtistWidth = 32;
inline constexpr int32_t kMaskWidth = 1;
inline constexpr int32_t kEmulatorWidth = 1;
inline constexpr int32_t kTextUnusedWidth = 45;

// The rest of the binary layout (read, never written), from the date on: the numbers' sizes, the artist as in the
// text layout.
inline constexpr int32_t kBinaryDayBytes = 1;
inline constexpr int32_t kBinaryMonthBytes = 1;
inline constexpr int32_t kBinaryYearBytes = 2;
inline constexpr int32_t kBinaryUnusedBytes = 7;
inline constexpr int32_t kBinaryLengthBytes = 3;
inline constexpr int32_t kBinaryFadeBytes = 4;
inline constexpr int32_t kBinaryMaskBytes = 1;
inline constexpr int32_t kBinaryEmulatorBytes = 1;

// The processor's RAM and the sound chip's state: never read, copied to a new file as they stand. A file without
// an extended chunk ends with it.
inline constexpr uint64_t kImageStart = 0x100;
inline constexpr int32_t kImageBytes = 0x10100;
inline constexpr uint64_t kImageEnd = kImageStart + kImageBytes;  // 0x10200

// The extended chunk, when there is one, right after the image: its identifier, its size (the bytes of the items
// that follow) and its items.
inline constexpr uint64_t kChunkStart = kImageEnd;
inline constexpr std::string_view kChunkId = "xid6";
inline constexpr int32_t kChunkIdBytes = static_cast<int32_t>(kChunkId.size());
inline constexpr uint64_t kChunkSizeStart = kChunkStart + kChunkIdBytes;  // 0x10204
inline constexpr int32_t kChunkSizeBytes = 4;
inline constexpr uint64_t kItemsStart = kChunkSizeStart + kChunkSizeBytes;  // 0x10208

static_assert(kSignatureBytes + kVersionBytes + kMarkerBytes == kRegistersStart);
static_assert(kRegistersStart + kRegisterBytes == kHeaderStart);
static_assert(kHeaderStart + kSongTitleWidth + kGameTitleWidth + kDumperWidth + kCommentsWidth == kDateStart);
static_assert(kDateStart + kDateWidth == kSongLengthStart);
static_assert(kDateStart + kBinaryDayBytes + kBinaryMonthBytes + kBinaryYearBytes + kBinaryUnusedBytes ==
              kSongLengthStart);
static_assert(kSongLengthStart + kSongLengthWidth + kFadeWidth + kArtistWidth + kMaskWidth + kEmulatorWidth +
                  kTextUnusedWidth ==
              kImageStart);

}  // namespace spclayout
