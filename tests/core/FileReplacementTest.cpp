// The replacement of a file in one step: what the new file keeps of the old, and what a fault, a check or a killed
// Save leaves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <stdexcept>

#include "BinaryStream.h"
#include "Failures.h"
#include "FileFaults.h"
#include "FolderItem.h"
#include "support/Tmpfs.h"

using namespace fw;
using testing_support::Entries;
using testing_support::ModeOf;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

class FileReplacement : public ::testing::Test {
 protected:
  void SetUp() override { work_ = testing_support::ScratchFolder(); }
  void TearDown() override {
    faults::SetHook({});
    std::filesystem::remove_all(work_);
  }
  // A new file holding "new" that is to replace target: unnamed beside it, hidden beside it (where the file system
  // refuses O_TMPFILE), or "new" in the scratch folder.
  std::shared_ptr<FolderItem> NewFile(const std::string& from, const std::string& target) const {
    if (from == "unnamed" || from == "hidden") {
      auto source = FolderItem::UnnamedBeside(target);
      int opens = 0;
      if (from == "hidden") {
        faults::SetHook([&opens](faults::Op op) { return op == faults::Op::Open && ++opens == 1 ? EOPNOTSUPP : 0; });
      }
      auto out = BinaryStream::Create(*source);
      faults::SetHook({});
      out->Write("new");
      out->Close();
      return source;
    }
    WriteFile(work_ + "/new", "new");
    return GetFolderItem(work_ + "/new");
  }

  // Runs body for each way the new file comes ("same file system", "other file system" where the machine can mount
  // one, "unnamed", "hidden"), with the folder of the target and the target's path in it.
  void ForEachWay(const std::function<void(const std::string& from, const std::string& folder,
                                           const std::string& target)>& body) const {
    testing_support::Tmpfs other("1m");
    for (const std::string from : {"same file system", "other file system", "unnamed", "hidden"}) {
      if (from == "other file system" && !other.Mounted()) continue;
      const std::string folder = from == "other file system" ? other.Path() : work_ + "/files";
      std::filesystem::create_directories(folder);
      body(from, folder, folder + "/song.spc");
    }
  }

  std::string work_;
};

}  // namespace

TEST_F(FileReplacement, RenamesOverTheTargetKeepingItsModeAndLinks) {
  WriteFile(work_ + "/song.spc", "old");
  ::chmod((work_ + "/song.spc").c_str(), 0640);
  ASSERT_EQ(::symlink("song.spc", (work_ + "/link.spc").c_str()), 0);
  WriteFile(work_ + "/new", "new content");

  FolderItem(work_ + "/new").MoveFileTo(FolderItem(work_ + "/link.spc"));

  EXPECT_EQ(ReadFile(work_ + "/song.spc"), "new content");
  EXPECT_EQ(ModeOf(work_ + "/song.spc"), 0640u);
  EXPECT_TRUE(std::filesystem::is_symlink(work_ + "/link.spc"));
  EXPECT_EQ(Entries(work_), (std::vector<std::string>{"link.spc", "song.spc"}));
}

// A link into another folder, on another file system where the machine allows: the copy goes beside the file the
// link names, never beside the link, and the link is left as it was.
TEST_F(FileReplacement, ALinkIntoAnotherFolderKeepsPointingAtTheReplacedFile) {
  testing_support::Tmpfs other("1m");
  const std::string folder = other.Mounted() ? other.Path() : work_ + "/files";
  std::filesystem::create_directories(folder);
  std::filesystem::create_directories(work_ + "/links");
  WriteFile(folder + "/song.spc", "old");
  ::chmod((folder + "/song.spc").c_str(), 0600);
  const std::string link = work_ + "/links/link.spc";
  ASSERT_EQ(::symlink((folder + "/song.spc").c_str(), link.c_str()), 0);
  WriteFile(work_ + "/new", "new content");

  FolderItem(work_ + "/new").MoveFileTo(FolderItem(link));

  EXPECT_EQ(ReadFile(folder + "/song.spc"), "new content");
  EXPECT_EQ(ModeOf(folder + "/song.spc"), 0600u);
  EXPECT_EQ(std::filesystem::read_symlink(link), folder + "/song.spc");
  EXPECT_EQ(Entries(work_ + "/links"), std::vector<std::string>{"link.spc"});
  EXPECT_EQ(Entries(folder), std::vector<std::string>{"song.spc"});
  EXPECT_FALSE(std::filesystem::exists(work_ + "/new"));
}

