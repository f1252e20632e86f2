// libFuzzer over the whole read path of Open: header check, then (whatever it answered) layout detection, the
// header fields, the chunk identifier and the extended items. Any failure that escapes, any sanitizer report, a
// slow input or a tag model larger than the file is a finding.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "BinaryStream.h"
#include "FolderItem.h"
#include "SPCFormat.h"

namespace {

class Reader : public SPCFormat {
 public:
  void Run(const std::string& path, size_t size) {
    IsSPC(path);
    SPCFile = fw::GetFolderItem(path, 0);
    SPCStream = fw::BinaryStream::Open(*SPCFile, false);
    SPCStream->SetLittleEndian(true);
    CheckFormat();
    GetStandardTags();
    if (HasExtendedData()) GetExtendedTags();
    SPCStream->Close();

    // The model stays within the file: no more items than 4-byte steps through it, no more text than it holds.
    if (StandardTags.size() != 10 || ExtendedIDs.size() != ExtendedData.size()) abort();
    if (ExtendedIDs.size() > size / 4 + 2) abort();
    size_t text = 0;
    for (const auto& value : ExtendedData) text += value.size();
    if (text > size) abort();
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
  Reader().Run(path, size);
  return 0;
}
