// The new file that Save writes: the header in the text layout, the copied registers and image, the extended chunk.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "FormatTestSupport.h"
#include "TemporaryFolder.h"

namespace {

using formattest::At;
using formattest::LE;
using formattest::ReadFile;
using formattest::SameBytes;
using formattest::TableFormat;
using formattest::TempDir;
using spctest::SpcBuilder;
using spctest::Xid6;

const std::string kRegisters = "REGISTERS";

class WriterTest : public ::testing::Test {
 protected:
  TempDir opened;
  TempDir temporary;
  TableFormat format;
  std::string source;

  void SetUp() override {
    fw::SetTemporaryFolderForTesting(temporary.Path());
    OpenSource(SpcBuilder().Registers(kRegisters).Ram(42).Bytes());
  }
  void TearDown() override { fw::SetTemporaryFolderForTesting(""); }

  void OpenSource(const std::string& bytes) {
    source = bytes;
    format.SPCFile = fw::GetFolderItem(opened.Write("Song.spc", bytes), 0);
  }
  std::string Header() {
    format.WriteStandardData();
    EXPECT_EQ(format.SPCOut->Position(), 0x10200u);
    format.SPCOut->Close();
    return ReadFile(format.FileOut->AbsolutePath());
  }
  // The items of a written chunk (after "xid6" and the size), checking the size field on the way.
  std::string Items(const std::string& file) {
    EXPECT_EQ(file.substr(0x10200, 4), "xid6");
    EXPECT_EQ(LE(file, 0x10204, 4), file.size() - 0x10208);
    EXPECT_EQ((file.size() - 0x10208) % 4, 0u);
    return file.substr(0x10208);
  }
};

std::string Zeros(size_t n) { return std::string(n, '\0'); }

TEST_F(WriterTest, EmptyControlsGiveTheBareHeaderAndTheCopiedImage) {
  const std::string file = Header();
  ASSERT_EQ(file.size(), 0x10200u);
  EXPECT_EQ(file.substr(0, 33), "SNES-SPC700 Sound File Data v0.30");
  EXPECT_EQ(file.substr(0x21, 4), "\x1A\x1A\x1A\x1E");
  EXPECT_EQ(file.substr(0x25, 9), kRegisters);
  EXPECT_EQ(file.substr(0x2E, 0xD2 - 0x2E), Zeros(0xD2 - 0x2E)) << "every text field empty, mask 0";
  EXPECT_EQ(file[0xD2], '0');
  EXPECT_EQ(file.substr(0xD3, 45), Zeros(45));
  EXPECT_TRUE(SameBytes(file.substr(0x100), source.substr(0x100, 0x10100)));
  EXPECT_FALSE(format.SPCStream->IsOpen());
  EXPECT_FALSE(format.NeedsExtendedData());
}

TEST_F(WriterTest, OnlyRegistersAndImageOfTheOpenedFileAreCopied) {
  // Another version, tag marker, ID666 header and a chunk: none of it reaches the new file.
  OpenSource(SpcBuilder()
                 .Put(0x1D, "0.10")
                 .Byte(0x23, 27)
                 .Byte(0x24, 10)
                 .Registers("123456789")
                 .Field(0x2E, "Old title", 32)
                 .Byte(0x9F, 12)
                 .Field(0xB0, "Old artist", 32)
                 .Ram(7)
                 .Chunk(Xid6().String(0x13, "Publisher").Value(0x11, 1))
                 .Bytes());
  format.texts["SongTitle"] = "New title";
  const std::string file = format.Write();
  ASSERT_EQ(file.size(), 0x10200u);
  EXPECT_EQ(file.substr(0, 37), std::string("SNES-SPC700 Sound File Data v0.30\x1A\x1A\x1A\x1E"));
  EXPECT_EQ(file.substr(0x25, 9), "123456789");
  EXPECT_EQ(At(file, 0x2E, 32), "New title" + Zeros(23));
  EXPECT_EQ(At(file, 0xB0, 34), Zeros(34));
  EXPECT_TRUE(SameBytes(file.substr(0x100), source.substr(0x100, 0x10100)));
}

TEST_F(WriterTest, EveryFieldAtItsOffsetAndWidth) {
  struct Case {
    const char* control;
    std::string text;
    size_t offset;
    std::string field;  // the bytes of the whole field
  };
  const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const std::vector<Case> cases = {
      {"SongTitle", letters.substr(0, 32), 0x2E, letters.substr(0, 32)},
      {"SongTitle", letters.substr(0, 40), 0x2E, letters.substr(0, 32)},
      {"SongTitle", "Intro", 0x2E, "Intro" + Zeros(27)},
      {"SongTitle", " padded ", 0x2E, " padded " + Zeros(24)},
      {"GameTitle", letters, 0x4E, letters.substr(0, 32)},
      {"DumpedBy", letters, 0x6E, letters.substr(0, 16)},
      {"DumpedBy", "me", 0x6E, "me" + Zeros(14)},
      {"Comments", "line one\r\nline two\n\xE9", 0x7E, "line one\r\nline two\n\xE9" + Zeros(11)},
      {"Comments", letters, 0x7E, letters.substr(0, 32)},
      {"DumpedOn", "12/25/2004", 0x9E, "12/25/2004" + Zeros(1)},
      {"DumpedOn", "1999/12/24 x", 0x9E, "1999/12/24 "},
      {"SongLength", "180", 0xA9, "180"},
      {"SongLength", "1234", 0xA9, "123"},
      {"SongLength", "7", 0xA9, "7" + Zeros(2)},
      {"SongFade", "12345", 0xAC, "12345"},
      {"SongFade", "123456", 0xAC, "12345"},
      {"SongFade", "", 0xAC, Zeros(5)},
      {"SongArtist", letters, 0xB1, letters.substr(0, 32)},
      {"SongArtist", "Artist", 0xB1, "Artist" + Zeros(26)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.control) + " = " + c.text);
    TableFormat f;
    f.SPCFile = format.SPCFile;
    f.texts[c.control] = c.text;
    const std::string file = f.Write();
    EXPECT_EQ(file.substr(c.offset, c.field.size()), c.field);
    EXPECT_TRUE(SameBytes(file.substr(0x100, 0x10100), source.substr(0x100, 0x10100)))
        << "later fields and the image stay in place";
  }
}

