// Save never loses the opened file: whatever fails (an injected fault at any open, write, sync, rename, link or
// close, a full or read-only disk, a temporary folder on another file system or not usable at all, a kill), the
// file is either untouched or completely the new one, nothing is left beside it, and a failure is reported.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <iostream>
#include <optional>

#include "Resources.h"
#include "TemporaryFolder.h"
#include "WindowTestSupport.h"
#include "support/AnotherUser.h"

extern char** environ;

namespace windowtest {
namespace {

using fw::faults::Op;
using testing_support::Entries;
using testing_support::ReadFile;
using testing_support::Tmpfs;

spctest::SpcBuilder Original() {
  return spctest::SpcBuilder()
      .Registers("REGISTERS")
      .Ram(7)
      .Text({.song = "Old title", .game = "Old game", .length = "90", .fade = "3000"})
      .Chunk(spctest::Xid6().String(0x13, "Old publisher").Long(0x31, 640000));
}

// Points TMPDIR at a place for as long as it lives, and drops the run's private temporary folder so that the next
// Save makes it there anew.
class TmpdirAt {
 public:
  explicit TmpdirAt(const std::string& place) {
    if (const char* old = std::getenv("TMPDIR")) old_ = old;
    fw::SetTemporaryFolderForTesting("");
    std::filesystem::remove_all(fw::GetTemporaryFolderItem()->AbsolutePath());
    ::setenv("TMPDIR", place.c_str(), 1);
  }
  ~TmpdirAt() {
    if (old_)
      ::setenv("TMPDIR", old_->c_str(), 1);
    else
      ::unsetenv("TMPDIR");
  }
  TmpdirAt(const TmpdirAt&) = delete;
  TmpdirAt& operator=(const TmpdirAt&) = delete;

 private:
  std::optional<std::string> old_;
};

class SafeSaveTest : public WindowTest {
 protected:
  // The opened file, as it was, in folder; the output goes to temporary ("": the run's own temporary folder).
  void Place(const std::string& folder, const std::string& temporary) {
    folder_ = folder;
    temporary_ = temporary.empty() ? Scratch("unused") : temporary;
    std::filesystem::create_directories(temporary_);
    fw::SetTemporaryFolderForTesting(temporary.empty() ? "" : temporary_);
    path_ = folder_ + "/song.spc";
    original_ = Original().Bytes();
    Restore();
  }
  // The opened file lives in folder; the output is written in temporary.
  void Use(const std::string& folder, const std::string& temporary) {
    Place(folder, temporary);
    // What a Save with the edit below gives when nothing fails.
    OpenAndEdit();
    Save();
    EXPECT_TRUE(D().messages.empty());
    expected_ = ReadFile(path_);
    ASSERT_NE(expected_, original_);
    Restore();
  }
  void Restore() { testing_support::WriteFile(path_, original_); }
  // The file the dialog chooses: the file itself, or a link to it.
  std::string Opened() const { return link_.empty() ? path_ : link_; }
  void OpenAndEdit() {
    Open(Opened());
    Field("SongTitle").SetText("New title");
    Field("Publisher").SetText("New publisher");
    D().messages.clear();
  }
  void ExpectMode(mode_t mode) {
    struct stat st {};
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode);
  }
  // The file untouched and the user told, or the new file and no message; nothing beside it either way. A Save
  // whose folder could not be synced once the new file was in place has saved it, and says so.
  void ExpectOldOrNew(bool failed, const std::vector<std::string>& beside = {"song.spc"}) {
    if (failed) {
      ASSERT_EQ(D().messages.size(), 1u);
      const std::string name = std::filesystem::path(Opened()).filename();
      const bool saved = D().messages[0].rfind("The file \"" + name + "\" was saved, but its folder could not be "
                                               "synced to the disk (", 0) == 0;
      if (!saved) {
        EXPECT_EQ(D().messages[0].rfind("The file \"" + name + "\" was not saved: ", 0), 0u) << D().messages[0];
      }
      EXPECT_EQ(ReadFile(path_), saved ? expected_ : original_);
    } else {
      EXPECT_TRUE(D().messages.empty());
      EXPECT_EQ(ReadFile(path_), expected_);
    }
    EXPECT_EQ(Entries(folder_), beside);
    EXPECT_TRUE(std::filesystem::is_empty(temporary_));
    // No stream of the Save stays open on either file.
    for (const auto& stream : {MainWindowProbe::SPCStream(W()), MainWindowProbe::SPCOut(W())})
      EXPECT_FALSE(stream && stream->IsOpen());
    if (!link_.empty()) {
      EXPECT_TRUE(std::filesystem::is_symlink(link_));
      EXPECT_EQ(std::filesystem::read_symlink(link_), path_);
      EXPECT_EQ(Entries(std::filesystem::path(link_).parent_path()), std::vector<std::string>{"link.spc"});
    }
  }
  // Fails the n-th call of each kind, for n = 1, 2, ... until a Save makes fewer than n calls of it. A Save may get
  // through a fault (by writing beside the file when the temporary folder fails), or report it. It runs once as
  // the file system allows, and once with the exchange of two files refused, so that a rename replaces the file.
  void FailEachCallInTurn(bool links) {
    for (const bool refused : {false, true}) {
      for (Op op : {Op::Open, Op::Write, Op::Sync, Op::Exchange, Op::Rename, Op::Close, Op::Link}) {
        if (op == Op::Link && !links) continue;
        if (op == (refused ? Op::Exchange : Op::Rename)) continue;
        int n = 1;
        for (; n < 500; ++n) {
          SCOPED_TRACE(std::string(refused ? "exchange refused, " : "") + "op " +
                       std::to_string(static_cast<int>(op)) + ", call " + std::to_string(n));
          Restore();
          OpenAndEdit();
          int calls = 0;
          fw::faults::SetHook([&calls, op, n, refused](Op called) {
            if (refused && called == Op::Exchange) return EINVAL;
            return called == op && ++calls == n ? EIO : 0;
          });
          Save();
          fw::faults::SetHook({});
          const bool failed = !D().messages.empty();
          ExpectOldOrNew(failed);
          if (HasFatalFailure() || calls < n) break;
          if (!failed) continue;
          // Nothing the failed Save left behind stands in the way of the next one.
          D().messages.clear();
          Save();
          ExpectOldOrNew(false);
          if (HasFatalFailure()) break;
        }
        EXPECT_GT(n, 1) << "no call of kind " << static_cast<int>(op) << " was made";
      }
    }
  }