TEST_F(FileReplacement, AMissingTargetIsCreated) {
  WriteFile(work_ + "/new", "fresh");
  FolderItem(work_ + "/new").MoveFileTo(FolderItem(work_ + "/gone.spc"));
  EXPECT_EQ(ReadFile(work_ + "/gone.spc"), "fresh");
}

// Across file systems the new content goes beside the target first; a fault at any step leaves the target as it
// was and nothing beside it, and once no step fails the target is completely the new file.
TEST_F(FileReplacement, AcrossFileSystemsEveryFaultLeavesTheTargetWhole) {
  testing_support::Tmpfs other("1m");
  if (!other.Mounted()) GTEST_SKIP() << other.Why();
  const std::string target = other.Path() + "/song.spc";
  const std::string source = work_ + "/new";
  const std::string oldBytes(66048, 'o');
  const std::string newBytes(70000, 'n');

  for (const auto op : {faults::Op::Open, faults::Op::Write, faults::Op::Sync, faults::Op::Rename,
                        faults::Op::Close, faults::Op::Link}) {
    for (int n = 1;; ++n) {
      WriteFile(target, oldBytes);
      ::chmod(target.c_str(), 0604);
      WriteFile(source, newBytes);
      int seen = 0;
      faults::SetHook([&](faults::Op o) { return o == op && ++seen == n ? ENOSPC : 0; });
      bool failed = false;
      try {
        FolderItem(source).MoveFileTo(FolderItem(target));
      } catch (const IOException& e) {
        // A sync of the folder that fails once the file is in place is told, but the file is the new one.
        failed = e.Kind() != IOKind::NotDurable;
        EXPECT_EQ(e.ErrorNumber(), ENOSPC);
      }
      faults::SetHook({});
      EXPECT_EQ(Entries(other.Path()), std::vector<std::string>{"song.spc"});
      if (failed) {
        EXPECT_EQ(ReadFile(target), oldBytes) << "op " << static_cast<int>(op) << " #" << n;
        continue;
      }
      EXPECT_EQ(ReadFile(target), newBytes);
      EXPECT_EQ(ModeOf(target), 0604u);
      EXPECT_FALSE(std::filesystem::exists(source));
      break;
    }
  }
}

// A new file written beside the target has no name there until it replaces it; where the file system refuses
// O_TMPFILE it is a hidden file instead. Either way nothing of it stays when it is dropped.
TEST_F(FileReplacement, AnUnnamedFileTakesItsNameOnlyWhenItReplacesTheTarget) {
  for (const bool refused : {false, true}) {
    SCOPED_TRACE(refused ? "O_TMPFILE refused" : "O_TMPFILE");
    const std::string target = work_ + "/song.spc";
    WriteFile(target, "old");
    ::chmod(target.c_str(), 0640);
    auto item = FolderItem::UnnamedBeside(target);
    EXPECT_EQ(item->AbsolutePath(), work_ + "/");
    EXPECT_FALSE(item->Exists());
    int opens = 0;
    faults::SetHook([&](faults::Op op) { return refused && op == faults::Op::Open && ++opens == 1 ? EOPNOTSUPP : 0; });
    auto out = BinaryStream::Create(*item);
    faults::SetHook({});
    out->Write("new content");
    out->Close();
    EXPECT_TRUE(item->Exists());
    EXPECT_EQ(Entries(work_).size(), refused ? 2u : 1u);
    EXPECT_THROW(BinaryStream::Create(*item), IOException);

    item->MoveFileTo(FolderItem(target));
    EXPECT_EQ(ReadFile(target), "new content");
    EXPECT_EQ(ModeOf(target), 0640u);
    EXPECT_EQ(Entries(work_), std::vector<std::string>{"song.spc"});

    faults::SetHook([&](faults::Op op) { return refused && op == faults::Op::Open && ++opens == 2 ? EOPNOTSUPP : 0; });
    auto dropped = FolderItem::UnnamedBeside(target);
    BinaryStream::Create(*dropped)->Close();
    faults::SetHook({});
    dropped->Delete();
    EXPECT_EQ(Entries(work_), std::vector<std::string>{"song.spc"});
    EXPECT_EQ(ReadFile(target), "new content");
  }
}

