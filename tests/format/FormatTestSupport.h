// A tag format without a window: the tag controls are a table, the protected members are open to the tests.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BinaryStream.h"
#include "Failures.h"
#include "FolderItem.h"
#include "SPCFormat.h"
#include "support/SameBytes.h"
#include "support/SpcBuilder.h"

namespace formattest {

inline const std::vector<std::string>& TextControls() {
  static const std::vector<std::string> names = {
      "SongTitle", "GameTitle", "SongArtist", "DumpedBy",  "DumpedOn",      "SongLength",
      "SongFade",  "Publisher", "OSTDisc",    "OSTTrack",  "Copyright",     "Amplification",
      "IntroLength", "LoopLength", "EndLength", "LoopCount", "Comments",    "OSTTitle"};
  return names;
}

class TableFormat : public SPCFormat {
 public:
  TableFormat() {
    for (const auto& name : TextControls()) texts[name] = "";
    for (int i = 1; i <= 8; ++i) checks["Channel" + std::to_string(i)] = false;
  }

  std::map<std::string, std::string> texts;
  std::map<std::string, bool> checks;
  int32_t row = 0;
  bool standard = true;
  // The values that unit fields carry from the file's items.
  std::map<std::string, int32_t> carried;
  // Every question asked, in order: "text:SongTitle", "check:Channel1", "row", "mode".
  std::vector<std::string> asked;

  using SPCFormat::BinaryFormat;
  using SPCFormat::CheckFormat;
  using SPCFormat::CopyOver;
  using SPCFormat::ExtendedChannelDisables;
  using SPCFormat::ExtendedData;
  using SPCFormat::ExtendedDataDamaged;
  using SPCFormat::ExtendedIDs;
  using SPCFormat::FileOut;
  using SPCFormat::GetBinary;
  using SPCFormat::GetExtendedTags;
  using SPCFormat::GetStandardTags;
  using SPCFormat::GetString;
  using SPCFormat::HasExtendedData;
  using SPCFormat::IsSPC;
  using SPCFormat::NeedsExtendedData;
  using SPCFormat::SPCFile;
  using SPCFormat::SPCOut;
  using SPCFormat::SPCStream;
  using SPCFormat::StandardTags;
  using SPCFormat::TemporaryFolder;
  using SPCFormat::WriteExtendedData;
  using SPCFormat::WriteStandardData;

  // Opens a file the way Open does and reads the whole tag model.
  void Read(const std::string& path) {
    SPCFile = fw::GetFolderItem(path, 0);
    if (!ReadTagModel()) throw std::runtime_error(path + " fails the header check");
    SPCStream->Close();
  }

  // Opens a read stream on a file, positioned at 0, for the primitive readers.
  void OpenStream(const std::string& path) {
    SPCFile = fw::GetFolderItem(path, 0);
    SPCStream = fw::BinaryStream::Open(*SPCFile, false);
    SPCStream->SetLittleEndian(true);
  }

  // Writes a new file from the table the way Save does, closes it and returns its bytes.
  std::string Write() {
    WriteStandardData();
    if (NeedsExtendedData()) WriteExtendedData();
    SPCOut->Close();
    std::ifstream in(FileOut->AbsolutePath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 protected:
  std::string TagText(const std::string& control) override {
    asked.push_back("text:" + control);
    auto it = texts.find(control);
    if (it == texts.end()) throw fw::NilObjectException("no control " + control);
    return it->second;
  }
  bool TagChecked(const std::string& control) override {
    asked.push_back("check:" + control);
    auto it = checks.find(control);
    if (it == checks.end()) throw fw::NilObjectException("no control " + control);
    return it->second;
  }
  int32_t TagRow(const std::string& control) override {
    asked.push_back("row");
    if (control != "DumpedWith") throw fw::NilObjectException("no control " + control);
    return row;
  }
  bool StandardUnits() override {
    asked.push_back("mode");
    return standard;
  }
  std::optional<int32_t> CarriedValue(const std::string& control) override {
    auto it = carried.find(control);
    if (it == carried.end()) return std::nullopt;
    return it->second;
  }
};

// A private folder for the test's files, removed at the end.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quenlet-format-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern + "/";
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + name; }
  std::string Write(const std::string& name, const std::string& bytes) const {
    return spctest::SpcBuilder::WriteFile(File(name), bytes);
  }

 private:
  std::string path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline uint32_t LE(const std::string& bytes, size_t offset, int width) {
  uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes.at(offset + i));
  return value;
}

using testing_support::SameBytes;

// Text of a NUL-padded header field as a readable string for expectations: the bytes up to the field's end.
inline std::string At(const std::string& bytes, size_t offset, size_t width) { return bytes.substr(offset, width); }

}  // namespace formattest