TEST_F(WriterTest, AllFieldsOverlongStillFillExactlyTheirWidths) {
  for (const auto& name : formattest::TextControls()) format.texts[name] = std::string(300, 'z');
  format.checks["Channel4"] = true;
  format.row = 2;
  const std::string file = Header();
  EXPECT_EQ(file.substr(0x2E, 0xD1 - 0x2E), std::string(0xD1 - 0x2E, 'z'));
  EXPECT_EQ(file[0xD1], '\x08');
  EXPECT_EQ(file[0xD2], '2');
  EXPECT_EQ(file.substr(0xD3, 45), Zeros(45));
  EXPECT_TRUE(SameBytes(file.substr(0x100), source.substr(0x100, 0x10100)));
}

TEST_F(WriterTest, FadeInAdvancedUnitsIsWrittenAsWholeMilliseconds) {
  struct Case {
    std::string ticks;
    std::string field;
  };
  const std::vector<Case> cases = {
      {"6400", "100" + Zeros(2)}, {"100", "1" + Zeros(4)},  {"63", "0" + Zeros(4)},
      {"6399936", "99999"},       {"", "0" + Zeros(4)},     {"640000", "10000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ticks);
    TableFormat f;
    f.SPCFile = format.SPCFile;
    f.standard = false;
    f.texts["SongFade"] = c.ticks;
    EXPECT_EQ(f.Write().substr(0xAC, 5), c.field);
  }
}

TEST_F(WriterTest, ChannelMaskAndEmulatorDigit) {
  struct Case {
    std::vector<int> channels;
    int32_t row;
    uint8_t mask;
    char emulator;
  };
  const std::vector<Case> cases = {
      {{}, 0, 0x00, '0'},         {{1, 8}, 1, 0x81, '1'}, {{1, 2, 3, 4, 5, 6, 7, 8}, 2, 0xFF, '2'},
      {{3}, -1, 0x04, '0'},       {{7}, 9, 0x40, '9'},    {{2}, 10, 0x02, '0'},
      {{}, 1000, 0x00, '0'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    TableFormat f;
    f.SPCFile = format.SPCFile;
    for (int channel : c.channels) f.checks["Channel" + std::to_string(channel)] = true;
    f.row = c.row;
    const std::string file = f.Write();
    ASSERT_EQ(file.size(), 0x10200u);
    EXPECT_EQ(static_cast<uint8_t>(file[0xD1]), c.mask);
    EXPECT_EQ(file[0xD2], c.emulator);
    EXPECT_TRUE(SameBytes(file.substr(0x100), source.substr(0x100, 0x10100)));
  }
}

TEST_F(WriterTest, ControlsAreAskedInTheOrderOfTheHeader) {
  format.WriteStandardData();
  std::vector<std::string> expected = {"text:SongTitle",  "text:GameTitle",  "text:DumpedBy", "text:Comments",
                                       "text:DumpedOn",   "text:SongLength", "mode",          "text:SongFade",
                                       "text:SongArtist"};
  for (int i = 1; i <= 8; ++i) expected.push_back("check:Channel" + std::to_string(i));
  expected.push_back("row");
  EXPECT_EQ(format.asked, expected);
}

TEST_F(WriterTest, ShortOpenedFileIsCopiedWithZerosForWhatItLacks) {
  OpenSource(SpcBuilder().Registers(kRegisters).Ram(5).Truncate(0x120).Bytes());
  const std::string file = format.Write();
  ASSERT_EQ(file.size(), 0x10200u);
  EXPECT_EQ(file.substr(0x25, 9), kRegisters);
  EXPECT_TRUE(SameBytes(file.substr(0x100, 0x20), source.substr(0x100, 0x20)));
  EXPECT_TRUE(SameBytes(file.substr(0x120), Zeros(0x10200 - 0x120)));

  OpenSource(SpcBuilder().Registers(kRegisters).Truncate(0x29).Bytes());  // ends inside the registers
  const std::string tiny = format.Write();
  ASSERT_EQ(tiny.size(), 0x10200u);
  EXPECT_EQ(tiny.substr(0x25, 9), "REGI" + Zeros(5));
  EXPECT_TRUE(SameBytes(tiny.substr(0x100), Zeros(0x10100)));
}

TEST_F(WriterTest, OutputIsTheOpenedFilesNameInTheTemporaryFolder) {
  format.WriteStandardData();
  EXPECT_EQ(format.FileOut->AbsolutePath(), temporary.Path() + "Song.spc");
  EXPECT_TRUE(format.SPCOut->IsOpen());
  EXPECT_TRUE(format.SPCOut->LittleEndian());
}

// The Save looked the temporary folder up before the writer runs: the writer takes that folder, not the one it
// would find by looking again.
TEST_F(WriterTest, OutputGoesToTheTemporaryFolderThatTheSaveLookedUp) {
  TempDir lookedUp;
  format.TemporaryFolder = lookedUp.Path();
  format.WriteStandardData();
  format.SPCOut->Close();
  EXPECT_EQ(format.FileOut->AbsolutePath(), lookedUp.Path() + "Song.spc");
  EXPECT_TRUE(std::filesystem::is_empty(temporary.Path()));
}

TEST_F(WriterTest, LeftoverOutputFileIsDeletedAndCreatedAgain) {
  temporary.Write("Song.spc", std::string(100000, 'X'));
  format.texts["SongTitle"] = "Again";
  const std::string file = format.Write();
  ASSERT_EQ(file.size(), 0x10200u);
  EXPECT_EQ(At(file, 0x2E, 5), "Again");
  EXPECT_TRUE(SameBytes(file.substr(0x100), source.substr(0x100, 0x10100)));
}

TEST_F(WriterTest, LeftoverLinkIsRemovedNotFollowed) {
  const std::string victim = opened.Write("victim", "keep me");
  std::filesystem::create_symlink(victim, temporary.File("Song.spc"));
  const std::string file = format.Write();
  EXPECT_EQ(file.size(), 0x10200u);
  EXPECT_FALSE(std::filesystem::is_symlink(temporary.File("Song.spc")));
  EXPECT_EQ(ReadFile(victim), "keep me");
}

// Sets or clears the immutable attribute; false where the file system has none.
bool SetImmutable(const std::string& path, bool on) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return done;
}

TEST_F(WriterTest, LeftoverThatCannotBeDeletedFailsAsAlreadyThere) {
  const std::string leftover = temporary.Write("Song.spc", "left over");
  if (!SetImmutable(leftover, true)) GTEST_SKIP() << "the temporary file system has no immutable files";
  struct Restore {
    std::string path;
    ~Restore() { SetImmutable(path, false); }
  } restore{leftover};
  try {
    format.WriteStandardData();
    ADD_FAILURE() << "expected an I/O failure";
  } catch (const fw::IOException& e) {
    EXPECT_EQ(e.Kind(), fw::IOKind::AlreadyThere);
    EXPECT_EQ(e.ErrorNumber(), 0);
  }
  EXPECT_FALSE(format.SPCOut);
  EXPECT_EQ(ReadFile(leftover), "left over");
}

TEST_F(WriterTest, MissingObjectsRaiseNilObject) {
  TableFormat noFile;
  EXPECT_THROW(noFile.WriteStandardData(), fw::NilObjectException);
  EXPECT_THROW(noFile.WriteExtendedData(), fw::NilObjectException);

  format.texts.erase("SongArtist");
  EXPECT_THROW(format.WriteStandardData(), fw::NilObjectException);
  TableFormat noLoopCount;
  noLoopCount.texts.erase("LoopCount");
  noLoopCount.texts["SongTitle"] = std::string(40, 't');
  EXPECT_THROW(noLoopCount.NeedsExtendedData(), fw::NilObjectException) << "every test is made";
}

// ---- Extended chunk

TEST_F(WriterTest, WhenAChunkIsNeeded) {
  struct Case {
    const char* control;
    std::string text;
    bool needed;
  };
  const std::vector<Case> cases = {
      {"SongTitle", std::string(32, 'a'), false}, {"SongTitle", std::string(33, 'a'), true},
      {"GameTitle", std::string(32, 'a'), false}, {"GameTitle", std::string(33, 'a'), true},
      {"SongArtist", std::string(32, 'a'), false}, {"SongArtist", std::string(33, 'a'), true},
      {"DumpedBy", std::string(16, 'a'), false},  {"DumpedBy", std::string(17, 'a'), true},
      {"Comments", std::string(32, 'a'), false},  {"Comments", std::string(33, 'a'), true},
      {"OSTTitle", "x", true},   {"OSTDisc", "1", true},    {"OSTTrack", "1", true},
      {"Copyright", "1999", true}, {"Amplification", "1", true}, {"Publisher", "x", true},
      {"IntroLength", "0", true}, {"LoopLength", "0", true}, {"EndLength", "0", true},
      {"LoopCount", "2", true},
      {"DumpedOn", std::string(200, '1'), false}, {"SongLength", "9999", false}, {"SongFade", "999999", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.control) + " = " + c.text);
    TableFormat f;
    f.texts[c.control] = c.text;
    EXPECT_EQ(f.NeedsExtendedData(), c.needed);
  }
  TableFormat channels;
  for (auto& [name, checked] : channels.checks) checked = true;
  channels.row = 2;
  EXPECT_FALSE(channels.NeedsExtendedData());
  EXPECT_EQ(channels.asked.size(), 15u);
}

