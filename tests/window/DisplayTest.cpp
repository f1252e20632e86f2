// The display of the tag model: the extended items first, on emptied controls, then the header values where the
// controls are still empty, in the unit mode in force.
#include <cmath>
#include <utility>

#include "WindowTestSupport.h"

namespace windowtest {
namespace {

using Items = std::vector<std::pair<int32_t, std::string>>;
using Header = std::vector<std::pair<int, std::string>>;

struct DisplayCase {
  const char* what;
  bool advanced;
  Items items;
  Header header;
  const char* control;  // a field, "DumpedWith" (its row) or "Channels" (Channel1 first)
  std::string expected;
  int beeps = 0;
};

constexpr bool S = false;  // Standard units
constexpr bool A = true;   // Advanced units

const DisplayCase kCases[] = {
    // Header texts fill only what is still empty; a later item of the same ID wins.
    {"title from header", S, {}, {{0, "H"}}, "SongTitle", "H"},
    {"title item over header", S, {{0x01, "X"}}, {{0, "H"}}, "SongTitle", "X"},
    {"empty title item", S, {{0x01, ""}}, {{0, "H"}}, "SongTitle", "H"},
    {"later title item", A, {{0x01, "X"}, {0x01, "Y"}}, {}, "SongTitle", "Y"},
    {"game from header", S, {}, {{1, "G"}}, "GameTitle", "G"},
    {"game item", A, {{0x02, "g"}}, {{1, "G"}}, "GameTitle", "g"},
    {"artist from header", S, {}, {{7, "R"}}, "SongArtist", "R"},
    {"artist item", A, {{0x03, "r"}}, {{7, "R"}}, "SongArtist", "r"},
    {"dumper from header", A, {}, {{2, "D"}}, "DumpedBy", "D"},
    {"dumper item", S, {{0x04, "d"}}, {{2, "D"}}, "DumpedBy", "d"},
    {"date from header", S, {}, {{4, "12/25/2004"}}, "DumpedOn", "12/25/2004"},
    {"date item unformatted", A, {{0x05, "20041225"}}, {{4, "1/1/2000"}}, "DumpedOn", "20041225"},
    {"comments from header", S, {}, {{3, "C\rc"}}, "Comments", "C\rc"},
    {"comments item", A, {{0x07, "long comment"}}, {{3, "C"}}, "Comments", "long comment"},
    {"length always from header", S, {{0x30, "64000"}}, {{5, "180"}}, "SongLength", "180"},
    {"length in advanced", A, {}, {{5, "1234"}}, "SongLength", "1234"},
    // Emulator: a text that sorts before "3" selects its row; never a row outside the menu. A header that names no
    // emulator gives way to the item that does, also to one that the menu has no row for.
    {"emulator item, header 0", S, {{0x06, "2"}}, {{9, "0"}}, "DumpedWith", "2"},
    {"emulator item, header 5", S, {{0x06, "2"}}, {{9, "5"}}, "DumpedWith", "2"},
    {"emulator item, header empty", A, {{0x06, "2"}}, {{9, ""}}, "DumpedWith", "2"},
    {"emulator item 1, header 2", A, {{0x06, "1"}}, {{9, "2"}}, "DumpedWith", "2"},
    {"emulator item 5, header 0", S, {{0x06, "5"}}, {{9, "0"}}, "DumpedWith", "0"},
    {"emulator header 1", A, {}, {{9, "1"}}, "DumpedWith", "1"},
    {"emulator header 15", S, {{0x06, "2"}}, {{9, "15"}}, "DumpedWith", "0"},
    {"emulator header -1", S, {{0x06, "1"}}, {{9, "-1"}}, "DumpedWith", "0"},
    {"emulator item 100", S, {{0x06, "100"}}, {{9, "9"}}, "DumpedWith", "0"},
    {"emulator item -1", A, {{0x06, "-1"}}, {{9, "7"}}, "DumpedWith", "0"},
    {"emulator item 1", A, {{0x06, "1"}}, {{9, "3"}}, "DumpedWith", "1"},
    {"emulator header 2", S, {}, {{9, "2"}}, "DumpedWith", "2"},
    {"emulator header 255", A, {{0x06, "1"}}, {{9, "255"}}, "DumpedWith", "0"},
    {"emulator header 29", S, {{0x06, "2"}}, {{9, "29"}}, "DumpedWith", "0"},
    // Fade: ticks in the item, milliseconds in the header.
    {"fade item", S, {{0x33, "6400"}}, {{6, "5"}}, "SongFade", "100"},
    {"fade item", A, {{0x33, "6400"}}, {{6, "5"}}, "SongFade", "6400"},
    {"fade header", S, {}, {{6, "100"}}, "SongFade", "100"},
    {"fade header", A, {}, {{6, "100"}}, "SongFade", "6400"},
    {"fade header empty", S, {}, {}, "SongFade", ""},
    {"fade header empty", A, {}, {}, "SongFade", "0"},
    // Channel bits.
    {"channels 5", S, {{0x34, "5"}}, {}, "Channels", "10100000"},
    {"channels 255", A, {{0x34, "255"}}, {}, "Channels", "11111111"},
    {"channels 128", S, {{0x34, "128"}}, {}, "Channels", "00000001"},
    {"channels 256", S, {{0x34, "256"}}, {}, "Channels", "00000000"},
    {"channels 300", S, {{0x34, "300"}}, {}, "Channels", "00110100"},
    {"channels -1", S, {{0x34, "-1"}}, {}, "Channels", "00000000"},
    {"channels empty", S, {{0x34, ""}}, {{8, "255"}}, "Channels", "00000000"},
    {"channels item over header", A, {{0x34, "0"}}, {{8, "255"}}, "Channels", "00000000"},
    {"later channels item", S, {{0x34, "1"}, {0x34, "2"}}, {}, "Channels", "01000000"},
    {"channels header", S, {}, {{8, "129"}}, "Channels", "10000001"},
    {"channels header", A, {}, {{8, "6"}}, "Channels", "01100000"},
    // Soundtrack.
    {"OST title", S, {{0x10, "Title\rTwo"}}, {}, "OSTTitle", "Title\rTwo"},
    {"OST title", A, {{0x10, "Title"}}, {}, "OSTTitle", "Title"},
    {"OST disc", S, {{0x11, "1"}}, {}, "OSTDisc", "1"},
    {"OST disc", A, {{0x11, "2"}}, {}, "OSTDisc", "2"},
    {"OST track letter", S, {{0x12, "3169"}}, {}, "OSTTrack", "12a"},
    {"OST track", A, {{0x12, "3072"}}, {}, "OSTTrack", "12"},
    {"OST track 0", S, {{0x12, "0"}}, {}, "OSTTrack", "0"},
    {"OST track letter", A, {{0x12, "25946"}}, {}, "OSTTrack", "101Z"},
    {"publisher", S, {{0x13, "P"}}, {}, "Publisher", "P"},
    {"publisher", A, {{0x13, "Q"}}, {}, "Publisher", "Q"},
    {"copyright", S, {{0x14, "1994"}}, {}, "Copyright", "1994"},
    {"copyright", A, {{0x14, "1995"}}, {}, "Copyright", "1995"},
    {"loop count", S, {{0x35, "3"}}, {}, "LoopCount", "3"},
    {"loop count", A, {{0x35, "255"}}, {}, "LoopCount", "255"},
    // Lengths: whole seconds in Standard, ticks in Advanced.
    {"intro", S, {{0x30, "64000"}}, {}, "IntroLength", "1"},
    {"intro", A, {{0x30, "64000"}}, {}, "IntroLength", "64000"},
    {"intro under a second", S, {{0x30, "63999"}}, {}, "IntroLength", "0"},
    {"intro 0", S, {{0x30, "0"}}, {}, "IntroLength", "0"},
    {"intro 0", A, {{0x30, "0"}}, {}, "IntroLength", ""},
    {"loop", S, {{0x31, "128000"}}, {}, "LoopLength", "2"},
    {"loop", A, {{0x31, "128000"}}, {}, "LoopLength", "128000"},
    {"end", S, {{0x32, "383999999"}}, {}, "EndLength", "5999"},
    {"end", A, {{0x32, "383999999"}}, {}, "EndLength", "383999999"},
    // Amplification: a multiple with one decimal in Standard (divisor 6553), the raw value in Advanced.
    {"amplification 1x", S, {{0x36, "65536"}}, {}, "Amplification", "1"},
    {"amplification 1.5x", S, {{0x36, "98304"}}, {}, "Amplification", "1.5"},
    {"amplification 0.9x", S, {{0x36, "65529"}}, {}, "Amplification", "0.9"},
    {"amplification 10x", S, {{0x36, "655360"}}, {}, "Amplification", "10"},
    {"amplification above the bound", S, {{0x36, "2147483647"}}, {}, "Amplification", "32767.9", 1},
    {"amplification raw", A, {{0x36, "98304"}}, {}, "Amplification", "98304"},
    {"amplification largest", A, {{0x36, "2147483647"}}, {}, "Amplification", "2147483647"},
    {"amplification 0", A, {{0x36, "0"}}, {}, "Amplification", ""},
};

class TagDisplayTest : public WindowTest {
 protected:
  // The model as Open leaves it, shown as Revert shows it.
  void Show(bool advanced, const Items& items, const Header& header) {
    if (advanced) ToAdvanced();
    auto& tags = MainWindowProbe::StandardTags(W());
    tags.assign(10, "");
    for (const auto& [index, text] : header) tags[index] = text;
    // The emulator code as a reader leaves it: one character is the text layout's byte (none is the byte 0), a
    // longer text a binary header's value.
    const std::string& code = tags[9];
    MainWindowProbe::BinaryFormat(W()) = code.size() > 1;
    MainWindowProbe::HeaderEmulator(W()) =
        code.size() > 1 ? fw::CInt(fw::Val(code)) : code.empty() ? 0 : static_cast<uint8_t>(code[0]);
    MainWindowProbe::ExtendedIDs(W()).assign(1, 0);
    MainWindowProbe::ExtendedData(W()).assign(1, "");
    for (const auto& [id, value] : items) {
      MainWindowProbe::ExtendedIDs(W()).push_back(id);
      MainWindowProbe::ExtendedData(W()).push_back(value);
    }
    MainWindowProbe::ExtendedChannelDisables(W()) = false;
    W().RunMenuCommand("FileRevert");
  }
  std::string Value(const std::string& control) {
    if (control == "DumpedWith") return std::to_string(Row());
    if (control == "Channels") return Channels();
    return Text(control);
  }
};

TEST_F(TagDisplayTest, ShowsEachEntryOfTheMappingInEachMode) {
  for (const DisplayCase& c : kCases) {
    SCOPED_TRACE(std::string(c.what) + (c.advanced ? " (Advanced)" : " (Standard)"));
    ResetModeMarks();
    W().ModeStandard()->SetChecked(true);
    MainWindowProbe::ClearFields(W());
    D().beeps = 0;
    Show(c.advanced, c.items, c.header);
    EXPECT_EQ(Value(c.control), c.expected);
    EXPECT_EQ(D().beeps, c.beeps);
    EXPECT_EQ(MainWindowProbe::ExtendedChannelDisables(W()), std::string(c.control) == "Channels" && !c.items.empty());
  }
}

TEST_F(TagDisplayTest, PlainTextItemsShowTheirTextInBothModes) {
  const std::pair<int32_t, const char*> plain[] = {{0x01, "SongTitle"}, {0x02, "GameTitle"}, {0x03, "SongArtist"},
                                                    {0x04, "DumpedBy"},  {0x05, "DumpedOn"},  {0x07, "Comments"},
                                                    {0x10, "OSTTitle"},  {0x11, "OSTDisc"},   {0x13, "Publisher"},
                                                    {0x14, "Copyright"}, {0x35, "LoopCount"}};
  for (bool advanced : {false, true}) {
    for (const auto& [id, control] : plain) {
      SCOPED_TRACE(control);
      ResetModeMarks();
      W().ModeStandard()->SetChecked(true);
      const std::string value = std::string("v") + control;
      Show(advanced, {{id, value}}, {});
      EXPECT_EQ(Text(control), value);
    }
  }
}

// Called alone, the header fills only what is empty: the song length and the emulator always, the boxes only
// while no channel item was shown.
TEST_F(TagDisplayTest, TheHeaderFillsOnlyEmptyControls) {
  const std::pair<const char*, int> filled[] = {{"SongTitle", 0}, {"GameTitle", 1}, {"DumpedBy", 2},  {"Comments", 3},
                                                {"DumpedOn", 4},  {"SongFade", 6},  {"SongArtist", 7}};
  auto& tags = MainWindowProbe::StandardTags(W());
  for (int i = 0; i < 10; ++i) tags[static_cast<size_t>(i)] = "1" + std::to_string(i);
  tags[5] = "";
  tags[9] = "1";
  for (bool typed : {false, true}) {
    SCOPED_TRACE(typed ? "controls hold text" : "controls empty");
    MainWindowProbe::ClearFields(W());
    if (typed) {
      for (const auto& [name, index] : filled) {
        if (std::string(name) == "Comments")
          Area(name).SetText("typed");
        else
          Field(name).SetText("9");
      }
    }
    Field("SongLength").SetText("99");
    W().Find<fw::PopupMenu>("DumpedWith").SetListIndex(2);
    Box("Channel8").SetValue(true);
    MainWindowProbe::ExtendedChannelDisables(W()) = typed;
    MainWindowProbe::DisplayStandardTags(W());
    for (const auto& [name, index] : filled) {
      const std::string kept = std::string(name) == "Comments" ? "typed" : "9";
      EXPECT_EQ(Text(name), typed ? kept : tags[static_cast<size_t>(index)]) << name;
    }
    EXPECT_EQ(Text("SongLength"), "");
    EXPECT_EQ(Row(), 1);
    EXPECT_EQ(Channels(), typed ? "00000001" : "01001000");  // 18: Channel2 and Channel5
    EXPECT_EQ(MainWindowProbe::ExtendedChannelDisables(W()), typed);
  }
}

TEST_F(TagDisplayTest, UnknownItemsChangeNoControl) {
  Show(false, {{0x08, "x"}, {0x15, "12"}, {0x37, "5"}}, {});
  for (int i = 0; i < W().ControlCount(); ++i) {
    fw::RectControl& c = W().ControlAt(i);
    if (auto* field = dynamic_cast<fw::TextField*>(&c)) {
      EXPECT_EQ(field->Text(), "") << c.Name();
    }
    if (auto* area = dynamic_cast<fw::TextArea*>(&c)) {
      EXPECT_EQ(area->Text(), "") << c.Name();
    }
  }
  EXPECT_EQ(Channels(), "00000000");
  EXPECT_EQ(Row(), 0);
  EXPECT_EQ(MainWindowProbe::ExtendedIDs(W()).size(), 4u);
}

// Before any Open the model is empty: Revert only clears, but an empty header fade reads as 0 ticks in Advanced.
TEST_F(TagDisplayTest, TheEmptyModelClearsTheControls) {
  Field("SongTitle").SetText("typed");
  Box("Channel3").SetValue(true);
  W().Find<fw::PopupMenu>("DumpedWith").SetListIndex(2);
  W().RunMenuCommand("FileRevert");
  EXPECT_EQ(Text("SongTitle"), "");
  EXPECT_EQ(Text("SongFade"), "");
  EXPECT_EQ(Channels(), "00000000");
  EXPECT_EQ(Row(), 0);

  ToAdvanced();
  W().RunMenuCommand("FileRevert");
  EXPECT_EQ(Text("SongFade"), "0");
  EXPECT_EQ(Text("SongLength"), "");
}

TEST_F(TagDisplayTest, RevertShowsTheValuesOfTheOpenAgain) {
  const std::string path = WriteSpc(
      "song.spc", spctest::SpcBuilder()
                      .Text({.song = "Song", .length = "180", .fade = "100", .mask = 0xFF, .emulator = '1'})
                      .Chunk(spctest::Xid6().Long(0x30, 100000).Value(0x34, 0).String(0x13, "Pub")));
  Open(path);
  ASSERT_EQ(Text("SongTitle"), "Song");
  EXPECT_EQ(Channels(), "00000000");  // the item's mask over the header's
  EXPECT_EQ(Text("IntroLength"), "1");

  Field("SongTitle").SetText("edited");
  Field("SongLength").SetText("");
  Box("Channel1").SetValue(true);
  Field("Publisher").SetText("Other");
  Button("RevertButton").Push();
  EXPECT_EQ(Text("SongTitle"), "Song");
  EXPECT_EQ(Text("SongLength"), "180");
  EXPECT_EQ(Channels(), "00000000");
  EXPECT_EQ(Text("Publisher"), "Pub");
  EXPECT_EQ(Row(), 1);
  EXPECT_TRUE(MainWindowProbe::ExtendedChannelDisables(W()));

  // After a switch the values come afresh from the model, not from what the fields were converted to.
  Field("IntroLength").SetText("3");
  ToAdvanced();
  EXPECT_EQ(Text("IntroLength"), "192000");
  Button("RevertButton").Push();
  EXPECT_EQ(Text("IntroLength"), "100000");
  EXPECT_EQ(Text("SongFade"), "6400");
}

TEST(LongStrTest, GivesTheDigitsOfTheWholePart) {
  const std::pair<double, const char*> cases[] = {
      {0, ""},          {0.9, ""},    {1, "1"},  {10, "10"}, {1234.99, "1234"}, {-5, ""}, {2147483647, "2147483647"},
      {6553593446.4, "6553593446"},  {1e15, "1000000000000000"}, {1152921504606846976.0, "1152921504606846976"},
      {std::nan(""), ""}};
  for (const auto& [value, digits] : cases) EXPECT_EQ(MainWindowProbe::LongStr(value), digits) << value;
}

}  // namespace
}  // namespace windowtest