// The check runs with the path about to be replaced, after any copy; what it raises stops the move wherever the
// new file comes from, and leaves nothing beside the target.
TEST_F(FileReplacement, ACheckThatRaisesStopsTheMove) {
  testing_support::Tmpfs other("1m");
  for (const std::string from : {"same file system", "other file system", "unnamed"}) {
    SCOPED_TRACE(from);
    if (from == "other file system" && !other.Mounted()) continue;
    const std::string folder = from == "other file system" ? other.Path() : work_ + "/files";
    std::filesystem::create_directories(folder);
    const std::string target = folder + "/song.spc";
    WriteFile(target, "old");
    ASSERT_EQ(::symlink(target.c_str(), (work_ + "/link.spc").c_str()), 0);
    auto source = NewFile(from, target);
    std::string checked, read;
    EXPECT_THROW(source->MoveFileTo(FolderItem(work_ + "/link.spc"),
                                    [&](const std::string& path, const std::string& file) {
                                      checked = path;
                                      read = file;
                                      throw std::runtime_error("changed");
                                    }),
                 std::runtime_error);
    EXPECT_EQ(checked, target);
    EXPECT_EQ(read, target);
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(Entries(folder), std::vector<std::string>{"song.spc"});
    std::filesystem::remove(work_ + "/link.spc");
    std::filesystem::remove(work_ + "/new");
  }
}

// A Save killed between naming its copy and the rename leaves the copy beside the file; the next replacement in that
// folder removes it, whichever way the new file came, once nothing has touched it for a minute. Nothing that only
// resembles such a copy goes.
TEST_F(FileReplacement, TheNextReplacementRemovesACopyThatAKilledSaveLeft) {
  testing_support::Tmpfs other("1m");
  const std::string copy = ".quenlet-Ab3dEf6hIj9L";
  const struct {
    std::string name;
    std::string kind;  // "file", "linked" (a second hard link), "foreign" (another user's), "link", "folder"
    int age;           // seconds
    bool removed;
  } cases[] = {
      {copy, "file", 120, true},
      {".quenlet-fresh0000000", "file", 0, false},
      {".quenlet-n0tAminute00", "file", 50, false},
      {".quenlet-hardL1nked00", "linked", 120, false},
      {".quenlet-an0therUser0", "foreign", 120, false},
      {".quenlet-symb0licL1nk", "link", 120, false},
      {".quenlet-f0lder000000", "folder", 120, false},
      {".quenlet-short", "file", 120, false},
      {".quenlet-Ab3dEf6hIj9L.spc", "file", 120, false},
      {"quenlet-Ab3dEf6hIj9L", "file", 120, false},
      {".quenlet-Ab3dEf6h_j9L", "file", 120, false},
  };
  for (const std::string from : {"same file system", "other file system", "unnamed"}) {
    SCOPED_TRACE(from);
    if (from == "other file system" && !other.Mounted()) continue;
    const std::string folder = from == "other file system" ? other.Path() + "/files" : work_ + "/files";
    std::filesystem::create_directories(folder);
    const std::string target = folder + "/song.spc";
    WriteFile(target, "old");
    WriteFile(folder + "/keep.spc", "the user's");
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    for (const auto& c : cases) {
      const std::string path = folder + "/" + c.name;
      if (c.kind == "folder") {
        ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
      } else if (c.kind == "link") {
        ASSERT_EQ(::symlink("keep.spc", path.c_str()), 0);
      } else if (c.kind == "linked") {
        ASSERT_EQ(::link((folder + "/keep.spc").c_str(), path.c_str()), 0);
      } else {
        WriteFile(path, "a copy");
      }
      if (c.kind == "foreign") {
        ASSERT_EQ(::lchown(path.c_str(), ::geteuid() + 4242, static_cast<gid_t>(-1)), 0);
      }
      const timespec then{now.tv_sec - c.age, now.tv_nsec};
      const timespec times[2] = {then, then};
      ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << c.name;
    }
    const auto source = NewFile(from, target);

    source->MoveFileTo(FolderItem(target));

    EXPECT_EQ(ReadFile(target), "new");
    EXPECT_EQ(ReadFile(folder + "/keep.spc"), "the user's");
    for (const auto& c : cases) {
      struct stat st {};
      EXPECT_EQ(::lstat((folder + "/" + c.name).c_str(), &st) != 0, c.removed) << c.name;
    }
    std::filesystem::remove_all(folder);
  }
}

