#include <algorithm>
#include <cstdint>
#include <string>

#include "BinaryStream.h"
#include "FolderItem.h"
#include "FormatStreams.h"
#include "SPCFormat.h"
#include "SPCLayout.h"
#include "Text.h"

using spcformat::Require;

using namespace spclayout;

bool SPCFormat::PassesHeaderCheck(std::string_view start) {
  const auto byte = [start](size_t at) { return at < start.size() ? static_cast<unsigned char>(start[at]) : 0; };
  const size_t marker = static_cast<size_t>(kSignatureBytes + kVersionBytes);
  return start.substr(0, kSignature.size()) == kSignature && byte(marker) == kMarker && byte(marker + 1) == kMarker;
}

bool SPCFormat::IsSPC(const std::string& path) {
  auto item = fw::GetFolderItem(path, 0);
  auto stream = fw::BinaryStream::Open(Require(item, "The file"), false);
  const std::string start = stream->Read(kSignatureBytes + kVersionBytes + 2);
  stream->Close();
  return PassesHeaderCheck(start);
}

void SPCFormat::CheckFormat() {
  auto& stream = Require(SPCStream, "SPCStream");
  // The binary layout's month, the text layout's second character of the date.
  stream.SetPosition(kDateStart + kBinaryDayBytes);
  const int32_t month = fw::CInt(fw::Val(GetBinary(1)));
  if (month != 0) {
    BinaryFormat = month <= 18;
    return;
  }
  // The song length and the start of the fade: numbers in the binary layout, digits or NULs in the text layout.
  stream.SetPosition(kSongLengthStart);
  for (int32_t i = 0; i < kBinaryLengthBytes + kBinaryFadeBytes; ++i) {
    const int32_t c = fw::CInt(fw::Val(GetBinary(1)));
    if (c != 0 && (c < 48 || c > 57)) {
      BinaryFormat = true;
      return;
    }
  }
  BinaryFormat = false;
}

void SPCFormat::GetStandardTags() {
  Require(SPCStream, "SPCStream").SetPosition(kHeaderStart);
  if (StandardTags.size() < 10) StandardTags.resize(10);
  StandardTags[0] = GetString(kSongTitleWidth);
  StandardTags[1] = GetString(kGameTitleWidth);
  StandardTags[2] = GetString(kDumperWidth);
  StandardTags[3] = GetString(kCommentsWidth);
  if (BinaryFormat) {
    const std::string day = GetBinary(kBinaryDayBytes);
    const std::string month = GetBinary(kBinaryMonthBytes);
    const std::string year = GetBinary(kBinaryYearBytes);
    // A day, month and year all 0 is no date at all.
    StandardTags[4] = day == "0" && month == "0" && year == "0" ? "" : month + "/" + day + "/" + year;
    GetString(kBinaryUnusedBytes);
    StandardTags[5] = GetBinary(kBinaryLengthBytes);
    // The fade is unsigned: its 32 bits never read as a negative number of milliseconds.
    const auto fade = static_cast<uint32_t>(fw::CInt(fw::Val(GetBinary(kBinaryFadeBytes))));
    StandardTags[6] = fw::Str(static_cast<double>(fade));
    StandardTags[7] = GetString(kArtistWidth);
    StandardTags[8] = GetBinary(kBinaryMaskBytes);
    StandardTags[9] = GetBinary(kBinaryEmulatorBytes);
    HeaderEmulator = fw::CInt(fw::Val(StandardTags[9]));
  } else {
    StandardTags[4] = GetString(kDateWidth);
    StandardTags[5] = GetString(kSongLengthWidth);
    StandardTags[6] = GetString(kFadeWidth);
    StandardTags[7] = GetString(kArtistWidth);
    StandardTags[8] = GetBinary(kMaskWidth);
    // The byte itself is kept as well, for a Save to write back as it was: its text loses what Trim takes.
    auto& stream = Require(SPCStream, "SPCStream");
    HeaderEmulator = stream.ReadByte();
    stream.SetPosition(stream.Position() - kEmulatorWidth);
    StandardTags[9] = GetString(kEmulatorWidth);
  }
}

std::string SPCFormat::GetString(int32_t count) {
  auto& stream = Require(SPCStream, "SPCStream");
  if (count <= 0) return "";
  std::string text = stream.Read(count);
  // A text ends at its first NUL, as every reader of the format takes it: what follows is no part of it.
  if (const size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  // The byte 0x14 is read as a space.
  std::replace(text.begin(), text.end(), '\x14', ' ');
  return fw::Trim(text);
}

std::string SPCFormat::GetBinary(int32_t size) {
  auto& stream = Require(SPCStream, "SPCStream");
  int32_t value = 0;
  switch (size) {
    case 1:
      value = stream.ReadByte();
      break;
    case 2:
      value = stream.ReadShort();
      break;
    case 3: {
      const int32_t low = stream.ReadShort();
      value = low + 65536 * stream.ReadByte();
      break;
    }
    case 4:
      value = stream.ReadLong();
      break;
    default:
      break;
  }
  return fw::Str(value);
}

bool SPCFormat::HasExtendedData() {
  Require(SPCStream, "SPCStream").SetPosition(kChunkStart);
  return GetString(kChunkIdBytes) == kChunkId;
}

void SPCFormat::GetExtendedTags() {
  auto& stream = Require(SPCStream, "SPCStream");
  ExtendedIDs.resize(1);
  ExtendedData.resize(1);
  ExtendedDataDamaged = false;
  stream.SetPosition(kChunkSizeStart);
  const int32_t chunkSize = fw::CInt(fw::Val(GetBinary(kChunkSizeBytes)));
  // The sum wraps as a 32-bit signed number: a huge chunk size gives an end at or below the first item.
  const auto endOffset = static_cast<int32_t>(static_cast<uint32_t>(kItemsStart) + static_cast<uint32_t>(chunkSize));
  // A chunk size that claims more than the file holds stops at the end of the file.
  const int64_t fileEnd = static_cast<int64_t>(std::min<uint64_t>(stream.Length(), INT64_MAX));
  const int64_t stop = std::min<int64_t>(endOffset, fileEnd);
  while (static_cast<int64_t>(stream.Position()) < stop) {
    // A chunk that goes on past the bound is damaged; the items read so far stay.
    if (static_cast<int64_t>(stream.Position()) - static_cast<int64_t>(kItemsStart) >= ExtendedBytesBound ||
        ExtendedIDs.size() > static_cast<size_t>(ExtendedItemsBound)) {
      ExtendedDataDamaged = true;
      break;
    }
    ExtendedIDs.push_back(fw::CInt(fw::Val(GetBinary(1))));
    const std::string type = GetBinary(1);
    if (type == "0") {
      ExtendedData.push_back(GetBinary(2));
    } else if (type == "4") {
      GetBinary(2);
      ExtendedData.push_back(GetBinary(4));
    } else {
      int32_t length = fw::CInt(fw::Val(GetBinary(2)));
      ExtendedData.push_back(GetString(length));
      while (length % 4 != 0) {
        stream.ReadByte();
        ++length;
      }
    }
  }
}
