// Open, Revert, Save and Quit through the window, with the dialog seam answering.
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>

#include "TemporaryFolder.h"
#include "WindowTestSupport.h"
#include "support/Memory.h"

namespace windowtest {
namespace {

using testing_support::ReadFile;

const char kNotSpc[] = "This file does not appear to be a SPC file!";

spctest::SpcBuilder SongA() {
  return spctest::SpcBuilder()
      .Registers("ABCDEFGHI")
      .Ram(1)
      .Text({.song = "Song A", .game = "Game A", .length = "120", .fade = "5000", .mask = 0x05, .emulator = '1'})
      .Chunk(spctest::Xid6().String(0x13, "Publisher A").Long(0x30, 128000).Long(0x36, 98304));
}

spctest::SpcBuilder SongB() {
  return spctest::SpcBuilder().Registers("123456789").Ram(2).Text({.song = "Song B", .length = "60"});
}

std::string TitleBytes(const std::string& file) { return file.substr(0x2E, 32); }

class FileCommandTest : public WindowTest {};

TEST_F(FileCommandTest, CancellingTheDialogChangesNothing) {
  Open("");
  ASSERT_EQ(D().asked, std::vector<std::string>{"SPCFiles"});
  EXPECT_EQ(W().Title(), "Quenlet");
  EXPECT_FALSE(Button("SaveButton").Enabled());
  EXPECT_FALSE(Button("RevertButton").Enabled());
  EXPECT_TRUE(D().messages.empty());
  EXPECT_EQ(D().beeps, 0);
}

TEST_F(FileCommandTest, OpeningShowsTheTagsAndEnablesSaveAndRevert) {
  Open(WriteSpc("a.spc", SongA()));
  EXPECT_EQ(W().Title(), "Quenlet - a.spc");
  EXPECT_TRUE(Button("SaveButton").Enabled());
  EXPECT_TRUE(Button("RevertButton").Enabled());
  EXPECT_EQ(Text("SongTitle"), "Song A");
  EXPECT_EQ(Text("GameTitle"), "Game A");
  EXPECT_EQ(Text("SongLength"), "120");
  EXPECT_EQ(Text("SongFade"), "5000");
  EXPECT_EQ(Channels(), "10100000");
  EXPECT_EQ(Row(), 1);
  EXPECT_EQ(Text("Publisher"), "Publisher A");
  EXPECT_EQ(Text("IntroLength"), "2");
  EXPECT_EQ(Text("Amplification"), "1.5");
  EXPECT_TRUE(D().messages.empty());
  EXPECT_FALSE(MainWindowProbe::SPCStream(W())->IsOpen());
}

TEST_F(FileCommandTest, AFileThatFailsTheCheckChangesNothing) {
  const std::string a = WriteSpc("a.spc", SongA());
  Open(a);
  Field("SongTitle").SetText("edited");
  const std::string bad = Scratch("notes.spc");
  testing_support::WriteFile(bad, "SNES-SPC700 Sound File Data v0.30 but no markers");

  Open(bad);
  EXPECT_EQ(D().beeps, 1);
  EXPECT_EQ(D().messages, std::vector<std::string>{kNotSpc});
  EXPECT_EQ(W().Title(), "Quenlet - a.spc");
  EXPECT_EQ(Text("SongTitle"), "edited");
  EXPECT_EQ(Text("Publisher"), "Publisher A");

  // Save still writes the file opened before, and Revert shows that file's tags.
  Save();
  EXPECT_EQ(TitleBytes(ReadFile(a)).substr(0, 7), std::string("edited\0", 7));
  EXPECT_EQ(ReadFile(bad), "SNES-SPC700 Sound File Data v0.30 but no markers");
  Button("RevertButton").Push();
  EXPECT_EQ(Text("SongTitle"), "Song A");
  EXPECT_EQ(Text("Publisher"), "Publisher A");
}

TEST_F(FileCommandTest, AFailedCheckBeforeAnyOpenKeepsSaveDisabled) {
  const std::string bad = Scratch("empty.spc");
  testing_support::WriteFile(bad, "");
  Open(bad);
  EXPECT_EQ(D().messages, std::vector<std::string>{kNotSpc});
  EXPECT_FALSE(Button("SaveButton").Enabled());
  EXPECT_FALSE(W().RunMenuCommand("FileSave"));
}

TEST_F(FileCommandTest, SavingWritesTheControlsAndKeepsTheRest) {
  const std::string a = WriteSpc("a.spc", SongA());
  const std::string before = ReadFile(a);
  Open(a);
  Field("SongTitle").SetText("New title");
  Field("Publisher").SetText("");
  Save();

  EXPECT_TRUE(D().messages.empty());
  const std::string after = ReadFile(a);
  EXPECT_EQ(after.substr(0, 33), "SNES-SPC700 Sound File Data v0.30");
  EXPECT_EQ(after.substr(0x25, 9), "ABCDEFGHI");
  EXPECT_EQ(TitleBytes(after), std::string("New title") + std::string(23, '\0'));
  EXPECT_EQ(after.substr(0x100, 0x10100), before.substr(0x100, 0x10100));
  EXPECT_EQ(W().Title(), "Quenlet - a.spc");
  EXPECT_EQ(Text("SongTitle"), "New title");

  // Revert shows the values of the Open, not those saved.
  Button("RevertButton").Push();
  EXPECT_EQ(Text("SongTitle"), "Song A");
  EXPECT_EQ(Text("Publisher"), "Publisher A");
}

// A file the program wrote comes back byte for byte when it is opened and saved again without edits.
TEST_F(FileCommandTest, OpenAndSaveAgainGivesTheSameBytes) {
  for (bool advanced : {false, true}) {
    SCOPED_TRACE(advanced ? "Advanced" : "Standard");
    const std::string path = WriteSpc(advanced ? "adv.spc" : "std.spc", SongA());
    if (advanced && Standard()) ToAdvanced();
    Open(path);
    Field("SongTitle").SetText("A title of exactly thirty-two ch");
    Area("Comments").SetText("line one\rline two");
    Field("DumpedOn").SetText("12/25/2004");
    Box("Channel8").SetValue(true);
    W().Find<fw::PopupMenu>("DumpedWith").SetListIndex(2);
    Area("OSTTitle").SetText("A soundtrack title longer than the header has");
    Field("OSTDisc").SetText("2");
    Field("OSTTrack").SetText("12a");
    Field("Copyright").SetText("1995");
    Field("LoopCount").SetText("3");
    Field("LoopLength").SetText(advanced ? "640000" : "10");
    Save();
    const std::string first = ReadFile(path);

    Open(path);
    Save();
    EXPECT_EQ(ReadFile(path), first);
    Open(path);
    EXPECT_EQ(Text("OSTTrack"), "12a");
    EXPECT_EQ(Text("Comments"), "line one\rline two");
    EXPECT_TRUE(D().messages.empty());
  }
}

// What a user types and pastes saves as the bytes of a tag: the title as its Windows characters, the date with the
// separators its mask brought in, the track number held to the byte that holds it.
TEST_F(FileCommandTest, TypedAndPastedTagsSaveAsTheirBytes) {
  const std::string path = WriteSpc("b.spc", SongB());
  Open(path);
  auto& tabs = W().Find<fw::TabPanel>("TheTabs");
  const QString title = QString::fromUtf8("“Quoted” – Œuvre…");
  const std::string titleBytes = "\x93Quoted\x94 \x96 \x8Cuvre\x85";
  Field("SongTitle").SetText("");
  QGuiApplication::clipboard()->setText(title);
  QTest::keySequence(fw::WidgetOf(Field("SongTitle")), QKeySequence::Paste);
  QTest::keyClicks(fw::WidgetOf(Field("DumpedOn")), "12252004");
  tabs.SetValue(1);
  QTest::keyClicks(fw::WidgetOf(Field("OSTTrack")), "999");
  EXPECT_EQ(Text("SongTitle"), titleBytes);
  EXPECT_EQ(Text("DumpedOn"), "12/25/2004");
  EXPECT_EQ(Text("OSTTrack"), "255");
  EXPECT_EQ(D().beeps, 1) << "the track held to 255";
  Save();

  const std::string after = ReadFile(path);
  EXPECT_EQ(TitleBytes(after), titleBytes + std::string(32 - titleBytes.size(), '\0'));
  EXPECT_EQ(after.substr(0x9E, 11), std::string("12/25/2004\0", 11));
  EXPECT_EQ(after.substr(spctest::kChunkStart),
            spctest::Xid6().String(0x10, "").Header(0x12, 0, 255 * 256).String(0x13, "").Bytes());

  Open(path);
  EXPECT_EQ(qobject_cast<QLineEdit*>(fw::WidgetOf(Field("SongTitle")))->text(), title);
  EXPECT_EQ(Text("DumpedOn"), "12/25/2004");
  EXPECT_EQ(Text("OSTTrack"), "255");
  EXPECT_TRUE(D().messages.empty());
}

TEST_F(FileCommandTest, TwoSavesInARowBothLand) {
  const std::string a = WriteSpc("a.spc", SongA());
  const std::string before = ReadFile(a);
  Open(a);
  Field("SongTitle").SetText("First");
  Save();
  Field("SongTitle").SetText("Second");
  Save();
  const std::string after = ReadFile(a);
  EXPECT_TRUE(D().messages.empty());
  EXPECT_EQ(TitleBytes(after).substr(0, 7), std::string("Second\0", 7));
  EXPECT_EQ(after.substr(0x25, 9), before.substr(0x25, 9));
  EXPECT_EQ(after.substr(0x100, 0x10100), before.substr(0x100, 0x10100));
}

TEST_F(FileCommandTest, AFileWithoutAChunkShowsNothingOfTheFileBefore) {
  Open(WriteSpc("a.spc", SongA()));
  const std::string b = WriteSpc("b.spc", SongB());
  Open(b);
  EXPECT_EQ(W().Title(), "Quenlet - b.spc");
  EXPECT_EQ(Text("SongTitle"), "Song B");
  EXPECT_EQ(Text("Publisher"), "");
  EXPECT_EQ(Text("IntroLength"), "");
  EXPECT_EQ(Text("Amplification"), "");
  EXPECT_EQ(MainWindowProbe::ExtendedIDs(W()).size(), 1u);
  Save();
  EXPECT_EQ(ReadFile(b).size(), spctest::kChunkStart);
}

TEST_F(FileCommandTest, OpeningInAdvancedShowsAdvancedUnits) {
  ToAdvanced();
  Open(WriteSpc("a.spc", SongA()));
  EXPECT_TRUE(Advanced());
  EXPECT_EQ(Text("SongFade"), "320000");
  EXPECT_EQ(Text("IntroLength"), "128000");
  EXPECT_EQ(Text("Amplification"), "98304");
}

TEST_F(FileCommandTest, SavingAFileDeletedSinceOpenTellsAndCreatesNothing) {
  const std::string a = WriteSpc("a.spc", SongA());
  Open(a);
  std::filesystem::remove(a);
  Save();
  ASSERT_EQ(D().messages.size(), 1u);
  EXPECT_EQ(D().messages[0], "The file \"a.spc\" was not saved: No such file or directory.");
  EXPECT_FALSE(std::filesystem::exists(a));
  EXPECT_TRUE(std::filesystem::is_empty(scratch_));
  EXPECT_TRUE(std::filesystem::is_empty(fw::GetTemporaryFolderItem()->AbsolutePath()));
  // The program goes on: the next command works.
  Open(WriteSpc("b.spc", SongB()));
  EXPECT_EQ(Text("SongTitle"), "Song B");
}

// Save replaces only the file that Open read, byte for byte and at its length. Whatever another program put at the
// path since (or did to the file there) stays as that program left it, and the edits stay in the window; a file
// only touched saves as usual. Of a file longer than what Open read, the rest counts through its length alone.
TEST_F(FileCommandTest, SavingAFileChangedSinceOpenLeavesTheOtherProgramsFile) {
  const std::string changed =
      "The file \"a.spc\" was not saved: another program changed it after it was opened. Open it again to edit it.";
  const std::string a = Scratch("a.spc");
  const std::string link = Scratch("link.spc");
  const std::string copy = Scratch("copy.spc");
  const auto replaceWith = [&a, this](const std::string& bytes) {
    testing_support::WriteFile(Scratch("other"), bytes);
    std::filesystem::rename(Scratch("other"), a);
  };
  // As another tagger's "dd conv=notrunc" does.
  const auto putAt = [&a](std::streamoff offset, const std::string& bytes) {
    std::fstream file(a, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(offset);
    file << bytes;
  };
  const auto size = [&a] { return static_cast<std::streamoff>(std::filesystem::file_size(a)); };
  const struct {
    const char* what;
    bool throughLink;
    std::function<void()> change;
    std::string message;  // "" for a Save that goes through
    bool longFile = false;  // a quarter MiB past the chunk: more than Open reads
  } cases[] = {
      {"replaced by another SPC", false, [&] { replaceWith(SongB().Bytes()); }, changed},
      {"replaced by a text file", false, [&] { replaceWith("just some notes\n"); }, changed},
      {"cut short", false, [&] { std::filesystem::resize_file(a, 4096); }, changed},
      {"registers edited in place", false, [&] { putAt(0x25, "Z"); }, changed},
      {"no longer passing the header check", false, [&] { putAt(0x22, "X"); }, changed},
      {"a new title in the header", false, [&] { putAt(0x2E, "Another tagger's title"); }, changed},
      {"the extended chunk edited", false, [&] { putAt(0x10210, "X"); }, changed},
      {"a byte appended", false, [&] { putAt(size(), std::string(1, '\0')); }, changed},
      {"a byte cut", false, [&] { std::filesystem::resize_file(a, std::filesystem::file_size(a) - 1); }, changed},
      {"changed after a first Save", false,
       [&] {
         Save();
         putAt(0x2E, "Another tagger's title");
       },
       changed},
      {"a long file, a byte appended", false, [&] { putAt(size(), "t"); }, changed, true},
      {"a long file, a byte changed past what Open read", false, [&] { putAt(size() - 10, "X"); }, "", true},
      {"deleted", false, [&] { std::filesystem::remove(a); },
       "The file \"a.spc\" was not saved: No such file or directory."},
      {"a link re-pointed at an equal file", true,
       [&] {
         std::filesystem::copy_file(a, copy);
         std::filesystem::remove(link);
         std::filesystem::create_symlink(copy, link);
       },
       "The file \"link.spc\" was not saved: another program changed it after it was opened. Open it again to edit "
       "it."},
      {"touched only", false,
       [&] { std::filesystem::last_write_time(a, std::filesystem::last_write_time(a) - std::chrono::hours(24)); },
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& entry : std::filesystem::directory_iterator(scratch_)) std::filesystem::remove(entry.path());
    (c.longFile ? SongA().Append(std::string(256 * 1024, 't')) : SongA()).WriteTo(a);
    std::filesystem::create_symlink(a, link);
    Open(c.throughLink ? link : a);
    Field("SongTitle").SetText("Edited title");
    c.change();
    std::map<std::string, std::string> before;
    for (const auto& entry : std::filesystem::directory_iterator(scratch_))
      if (!entry.is_symlink()) before[entry.path()] = ReadFile(entry.path());
    D().messages.clear();
    Save();

    if (c.message.empty()) {
      EXPECT_TRUE(D().messages.empty());
      EXPECT_EQ(TitleBytes(ReadFile(a)).substr(0, 13), std::string("Edited title\0", 13));
    } else {
      EXPECT_EQ(D().messages, std::vector<std::string>{c.message});
      std::map<std::string, std::string> after;
      for (const auto& entry : std::filesystem::directory_iterator(scratch_))
        if (!entry.is_symlink()) after[entry.path()] = ReadFile(entry.path());
      EXPECT_EQ(after, before);
    }
    EXPECT_EQ(Text("SongTitle"), "Edited title");
    EXPECT_TRUE(std::filesystem::is_empty(fw::GetTemporaryFolderItem()->AbsolutePath()));
  }
}

// Open checks the header on the very bytes it reads, through its one open of the file: a file that another program
// swaps for one that is no SPC file as Open opens it is never shown as one, and the window keeps the file before.
TEST_F(FileCommandTest, OpenChecksTheBytesItReadsThroughItsOneOpen) {
  const std::string a = WriteSpc("a.spc", SongA());
  Open(a);
  const std::string b = WriteSpc("b.spc", SongB());
  const std::string other = WriteSpc("other", spctest::SpcBuilder().Byte(0x22, 'X'));
  int opens = 0;
  fw::faults::SetHook([&](fw::faults::Op op) {
    if (op == fw::faults::Op::Open && ++opens == 1) std::filesystem::rename(other, b);
    return 0;
  });
  Open(b);
  fw::faults::SetHook({});
  EXPECT_EQ(opens, 1);
  EXPECT_EQ(D().messages, std::vector<std::string>{kNotSpc});
  EXPECT_EQ(W().Title(), "Quenlet - a.spc");
  EXPECT_EQ(MainWindowProbe::SPCFile(W())->AbsolutePath(), a);
  EXPECT_EQ(Text("SongTitle"), "Song A");
}

// A file that cannot be read leaves the window on the file opened before: a Save must not write the old file's
// tags into the new one.
TEST_F(FileCommandTest, AnOpenThatFailsWhileReadingKeepsTheFileBefore) {
  const std::string a = WriteSpc("a.spc", SongA());
  Open(a);
  const std::string b = WriteSpc("b.spc", SongB());
  const std::string bBytes = ReadFile(b);
  int opens = 0;
  fw::faults::SetHook([&opens](fw::faults::Op op) { return op == fw::faults::Op::Open && ++opens == 1 ? EIO : 0; });
  Open(b);
  fw::faults::SetHook({});
  ASSERT_EQ(D().messages.size(), 1u);
  EXPECT_NE(D().messages[0].find("Input/output error"), std::string::npos) << D().messages[0];
  EXPECT_EQ(W().Title(), "Quenlet - a.spc");
  EXPECT_EQ(MainWindowProbe::SPCFile(W())->AbsolutePath(), a);
  EXPECT_EQ(Text("SongTitle"), "Song A");
  Button("RevertButton").Push();
  EXPECT_EQ(Text("Publisher"), "Publisher A");
  Field("SongTitle").SetText("Saved to A");
  Save();
  EXPECT_EQ(TitleBytes(ReadFile(a)).substr(0, 11), std::string("Saved to A\0", 11));
  EXPECT_EQ(ReadFile(b), bBytes);
}

// A chunk that goes on past the reader's bound opens as far as it was read, and the user is told.
TEST_F(FileCommandTest, AChunkPastTheBoundOpensInPartAndTellsTheUser) {
  struct Case {
    const char* name;
    int32_t items;
    std::vector<std::string> messages;
  };
  const int32_t bound = SPCFormat::ExtendedItemsBound;
  const std::vector<Case> cases = {
      {"one item past the bound", bound + 1,
       {"The extended data of \"x.spc\" is damaged: it was read only in part. A Save writes only what was read."}},
      {"exactly the bound", bound, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    spctest::Xid6 chunk;
    for (int32_t i = 0; i < c.items; ++i) chunk.String(0x13, "Publisher " + std::to_string(i));
    D().messages.clear();
    D().warnings.clear();
    Open(WriteSpc("x.spc", spctest::SpcBuilder().Text({.song = "Song X"}).Chunk(chunk)));
    EXPECT_EQ(D().messages, c.messages);
    EXPECT_EQ(D().warnings, c.messages);
    EXPECT_EQ(D().beeps, 0);
    EXPECT_EQ(W().Title(), "Quenlet - x.spc");
    EXPECT_TRUE(Button("SaveButton").Enabled());
    EXPECT_EQ(Text("SongTitle"), "Song X");
    EXPECT_EQ(Text("Publisher"), "Publisher 4095");
    EXPECT_EQ(MainWindowProbe::ExtendedData(W()).size(), static_cast<size_t>(bound) + 1);
  }
}

double ProcessSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

// 2 GiB whose chunk claims 0x7FFEFDF7 bytes of items, all of them zeros: the file holds no data past its first
// 66 KB, so neither its size nor the disk can make the Open slow.
TEST_F(FileCommandTest, AHugeSparseFileOpensInUnderASecondAndLittleMemory) {
  Open(WriteSpc("a.spc", SongA()));  // what a first Open sets up once is not counted
  const std::string huge =
      WriteSpc("huge.spc", spctest::SpcBuilder().Text({.song = "Huge"}).Chunk(spctest::Xid6().Size(0x7FFEFDF7)));
  ASSERT_EQ(::truncate(huge.c_str(), 0x80000000), 0) << std::strerror(errno);
  struct stat st {};
  ASSERT_EQ(::stat(huge.c_str(), &st), 0);
  ASSERT_LT(st.st_blocks * 512, 1 << 20) << "the file must be sparse";

  // The peak is reset to what the process holds now, where the system allows it.
  const bool peakReset = testing_support::ResetPeakMemory();
  const long before = testing_support::StatusKiB("VmRSS:");
  const double start = ProcessSeconds();
  Open(huge);
  const double spent = ProcessSeconds() - start;
  const long grown = testing_support::StatusKiB("VmHWM:") - before;
  std::filesystem::remove(huge);

  EXPECT_EQ(Text("SongTitle"), "Huge");
  EXPECT_EQ(D().messages,
            std::vector<std::string>{"The extended data of \"huge.spc\" is damaged: it was read only in part. A "
                                     "Save writes only what was read."});
  // The sanitizers make the program several times slower: there the time has more room. (The memory grows by
  // well under 1 MiB in both builds.)
  EXPECT_LT(spent, kSanitized ? 5.0 : 1.0);
  if (!peakReset) GTEST_SKIP() << "peak memory not checked: /proc/self/clear_refs cannot be written here";
  EXPECT_LT(grown, 64 * 1024) << "KiB";
}

// The most text the bound lets through, as texts of the longest kind that the fields lay out at the most cost:
// items that repeat the comments and the soundtrack title, each a run with no place to break it.
TEST_F(FileCommandTest, TheLongestTextsWithinTheBoundOpenInUnderASecond) {
  spctest::Xid6 chunk;
  std::string last[2];
  for (int i = 0; i < 62; ++i) {
    std::string text(65533, static_cast<char>('a' + i % 26));
    text[0] = static_cast<char>('A' + i % 26);
    last[i % 2] = text;
    chunk.String(i % 2 == 0 ? 0x07 : 0x10, text);
  }
  const std::string path = WriteSpc("long.spc", spctest::SpcBuilder().Text({.song = "Long"}).Chunk(chunk));
  Open(WriteSpc("a.spc", SongA()));
  const double start = ProcessSeconds();
  Open(path);
  const double spent = ProcessSeconds() - start;
  EXPECT_TRUE(D().messages.empty());
  EXPECT_EQ(Text("Comments"), last[0]);
  EXPECT_EQ(Text("OSTTitle"), last[1]);
  // What the fields show once the Open is over is the last text set in each.
  auto* comments = qobject_cast<QPlainTextEdit*>(fw::WidgetOf(Area("Comments")));
  ASSERT_NE(comments, nullptr);
  EXPECT_EQ(comments->toPlainText().toStdString(), last[0]);
  EXPECT_LT(spent, kSanitized ? 5.0 : 1.0);
}

TEST_F(FileCommandTest, QuitAsksNothingAndSavesNothing) {
  const std::string a = WriteSpc("a.spc", SongA());
  const std::string before = ReadFile(a);
  Open(a);
  Field("SongTitle").SetText("never saved");
  D().asked.clear();
  // Without a quit the loop would run until this timer ends it with 99.
  QTimer::singleShot(3000, [] { QCoreApplication::exit(99); });
  Button("QuitButton").Push();
  EXPECT_EQ(fw::RuntimeRun(), 0);
  EXPECT_EQ(ReadFile(a), before);
  EXPECT_TRUE(D().asked.empty());
  EXPECT_TRUE(D().messages.empty());
}

}  // namespace
}  // namespace windowtest