// With a check, the new file is exchanged in where the file system can, and the check runs again on what the
// exchange took out of the target's place: a file swapped in at the last instant, right before the exchange, is put
// back, with what the check raised. Where the exchange is refused, a rename replaces the file after the one check.
// Either way the replaced file is gone from the folder, and another hard link to it keeps its old content.
TEST_F(FileReplacement, TheCheckLooksAtWhatTheExchangeTookOut) {
  testing_support::Tmpfs other("1m");
  const struct {
    const char* what;
    int refusal;  // the exchange's error, 0 to let it run
    bool swap;
    std::vector<std::string> looked;  // where the check read the file it checked
  } cases[] = {
      {"nothing changed", 0, false, {"target", "taken out"}},
      {"swapped in at the last instant", 0, true, {"target", "taken out"}},
      {"exchange refused with EINVAL", EINVAL, false, {"target"}},
      {"exchange refused with ENOSYS", ENOSYS, false, {"target"}},
      {"exchange refused with EOPNOTSUPP", EOPNOTSUPP, false, {"target"}},
  };
  for (const std::string from : {"same file system", "other file system", "unnamed"}) {
    if (from == "other file system" && !other.Mounted()) continue;
    const std::string folder = from == "other file system" ? other.Path() : work_ + "/files";
    std::filesystem::create_directories(folder);
    const std::string target = folder + "/song.spc";
    for (const auto& c : cases) {
      SCOPED_TRACE(from + ", " + c.what);
      WriteFile(target, "old");
      std::filesystem::remove(folder + "/hard.spc");
      std::filesystem::create_hard_link(target, folder + "/hard.spc");
      if (c.refusal == 0 && !testing_support::ExchangeWorks(folder)) {
        std::cout << "[   NOTE   ] " << folder << " cannot exchange two files\n";
        continue;
      }
      auto source = NewFile(from, target);
      std::vector<std::string> looked;
      faults::SetHook([&](faults::Op op) {
        if (op != faults::Op::Exchange) return 0;
        if (c.swap && looked.size() == 1u) {
          WriteFile(target + ".other", "other");
          std::filesystem::rename(target + ".other", target);
        }
        return c.refusal;
      });
      bool raised = false;
      try {
        source->MoveFileTo(FolderItem(target), [&](const std::string& path, const std::string& file) {
          EXPECT_EQ(path, target);
          looked.push_back(file == target ? "target" : "taken out");
          if (ReadFile(file) != "old") throw std::runtime_error("changed");
        });
      } catch (const std::runtime_error&) {
        raised = true;
      }
      faults::SetHook({});
      EXPECT_EQ(raised, c.swap);
      EXPECT_EQ(looked, c.looked);
      EXPECT_EQ(ReadFile(target), c.swap ? "other" : "new");
      EXPECT_EQ(ReadFile(folder + "/hard.spc"), "old");
      EXPECT_EQ(Entries(folder), (std::vector<std::string>{"hard.spc", "song.spc"}));
      if (!c.swap) {
        EXPECT_FALSE(std::filesystem::exists(work_ + "/new"));
      }
      std::filesystem::remove(work_ + "/new");
    }
  }
}

TEST_F(FileReplacement, ARealFullDiskLeavesTheTargetWhole) {
  testing_support::Tmpfs small("96k");
  if (!small.Mounted()) GTEST_SKIP() << small.Why();
  const std::string target = small.Path() + "/song.spc";
  WriteFile(target, std::string(66048, 'o'));
  WriteFile(work_ + "/new", std::string(66048 + 4096, 'n'));  // no room for a second copy beside it
  EXPECT_THROW(FolderItem(work_ + "/new").MoveFileTo(FolderItem(target)), IOException);
  EXPECT_EQ(ReadFile(target), std::string(66048, 'o'));
  EXPECT_EQ(Entries(small.Path()), std::vector<std::string>{"song.spc"});
}

TEST_F(FileReplacement, AReadOnlyFileSystemLeavesTheTargetWhole) {
  testing_support::Tmpfs disk("1m");
  if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
  const std::string target = disk.Path() + "/song.spc";
  WriteFile(target, "old");
  if (!disk.MakeReadOnly()) GTEST_SKIP() << "cannot remount read-only";
  WriteFile(work_ + "/new", "new");
  try {
    FolderItem(work_ + "/new").MoveFileTo(FolderItem(target));
    ADD_FAILURE() << "replaced a file on a read-only file system";
  } catch (const IOException& e) {
    EXPECT_EQ(e.ErrorNumber(), EROFS);
    EXPECT_NE(std::string(e.what()).find("song.spc"), std::string::npos);
  }
  EXPECT_EQ(ReadFile(target), "old");
}