TEST_F(WriterTest, LoopCountAloneBringsTheTwoAlwaysWrittenTexts) {
  format.texts["LoopCount"] = "2";
  const std::string file = format.Write();
  ASSERT_EQ(file.size(), 0x10208u + 20);
  EXPECT_EQ(Items(file), std::string("\x10\x01\x01\x00\0\0\0\0"
                                     "\x13\x01\x01\x00\0\0\0\0"
                                     "\x35\x00\x02\x00",
                                     20));
}

struct ItemCase {
  const char* name;
  std::map<std::string, std::string> texts;
  bool standard;
  std::string items;  // between the always-written 0x10 and 0x13 items, or before/after them by ID
  std::map<std::string, int32_t> carried = {};
};

std::string Empty(uint8_t id) { return std::string{static_cast<char>(id), 1, 1, 0, 0, 0, 0, 0}; }

TEST_F(WriterTest, ItemEncodings) {
  const std::string ost = Empty(0x10);
  const std::string pub = Empty(0x13);
  auto value = [](uint8_t id, uint16_t v) { return Xid6().Value(id, v).Items(); };
  auto longItem = [](uint8_t id, uint32_t v) { return Xid6().Long(id, v).Items(); };
  const std::vector<ItemCase> cases = {
      {"title of 33", {{"SongTitle", std::string(33, 't')}}, true,
       std::string("\x01\x01\x22\x00", 4) + std::string(33, 't') + Zeros(3) + ost + pub},
      {"comments of 33, line ends kept", {{"Comments", std::string(31, 'c') + "\r\n"}, {"OSTDisc", "1"}}, true,
       // 33 characters: field 34
       std::string("\x07\x01\x22\x00", 4) + std::string(31, 'c') + "\r\n" + Zeros(3) + ost + value(0x11, 1) + pub},
      {"dumper of 17", {{"DumpedBy", std::string(17, 'd')}}, true,
       std::string("\x04\x01\x12\x00", 4) + std::string(17, 'd') + Zeros(3) + ost + pub},
      {"OST title abc", {{"OSTTitle", "abc"}}, true, std::string("\x10\x01\x04\x00" "abc\0", 8) + pub},
      {"OST title of four", {{"OSTTitle", "abcd"}}, true, std::string("\x10\x01\x05\x00" "abcd\0\0\0\0", 12) + pub},
      {"publisher and copyright", {{"Publisher", "Square"}, {"Copyright", "1995"}}, true,
       ost + std::string("\x13\x01\x07\x00" "Square\0\0", 12) + value(0x14, 1995)},
      {"track 7", {{"OSTTrack", "7"}}, true, ost + std::string("\x12\x00\x00\x07", 4) + pub},
      {"track 7b", {{"OSTTrack", "7b"}}, true, ost + std::string("\x12\x00\x62\x07", 4) + pub},
      {"track b", {{"OSTTrack", "b"}}, true, ost + std::string("\x12\x00\x62\x00", 4) + pub},
      {"track 12a", {{"OSTTrack", "12a"}}, true, ost + std::string("\x12\x00\x61\x0C", 4) + pub},
      {"track 999 keeps its low byte", {{"OSTTrack", "999"}}, true, ost + std::string("\x12\x00\x00\xE7", 4) + pub},
      {"disc and loop count", {{"OSTDisc", "2"}, {"LoopCount", "65535"}}, true,
       ost + value(0x11, 2) + pub + value(0x35, 65535)},
      {"lengths in seconds", {{"IntroLength", "30"}, {"LoopLength", "1.5"}, {"EndLength", "0"}}, true,
       ost + pub + longItem(0x30, 1920000) + longItem(0x31, 96000) + longItem(0x32, 0)},
      {"lengths in ticks", {{"IntroLength", "30"}, {"LoopLength", "96000"}, {"EndLength", "12"}}, false,
       ost + pub + longItem(0x30, 30) + longItem(0x31, 96000) + longItem(0x32, 12)},
      {"amplification 1.5x", {{"Amplification", "1.5"}}, true, ost + pub + longItem(0x36, 98304)},
      {"amplification 1.1x truncates", {{"Amplification", "1.1"}}, true, ost + pub + longItem(0x36, 72089)},
      {"amplification raw", {{"Amplification", "98304"}}, false, ost + pub + longItem(0x36, 98304)},
      {"amplification beyond 32 bits saturates", {{"Amplification", "40000"}}, true,
       ost + pub + longItem(0x36, 0x7FFFFFFF)},
      // A carried value is written as it is, whatever the field shows and the unit mode says.
      {"carried values in seconds", {{"IntroLength", "1"}, {"Amplification", "1.7"}}, true,
       ost + pub + longItem(0x30, 96000) + longItem(0x32, 0xFFFFFFFF) + longItem(0x36, 114688),
       {{"IntroLength", 96000}, {"EndLength", -1}, {"Amplification", 114688}}},
      {"a carried value alone", {}, false, ost + pub + longItem(0x31, 0), {{"LoopLength", 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TableFormat f;
    f.SPCFile = format.SPCFile;
    f.standard = c.standard;
    for (const auto& [control, text] : c.texts) f.texts[control] = text;
    f.carried = c.carried;
    const std::string file = f.Write();
    EXPECT_TRUE(SameBytes(Items(file), c.items));
    EXPECT_TRUE(SameBytes(file.substr(0x100, 0x10100), source.substr(0x100, 0x10100)));
  }
}

TEST_F(WriterTest, EveryItemInAscendingOrder) {
  format.texts = {{"SongTitle", std::string(40, 'S')}, {"GameTitle", std::string(33, 'G')},
                  {"SongArtist", std::string(34, 'A')}, {"DumpedBy", std::string(20, 'D')},
                  {"DumpedOn", "12/24/1999"},          {"SongLength", "180"},
                  {"SongFade", "10000"},               {"Comments", std::string(50, 'C')},
                  {"OSTTitle", "Soundtrack"},          {"OSTDisc", "2"},
                  {"OSTTrack", "12a"},                 {"Publisher", "Publisher"},
                  {"Copyright", "1995"},               {"IntroLength", "10"},
                  {"LoopLength", "20"},                {"EndLength", "30"},
                  {"LoopCount", "3"},                  {"Amplification", "2"}};
  format.WriteStandardData();
  ASSERT_TRUE(format.NeedsExtendedData());
  format.WriteExtendedData();
  EXPECT_EQ(format.SPCOut->Position(), 0x10208u);
  int modes = 0;
  for (const auto& q : format.asked) modes += q == "mode";
  EXPECT_EQ(modes, 1 + 4) << "the unit mode is read afresh for each item that needs it";
  format.SPCOut->Close();

  TableFormat back;
  back.Read(format.FileOut->AbsolutePath());
  EXPECT_EQ(back.ExtendedIDs,
            (std::vector<int32_t>{0, 0x01, 0x02, 0x03, 0x04, 0x07, 0x10, 0x11, 0x12, 0x13, 0x14, 0x30, 0x31, 0x32,
                                  0x35, 0x36}));
  EXPECT_EQ(back.ExtendedData,
            (std::vector<std::string>{"", std::string(40, 'S'), std::string(33, 'G'), std::string(34, 'A'),
                                      std::string(20, 'D'), std::string(50, 'C'), "Soundtrack", "2",
                                      std::to_string(12 * 256 + 'a'), "Publisher", "1995", "640000", "1280000",
                                      "1920000", "3", "131072"}));
  Items(ReadFile(format.FileOut->AbsolutePath()));
}

TEST_F(WriterTest, TextTooLongForTheLengthFieldIsCutToFit) {
  format.texts["SongTitle"] = std::string(70000, 'x');
  const std::string items = Items(format.Write());
  EXPECT_EQ(items.substr(0, 4), "\x01\x01\xFF\xFF");
  EXPECT_TRUE(SameBytes(items.substr(4, 65536), std::string(65534, 'x') + Zeros(2)));
  EXPECT_EQ(items.substr(4 + 65536), Empty(0x10) + Empty(0x13));
}

}  // namespace
