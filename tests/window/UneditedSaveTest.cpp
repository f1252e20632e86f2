// A Save that nobody edited for changes no value: each kind of file, opened and saved through the window in either
// unit mode and across switches, comes back as the format means it, byte for byte. And the emulator menu's rows
// are the format's codes.
#include <QComboBox>

#include <optional>

#include "WindowTestSupport.h"
#include "support/SameBytes.h"

namespace windowtest {
namespace {

using spctest::BinaryHeader;
using spctest::SpcBuilder;
using spctest::TextHeader;
using spctest::Xid6;
using testing_support::ReadFile;

// How the user gets from Open to Save without editing: the unit mode of the Open, and the switches after it.
enum class Path { Standard, Advanced, ToAdvanced, ToStandard };

const char* Name(Path path) {
  switch (path) {
    case Path::Standard: return "Standard";
    case Path::Advanced: return "Advanced";
    case Path::ToAdvanced: return "Standard, then Advanced";
    case Path::ToStandard: return "Advanced, then Standard";
  }
  return "";
}

// Every file has a song length and a fade: an empty fade shows as 0 ticks in Advanced units, and 0 milliseconds as
// nothing once converted back, which is the same value in other bytes.
SpcBuilder Spc() { return SpcBuilder().Registers("REGISTERS").Ram(3); }
SpcBuilder Spc(TextHeader header) {
  if (header.length.empty()) header.length = "100";
  if (header.fade.empty()) header.fade = "5000";
  return Spc().Text(header);
}
SpcBuilder BinarySpc(BinaryHeader header) {
  if (header.length == 0) header.length = 100;
  if (header.fade == 0) header.fade = 5000;
  return Spc().Binary(header);
}

// What no chunk of the format holds, after the chunk or after the image.
std::string Trailer(size_t size) {
  std::string bytes;
  for (size_t i = 0; i < size; ++i) bytes += static_cast<char>("trailer-"[i % 8] + i / 8 % 3);
  return bytes;
}

// The chunk that a Save writes for an OST title and a publisher alone: every chunk holds both items.
Xid6 Titles(const std::string& ost, const std::string& publisher) {
  return Xid6().String(0x10, ost).String(0x13, publisher);
}

struct Unedited {
  const char* what;
  SpcBuilder file;
  // The saved file, where it is not the file itself.
  std::optional<SpcBuilder> saved = std::nullopt;
  // What a path through Advanced units saves, where it differs: a value that the text layout cannot hold.
  std::optional<SpcBuilder> savedThroughAdvanced = std::nullopt;
  int row = 0;  // the emulator menu's row on show
};

std::vector<Unedited> Cases() {
  // A month tells the binary layout.
  BinaryHeader zero{.song = "S", .day = 7, .month = 3, .year = 2004};
  BinaryHeader seventh{.song = "S", .day = 7, .month = 3, .year = 2004, .emulator = 7};
  BinaryHeader highFade{.song = "S", .day = 7, .month = 3, .year = 2004, .fade = 0xFFAB1234};
  BinaryHeader noDate{.song = "S", .length = 180, .fade = 10000, .emulator = 1};
  std::vector<Unedited> cases = {
      // The header names no emulator, the extended item does: the item's code goes into the header.
      {"a NUL header emulator, item 2", Spc({.song = "S", .emulator = '\0'}).Chunk(Xid6().Value(0x06, 2)),
       Spc({.song = "S", .emulator = '2'}), std::nullopt, 2},
      {"a \"0\" header emulator, item 1", Spc({.song = "S", .emulator = '0'}).Chunk(Xid6().Value(0x06, 1)),
       Spc({.song = "S", .emulator = '1'}), std::nullopt, 1},
      {"a binary 0 header emulator, item 7", BinarySpc(zero).Chunk(Xid6().Value(0x06, 7)),
       Spc({.song = "S", .date = "3/7/2004", .emulator = '7'})},
      // Codes the menu has no row for are kept as the header had them.
      {"text emulator 5", Spc({.song = "S", .emulator = '5'})},
      {"text emulator A", Spc({.song = "S", .emulator = 'A'})},
      {"text emulator NUL", Spc({.song = "S", .emulator = '\0'})},
      {"text emulator 2, item 1", Spc({.song = "S", .emulator = '2'}).Chunk(Xid6().Value(0x06, 1)),
       Spc({.song = "S", .emulator = '2'}), std::nullopt, 2},
      {"binary emulator 7", BinarySpc(seventh),
       Spc({.song = "S", .date = "3/7/2004", .emulator = '7'})},
      // A binary header's date of all zeros is no date; its fade is unsigned, cut or held to what the text layout
      // holds.
      {"a zero binary date", BinarySpc(noDate), Spc({.song = "S", .length = "180", .fade = "10000", .emulator = '1'}),
       std::nullopt, 1},
      {"a high binary fade", BinarySpc(highFade), Spc({.song = "S", .date = "3/7/2004", .fade = "42894"}),
       Spc({.song = "S", .date = "3/7/2004", .fade = "99999"})},
      // A track whose letter is a digit: 200 and "7" show as "2007".
      {"a digit-letter track", Spc({.song = "S"}).Chunk(Xid6().String(0x10, "").Value(0x12, 200 * 256 + '7')
                                                             .String(0x13, ""))},
      // A text ends at its first NUL; a Save writes NULs after it.
      {"a title with bytes after its NUL", Spc({.song = "S"}).Put(0x2E, std::string("DKC2\0\0\0\0\0\0\x02", 11)),
       Spc({.song = "DKC2"})},
      // What follows the chunk, or the image, stays as it was.
      {"bytes after the chunk", Spc({.song = "S"}).Chunk(Titles("OST", "Pub")).Append(Trailer(34))},
      {"bytes after the image", Spc({.song = "S"}).Append(Trailer(34))},
      {"megabytes after the chunk", Spc({.song = "S"}).Chunk(Titles("", "P")).Append(Trailer(3 << 20))},
      // A chunk whose size reaches past the end of the file is damaged: a Save writes only what was read.
      {"a chunk reaching past the end", Spc({.song = "S"}).Chunk(Titles("", "P").Size(1000)).Append("trailing"),
       Spc({.song = "S"}).Chunk(Titles("", "P"))},
  };
  return cases;
}

class UneditedSaveTest : public WindowTest {
 protected:
  QComboBox& Emulators() { return *qobject_cast<QComboBox*>(fw::WidgetOf(W().Find<fw::PopupMenu>("DumpedWith"))); }
  // The user picks a row of the menu, as Qt reports a pick: the row selected, then "activated".
  void Choose(int row) {
    Emulators().setCurrentIndex(row);
    emit Emulators().activated(row);
  }
};

TEST_F(UneditedSaveTest, EachKindOfFileSavesAsTheFormatMeansIt) {
  for (const Unedited& c : Cases()) {
    for (Path path : {Path::Standard, Path::Advanced, Path::ToAdvanced, Path::ToStandard}) {
      SCOPED_TRACE(std::string(c.what) + ", " + Name(path));
      ResetModeMarks();
      W().ModeStandard()->SetChecked(true);
      if (path == Path::Advanced || path == Path::ToStandard) ToAdvanced();
      const std::string file = WriteSpc("song.spc", c.file);
      Open(file);
      if (path == Path::ToAdvanced) ToAdvanced();
      if (path == Path::ToStandard) ToStandard();
      EXPECT_EQ(Row(), c.row);
      Save();
      const bool advanced = path != Path::Standard;
      const SpcBuilder& expected =
          advanced && c.savedThroughAdvanced ? *c.savedThroughAdvanced : c.saved ? *c.saved : c.file;
      EXPECT_TRUE(D().messages.empty()) << D().messages[0];
      EXPECT_TRUE(testing_support::SameBytes(ReadFile(file), expected.Bytes()));
      D().messages.clear();
    }
  }
}

// The bytes after the chunk follow whatever each Save writes: a chunk that an edit calls for, the same chunk again,
// and no chunk once nothing calls for one.
TEST_F(UneditedSaveTest, TheBytesAfterTheChunkFollowEverySave) {
  const std::string trailer = Trailer(100);
  const std::string file = WriteSpc("song.spc", Spc({.song = "S"}).Append(trailer));
  Open(file);
  Field("Publisher").SetText("Pub");
  Save();
  const std::string withChunk = Spc({.song = "S"}).Chunk(Titles("", "Pub")).Append(trailer).Bytes();
  EXPECT_TRUE(testing_support::SameBytes(ReadFile(file), withChunk));
  Save();
  EXPECT_TRUE(testing_support::SameBytes(ReadFile(file), withChunk));
  Field("Publisher").SetText("");
  Save();
  EXPECT_TRUE(testing_support::SameBytes(ReadFile(file), Spc({.song = "S"}).Append(trailer).Bytes()));
  EXPECT_TRUE(D().messages.empty());
}

// The track that the program shows needs no hold: it is the file's own value, and no beep comes of it.
TEST_F(UneditedSaveTest, ATrackIsShownWithoutABeep) {
  Open(WriteSpc("song.spc", Spc({.song = "S"}).Chunk(Xid6().Value(0x12, 200 * 256 + '7'))));
  EXPECT_EQ(Text("OSTTrack"), "2007");
  Button("RevertButton").Push();
  EXPECT_EQ(Text("OSTTrack"), "2007");
  EXPECT_EQ(D().beeps, 0);
}

// Row 1 is ZSNES and row 2 SNES9x, the codes every other program reads; a row the user picks is saved as its code,
// the one already shown too, until Revert shows the file's code again.
TEST_F(UneditedSaveTest, TheMenusRowsAreTheFormatsCodes) {
  EXPECT_EQ(W().Find<fw::PopupMenu>("DumpedWith").List(1), "ZSNES");
  EXPECT_EQ(W().Find<fw::PopupMenu>("DumpedWith").List(2), "SNES9x");
  const struct {
    int row;
    char code;
  } picks[] = {{0, '0'}, {1, '1'}, {2, '2'}};
  const std::string file = WriteSpc("song.spc", Spc({.song = "S", .emulator = '5'}));
  for (const auto& pick : picks) {
    SCOPED_TRACE(pick.row);
    Open(file);
    Choose(pick.row);
    Save();
    EXPECT_EQ(ReadFile(file)[0xD2], pick.code);
    WriteSpc("song.spc", Spc({.song = "S", .emulator = '5'}));
  }
  Open(file);
  Choose(2);
  Button("RevertButton").Push();
  Save();
  EXPECT_EQ(ReadFile(file)[0xD2], '5');
  EXPECT_TRUE(D().messages.empty());
}

}  // namespace
}  // namespace windowtest