// Rights never change without a word: where the replaced file's status cannot be read, or its mode or an extended
// attribute that it has (an ACL among them) cannot be given to the new file, the move raises RightsNotCarried,
// whichever call of that kind is refused and wherever the new file was written, and the target stays as it was with
// nothing beside it. Once no call is refused, the new file has all of it.
TEST_F(FileReplacement, RightsThatCannotBeCarriedOverStopTheMove) {
  const struct {
    const char* what;
    faults::Op op;
    std::string attribute, value;
  } cases[] = {
      {"status refused", faults::Op::Status, "", ""},
      {"mode refused", faults::Op::Mode, "", ""},
      {"a user attribute refused", faults::Op::Attributes, "user.quenlet.note", "kept"},
      {"an ACL refused", faults::Op::Attributes, "system.posix_acl_access", testing_support::AccessAcl()},
  };
  ForEachWay([&](const std::string& from, const std::string& folder, const std::string& target) {
    for (const auto& c : cases) {
      SCOPED_TRACE(from + ", " + c.what);
      const auto restore = [&] {
        std::filesystem::remove(target);
        WriteFile(target, "old");
        ::chmod(target.c_str(), 0640);
        return c.attribute.empty() ||
               ::setxattr(target.c_str(), c.attribute.c_str(), c.value.data(), c.value.size(), 0) == 0;
      };
      if (!restore()) {
        std::cout << "[   NOTE   ] " << folder << " cannot hold " << c.attribute << ": " << std::strerror(errno)
                  << "\n";
        continue;
      }
      int n = 1;
      for (;; ++n) {
        restore();
        auto source = NewFile(from, target);
        int calls = 0;
        faults::SetHook([&](faults::Op op) { return op == c.op && ++calls == n ? EPERM : 0; });
        std::optional<IOException> raised;
        try {
          source->MoveFileTo(FolderItem(target));
        } catch (const IOException& e) {
          raised = e;
        }
        faults::SetHook({});
        EXPECT_EQ(Entries(folder), std::vector<std::string>{"song.spc"}) << "call " << n;
        if (!raised) break;
        EXPECT_EQ(raised->Kind(), IOKind::RightsNotCarried) << "call " << n << ": " << raised->what();
        EXPECT_EQ(raised->ErrorNumber(), EPERM);
        EXPECT_EQ(ReadFile(target), "old");
        EXPECT_EQ(ModeOf(target), 0640u);
        std::filesystem::remove(work_ + "/new");
        if (n == 20) break;
      }
      EXPECT_GT(n, 1) << "nothing was refused";
      EXPECT_EQ(ReadFile(target), "new");
      EXPECT_EQ(ModeOf(target), 0640u);
      if (!c.attribute.empty()) {
        EXPECT_EQ(testing_support::AttributeOf(target, c.attribute), c.value);
      }
    }
  });
}

// A label that the system gave the new file counts as carried over where it is the very value that the old file
// has: only where it holds another does a refused setting stop the move.
TEST_F(FileReplacement, AnAttributeThatTheNewFileHoldsAlreadyCountsAsCarriedOver) {
  const std::string target = work_ + "/song.spc";
  const std::string source = work_ + "/new";
  const std::string name = "user.quenlet.label";
  const auto restore = [&](const std::string& held) {
    std::filesystem::remove(target);
    WriteFile(target, "old");
    WriteFile(source, "new");
    if (!held.empty()) ::setxattr(source.c_str(), name.c_str(), held.data(), held.size(), 0);
    return ::setxattr(target.c_str(), name.c_str(), "label", 5, 0) == 0;
  };
  if (!restore("")) GTEST_SKIP() << "the scratch folder cannot hold " << name << ": " << std::strerror(errno);
  // The last call of a clean carry-over of one attribute sets it on the new file.
  int set = 0;
  faults::SetHook([&](faults::Op op) { return (set += op == faults::Op::Attributes), 0; });
  FolderItem(source).MoveFileTo(FolderItem(target));
  faults::SetHook({});
  for (const std::string held : {"label", "another"}) {
    SCOPED_TRACE(held);
    restore(held);
    int calls = 0;
    faults::SetHook([&](faults::Op op) { return op == faults::Op::Attributes && ++calls == set ? EPERM : 0; });
    const bool carried = held == "label";
    try {
      FolderItem(source).MoveFileTo(FolderItem(target));
      EXPECT_TRUE(carried) << "moved with another label";
    } catch (const IOException& e) {
      EXPECT_FALSE(carried) << e.what();
      EXPECT_EQ(e.Kind(), IOKind::RightsNotCarried);
    }
    faults::SetHook({});
    EXPECT_EQ(ReadFile(target), carried ? "new" : "old");
    EXPECT_EQ(testing_support::AttributeOf(target, name), "label");
  }
}

