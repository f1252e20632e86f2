#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "BinaryStream.h"
#include "FolderItem.h"
#include "FormatStreams.h"
#include "SPCFormat.h"
#include "SPCLayout.h"
#include "TemporaryFolder.h"
#include "Text.h"

using spcformat::Require;
using namespace spclayout;

namespace {

// The four marker bytes as one little-endian number.
constexpr int32_t kMarkers = kMarker | kMarker << 8 | kMarker << 16 | kVersionByte << 24;
constexpr int32_t kCopyBuffer = 64 * 1024;
// The 16-bit field of a string item holds the text's length plus its NUL.
constexpr int32_t kLongestItemText = 65534;

// A header field of fixed width: the text cut to the width, or followed by NULs up to it.
void WriteField(fw::BinaryStream& out, const std::string& text, int32_t width) {
  const int32_t length = fw::Len(text);
  out.Write(fw::Left(text, width));
  for (int32_t i = length; i < width; ++i) out.WriteByte(0);
}

void WriteStringItem(fw::BinaryStream& out, int32_t id, const std::string& text) {
  const std::string data = fw::Left(text, kLongestItemText);
  int32_t length = fw::Len(data) + 1;
  out.WriteByte(id);
  out.WriteByte(1);
  out.WriteShort(length);
  out.Write(data);
  out.WriteByte(0);
  while (length % 4 != 0) {
    out.WriteByte(0);
    ++length;
  }
}

// Whether bytes read at offset are what Open read there.
bool SameAsOpened(const fw::Bytes& opened, uint64_t offset, const std::string& bytes) {
  if (offset >= opened.size()) return true;
  const size_t length = std::min<size_t>(bytes.size(), opened.size() - offset);
  return fw::View(opened).substr(offset, length) == std::string_view(bytes).substr(0, length);
}

// Whether the file open on in is still byte for byte what Open read: the same length, and every byte that Open read
// the same. Bytes past those Open read (of a file longer than it read) count only through the length.
bool StillAsOpened(fw::BinaryStream& in, const fw::Bytes& opened, uint64_t length) {
  // What Open read passed the header check only if it is the file that the check saw.
  if (!SPCFormat::PassesHeaderCheck(fw::View(opened))) return false;
  if (in.Length() != length) return false;
  for (size_t at = 0; at < opened.size(); at += kCopyBuffer) {
    in.SetPosition(at);
    if (!SameAsOpened(opened, at, in.Read(kCopyBuffer))) return false;
  }
  return true;
}

void WriteValueItem(fw::BinaryStream& out, int32_t id, const std::string& text) {
  out.WriteByte(id);
  out.WriteByte(0);
  out.WriteShort(fw::CInt(fw::Val(text)));
}

// Texts that fit their header field are carried there and get no item.
constexpr struct {
  int32_t id;
  const char* control;
  int32_t headerWidth;
} kLongTexts[] = {{0x01, "SongTitle", kSongTitleWidth}, {0x02, "GameTitle", kGameTitleWidth},
                  {0x03, "SongArtist", kArtistWidth},   {0x04, "DumpedBy", kDumperWidth},
                  {0x07, "Comments", kCommentsWidth}};

}  // namespace

