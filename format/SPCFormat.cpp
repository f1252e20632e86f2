#include "SPCFormat.h"

#include <algorithm>

#include "BinaryStream.h"
#include "FolderItem.h"
#include "SPCLayout.h"
#include "Text.h"

using namespace spclayout;

namespace {
// The header, the registers and the RAM/DSP image, and room for an extended chunk of any real size, so that Open
// reads a whole file in one read; the reader reads on from there as a chunk needs.
constexpr uint64_t kFirstRead = kImageEnd + 64 * 1024;
// The bytes that the header check looks at: the signature, the version and the two marker bytes after it.
constexpr int32_t kCheckedBytes = kSignatureBytes + kVersionBytes + 2;
constexpr int32_t kEmulatorItem = 0x06;
}  // namespace

SPCFormat::SPCFormat() : StandardTags(10), ExtendedData{""}, ExtendedIDs{0} {}

SPCFormat::~SPCFormat() = default;

bool SPCFormat::ReadTagModel() {
  // What the reader takes from the file is kept for a Save to compare with.
  auto stream = fw::BinaryStream::OpenKeeping(*SPCFile, kFirstRead);
  if (!PassesHeaderCheck(stream->Read(kCheckedBytes))) {
    stream->Close();
    return false;
  }
  SPCStream = stream;
  SPCStream->SetLittleEndian(true);
  CheckFormat();
  ExtendedChannelDisables = false;
  ExtendedDataDamaged = false;
  ExtendedIDs.assign(1, 0);
  ExtendedData.assign(1, "");
  GetStandardTags();
  const uint64_t length = SPCStream->Length();
  // What follows the image, or the chunk as its size declares it, is not the format's and is kept as it stands;
  // a chunk that goes on past the bound or past the end of the file is damaged, and a Save keeps only what was read.
  uint64_t tail = kImageEnd;
  if (HasExtendedData()) {
    GetExtendedTags();
    SPCStream->SetPosition(kChunkSizeStart);
    tail = kItemsStart + static_cast<uint32_t>(SPCStream->ReadLong());
    if (ExtendedDataDamaged) tail = length;
  }
  Opened = OpenedFile{SPCStream->TakeKept(), length, SPCStream->ResolvedPath(), std::min(tail, length)};
  return true;
}

void SPCFormat::AdoptSavedFile() {
  if (!Opened || !SPCOut) return;
  Opened->bytes = SPCOut->TakeKept();
  Opened->length = SPCOut->Length();
  // The new file holds what the Save wrote, then the bytes it kept, which a later Save keeps again.
  Opened->tail = Opened->bytes.size();
}

bool SPCFormat::HeaderEmulatorUnknown() const {
  return HeaderEmulator == 0 || (!BinaryFormat && HeaderEmulator == '0');
}

std::optional<int32_t> SPCFormat::ItemEmulatorCode() const {
  std::optional<int32_t> code;
  for (size_t i = 1; i < ExtendedData.size() && i < ExtendedIDs.size(); ++i) {
    if (ExtendedIDs[i] != kEmulatorItem) continue;
    const int32_t value = fw::CInt(fw::Val(ExtendedData[i]));
    code = value >= 1 && value <= 9 ? std::optional<int32_t>(value) : std::nullopt;
  }
  return code;
}

std::optional<int32_t> SPCFormat::KeptEmulatorByte() const {
  if (const auto item = ItemEmulatorCode(); item && HeaderEmulatorUnknown()) return '0' + *item;
  if (!BinaryFormat) return HeaderEmulator;
  if (HeaderEmulator >= 0 && HeaderEmulator <= 9) return '0' + HeaderEmulator;
  return std::nullopt;
}