// Until it takes the place of the file it replaces, the new file holds what may be another's bytes: it is made
// private, and only then given the replaced file's mode.
TEST_F(FileReplacement, ANewFileIsPrivateUntilItTakesTheReplacedFilesMode) {
  const std::string target = work_ + "/song.spc";
  WriteFile(target, "old");
  ::chmod(target.c_str(), 0644);
  auto out = BinaryStream::Create(FolderItem(work_ + "/new"));
  out->Write("new");
  out->Close();
  mode_t before = 0;
  faults::SetHook([&](faults::Op op) {
    if (op == faults::Op::Mode) before = ModeOf(work_ + "/new");
    return 0;
  });
  FolderItem(work_ + "/new").MoveFileTo(FolderItem(target));
  EXPECT_EQ(before, 0600u);
  EXPECT_EQ(ModeOf(target), 0644u);
}

// A sync of the folder that fails once the new file is in place is reported as such, after everything else that a
// clean move does: the file replaced, the new file's old name gone, nothing beside it.
TEST_F(FileReplacement, AFolderSyncThatFailsIsReportedWithTheFileReplaced) {
  ForEachWay([&](const std::string& from, const std::string& folder, const std::string& target) {
    // With a check the new file is exchanged in where the file system can; without one it is renamed.
    for (const bool checked : {true, false}) {
      SCOPED_TRACE(from + (checked ? ", checked" : ""));
      WriteFile(target, "old");
      auto source = NewFile(from, target);
      bool placed = false;
      faults::SetHook([&](faults::Op op) {
        if (op == faults::Op::Exchange || op == faults::Op::Rename) placed = true;
        return op == faults::Op::Sync && placed ? EIO : 0;
      });
      try {
        source->MoveFileTo(FolderItem(target), checked ? FolderItem::ReplaceCheck([](auto&, auto&) {})
                                                       : FolderItem::ReplaceCheck());
        ADD_FAILURE() << "a failed sync of the folder was not reported";
      } catch (const IOException& e) {
        EXPECT_EQ(e.Kind(), IOKind::NotDurable);
        EXPECT_EQ(e.ErrorNumber(), EIO);
        EXPECT_EQ(std::string(e.what()), "Could not sync the folder of \"song.spc\": Input/output error.");
      }
      faults::SetHook({});
      EXPECT_EQ(ReadFile(target), "new");
      EXPECT_EQ(Entries(folder), std::vector<std::string>{"song.spc"});
      EXPECT_FALSE(std::filesystem::exists(work_ + "/new"));
    }
  });
}

// Only a file that is gone follows to ""; any other failure says why, or a Save would take a loop of links, say, for
// another program's change.
TEST_F(FileReplacement, FollowingAPathThatFailsSaysWhy) {
  ASSERT_EQ(::symlink("loop.spc", (work_ + "/loop.spc").c_str()), 0);
  WriteFile(work_ + "/plain", "a file");
  EXPECT_EQ(FolderItem(work_ + "/gone.spc").ResolvedPath(), "");
  EXPECT_EQ(FolderItem(work_ + "/plain/song.spc").ResolvedPath(), "");
  try {
    FolderItem(work_ + "/loop.spc").ResolvedPath();
    ADD_FAILURE() << "a loop of links resolved";
  } catch (const IOException& e) {
    EXPECT_EQ(e.Kind(), IOKind::System);
    EXPECT_EQ(e.ErrorNumber(), ELOOP);
    EXPECT_EQ(std::string(e.what()), "Could not follow the path of \"loop.spc\": Too many levels of symbolic links.");
    EXPECT_EQ(e.Place(), work_ + "/loop.spc");
  }
}