  // Runs body once for each way a Save writes the new file, with the opened file placed for it: "temporary folder",
  // "other file system" (the file on a tmpfs, where the machine can mount one), and "beside" (for want of a
  // temporary folder).
  void ForEachWayOfWriting(const std::function<void(const std::string& way)>& body) {
    Tmpfs disk("4m");
    std::filesystem::create_directories(Scratch("files"));
    for (const std::string way : {"temporary folder", "other file system", "beside"}) {
      SCOPED_TRACE(way);
      if (way == "other file system" && !disk.Mounted()) continue;
      std::optional<TmpdirAt> broken;
      if (way == "beside") broken.emplace(Scratch("missing"));
      Place(way == "other file system" ? disk.Path() : Scratch("files"), way == "beside" ? "" : Scratch("tmp"));
      body(way);
    }
  }

  std::string folder_, temporary_, path_, link_, original_, expected_;
};

TEST_F(SafeSaveTest, AFaultAtAnyCallLeavesTheFileWholeOnOneFileSystem) {
  std::filesystem::create_directories(Scratch("files"));
  Use(Scratch("files"), Scratch("tmp"));
  FailEachCallInTurn(false);
}

TEST_F(SafeSaveTest, AFaultAtAnyCallLeavesTheFileWholeAcrossFileSystems) {
  Tmpfs disk("4m");
  if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
  Use(disk.Path(), Scratch("tmp"));
  FailEachCallInTurn(true);
}

// No temporary folder can be made: every Save writes beside the file.
TEST_F(SafeSaveTest, AFaultAtAnyCallLeavesTheFileWholeWhenWritingBeside) {
  std::filesystem::create_directories(Scratch("files"));
  TmpdirAt missing(Scratch("missing"));
  Use(Scratch("files"), "");
  FailEachCallInTurn(true);
}

// The link lives in a folder of its own and names the file by its absolute path, on another file system where the
// machine allows: the file it names is replaced, and the link stays a link to it.
TEST_F(SafeSaveTest, AFaultAtAnyCallLeavesALinkedFileWhole) {
  Tmpfs disk("4m");
  const std::string folder = disk.Mounted() ? disk.Path() : Scratch("files");
  if (!disk.Mounted()) std::cout << "[   NOTE   ] the file stays on the scratch file system: " << disk.Why() << "\n";
  std::filesystem::create_directories(folder);
  std::filesystem::create_directories(Scratch("links"));
  link_ = Scratch("links") + "/link.spc";
  std::filesystem::create_symlink(folder + "/song.spc", link_);
  Use(folder, Scratch("tmp"));
  FailEachCallInTurn(disk.Mounted());
}

// With no room in the temporary folder the new file is written beside the opened file; with no room there either,
// the message names the folder to make room in.
TEST_F(SafeSaveTest, AFullDiskIsReportedInWords) {
  std::filesystem::create_directories(Scratch("files"));
  Use(Scratch("files"), Scratch("tmp"));
  OpenAndEdit();
  fw::faults::SetHook([](Op op) { return op == Op::Write ? ENOSPC : 0; });
  Save();
  fw::faults::SetHook({});
  EXPECT_EQ(D().messages, std::vector<std::string>{"The file \"song.spc\" was not saved: there is no room left in the "
                                                   "folder \"" + folder_ + "\"."});
  ExpectOldOrNew(true);
}

TEST_F(SafeSaveTest, AReallyFullDiskLeavesTheFileWhole) {
  // Room for the opened file, not for a second copy of it.
  Tmpfs disk("100k");
  if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
  const std::string noRoom = "The file \"song.spc\" was not saved: there is no room left in the folder \"" +
                             disk.Path() + "\".";
  // The output on another file system: the copy beside the opened file does not fit.
  Place(disk.Path(), Scratch("tmp"));
  OpenAndEdit();
  Save();
  EXPECT_EQ(D().messages, std::vector<std::string>{noRoom});
  ExpectOldOrNew(true);

  // The output on the full disk itself, and then beside the file on it.
  temporary_ = disk.Path() + "/tmp";
  std::filesystem::create_directories(temporary_);
  fw::SetTemporaryFolderForTesting(temporary_);
  OpenAndEdit();
  Save();
  EXPECT_EQ(D().messages, std::vector<std::string>{noRoom});
  ExpectOldOrNew(true, {"song.spc", "tmp"});
}

// Whatever keeps the temporary folder from being made or written, the Save goes through beside the file.
TEST_F(SafeSaveTest, ASaveGoesThroughWithoutAUsableTemporaryFolder) {
  std::filesystem::create_directories(Scratch("files"));
  Use(Scratch("files"), Scratch("tmp"));
  Tmpfs readOnly("1m"), full("64k");
  const bool readOnlyMade = readOnly.Mounted() && readOnly.MakeReadOnly();
  const struct {
    const char* what;
    std::string tmpdir;
    bool usable;  // the machine can make this case
  } cases[] = {
      {"missing", Scratch("missing"), true},
      {"a plain file", Scratch("plain"), true},
      {"read-only", readOnly.Path(), readOnlyMade},
      {"full", full.Path(), full.Mounted()},
  };
  testing_support::WriteFile(Scratch("plain"), "not a folder");
  if (full.Mounted()) testing_support::WriteFile(full.Path() + "/filler", std::string(64 * 1024, 'f'));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.usable) {
      std::cout << "[   NOTE   ] no case of a " << c.what << " temporary folder: cannot mount a tmpfs here\n";
      continue;
    }
    Restore();
    TmpdirAt broken(c.tmpdir);
    OpenAndEdit();
    Save();
    ExpectOldOrNew(false);
    // At most the run's private folder was made there, and nothing was left in it.
    if (std::filesystem::is_directory(c.tmpdir)) {
      for (const auto& entry : std::filesystem::directory_iterator(c.tmpdir))
        if (entry.path().filename() != "filler") {
          EXPECT_TRUE(std::filesystem::is_empty(entry.path())) << entry.path();
        }
    }
  }
  EXPECT_EQ(ReadFile(Scratch("plain")), "not a folder");
}