void SPCFormat::WriteStandardData() {
  auto& opened = Require(SPCFile, "SPCFile");
  if (OutputBeside) {
    // Beside the file that is to be replaced (the one a link names), so the rename stays on its file system.
    FileOut = fw::FolderItem::UnnamedBeside(Opened && !Opened->target.empty() ? Opened->target : opened.AbsolutePath());
  } else {
    const std::string folder = TemporaryFolder.empty()
                                   ? Require(fw::GetTemporaryFolderItem(), "The temporary folder").AbsolutePath()
                                   : TemporaryFolder;
    FileOut = fw::GetFolderItem(folder + opened.Name(), 0);
  }
  auto& fileOut = Require(FileOut, "FileOut");
  if (fileOut.Exists()) fileOut.Delete();
  // A copy of what is written is kept: once it is in place, a later Save compares the file with it.
  SPCOut = fw::BinaryStream::CreateKeeping(fileOut, false);
  auto& out = *SPCOut;
  out.SetLittleEndian(true);

  out.Write(std::string(kSignature) + std::string(kVersion));
  out.WriteLong(kMarkers);
  CopyOver(static_cast<int32_t>(out.Position()), kRegisterBytes);

  WriteField(out, TagText("SongTitle"), kSongTitleWidth);
  WriteField(out, TagText("GameTitle"), kGameTitleWidth);
  WriteField(out, TagText("DumpedBy"), kDumperWidth);
  WriteField(out, TagText("Comments"), kCommentsWidth);
  WriteField(out, TagText("DumpedOn"), kDateWidth);
  WriteField(out, TagText("SongLength"), kSongLengthWidth);
  if (StandardUnits()) {
    WriteField(out, TagText("SongFade"), kFadeWidth);
  } else {
    // Ticks in the field, whole milliseconds in the header.
    WriteField(out, fw::Str(fw::CInt(fw::Val(TagText("SongFade"))) / 64), kFadeWidth);
  }
  WriteField(out, TagText("SongArtist"), kArtistWidth);

  int32_t mask = 0;
  for (int32_t channel = 1; channel <= 8; ++channel) {
    if (TagChecked("Channel" + std::to_string(channel))) mask += 1 << (channel - 1);
  }
  out.WriteByte(mask);

  // Until the user chooses an emulator, the field keeps the code the file had, which the menu may have no row for.
  // The field is one byte: a row without a one-digit number is stored as "Unknown".
  const int32_t row = TagRow("DumpedWith");
  if (const std::optional<int32_t> kept = CarriedValue("DumpedWith"))
    out.WriteByte(*kept);
  else
    out.Write(row >= 0 && row <= 9 ? fw::Str(row) : "0");

  for (int32_t i = 0; i < kTextUnusedWidth; ++i) out.WriteByte(0);
  CopyOver(static_cast<int32_t>(out.Position()), kImageBytes);
}

void SPCFormat::OpenToCopy() {
  SPCStream = fw::BinaryStream::Open(Require(SPCFile, "SPCFile"), false);
  // Only the file that Open read may be copied from: another program may have changed it or put something else at
  // its path.
  if (Opened &&
      (SPCStream->ResolvedPath() != Opened->target || !StillAsOpened(*SPCStream, Opened->bytes, Opened->length)))
    throw OpenedFileChanged();
}

void SPCFormat::CopyOver(int32_t offset, int32_t count) {
  OpenToCopy();
  // The bytes copied are compared once more as they are copied, read through this one stream.
  SPCStream->SetPosition(static_cast<uint64_t>(std::max(offset, 0)));
  for (int32_t left = count; left > 0;) {
    const int32_t step = std::min(left, kCopyBuffer);
    const uint64_t at = SPCStream->Position();
    const std::string bytes = SPCStream->Read(step);
    if (Opened && !SameAsOpened(Opened->bytes, at, bytes)) throw OpenedFileChanged();
    Require(SPCOut, "SPCOut").Write(bytes);
    left -= step;
  }
  SPCStream->Close();
}

void SPCFormat::CopyTail() {
  if (!Opened || Opened->tail >= Opened->length) return;
  auto& out = Require(SPCOut, "SPCOut");
  OpenToCopy();
  // After everything written, the chunk's size included.
  out.SetPosition(out.Length());
  const uint64_t count = Opened->length - Opened->tail;
  // A file that became shorter meanwhile is another program's doing.
  if (out.CopyFrom(*SPCStream, Opened->tail, count) != count) throw OpenedFileChanged();
  SPCStream->Close();
}

void SPCFormat::CheckOpenedFile(const std::string& target, const std::string& file) {
  if (!Opened) return;
  auto in = fw::BinaryStream::Open(Require(fw::GetFolderItem(file, 0), "The file"), false);
  const bool same = Require(fw::GetFolderItem(target, 0), "The file").ResolvedPath() == Opened->target &&
                    Require(SPCFile, "SPCFile").ResolvedPath() == Opened->target &&
                    StillAsOpened(*in, Opened->bytes, Opened->length);
  in->Close();
  if (!same) throw OpenedFileChanged();
}

