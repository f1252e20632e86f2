// A file that the writers wrote, read back into the tag model and written again from it, is the same file; and a
// second, independent reader (libgme) reads the same tags from it.
#include <gme/gme.h>

#include "FormatTestSupport.h"
#include "TemporaryFolder.h"
#include "Text.h"

namespace {

using formattest::SameBytes;
using formattest::TableFormat;
using formattest::TempDir;
using spctest::SpcBuilder;

// The tag controls as the window shows a read tag model in Advanced units: extended items first, header values
// only where a text control is still empty; lengths, fade and amplification as raw ticks and values.
void ShowAdvanced(const TableFormat& model, TableFormat& controls) {
  controls.standard = false;
  const std::map<int32_t, std::string> textItems = {{0x01, "SongTitle"}, {0x02, "GameTitle"}, {0x03, "SongArtist"},
                                                    {0x04, "DumpedBy"},  {0x07, "Comments"},  {0x10, "OSTTitle"},
                                                    {0x11, "OSTDisc"},   {0x13, "Publisher"}, {0x14, "Copyright"},
                                                    {0x30, "IntroLength"}, {0x31, "LoopLength"},
                                                    {0x32, "EndLength"}, {0x35, "LoopCount"}, {0x36, "Amplification"}};
  for (size_t i = 1; i < model.ExtendedIDs.size(); ++i) {
    const int32_t id = model.ExtendedIDs[i];
    const std::string& value = model.ExtendedData[i];
    if (auto it = textItems.find(id); it != textItems.end()) controls.texts[it->second] = value;
    if (id == 0x12) {
      const int32_t track = fw::CInt(fw::Val(value));
      controls.texts["OSTTrack"] = fw::Str(track >> 8) + ((track & 0xFF) ? fw::Chr(track & 0xFF) : "");
    }
  }
  const std::vector<std::pair<std::string, int>> header = {{"SongTitle", 0}, {"GameTitle", 1}, {"DumpedBy", 2},
                                                           {"Comments", 3},  {"DumpedOn", 4},  {"SongArtist", 7}};
  for (const auto& [control, index] : header) {
    if (controls.texts[control].empty()) controls.texts[control] = model.StandardTags[index];
  }
  controls.texts["SongLength"] = model.StandardTags[5];
  controls.texts["SongFade"] = fw::Str(fw::CInt(fw::Val(model.StandardTags[6])) * 64);
  const int32_t mask = fw::CInt(fw::Val(model.StandardTags[8]));
  for (int i = 1; i <= 8; ++i) controls.checks["Channel" + std::to_string(i)] = (mask >> (i - 1)) & 1;
  controls.row = fw::CInt(fw::Val(model.StandardTags[9]));
}

struct Tags {
  const char* name;
  std::map<std::string, std::string> texts;
  std::vector<int> channels;
  int32_t row;
};

const std::vector<Tags>& Cases() {
  static const std::vector<Tags> cases = {
      {"header only",
       {{"SongTitle", "Opening"}, {"GameTitle", "Example Quest"}, {"DumpedBy", "Dumper"},
        {"Comments", "Short comment"}, {"DumpedOn", "12/24/1999"}, {"SongLength", "180"}, {"SongFade", "10000"},
        {"SongArtist", "The Composer"}},
       {1, 8},
       2},
      {"long texts and every extended value",
       {{"SongTitle", std::string(40, 'T') + " end"}, {"GameTitle", "A game title that is longer than 32"},
        {"SongArtist", "An artist whose name runs past the field"}, {"DumpedBy", "A dumper of 17 ch"},
        {"Comments", "First line\r\nSecond line\r\n" + std::string(200, 'c')}, {"DumpedOn", "1/2/2003"},
        {"SongLength", "95"}, {"SongFade", "2500"}, {"OSTTitle", "Original Sound Version\nDisc two"},
        {"OSTDisc", "2"}, {"OSTTrack", "12a"}, {"Publisher", "Squaresoft"}, {"Copyright", "1995"},
        {"IntroLength", "30"}, {"LoopLength", "1.5"}, {"EndLength", "0"}, {"LoopCount", "3"},
        {"Amplification", "1.5"}},
       {3},
       1},
      {"fields filled to their widths, Latin-1 bytes",
       {{"SongTitle", std::string(32, 's')}, {"GameTitle", "Pok\xE9mon \xC0 la carte"},
        {"DumpedBy", std::string(16, 'd')}, {"Comments", "caf\xE9\r\n\xFF" + std::string(26, 'x')},
        {"DumpedOn", "2004/03/07"}, {"SongLength", "999"}, {"SongFade", "99999"},
        {"SongArtist", std::string(31, 'a')}, {"OSTTrack", "7"}},
       {1, 2, 3, 4, 5, 6, 7, 8},
       0},
  };
  return cases;
}

class RoundTripTest : public ::testing::Test {
 protected:
  TempDir opened, temporary, again;
  void SetUp() override { fw::SetTemporaryFolderForTesting(temporary.Path()); }
  void TearDown() override { fw::SetTemporaryFolderForTesting(""); }