// Neither the temporary folder nor the file's own folder can be written: the message names the file's folder.
TEST_F(SafeSaveTest, AReadOnlyDiskForBothPlacesNamesTheFolder) {
  Tmpfs disk("4m");
  if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
  Use(disk.Path(), disk.Path() + "/tmp");
  OpenAndEdit();
  if (!disk.MakeReadOnly()) GTEST_SKIP() << "cannot remount the tmpfs read-only";
  Save();
  EXPECT_EQ(D().messages, std::vector<std::string>{"The file \"song.spc\" was not saved: the folder \"" + disk.Path() +
                                                   "\" is on a disk that can only be read."});
  ExpectOldOrNew(true, {"song.spc", "tmp"});
}

TEST_F(SafeSaveTest, ATemporaryFolderOnAnotherFileSystemStillReplacesTheFile) {
  Tmpfs disk("4m");
  if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
  Use(disk.Path(), Scratch("tmp"));
  ::chmod(path_.c_str(), 0640);
  OpenAndEdit();
  Save();
  ExpectOldOrNew(false);
  ExpectMode(0640);
}

TEST_F(SafeSaveTest, AReadOnlyDiskLeavesTheFileWhole) {
  Tmpfs disk("4m");
  if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
  Use(disk.Path(), Scratch("tmp"));
  OpenAndEdit();
  if (!disk.MakeReadOnly()) GTEST_SKIP() << "cannot remount the tmpfs read-only";
  Save();
  EXPECT_EQ(D().messages, std::vector<std::string>{"The file \"song.spc\" was not saved: the folder \"" + disk.Path() +
                                                   "\" is on a disk that can only be read."});
  ExpectOldOrNew(true);
}

