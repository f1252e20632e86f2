#include "SPCFormat.h"

#include "BinaryStream.h"
#include "FolderItem.h"

namespace {
// The header, the registers and the RAM/DSP image: everything up to where an extended chunk starts.
constexpr int32_t kOpenedBytes = 0x10200;
}  // namespace

SPCFormat::SPCFormat() : StandardTags(10), ExtendedData{""}, ExtendedIDs{0} {}

SPCFormat::~SPCFormat() = default;

void SPCFormat::ReadTagModel() {
  SPCStream = fw::BinaryStream::Open(*SPCFile, false);
  SPCStream->SetLittleEndian(true);
  CheckFormat();
  ExtendedChannelDisables = false;
  ExtendedDataDamaged = false;
  ExtendedIDs.assign(1, 0);
  ExtendedData.assign(1, "");
  GetStandardTags();
  if (HasExtendedData()) GetExtendedTags();
  // Read through the same stream as the tags, so what a Save compares with is what this Open saw.
  SPCStream->SetPosition(0);
  OpenedBytes = SPCStream->Read(kOpenedBytes);
  OpenedTarget = SPCFile->ResolvedPath();
}