  // Writes a file from the tags in Standard units, over a source with registers and an image; with replace, puts
  // it in the source's place as Save does and gives the bytes found there.
  std::string WriteFirst(const Tags& tags, bool replace = false) {
    TableFormat format;
    format.SPCFile = fw::GetFolderItem(
        opened.Write("Song.spc", SpcBuilder().Registers("register!").Ram(9).Bytes()), 0);
    for (const auto& [control, text] : tags.texts) format.texts[control] = text;
    for (int channel : tags.channels) format.checks["Channel" + std::to_string(channel)] = true;
    format.row = tags.row;
    const std::string written = format.Write();
    if (!replace) return written;
    format.FileOut->MoveFileTo(*format.SPCFile);
    return formattest::ReadFile(format.SPCFile->AbsolutePath());
  }
};

TEST_F(RoundTripTest, WrittenReadAndWrittenAgainIsTheSameFile) {
  for (const auto& tags : Cases()) {
    SCOPED_TRACE(tags.name);
    const std::string first = WriteFirst(tags);
    const std::string path = again.Write("Song.spc", first);

    TableFormat model;
    model.Read(path);
    TableFormat controls;
    controls.SPCFile = fw::GetFolderItem(path, 0);
    ShowAdvanced(model, controls);
    EXPECT_TRUE(SameBytes(controls.Write(), first));
  }
}

// What libgme reads from a file.
struct GmeTags {
  std::string song, game, author, dumper, comment, copyright;
  int length = -1;
};

GmeTags ReadWithGme(const std::string& path) {
  Music_Emu* emu = nullptr;
  if (const char* error = gme_open_file(path.c_str(), &emu, gme_info_only)) {
    ADD_FAILURE() << "libgme: " << error;
    return {};
  }
  gme_info_t* info = nullptr;
  GmeTags tags;
  if (const char* error = gme_track_info(emu, &info, 0)) {
    ADD_FAILURE() << "libgme: " << error;
  } else {
    tags = {info->song, info->game, info->author, info->dumper, info->comment, info->copyright, info->length};
    gme_free_info(info);
  }
  gme_delete(emu);
  return tags;
}

TEST_F(RoundTripTest, LibgmeReadsTheTagsWeWrote) {
  // libgme takes the artist from one byte before the text layout's field and skips that byte, so it sees at most
  // 31 characters there; it reads whole texts from the extended chunk, and the song length in milliseconds.
  for (const auto& tags : Cases()) {
    SCOPED_TRACE(tags.name);
    WriteFirst(tags, true);
    const GmeTags gme = ReadWithGme(opened.File("Song.spc"));
    auto text = [&](const char* control) { return tags.texts.count(control) ? tags.texts.at(control) : ""; };
    EXPECT_EQ(gme.song, text("SongTitle"));
    EXPECT_EQ(gme.game, text("GameTitle"));
    EXPECT_EQ(gme.author, text("SongArtist"));
    EXPECT_EQ(gme.dumper, text("DumpedBy"));
    EXPECT_EQ(gme.comment, text("Comments"));
    EXPECT_EQ(gme.length, fw::CInt(fw::Val(text("SongLength"))) * 1000);
    if (tags.texts.count("Publisher")) {
      EXPECT_EQ(gme.copyright, text("Copyright") + " " + text("Publisher"));
    }
  }
}

}  // namespace