TEST_F(SafeSaveTest, SavingKeepsThePermissionBits) {
  std::filesystem::create_directories(Scratch("files"));
  Use(Scratch("files"), Scratch("tmp"));
  ::chmod(path_.c_str(), 0604);
  OpenAndEdit();
  Save();
  ExpectOldOrNew(false);
  ExpectMode(0604);
}

// A user who is not root saves a file of root's in a folder that the user may write: a file the user may write is
// saved, and loses the set-id bits with its owner, as `cp -p` does; one the user may not write is not replaced.
TEST_F(SafeSaveTest, AnotherUsersFileKeepsItsRightsOrIsNotReplaced) {
  std::string whyNot;
  const auto user = testing_support::AnotherUser(whyNot);
  if (!user) GTEST_SKIP() << whyNot;
  std::filesystem::create_directories(Scratch("files"));
  Use(Scratch("files"), Scratch("tmp"));
  ::chmod(scratch_.c_str(), 0755);
  for (const std::string& folder : {folder_, temporary_}) ::chmod(folder.c_str(), 0777);
  const std::string refused = "The file \"song.spc\" was not saved: there is no permission to write it.";
  const struct {
    mode_t mode;
    bool saved;
    mode_t after;
  } cases[] = {
      {04777, true, 0777},
      {02777, true, 0777},
      {06666, true, 0666},
      {0644, false, 0644},
      {04755, false, 04755},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    std::filesystem::remove(path_);
    Restore();
    ASSERT_EQ(::chmod(path_.c_str(), c.mode), 0);
    OpenAndEdit();
    const std::string said = testing_support::AsAnotherUser(*user, [this] {
      Save();
      std::string shown;
      for (const std::string& message : D().messages) shown += message;
      return shown;
    });
    EXPECT_EQ(said, c.saved ? "" : refused);
    struct stat st {};
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.after);
    EXPECT_EQ(st.st_uid, c.saved ? user->first : 0u);
    EXPECT_TRUE(ReadFile(path_) == (c.saved ? expected_ : original_));
    EXPECT_EQ(Entries(folder_), std::vector<std::string>{"song.spc"});
    EXPECT_TRUE(std::filesystem::is_empty(temporary_));
  }
}

