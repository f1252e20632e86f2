#include <algorithm>
#include <cstdint>
#include <string>

#include "BinaryStream.h"
#include "FolderItem.h"
#include "FormatStreams.h"
#include "SPCFormat.h"
#include "Text.h"

using spcformat::Require;

namespace {

constexpr uint64_t kLayoutProbe = 0x9F;
constexpr uint64_t kNumbersStart = 0xA9;
constexpr uint64_t kHeaderStart = 0x2E;
constexpr uint64_t kChunkStart = 0x10200;
constexpr uint64_t kChunkSize = 0x10204;
constexpr uint32_t kItemsStart = 0x10208;

}  // namespace

bool SPCFormat::IsSPC(const std::string& path) {
  auto item = fw::GetFolderItem(path, 0);
  auto stream = fw::BinaryStream::Open(Require(item, "The file"), false);
  const std::string signature = stream->Read(29);
  stream->Read(4);
  const int marker1 = stream->ReadByte();
  const int marker2 = stream->ReadByte();
  stream->Close();
  return signature == "SNES-SPC700 Sound File Data v" && marker1 == 26 && marker2 == 26;
}

void SPCFormat::CheckFormat() {
  auto& stream = Require(SPCStream, "SPCStream");
  stream.SetPosition(kLayoutProbe);
  const int32_t month = fw::CInt(fw::Val(GetBinary(1)));
  if (month != 0) {
    BinaryFormat = month <= 18;
    return;
  }
  stream.SetPosition(kNumbersStart);
  for (int i = 0; i < 7; ++i) {
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
  StandardTags[0] = GetString(32);
  StandardTags[1] = GetString(32);
  StandardTags[2] = GetString(16);
  StandardTags[3] = GetString(32);
  if (BinaryFormat) {
    const std::string day = GetBinary(1);
    const std::string month = GetBinary(1);
    const std::string year = GetBinary(2);
    StandardTags[4] = month + "/" + day + "/" + year;
    GetString(7);
    StandardTags[5] = GetBinary(3);
    StandardTags[6] = GetBinary(4);
    StandardTags[7] = GetString(32);
    StandardTags[8] = GetBinary(1);
    StandardTags[9] = GetBinary(1);
  } else {
    StandardTags[4] = GetString(11);
    StandardTags[5] = GetString(3);
    StandardTags[6] = GetString(5);
    StandardTags[7] = GetString(32);
    StandardTags[8] = GetBinary(1);
    StandardTags[9] = GetString(1);
  }
}

std::string SPCFormat::GetString(int32_t count) {
  auto& stream = Require(SPCStream, "SPCStream");
  if (count <= 0) return "";
  std::string text = stream.Read(count);
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
  return GetString(4) == "xid6";
}

void SPCFormat::GetExtendedTags() {
  auto& stream = Require(SPCStream, "SPCStream");
  ExtendedIDs.resize(1);
  ExtendedData.resize(1);
  ExtendedDataDamaged = false;
  stream.SetPosition(kChunkSize);
  const int32_t chunkSize = fw::CInt(fw::Val(GetBinary(4)));
  // The sum wraps as a 32-bit signed number: a huge chunk size gives an end at or below the first item.
  const auto endOffset = static_cast<int32_t>(kItemsStart + static_cast<uint32_t>(chunkSize));
  // A chunk size that claims more than the file holds stops at the end of the file.
  const int64_t fileEnd = static_cast<int64_t>(std::min<uint64_t>(stream.Length(), INT64_MAX));
  const int64_t stop = std::min<int64_t>(endOffset, fileEnd);
  while (static_cast<int64_t>(stream.Position()) < stop) {
    // A chunk that goes on past the bound is damaged; the items read so far stay.
    if (static_cast<int64_t>(stream.Position()) - kItemsStart >= ExtendedBytesBound ||
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
