// The SPC tag format: header check, layout detection, reading of the ID666 header and of the extended chunk into
// the tag model, and writing of a new file from the tag controls. It needs no window: the values of the tag
// controls come through four questions that the main window (or a test) answers.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "BinaryStream.h"

namespace fw {
class FolderItem;
}  // namespace fw

// Raised by a Save when the file it would copy from and replace is no longer the file that Open read: another
// program changed it.
class OpenedFileChanged : public std::runtime_error {
 public:
  OpenedFileChanged() : std::runtime_error("another program changed the file after it was opened") {}
};

class SPCFormat {
 public:
  SPCFormat();
  virtual ~SPCFormat();
  SPCFormat(const SPCFormat&) = delete;
  SPCFormat& operator=(const SPCFormat&) = delete;

  // The extended chunk is read up to a bound far above any real chunk, so that Open of any file costs about what a
  // normal Open costs: the 19 known items at their largest come to about 1.2 MiB, and a real chunk holds a few
  // dozen items. Items are read while the position is less than ExtendedBytesBound past the first item and fewer
  // than ExtendedItemsBound items have been read; a chunk that goes on past either is damaged and is read only in
  // part. The last item read may reach up to one item (at most 65,540 bytes) past the byte bound.
  static constexpr int64_t ExtendedBytesBound = 4 * 1024 * 1024;
  static constexpr int32_t ExtendedItemsBound = 4096;

  // The header check: the signature text and the two marker bytes after the version, in the first bytes of a file
  // (fewer than the check reads count as zeros). IsSPC runs it on the file at path; a Save runs it on the bytes that
  // Open read, before it copies from the file and before it replaces it (and compares every byte Open read with the
  // file), so that a file changed between the check and the read is never written over.
  static bool PassesHeaderCheck(std::string_view start);

 protected:
  // What the writers ask of the tag controls. Each raises fw::NilObjectException for a name that finds no control.
  // The text of a named text field or multi-line field.
  virtual std::string TagText(const std::string& control) = 0;
  // Whether a named check box is checked.
  virtual bool TagChecked(const std::string& control) = 0;
  // The selected row of a named pop-up menu.
  virtual int32_t TagRow(const std::string& control) = 0;
  // Whether the Mode menu's Standard item is checked.
  virtual bool StandardUnits() = 0;
  // The value that Open read from the file for a field that the user has left as the program showed it, which a
  // Save writes as it is:
  // - for a unit field (IntroLength, LoopLength, EndLength, Amplification), its item's value while the field shows
  //   the text derived from it and no bound has held it, in either unit mode, even where the field shows nothing;
  // - for OSTTrack, its item's 16-bit value while the field shows the track derived from it;
  // - for DumpedWith, the byte of the header's emulator field (KeptEmulatorByte) while the user has chosen no row.
  // A format without a window carries nothing.
  virtual std::optional<int32_t> CarriedValue(const std::string& control) {
    (void)control;
    return std::nullopt;
  }

  // Reading (Open).
  bool IsSPC(const std::string& path);
  void CheckFormat();
  void GetStandardTags();
  std::string GetString(int32_t count);
  std::string GetBinary(int32_t size);
  bool HasExtendedData();
  void GetExtendedTags();
  // The reading steps of Open on SPCFile, in their order: a new little-endian read stream in SPCStream (left open),
  // the header check on the bytes it read, the layout, the header fields and the extended items, with the extended
  // items of an earlier file dropped. One open serves the check and the read, so a file swapped between the two is
  // never shown as an SPC file. False, with the stream closed and nothing of the model changed, when the file fails
  // the check.
  bool ReadTagModel();
  // Whether the header names no emulator: the byte 0 or the digit "0", in the binary layout the value 0.
  bool HeaderEmulatorUnknown() const;
  // The code 1 to 9 of the last extended emulator item; nullopt where it holds no such code.
  std::optional<int32_t> ItemEmulatorCode() const;
  // The byte that a Save writes in the header's emulator field while the user has chosen no emulator: the text
  // layout's byte as it stands, or the digit of a binary header's code 0 to 9; where the header's code is unknown,
  // the digit of the extended item's code instead. nullopt for a binary code of 10 or more, which no digit holds.
  std::optional<int32_t> KeptEmulatorByte() const;

  // Writing (Save).
  void WriteStandardData();
  void CopyOver(int32_t offset, int32_t count);
  // A new read stream on SPCFile in SPCStream for a copy; raises OpenedFileChanged unless it is still the file that
  // Open read, at the same place and byte for byte.
  void OpenToCopy();
  // Copies the bytes of the opened file that follow its extended chunk, or its RAM/DSP image when it has none, to
  // the end of SPCOut, straight from file to file; nothing for a file without such bytes or with a damaged chunk.
  void CopyTail();
  // Raises OpenedFileChanged unless the file about to be replaced at target, read at file (target itself, or where
  // an exchange has just put it), is still the file that Open read: target and SPCFile name the file that Open
  // read once links are resolved, and the file is byte for byte what Open read, with the same length.
  // An IOException when it cannot be read (deleted, say). Nothing to check before an Open has read a file.
  void CheckOpenedFile(const std::string& target, const std::string& file);
  bool NeedsExtendedData();
  void WriteExtendedData();
  // Once a Save's new file has taken the opened file's place: a later Save compares the file with what this one
  // wrote (SPCOut's copy of it), as it compared with what Open read.
  void AdoptSavedFile();

  // The opened file and its read stream; the temporary output file and its write stream during Save.
  std::shared_ptr<fw::FolderItem> SPCFile;
  std::shared_ptr<fw::BinaryStream> SPCStream;
  // The tag model.
  std::vector<std::string> StandardTags;
  std::vector<std::string> ExtendedData;
  bool BinaryFormat = false;
  std::vector<int32_t> ExtendedIDs;
  bool ExtendedChannelDisables = false;
  // The header's emulator code as Open read it: in the text layout the byte itself, in the binary layout its value.
  int32_t HeaderEmulator = 0;
  // Set when the last read of the extended chunk stopped at the bound above; reset by every read.
  bool ExtendedDataDamaged = false;
  std::shared_ptr<fw::FolderItem> FileOut;
  std::shared_ptr<fw::BinaryStream> SPCOut;

  // What Open read of SPCFile, for a Save to compare with: every byte that SPCStream took from it (the start of the
  // file, up to where the reader stopped or a little past it, never past its end), the file's length, and the file
  // it named with every link resolved; and where the bytes that a Save keeps after what it writes begin (the
  // length when there are none). Empty until an Open has read a file.
  struct OpenedFile {
    fw::Bytes bytes;
    uint64_t length = 0;
    std::string target;
    uint64_t tail = 0;
  };
  std::optional<OpenedFile> Opened;
  // Set while a Save writes its output beside the opened file because the temporary folder could not be used:
  // WriteStandardData then makes FileOut an unnamed file in the folder of the file that SPCFile names.
  bool OutputBeside = false;
  // The temporary folder's path (ending with "/") that a Save writes its output in, as its caller looked it up once
  // for the whole Save; when empty, WriteStandardData looks it up itself.
  std::string TemporaryFolder;
};