// Rights that cannot be carried over, in each way, leave the file untouched and say so; a sync of the folder that
// fails once the new file is in place leaves it saved and says that a crash could still undo it, and the next Save
// goes through as after any other. Each case refuses the last call of its kind that a clean Save makes: the one
// look at the status, the one change of mode, the setting of the one attribute, the sync of the folder.
TEST_F(SafeSaveTest, RightsNotCarriedAndAFolderNotSyncedAreToldInWords) {
  std::filesystem::create_directories(Scratch("files"));
  Use(Scratch("files"), Scratch("tmp"));
  const std::string refused =
      "The file \"song.spc\" was not saved: its permissions could not be carried over (Operation not permitted).";
  const std::string unsynced =
      "The file \"song.spc\" was saved, but its folder could not be synced to the disk (Input/output error), so a "
      "crash could still undo the Save.";
  const struct {
    const char* what;
    Op op;
    int error;
    std::string attribute, value;  // the file has it
    const std::string& message;
  } cases[] = {
      {"status refused", Op::Status, EPERM, "", "", refused},
      {"mode refused", Op::Mode, EPERM, "", "", refused},
      {"a user attribute refused", Op::Attributes, EPERM, "user.quenlet.note", "kept", refused},
      {"an ACL refused", Op::Attributes, EPERM, "system.posix_acl_access", testing_support::AccessAcl(), refused},
      {"folder sync refused", Op::Sync, EIO, "", "", unsynced},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto restore = [&] {
      std::filesystem::remove(path_);
      Restore();
      ::chmod(path_.c_str(), 0640);
      return c.attribute.empty() ||
             ::setxattr(path_.c_str(), c.attribute.c_str(), c.value.data(), c.value.size(), 0) == 0;
    };
    if (!restore()) {
      std::cout << "[   NOTE   ] " << folder_ << " cannot hold " << c.attribute << ": " << std::strerror(errno) << "\n";
      continue;
    }
    OpenAndEdit();
    int last = 0;
    fw::faults::SetHook([&](Op op) { return (last += op == c.op), 0; });
    Save();
    ASSERT_TRUE(D().messages.empty()) << D().messages[0];

    restore();
    OpenAndEdit();
    int calls = 0;
    fw::faults::SetHook([&](Op op) { return op == c.op && ++calls == last ? c.error : 0; });
    Save();
    fw::faults::SetHook({});
    EXPECT_EQ(D().messages, std::vector<std::string>{c.message});
    const bool saved = &c.message == &unsynced;
    EXPECT_EQ(ReadFile(path_), saved ? expected_ : original_);
    ExpectMode(0640);
    EXPECT_EQ(Entries(folder_), std::vector<std::string>{"song.spc"});
    EXPECT_TRUE(std::filesystem::is_empty(temporary_));
    if (!saved) continue;
    D().messages.clear();
    Field("SongTitle").SetText("Newer title");
    Save();
    EXPECT_TRUE(D().messages.empty());
    EXPECT_NE(ReadFile(path_).find("Newer title"), std::string::npos);
    EXPECT_EQ(Entries(folder_), std::vector<std::string>{"song.spc"});
  }
}

// The calls of the file layer that act on a new file once it is written; "" for the others.
std::string OnTheNewFile(Op op) {
  switch (op) {
    case Op::Write:
      return "write";
    case Op::Sync:
      return "sync";
    case Op::Rename:
      return "rename";
    case Op::Exchange:
      return "exchange";
    case Op::Owner:
      return "owner";
    case Op::Mode:
      return "mode";
    default:
      return "";
  }
}

// Whatever the new file takes from the one it replaces (owner, extended attributes, mode) is set before its data is
// synced, and nothing is written after it: after a crash the file in place has them, whichever way it was written.
TEST_F(SafeSaveTest, TheFileTakesItsRightsBeforeItIsSynced) {
  ForEachWayOfWriting([&](const std::string&) {
    ::chmod(path_.c_str(), 0640);
    OpenAndEdit();
    std::vector<Op> calls;
    fw::faults::SetHook([&calls](Op op) {
      calls.push_back(op);
      return 0;
    });
    Save();
    fw::faults::SetHook({});
    EXPECT_TRUE(D().messages.empty());
    ExpectMode(0640);
    // From the last change of owner on, what acts on the new file: its mode, its sync and the exchange (or, where
    // the file system cannot exchange, the rename) that puts it in place, in this order, and no write (the last
    // look at the opened file opens and closes it, and a link may name the new file right before it goes in place);
    // then the sync of the folder it went into.
    const auto owner = std::find(calls.rbegin(), calls.rend(), Op::Owner);
    ASSERT_NE(owner, calls.rend());
    std::string last;
    for (auto call = owner.base() - 1; call != calls.end(); ++call) {
      const std::string name = OnTheNewFile(*call);
      if (!name.empty()) last += (last.empty() ? "" : " ") + name;
    }
    EXPECT_EQ(last, std::string("owner mode sync ") +
                        (testing_support::ExchangeWorks(folder_) ? "exchange" : "rename") + " sync");
  });
}

