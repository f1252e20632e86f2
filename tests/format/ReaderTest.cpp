// Header check, layout detection, header fields and the extended chunk, read from files built byte by byte.
#include <chrono>

#include "FormatTestSupport.h"

namespace {

using formattest::TableFormat;
using formattest::TempDir;
using spctest::BinaryHeader;
using spctest::SpcBuilder;
using spctest::TextHeader;
using spctest::Xid6;

class ReaderTest : public ::testing::Test {
 protected:
  TempDir dir;
  TableFormat format;

  std::string Save(const std::string& bytes) { return dir.Write("song.spc", bytes); }
  void Open(const std::string& bytes) { format.OpenStream(Save(bytes)); }
  void ReadAll(const std::string& bytes) { format.Read(Save(bytes)); }
  uint64_t Position() { return format.SPCStream->Position(); }
};

// ---- Header check

struct SignatureCase {
  const char* name;
  std::string bytes;
  bool passes;
};

std::string Signed(size_t offset, std::string_view bytes) { return SpcBuilder().Put(offset, bytes).Bytes(); }

TEST_F(ReaderTest, HeaderCheckLooksAtSignatureAndTwoMarkersOnly) {
  const std::string good = SpcBuilder().Bytes();
  const std::vector<SignatureCase> cases = {
      {"written by us", good, true},
      {"version 0.10", Signed(0x1D, "0.10"), true},
      {"tag marker 27 at 0x23", Signed(0x23, "\x1B"), true},
      {"version byte 0 at 0x24", Signed(0x24, std::string(1, '\0')), true},
      {"27 at 0x21", Signed(0x21, "\x1B"), false},
      {"27 at 0x22", Signed(0x22, "\x1B"), false},
      {"other case", Signed(0, "snes-spc700 sound file data v"), false},
      {"one letter off", Signed(28, "V"), false},
      {"just the 35 bytes checked", good.substr(0, 35), true},
      {"34 bytes, the second marker missing", good.substr(0, 34), false},
      {"20 bytes", good.substr(0, 20), false},
      {"empty file", "", false},
      {"not an SPC file", std::string("RIFF\x24\x00\x00\x00WAVEfmt ", 16) + std::string(100, '\x7F'), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Save(c.bytes);
    bool passes = !c.passes;
    EXPECT_NO_THROW(passes = format.IsSPC(path));
    EXPECT_EQ(passes, c.passes);
  }
  EXPECT_FALSE(format.SPCStream) << "the header check keeps no stream";
}

TEST_F(ReaderTest, HeaderCheckOfAMissingFileIsAFailure) {
  EXPECT_THROW(format.IsSPC(dir.File("missing.spc")), fw::IOException);
}

// ---- Layout detection

struct LayoutCase {
  const char* name;
  uint8_t at9F;
  std::string fromA9;  // bytes at 0xA9..
  bool binary;
  uint64_t stopsAt;    // position after the last byte read
};

TEST_F(ReaderTest, LayoutDetectionDecidesOnTheFirstTellingByte) {
  const std::vector<LayoutCase> cases = {
      {"month 18", 18, "", true, 0xA0},
      {"19 is no month", 19, "", false, 0xA0},
      {"slash of 3/7/2004", '/', "", false, 0xA0},
      {"month 12", 12, "", true, 0xA0},
      {"month 1", 1, "", true, 0xA0},
      {"byte 255", 255, "", false, 0xA0},
      {"digits 1801000", 0, "1801000", false, 0xB0},
      {"digit, NUL, then 200", 0, std::string("1\0\xC8", 3) + "999", true, 0xAC},
      {"all NUL", 0, std::string(7, '\0'), false, 0xB0},
      {"':' after the digit codes", 0, "12:", true, 0xAC},
      {"'/' before the digit codes", 0, "/", true, 0xAA},
      {"last byte 10", 0, std::string("000000\x0A", 7), true, 0xB0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Open(SpcBuilder().Byte(0x9F, c.at9F).Put(0xA9, c.fromA9).Bytes());
    format.BinaryFormat = !c.binary;  // every run sets it afresh
    format.SPCStream->SetPosition(0);
    format.CheckFormat();
    EXPECT_EQ(format.BinaryFormat, c.binary);
    EXPECT_EQ(Position(), c.stopsAt);
  }
}

// ---- Header fields

TEST_F(ReaderTest, TextLayoutOfARealDump) {
  TextHeader h;
  h.song = "Opening Theme";
  h.game = "Example Quest";
  h.dumper = "Dumper";
  h.comments = "Ripped from the cartridge";
  h.date = "1999/12/24";
  h.length = "180";
  h.fade = "10000";
  h.artist = "The Composer";
  h.mask = 0x81;
  h.emulator = '1';
  ReadAll(SpcBuilder().Text(h).Ram(3).Bytes());
  EXPECT_FALSE(format.BinaryFormat);
  EXPECT_EQ(format.StandardTags, (std::vector<std::string>{"Opening Theme", "Example Quest", "Dumper",
                                                           "Ripped from the cartridge", "1999/12/24", "180",
                                                           "10000", "The Composer", "129", "1"}));
  EXPECT_EQ(format.ExtendedIDs, std::vector<int32_t>{0});
  EXPECT_EQ(format.ExtendedData, std::vector<std::string>{""});

  Open(SpcBuilder().Text(h).Bytes());
  format.CheckFormat();
  format.GetStandardTags();
  EXPECT_EQ(Position(), 0xD3u) << "nothing after the emulator character is read";
}

TEST_F(ReaderTest, BinaryDumpWithAChunkOfEveryItemType) {
  BinaryHeader h;
  h.song = "A title too long for its header";
  h.game = "Game";
  h.day = 31;
  h.month = 12;
  h.year = 1999;
  h.length = 180;
  h.fade = 0x80000001;
  h.artist = "Artist";
  h.emulator = 1;
  const std::string longTitle = h.song + " field, in full";
  ReadAll(SpcBuilder()
              .Binary(h)
              .Registers("registers")
              .Ram(9)
              .Chunk(Xid6()
                         .String(0x01, longTitle)
                         .Value(0x11, 2)
                         .Value(0x12, 12 * 256 + 'a')
                         .String(0x13, "Publisher", 3)
                         .String(0x10, "Soundtrack", 2)
                         .Long(0x30, 1920000, 8)
                         .Long(0x36, 65536))
              .Bytes());
  ASSERT_TRUE(format.BinaryFormat);
  EXPECT_EQ(format.StandardTags, (std::vector<std::string>{"A title too long for its header", "Game", "", "",
                                                           "12/31/1999", "180", "2147483649", "Artist", "0",
                                                           "1"}));
  EXPECT_EQ(format.ExtendedIDs, (std::vector<int32_t>{0, 0x01, 0x11, 0x12, 0x13, 0x10, 0x30, 0x36}));
  EXPECT_EQ(format.ExtendedData, (std::vector<std::string>{"", longTitle, "2", "3169", "Publisher", "Soundtrack",
                                                           "1920000", "65536"}));
}

TEST_F(ReaderTest, BinaryLayoutOfARealDump) {
  BinaryHeader h;
  h.song = "Battle";
  h.game = "Final Fantasy VI";
  h.dumper = "someone";
  h.comments = "binary header";
  h.day = 31;
  h.month = 12;
  h.year = 1999;
  h.length = 0x00012C;   // bytes 2C 01 00
  h.fade = 0xFFFFD8F0;   // unsigned: never a negative fade
  h.artist = "Nobuo Uematsu";
  h.mask = 0x81;
  h.emulator = 2;
  Open(SpcBuilder().Binary(h).Bytes());
  format.CheckFormat();
  ASSERT_TRUE(format.BinaryFormat);
  format.GetStandardTags();
  EXPECT_EQ(format.StandardTags, (std::vector<std::string>{"Battle", "Final Fantasy VI", "someone", "binary header",
                                                           "12/31/1999", "300", "4294957296", "Nobuo Uematsu", "129",
                                                           "2"}));
  EXPECT_EQ(Position(), 0xD2u) << "nothing after the emulator byte is read";
}

TEST_F(ReaderTest, BinaryLayoutNumbers) {
  struct Case {
    uint8_t day, month;
    uint16_t year;
    uint32_t length, fade;
    std::string date, lengthText, fadeText;
  };
  const std::vector<Case> cases = {
      {7, 3, 2004, 300, 10000, "3/7/2004", "300", "10000"},
      {25, 12, 1999, 0xFFFFFF, 0x7FFFFFFF, "12/25/1999", "16777215", "2147483647"},
      {0, 1, 40000, 0, 0x80000000, "1/0/40000", "0", "2147483648"},
      {0, 1, 0, 0, 0xFFAB1234, "1/0/0", "0", "4289401396"},
      // Day, month and year all 0 is no date.
      {0, 0, 0, 0, 0xFFFFFFFF, "", "0", "4294967295"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.date);
    BinaryHeader h;
    h.day = c.day;
    h.month = c.month;
    h.year = c.year;
    h.length = c.length;
    h.fade = c.fade;
    ReadAll(SpcBuilder().Binary(h).Bytes());
    ASSERT_TRUE(format.BinaryFormat);
    EXPECT_EQ(format.StandardTags[4], c.date);
    EXPECT_EQ(format.StandardTags[5], c.lengthText);
    EXPECT_EQ(format.StandardTags[6], c.fadeText);
  }
}

TEST_F(ReaderTest, BinaryLayoutReadsArtistMaskAndEmulatorOneByteEarlier) {
  // The text layout's fields would put other bytes into the same elements.
  ReadAll(SpcBuilder()
              .Byte(0x9F, 3)
              .Field(0xB0, "Artist at B0", 32)
              .Byte(0xD0, 0x0F)
              .Byte(0xD1, 7)
              .Byte(0xD2, '2')
              .Bytes());
  ASSERT_TRUE(format.BinaryFormat);
  EXPECT_EQ(format.StandardTags[7], "Artist at B0");
  EXPECT_EQ(format.StandardTags[8], "15");
  EXPECT_EQ(format.StandardTags[9], "7");
}

TEST_F(ReaderTest, FileOfOnly213Bytes) {
  TextHeader h;
  h.song = "Short";
  h.date = "12/24/1999";
  h.artist = "Artist";
  h.mask = 3;
  h.emulator = '2';
  const std::string path = Save(SpcBuilder().Text(h).Truncate(213).Bytes());
  ASSERT_TRUE(format.IsSPC(path));
  format.Read(path);
  EXPECT_EQ(format.StandardTags[0], "Short");
  EXPECT_EQ(format.StandardTags[4], "12/24/1999");
  EXPECT_EQ(format.StandardTags[7], "Artist");
  EXPECT_EQ(format.StandardTags[8], "3");
  EXPECT_EQ(format.StandardTags[9], "2");
  EXPECT_EQ(format.ExtendedIDs.size(), 1u);
}

TEST_F(ReaderTest, FileEndingInsideTheHeaderReadsZerosForTheRest) {
  TextHeader h;
  h.song = "Cut off";
  h.game = "Game";
  h.comments = "Lost";
  const std::string path = Save(SpcBuilder().Text(h).Truncate(0x7E).Bytes());
  ASSERT_TRUE(format.IsSPC(path));
  EXPECT_NO_THROW(format.Read(path));
  EXPECT_FALSE(format.BinaryFormat);
  EXPECT_EQ(format.StandardTags,
            (std::vector<std::string>{"Cut off", "Game", "", "", "", "", "", "", "0", ""}));
}

TEST_F(ReaderTest, GetStringTakesExactlyItsBytes) {
  struct Case {
    std::string bytes;
    int32_t count;
    std::string text;
  };
  const std::vector<Case> cases = {
      {std::string("A\x14" "B\0\0\0", 6), 6, "A B"},
      {std::string("\x14\x14" "AB", 4), 4, "AB"},       // 0x14 is a space, and Trim takes it
      {std::string("  x \0 \0", 7), 7, "x"},
      {std::string("A\0B\0", 4), 4, "A"},            // a text ends at its first NUL
      {std::string("DKC2\0\0\x02", 7), 7, "DKC2"},    // whatever follows it
      {std::string("\0AB", 3), 3, ""},
      {"\xE9t\xE9\xFF", 4, "\xE9t\xE9\xFF"},                // bytes above 127 as they are
      {"\x20\x14\x20", 3, ""},
      {"abcdef", 3, "abc"},
      {"abc", 0, ""},
      {"abc", -5, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Open(SpcBuilder().Put(0x2E, c.bytes).Bytes());
    format.SPCStream->SetPosition(0x2E);
    EXPECT_EQ(format.GetString(c.count), c.text);
    EXPECT_EQ(Position(), 0x2Eu + static_cast<uint64_t>(std::max(c.count, 0)));
  }
}

TEST_F(ReaderTest, GetBinaryReadsLittleEndianNumbersOfOneToFourBytes) {
  Open(SpcBuilder().Put(0x100, "\xFE\xFF\x80\x81").Bytes());
  struct Case {
    int32_t size;
    std::string text;
    uint64_t consumed;
  };
  const std::vector<Case> cases = {{1, "254", 1},      {2, "65534", 2}, {3, "8454142", 3}, {4, "-2122252290", 4},
                                   {0, "0", 0},        {5, "0", 0},     {-1, "0", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    format.SPCStream->SetPosition(0x100);
    EXPECT_EQ(format.GetBinary(c.size), c.text);
    EXPECT_EQ(Position(), 0x100u + c.consumed);
  }
}

TEST_F(ReaderTest, ReadersWithoutAStreamRaiseNilObject) {
  EXPECT_THROW(format.CheckFormat(), fw::NilObjectException);
  EXPECT_THROW(format.GetStandardTags(), fw::NilObjectException);
  EXPECT_THROW(format.GetString(4), fw::NilObjectException);
  EXPECT_THROW(format.GetBinary(1), fw::NilObjectException);
  EXPECT_THROW(format.HasExtendedData(), fw::NilObjectException);
  EXPECT_THROW(format.GetExtendedTags(), fw::NilObjectException);
}

// ---- Extended chunk

TEST_F(ReaderTest, ChunkIdentifier) {
  const std::string plain = SpcBuilder().Bytes();
  struct Case {
    const char* name;
    std::string bytes;
    bool has;
  };
  const std::vector<Case> cases = {
      {"66048 bytes, no chunk", plain, false},
      {"file ends inside the identifier", plain + "xi", false},
      {"identifier without a size", plain + "xid6", true},
      {"identifier and size 0", SpcBuilder().Chunk(Xid6()).Bytes(), true},
      {"upper case", plain + "XID6" + std::string(4, '\0'), false},
      {"other chunk", plain + "LIST" + std::string(4, '\0'), false},
      {"file ends before the image does", plain.substr(0, 0x1000), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Open(c.bytes);
    bool has = !c.has;
    EXPECT_NO_THROW(has = format.HasExtendedData());
    EXPECT_EQ(has, c.has);
    EXPECT_EQ(Position(), 0x10204u);
  }
}

struct ChunkCase {
  const char* name;
  Xid6 chunk;
  std::vector<int32_t> ids;          // after the placeholder
  std::vector<std::string> values;   // after the placeholder
};

TEST_F(ReaderTest, ChunkItems) {
  const std::vector<ChunkCase> cases = {
      {"empty chunk", Xid6(), {}, {}},
      {"three items of the three types",
       Xid6().Value(0x11, 2).String(0x01, "Title").Long(0x30, 1920000),
       {0x11, 0x01, 0x30},
       {"2", "Title", "1920000"}},
      {"type 4 with field 8 is still 8 bytes", Xid6().Long(0x31, 640000, 8).Value(0x35, 3), {0x31, 0x35},
       {"640000", "3"}},
      {"odd type bytes are strings",
       Xid6().String(0x13, "two", 2).String(0x13, "three", 3).String(0x13, "five", 5).String(0x20, "ff", 255),
       {0x13, 0x13, 0x13, 0x20},
       {"two", "three", "five", "ff"}},
      {"string of field 0 is 4 bytes", Xid6().Header(0x07, 1, 0).Value(0x14, 1999), {0x07, 0x14}, {"", "1999"}},
      {"empty string of field 1 is 8 bytes", Xid6().String(0x10, "").Value(0x14, 1999), {0x10, 0x14},
       {"", "1999"}},
      {"16-bit values are unsigned", Xid6().Value(0x12, 0xFF62).Long(0x36, 0xFFFFFFFF), {0x12, 0x36},
       {"65378", "-1"}},
      {"0x14 as a space, padding NULs trimmed", Xid6().String(0x07, "a\x14z  "), {0x07}, {"a z"}},
      {"same ID twice, unknown ID", Xid6().String(0x01, "one").String(0x01, "two").Value(0x20, 5),
       {0x01, 0x01, 0x20},
       {"one", "two", "5"}},
      {"item running past the end is read whole, then stop",
       Xid6().String(0x01, "a long title").Value(0x11, 1).Size(4),
       {0x01},
       {"a long title"}},
      {"end inside the next item's header", Xid6().Value(0x11, 1).Value(0x14, 2).Size(5), {0x11, 0x14}, {"1", "2"}},
      {"chunk size 0x7FFEFDF8 wraps below the start", Xid6().Value(0x11, 1).Size(0x7FFEFDF8), {}, {}},
      {"chunk size 0xFFFFFFFF", Xid6().Value(0x11, 1).Size(0xFFFFFFFF), {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ReadAll(SpcBuilder().Chunk(c.chunk).Bytes());
    std::vector<int32_t> ids{0};
    ids.insert(ids.end(), c.ids.begin(), c.ids.end());
    std::vector<std::string> values{""};
    values.insert(values.end(), c.values.begin(), c.values.end());
    EXPECT_EQ(format.ExtendedIDs, ids);
    EXPECT_EQ(format.ExtendedData, values);
  }
}

TEST_F(ReaderTest, ItemsEndWhereTheirPaddingEnds) {
  // Field 6 and the five characters: 4 + 8 bytes; the next item must start right after.
  Open(SpcBuilder().Chunk(Xid6().String(0x01, "Title").Value(0x11, 2)).Bytes());
  ASSERT_TRUE(format.HasExtendedData());
  format.GetExtendedTags();
  EXPECT_EQ(Position(), 0x10208u + 12 + 4);
}

TEST_F(ReaderTest, StringItemWithAFieldThatIsNotItsLength) {
  // Field 2 over a text of five: two characters, padding to 4 passes over the rest.
  Open(SpcBuilder().Chunk(Xid6().Header(0x13, 1, 2).Raw("ABCDE\0\0\0").Value(0x11, 9)).Bytes());
  format.GetExtendedTags();
  EXPECT_EQ(format.ExtendedData[1], "AB");
  EXPECT_EQ(format.ExtendedIDs[2], 'E') << "the next item starts 4 bytes after the header";
}

TEST_F(ReaderTest, ExtendedTagsStartFromThePlaceholderAlone) {
  Open(SpcBuilder().Chunk(Xid6().Value(0x11, 4)).Bytes());
  format.ExtendedIDs = {0, 1, 2, 3};
  format.ExtendedData = {"", "stale", "stale", "stale"};
  format.GetExtendedTags();
  EXPECT_EQ(format.ExtendedIDs, (std::vector<int32_t>{0, 0x11}));
  EXPECT_EQ(format.ExtendedData, (std::vector<std::string>{"", "4"}));
}

// ---- The bound on the extended items

constexpr int32_t kItemsBound = SPCFormat::ExtendedItemsBound;
constexpr size_t kBytesBound = static_cast<size_t>(SPCFormat::ExtendedBytesBound);

// Type-0 items whose values count up from 0.
Xid6& Counted(Xid6& chunk, int32_t count) {
  for (int32_t i = 0; i < count; ++i) chunk.Value(0x11, static_cast<uint16_t>(i));
  return chunk;
}

// A text of the given length that starts with a number.
std::string Numbered(int number, size_t length) {
  std::string text(length, 'x');
  const std::string digits = std::to_string(number);
  return text.replace(0, digits.size(), digits);
}

// String items of the longest text (65,534 characters, 65,540 bytes an item) and one shorter item, taking exactly
// the given number of bytes (a multiple of 4, at least 8 past the last full item).
Xid6& Texts(Xid6& chunk, size_t bytes) {
  for (int i = 0; bytes > 0; ++i) {
    const size_t item = std::min<size_t>(bytes, 65540);
    chunk.String(0x07, Numbered(i, std::min<size_t>(item - 5, 65534)));
    bytes -= item;
  }
  return chunk;
}

TEST_F(ReaderTest, ExtendedItemsAreReadUpToTheBoundOnEitherSide) {
  struct Case {
    const char* name;
    Xid6 chunk;
    size_t items;       // read
    std::string last;   // the last value read
    bool damaged;
  };
  std::vector<Case> cases;
  {
    Xid6 c;
    cases.push_back({"one item past the item bound", Counted(c, kItemsBound + 1), size_t(kItemsBound), "4095", true});
  }
  {
    Xid6 c;
    cases.push_back({"exactly the item bound", Counted(c, kItemsBound), size_t(kItemsBound), "4095", false});
  }
  {
    Xid6 c;
    Counted(c, kItemsBound).Size(0x7FFEFDF7);
    cases.push_back({"the item bound, then the end of the file", c, size_t(kItemsBound), "4095", false});
  }
  {
    Xid6 c;
    Texts(c, kBytesBound).Value(0x11, 7);
    cases.push_back({"one item past the byte bound", c, 64, Numbered(63, 65279), true});
  }
  {
    Xid6 c;
    Texts(c, kBytesBound);
    cases.push_back({"exactly the byte bound", c, 64, Numbered(63, 65279), false});
  }
  {
    // An item that starts below the bound is read whole, however far past the bound it runs.
    Xid6 c;
    Texts(c, kBytesBound - 4).String(0x10, Numbered(64, 65534)).Value(0x11, 7);
    cases.push_back({"an item across the byte bound", c, 65, Numbered(64, 65534), true});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ReadAll(SpcBuilder().Chunk(c.chunk).Bytes());
    ASSERT_EQ(format.ExtendedIDs.size(), c.items + 1);
    ASSERT_EQ(format.ExtendedData.size(), c.items + 1);
    EXPECT_TRUE(format.ExtendedData.back() == c.last) << "last value read: " << format.ExtendedData.back().substr(0, 8);
    EXPECT_EQ(format.ExtendedDataDamaged, c.damaged);
  }
}

TEST_F(ReaderTest, ChunkClaimingMoreThanTheFileStopsAtItsEnd) {
  // 66,304 bytes: 248 bytes of type-0 items after the chunk header, and a size that reaches 0x7FFFFFFF.
  Xid6 chunk;
  for (int i = 0; i < 62; ++i) chunk.Value(static_cast<uint8_t>(0x11 + i % 3), static_cast<uint16_t>(i));
  chunk.Size(0x7FFEFDF7);
  const std::string bytes = SpcBuilder().Chunk(chunk).Bytes();
  ASSERT_EQ(bytes.size(), 66304u);

  const auto start = std::chrono::steady_clock::now();
  ReadAll(bytes);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::milliseconds(250));
  ASSERT_EQ(format.ExtendedIDs.size(), 63u);
  EXPECT_EQ(format.ExtendedData[62], "61");
}

TEST_F(ReaderTest, LastItemPastTheEndOfTheFileReadsZeros) {
  // A string item claiming 65535 bytes where the file holds three more, inside a chunk that claims even more.
  const std::string bytes =
      SpcBuilder().Chunk(Xid6().Value(0x11, 1).Header(0x07, 1, 0xFFFF).Raw("end").Size(100000)).Bytes();
  ReadAll(bytes);
  EXPECT_EQ(format.ExtendedIDs, (std::vector<int32_t>{0, 0x11, 0x07}));
  EXPECT_EQ(format.ExtendedData, (std::vector<std::string>{"", "1", "end"}));
}

}  // namespace
