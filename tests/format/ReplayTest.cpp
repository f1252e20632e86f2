// Every stored input (fixtures, and what the fuzzer once found) goes through the whole read path of Open: no
// failure, no slow read, and a tag model no larger than the file nor than the reader's bound on the extended items.
#include <chrono>

#include "FormatTestSupport.h"

namespace {

using formattest::TableFormat;

std::vector<std::filesystem::path> StoredInputs() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(QUENLET_FIXTURES)) {
    if (entry.is_regular_file() && entry.path().extension() != ".md") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(ReplayTest, StoredInputsReadSafely) {
  for (const auto& file : StoredInputs()) {
    SCOPED_TRACE(file.string());
    const auto size = std::filesystem::file_size(file);
    const auto start = std::chrono::steady_clock::now();
    TableFormat format;
    EXPECT_NO_THROW({
      format.IsSPC(file.string());
      format.Read(file.string());
    });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(format.StandardTags.size(), 10u);
    ASSERT_EQ(format.ExtendedIDs.size(), format.ExtendedData.size());
    const size_t items = format.ExtendedIDs.size() - 1;
    EXPECT_LE(items, size / 4 + 1);
    EXPECT_LE(items, static_cast<size_t>(SPCFormat::ExtendedItemsBound));
    size_t text = 0;
    for (const auto& value : format.ExtendedData) text += value.size();
    EXPECT_LE(text, size);
  }
}

}  // namespace