// The copy written beside the file has a short name of its own: a name as long as the file system allows, but for
// a few bytes, saves whichever way the new file is written.
TEST_F(SafeSaveTest, ALongNameSavesWhereverTheNewFileIsWritten) {
  // 246 bytes: 80 characters of three bytes each in UTF-8, then "ab.spc".
  std::string name;
  for (int i = 0; i < 80; ++i) name += "\xE9\x95\xB7";
  name += "ab.spc";
  ASSERT_EQ(name.size(), 246u);
  ForEachWayOfWriting([&](const std::string&) {
    const std::string path = folder_ + "/" + name;
    std::filesystem::rename(path_, path);
    Open(path);
    Field("SongTitle").SetText("New title");
    D().messages.clear();
    Save();
    EXPECT_EQ(D().messages, std::vector<std::string>{});
    EXPECT_NE(ReadFile(path).find("New title"), std::string::npos);
    EXPECT_EQ(Entries(folder_), std::vector<std::string>{name});
    EXPECT_TRUE(std::filesystem::is_empty(temporary_));
    std::filesystem::remove(path);
  });
}

TEST_F(SafeSaveTest, ALinkKeepsPointingAtTheReplacedFile) {
  std::filesystem::create_directories(Scratch("files"));
  Use(Scratch("files"), Scratch("tmp"));
  const std::string link = folder_ + "/link.spc";
  std::filesystem::create_symlink("song.spc", link);
  Open(link);
  Field("SongTitle").SetText("New title");
  Field("Publisher").SetText("New publisher");
  D().messages.clear();
  Save();
  EXPECT_TRUE(D().messages.empty());
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(std::filesystem::read_symlink(link), "song.spc");
  EXPECT_EQ(ReadFile(path_), expected_);
  EXPECT_EQ(Entries(folder_), (std::vector<std::string>{"link.spc", "song.spc"}));
}

// The output may not take the opened file's own place: saving a file that lies in the temporary folder itself.
TEST_F(SafeSaveTest, AFileInTheTemporaryFolderIsNotLost) {
  Place(Scratch("tmp"), Scratch("tmp"));
  OpenAndEdit();
  Save();
  ASSERT_EQ(D().messages.size(), 1u);
  EXPECT_EQ(D().messages[0].rfind("The file \"song.spc\" was not saved: ", 0), 0u) << D().messages[0];
  EXPECT_EQ(ReadFile(path_), original_);
  EXPECT_EQ(Entries(folder_), std::vector<std::string>{"song.spc"});
}

// Another program changes the file after Save has copied from it: the look at it right before the replacement finds
// that out, wherever the new file was written; and where it swaps its file in at the last instant, between that
// look and the replacement, the exchange that replaces the file takes the other program's file out, the look at
// what it took out finds it, and the exchange back puts it in place again.
TEST_F(SafeSaveTest, AFileChangedWhileSavingIsNotOverwritten) {
  const std::string other = spctest::SpcBuilder().Registers("OTHERREGS").Ram(9).Bytes();
  const struct {
    const char* when;
    Op before;  // the call of the file layer right before which the other program swaps its file in
  } moments[] = {{"after the copy", Op::Sync}, {"at the last instant", Op::Exchange}};
  for (const auto& moment : moments) {
    SCOPED_TRACE(moment.when);
    ForEachWayOfWriting([&](const std::string&) {
      if (moment.before == Op::Exchange && !testing_support::ExchangeWorks(folder_)) {
        std::cout << "[   NOTE   ] no swap at the last instant in " << folder_
                  << ": its file system cannot exchange two files\n";
        return;
      }
      OpenAndEdit();
      bool changed = false;
      fw::faults::SetHook([&](Op op) {
        if (op == moment.before && !changed) {
          changed = true;
          testing_support::WriteFile(path_ + ".new", other);
          std::filesystem::rename(path_ + ".new", path_);
        }
        return 0;
      });
      Save();
      fw::faults::SetHook({});
      EXPECT_TRUE(changed);
      EXPECT_EQ(D().messages, std::vector<std::string>{"The file \"song.spc\" was not saved: another program changed "
                                                       "it after it was opened. Open it again to edit it."});
      EXPECT_EQ(ReadFile(path_), other);
      EXPECT_EQ(Entries(folder_), std::vector<std::string>{"song.spc"});
      EXPECT_TRUE(std::filesystem::is_empty(temporary_));
      EXPECT_EQ(Field("SongTitle").Text(), "New title");
    });
  }
}

