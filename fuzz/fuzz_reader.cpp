// libFuzzer over the whole read path of Open: header check, then (whatever it answered) Open's reading of the file:
// layout detection, the header fields, the chunk identifier and the extended items, and what it keeps for a Save
// to compare with. Any failure that escapes, any sanitizer report, a slow input, a tag model larger than the file or
// than the reader's bound on the extended items, or kept bytes that are not the start of the file is a finding.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "BinaryStream.h"
#include "FolderItem.h"
#include "SPCFormat.h"
#include "SPCLayout.h"
#include "TemporaryFolder.h"

namespace {

class Reader : public SPCFormat {
 public:
  void Run(const std::string& path, const uint8_t* data, size_t size) {
    // Open's own check, made on the bytes it read, agrees with the check of the file.
    const bool spc = IsSPC(path);
    SPCFile = fw::GetFolderItem(path, 0);
    if (ReadTagModel() != spc) abort();
    if (!spc) return;
    const uint64_t stoppedAt = SPCStream->Position();
    SPCStream->Close();

    // What Open keeps is the start of the file, no more than it holds, and covers what the reader read; its length
    // is the file's.
    if (!Opened || Opened->length != size || Opened->bytes.size() > size) abort();
    if (!Opened->bytes.empty() && std::memcmp(Opened->bytes.data(), data, Opened->bytes.size()) != 0) abort();
    if (Opened->bytes.size() < std::min<uint64_t>(stoppedAt, size)) abort();
    // The bytes a Save keeps after what it writes lie within the file.
    if (Opened->tail > size) abort();

    // The model stays within the file and within the reader's bound: no more items than 4-byte steps through the
    // file, nor than the bound allows; no more text than the file holds, nor than the items below the byte bound
    // and the one item that may run past it hold (a string's text is at most its bytes), plus the decimal texts of
    // the numeric items (at most 11 characters each).
    if (StandardTags.size() != 10 || ExtendedIDs.size() != ExtendedData.size()) abort();
    const size_t items = ExtendedIDs.size() - 1;
    if (items > size / 4 + 1 || items > static_cast<size_t>(ExtendedItemsBound)) abort();
    size_t text = 0;
    for (const auto& value : ExtendedData) text += value.size();
    if (text > size || text > static_cast<size_t>(ExtendedBytesBound) + 65535 + 11 * items) abort();
    // The chunk is called damaged only where a bound stopped it.
    if (ExtendedDataDamaged && items < static_cast<size_t>(ExtendedItemsBound) &&
        stoppedAt < spclayout::kItemsStart + static_cast<uint64_t>(ExtendedBytesBound))
      abort();
  }

 protected:
  std::string TagText(const std::string&) override { return ""; }
  bool TagChecked(const std::string&) override { return false; }
  int32_t TagRow(const std::string&) override { return 0; }
  bool StandardUnits() override { return true; }
};

void WriteInput(const std::string& path, const uint8_t* data, size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) abort();
  for (size_t done = 0; done < size;) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) abort();
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The run's private temporary folder (mode 0700), removed at exit.
  static const std::string path = fw::GetTemporaryFolderItem()->AbsolutePath() + "input.spc";
  WriteInput(path, data, size);
  Reader().Run(path, data, size);
  return 0;
}
