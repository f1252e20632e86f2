#include "SPCFormat.h"

#include "BinaryStream.h"
#include "FolderItem.h"
#include "SPCLayout.h"

namespace {
// The header, the registers and the RAM/DSP image, and room for an extended chunk of any real size, so that Open
// reads a whole file in one read; the reader reads on from there as a chunk needs.
constexpr uint64_t kFirstRead = spclayout::kImageEnd + 64 * 1024;
}  // namespace

SPCFormat::SPCFormat() : StandardTags(10), ExtendedData{""}, ExtendedIDs{0} {}

SPCFormat::~SPCFormat() = default;

void SPCFormat::ReadTagModel() {
  // What the reader takes from the file is kept for a Save to compare with.
  SPCStream = fw::BinaryStream::OpenKeeping(*SPCFile, kFirstRead);
  SPCStream->SetLittleEndian(true);
  CheckFormat();
  ExtendedChannelDisables = false;
  ExtendedDataDamaged = false;
  ExtendedIDs.assign(1, 0);
  ExtendedData.assign(1, "");
  GetStandardTags();
  if (HasExtendedData()) GetExtendedTags();
  Opened = OpenedFile{SPCStream->TakeKept(), SPCStream->Length(), SPCStream->ResolvedPath()};
}

void SPCFormat::AdoptSavedFile() {
  if (!Opened || !SPCOut) return;
  Opened->bytes = SPCOut->TakeKept();
  Opened->length = Opened->bytes.size();
}