// The temporary folder is looked up once for a Save: when it vanishes after that look-up, before the new file is
// written in it, and no other can be made, the Save writes beside the file instead.
TEST_F(SafeSaveTest, ATemporaryFolderThatVanishesDuringTheSaveSendsTheFileBeside) {
  std::filesystem::create_directories(Scratch("files"));
  TmpdirAt own(Scratch("own"));
  std::filesystem::create_directories(Scratch("own"));
  Use(Scratch("files"), "");
  OpenAndEdit();
  const std::string looked = fw::GetTemporaryFolderItem()->AbsolutePath();
  bool vanished = false;
  fw::faults::SetHook([&](Op op) {
    if (op == Op::Open && !vanished) {
      vanished = true;
      std::filesystem::remove_all(looked);
      ::setenv("TMPDIR", Scratch("missing").c_str(), 1);
    }
    return 0;
  });
  Save();
  fw::faults::SetHook({});
  EXPECT_TRUE(vanished);
  ExpectOldOrNew(false);
  EXPECT_FALSE(std::filesystem::exists(looked));
  EXPECT_TRUE(std::filesystem::is_empty(Scratch("own")));
  EXPECT_FALSE(std::filesystem::exists(Scratch("missing")));
}

// The replaced file's extended attributes (a user's own, an access ACL) go over to the new file, wherever it was
// written; other hard links to the file keep the old bytes, since a Save replaces the file.
TEST_F(SafeSaveTest, SavingKeepsTheExtendedAttributes) {
  const std::vector<std::pair<std::string, std::string>> attributes = {
      {"user.quenlet.note", "kept"}, {"system.posix_acl_access", testing_support::AccessAcl()}};
  ForEachWayOfWriting([&](const std::string& place) {
    std::filesystem::remove(folder_ + "/hard.spc");
    std::filesystem::create_hard_link(path_, folder_ + "/hard.spc");
    std::vector<std::pair<std::string, std::string>> set;
    for (const auto& [name, value] : attributes) {
      if (::setxattr(path_.c_str(), name.c_str(), value.data(), value.size(), 0) == 0)
        set.emplace_back(name, value);
      else
        std::cout << "[   NOTE   ] the " << place << " case cannot hold " << name << ": " << std::strerror(errno)
                  << "\n";
    }
    OpenAndEdit();
    Save();
    EXPECT_TRUE(D().messages.empty());
    EXPECT_NE(ReadFile(path_), original_);
    EXPECT_EQ(ReadFile(folder_ + "/hard.spc"), original_);
    for (const auto& [name, value] : set) EXPECT_EQ(testing_support::AttributeOf(path_, name), value) << name;
    std::filesystem::remove(folder_ + "/hard.spc");
  });
}

// Runs the victim program; returns the signal that ended it, or -(exit code).
int RunVictim(const std::string& file, const std::string& temporary, long k) {
  const std::string program = fw::GetApplicationExecutable()->Parent()->AbsolutePath() + "save_victim";
  const std::string count = std::to_string(k);
  std::vector<char*> args = {const_cast<char*>(program.c_str()), const_cast<char*>(file.c_str()),
                             const_cast<char*>(temporary.c_str()), const_cast<char*>(count.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, args.data(), environ) != 0) return -127;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFSIGNALED(status)) return WTERMSIG(status);
  return -WEXITSTATUS(status);
}