bool SPCFormat::NeedsExtendedData() {
  bool needed = false;
  for (const auto& item : kLongTexts) {
    if (fw::Len(TagText(item.control)) > item.headerWidth) needed = true;
  }
  for (const char* control : {"OSTTitle", "OSTDisc", "OSTTrack", "Copyright", "Amplification", "Publisher",
                              "IntroLength", "LoopLength", "EndLength", "LoopCount"}) {
    if (fw::Len(TagText(control)) > 0) needed = true;
  }
  // A value read from the file is written back, also where its field shows nothing.
  for (const char* control : {"Amplification", "IntroLength", "LoopLength", "EndLength"}) {
    if (CarriedValue(control)) needed = true;
  }
  return needed;
}

void SPCFormat::WriteExtendedData() {
  auto& out = Require(SPCOut, "SPCOut");
  out.Write(std::string(kChunkId));
  out.WriteLong(0);

  for (const auto& item : kLongTexts) {
    const std::string text = TagText(item.control);
    if (fw::Len(text) > item.headerWidth) WriteStringItem(out, item.id, text);
  }

  WriteStringItem(out, 0x10, TagText("OSTTitle"));

  const std::string disc = TagText("OSTDisc");
  if (fw::Len(disc) > 0) WriteValueItem(out, 0x11, disc);

  const std::string track = TagText("OSTTrack");
  if (fw::Len(track) > 0) {
    // The track number in the high byte, an optional letter after it in the low byte. A track the user left alone
    // is the item's value itself: its text cannot tell a letter that is a digit from the number before it.
    out.WriteByte(0x12);
    out.WriteByte(0);
    const std::string last = fw::Right(track, 1);
    if (const std::optional<int32_t> carried = CarriedValue("OSTTrack")) {
      out.WriteShort(*carried);
    } else if (last >= "0" && last <= "9") {
      out.WriteByte(0);
      out.WriteByte(fw::CInt(fw::Val(track)));
    } else {
      out.Write(last);
      out.WriteByte(fw::CInt(fw::Val(fw::Left(track, fw::Len(track) - 1))));
    }
  }

  WriteStringItem(out, 0x13, TagText("Publisher"));

  const std::string copyright = TagText("Copyright");
  if (fw::Len(copyright) > 0) WriteValueItem(out, 0x14, copyright);

  const struct {
    int32_t id;
    const char* control;
  } lengths[] = {{0x30, "IntroLength"}, {0x31, "LoopLength"}, {0x32, "EndLength"}};
  for (const auto& item : lengths) {
    const std::string text = TagText(item.control);
    const std::optional<int32_t> carried = CarriedValue(item.control);
    if (fw::Len(text) == 0 && !carried) continue;
    out.WriteByte(item.id);
    out.WriteByte(4);
    out.WriteShort(4);
    // Seconds in Standard units, ticks of 1/64000 s in Advanced units.
    if (carried)
      out.WriteLong(*carried);
    else
      out.WriteLong(StandardUnits() ? fw::CInt(fw::Val(text) * 64000) : fw::CInt(fw::Val(text)));
  }

  const std::string loops = TagText("LoopCount");
  if (fw::Len(loops) > 0) WriteValueItem(out, 0x35, loops);

  const std::string amplification = TagText("Amplification");
  const std::optional<int32_t> carried = CarriedValue("Amplification");
  if (fw::Len(amplification) > 0 || carried) {
    out.WriteByte(0x36);
    out.WriteByte(4);
    out.WriteShort(4);
    // A multiplier in Standard units (65536 is 1x), the raw value in Advanced units.
    if (carried)
      out.WriteLong(*carried);
    else
      out.WriteLong(StandardUnits() ? fw::CInt(fw::Val(amplification) * 65536) : fw::CInt(fw::Val(amplification)));
  }

  const auto end = static_cast<uint32_t>(out.Position());
  out.SetPosition(kChunkSizeStart);
  out.WriteLong(static_cast<int32_t>(end - static_cast<uint32_t>(kItemsStart)));
}
