#include "SPCFormat.h"

#include "BinaryStream.h"
#include "FolderItem.h"

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
}