// Kills the victim right before each call of the file layer in turn. The file is always the old or the new one.
// The copy written beside it has no name until it replaces the file, so a kill leaves nothing beside it, except
// at the steps between naming that copy and the end of the replacement (named: how many such steps the way of
// saving has): the exchange, the look at what it swapped out, the old file, now under the copy's name, and the
// sync of the folder, which comes before that old file's removal. The next Save of the file removes that copy once
// it is a minute old.
void KillAtEveryStep(const std::string& folder, const std::string& temporary, int named) {
  if (!temporary.empty()) std::filesystem::create_directories(temporary);
  const std::string path = folder + "/song.spc";
  const std::string original = Original().Bytes();
  testing_support::WriteFile(path, original);
  ASSERT_EQ(RunVictim(path, temporary, 1L << 40), 0);
  const std::string saved = ReadFile(path);
  ASSERT_NE(saved, original);

  long k = 1;
  int leftBeside = 0;
  for (; k < 500; ++k) {
    SCOPED_TRACE("killed at call " + std::to_string(k));
    testing_support::WriteFile(path, original);
    const int outcome = RunVictim(path, temporary, k);
    const std::string now = ReadFile(path);
    EXPECT_TRUE(now == original || now == saved) << "the file holds " << now.size() << " bytes of neither";
    std::vector<std::string> beside;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      if (entry.path().filename() != "song.spc" && entry.path() != temporary) beside.push_back(entry.path());
    if (!beside.empty()) {
      ++leftBeside;
      EXPECT_EQ(beside.size(), 1u);
      EXPECT_EQ(std::filesystem::path(beside[0]).filename().string().rfind(".quenlet-", 0), 0u) << beside[0];
      timespec then {};
      ::clock_gettime(CLOCK_REALTIME, &then);
      then.tv_sec -= 120;
      const timespec times[2] = {then, then};
      for (const auto& entry : beside) ::utimensat(AT_FDCWD, entry.c_str(), times, AT_SYMLINK_NOFOLLOW);
      EXPECT_EQ(RunVictim(path, temporary, 1L << 40), 0);
      for (const auto& entry : beside) EXPECT_FALSE(std::filesystem::exists(entry)) << entry;
    }
    if (outcome != SIGKILL) {
      EXPECT_EQ(outcome, 0);
      EXPECT_EQ(now, saved);
      break;
    }
    if (!temporary.empty())
      for (const auto& entry : std::filesystem::directory_iterator(temporary)) std::filesystem::remove(entry.path());
  }
  EXPECT_EQ(leftBeside, named);
  EXPECT_GT(k, 3);
  EXPECT_LT(k, 500);
}

// The exchange, the open and close of the look at what it swapped out, and the open and sync of the folder; or
// the rename alone.
int StepsNamedBeside(const std::string& folder) { return testing_support::ExchangeWorks(folder) ? 5 : 1; }

TEST(KilledSaveTest, AProgramKilledAtAnyStepLeavesTheOldOrTheNewFile) {
  const std::string scratch = testing_support::ScratchFolder();
  std::filesystem::create_directories(scratch + "/files");
  {
    SCOPED_TRACE("through the temporary folder");
    KillAtEveryStep(scratch + "/files", scratch + "/tmp", 0);
  }
  {
    SCOPED_TRACE("beside the file");
    const char* old = std::getenv("TMPDIR");
    const std::string kept = old ? old : "";
    ::setenv("TMPDIR", (scratch + "/missing").c_str(), 1);
    KillAtEveryStep(scratch + "/files", "", StepsNamedBeside(scratch + "/files"));
    if (old)
      ::setenv("TMPDIR", kept.c_str(), 1);
    else
      ::unsetenv("TMPDIR");
  }
  {
    SCOPED_TRACE("across file systems");
    Tmpfs disk("4m");
    if (disk.Mounted())
      KillAtEveryStep(disk.Path(), scratch + "/tmp", StepsNamedBeside(disk.Path()));
    else
      std::cout << "[   NOTE   ] no kills across file systems: " << disk.Why() << "\n";
  }
  std::filesystem::remove_all(scratch);
}

}  // namespace
}  // namespace windowtest
