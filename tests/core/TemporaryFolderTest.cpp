// This run's private temporary folder; and the folders that killed runs leave in the temporary location, which a
// later run removes, and nothing else.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "TemporaryFolder.h"
#include "support/Tmpfs.h"

using testing_support::Entries;
using testing_support::ModeOf;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

namespace fs = std::filesystem;

// Private to the user, with the sticky bit as the sign of a run's folder.
constexpr mode_t kRunFolder = 01700;

// Sets the time the folder was last changed to that many seconds ago.
void Age(const std::string& path, int seconds) {
  timespec then {};
  ::clock_gettime(CLOCK_REALTIME, &then);
  then.tv_sec -= seconds;
  const timespec times[2] = {then, then};
  EXPECT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

class Sweep : public ::testing::Test {
 protected:
  void SetUp() override { location_ = testing_support::ScratchFolder(); }
  void TearDown() override {
    if (locked_ >= 0) ::close(locked_);
    fs::remove_all(location_);
  }
  std::string At(const std::string& name) const { return location_ + "/" + name; }

  // The folder of a run that was killed, with the new file it was writing, under the name given; old enough that
  // its age never counts for it.
  std::string EndedRun(const std::string& name) {
    const std::string made = fw::MakeFolderOfAKilledRunForTesting(location_);
    EXPECT_EQ(::rename(made.c_str(), At(name).c_str()), 0) << name;
    WriteFile(At(name) + "/song.spc", "output");
    Age(At(name), 600);
    return At(name);
  }
  // Holds the folder's lock, as its run does while it is alive.
  void Lock(const std::string& path) {
    locked_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(::flock(locked_, LOCK_EX), 0);
  }

  std::string location_;
  int locked_ = -1;
};

}  // namespace

TEST(TemporaryFolder, IsPrivateToTheRun) {
  auto temp = fw::GetTemporaryFolderItem();
  const std::string path = temp->AbsolutePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.back(), '/');
  EXPECT_TRUE(temp->Directory());
  EXPECT_EQ(ModeOf(path), kRunFolder);
  EXPECT_EQ(fw::GetTemporaryFolderItem()->AbsolutePath(), path);
  EXPECT_NE(path.rfind("/tmp/quenlet-", 0), std::string::npos);
}

// A folder that vanished, or that is no longer private, is not used again: files in it could be read or swapped.
TEST(TemporaryFolder, IsMadeAgainWhenItIsGoneOrNoLongerPrivate) {
  const std::string first = fw::GetTemporaryFolderItem()->AbsolutePath();
  ASSERT_EQ(::rmdir(first.c_str()), 0);
  const std::string second = fw::GetTemporaryFolderItem()->AbsolutePath();
  EXPECT_EQ(second.back(), '/');
  EXPECT_EQ(ModeOf(second), kRunFolder);

  ASSERT_EQ(::chmod(second.c_str(), 0777), 0);
  const std::string third = fw::GetTemporaryFolderItem()->AbsolutePath();
  EXPECT_NE(third, second);
  EXPECT_EQ(third.back(), '/');
  EXPECT_EQ(ModeOf(third), kRunFolder);
  EXPECT_EQ(fw::GetTemporaryFolderItem()->AbsolutePath(), third);

  // The run no longer holds the folder it gave up: once that looks like a run's again, a sweep takes it, not the
  // new one.
  ASSERT_EQ(::chmod(second.c_str(), kRunFolder), 0);
  fw::RemoveTemporaryFoldersOfEndedRuns(third.substr(0, third.rfind('/', third.size() - 2)));
  EXPECT_FALSE(std::filesystem::exists(second));
  EXPECT_TRUE(std::filesystem::is_directory(third));
}

TEST_F(Sweep, RemovesTheFolderOfAnEndedRunWithTheFilesAndLinksInIt) {
  const std::string outside = At("outside.spc");
  WriteFile(outside, "the user's");
  const std::string ended = EndedRun("quenlet-Ab3xY9");
  ASSERT_EQ(::symlink(outside.c_str(), (ended + "/link.spc").c_str()), 0);
  ASSERT_EQ(::symlink((ended + "/song.spc").c_str(), (ended + "/self").c_str()), 0);

  fw::RemoveTemporaryFoldersOfEndedRuns(location_);

  EXPECT_EQ(Entries(location_), std::vector<std::string>{"outside.spc"});
  EXPECT_EQ(ReadFile(outside), "the user's");
}

// Only a folder this program provably made, for a run that has provably ended, is emptied.
TEST_F(Sweep, LeavesEverythingElseAlone) {
  struct Case {
    std::string name;
    mode_t mode;  // 0: as the run left it
    uid_t owner;
  };
  const uid_t self = ::geteuid();
  const std::vector<Case> folders = {
      {"quenlet-Oth3r1", 0, self + 4242},     // another user's
      {"quenlet-Open01", 01755, self},        // not private
      {"quenlet-Made01", 0500, self},         // a run between making its folder and locking it
      {"quenlet-N0sign", 0700, self},         // private, but without the sign of a run's folder
      {"quenlet-test-abc123", 0, self},       // names that only resemble the pattern
      {"quenlet-abc12", 0, self},
      {"quenlet-abc1234", 0, self},
      {"quenlet-ab_c12", 0, self},
      {"Quenlet-abc123", 0, self},
      {"xquenlet-abc12", 0, self},
  };
  for (const Case& c : folders) {
    EndedRun(c.name);
    if (c.mode != 0) {
      ASSERT_EQ(::chmod(At(c.name).c_str(), c.mode), 0) << c.name;
    }
    ASSERT_EQ(::chown(At(c.name).c_str(), c.owner, static_cast<gid_t>(-1)), 0) << c.name;
  }
  // The user's own folder of the same shape, as `mktemp -d -p "$TMPDIR" quenlet-XXXXXX` makes it, however old.
  std::string own = At("quenlet-XXXXXX");
  ASSERT_NE(::mkdtemp(own.data()), nullptr);
  WriteFile(own + "/notes.txt", "the user's");
  Age(own, 600);
  // A run still alive: this test holds its lock.
  Lock(EndedRun("quenlet-L1ve00"));
  // A link of the pattern to a folder that would qualify, and a plain file of the pattern.
  EndedRun("target");
  ASSERT_EQ(::symlink(At("target").c_str(), At("quenlet-L1nk00").c_str()), 0);
  WriteFile(At("quenlet-F1le00"), "not a folder");
  // An ended run's folder with a folder in it: the sweep never descends, so that folder and its parent stay.
  const std::string deep = EndedRun("quenlet-Deep00");
  ASSERT_EQ(::mkdir((deep + "/inner").c_str(), 0700), 0);
  WriteFile(deep + "/inner/song.spc", "output");
  const std::vector<std::string> before = Entries(location_);

  fw::RemoveTemporaryFoldersOfEndedRuns(location_);

  EXPECT_EQ(Entries(location_), before);
  for (const Case& c : folders) EXPECT_EQ(ReadFile(At(c.name + "/song.spc")), "output") << c.name;
  EXPECT_EQ(ReadFile(own + "/notes.txt"), "the user's");
  EXPECT_EQ(ReadFile(At("quenlet-L1ve00/song.spc")), "output");
  EXPECT_EQ(ReadFile(At("target/song.spc")), "output");
  EXPECT_TRUE(fs::is_symlink(At("quenlet-L1nk00")));
  EXPECT_EQ(ReadFile(At("quenlet-F1le00")), "not a folder");
  EXPECT_EQ(Entries(deep), std::vector<std::string>{"inner"});
  EXPECT_EQ(ReadFile(deep + "/inner/song.spc"), "output");
}

// An empty folder of the pattern loses nothing when it goes, but only once nobody could still be making it: a run
// killed while it made its folder leaves one (mode 0500, or 0700 without the sign), as may the user.
TEST_F(Sweep, RemovesAnEmptyFolderOnlyOnceItIsAMinuteOld) {
  const struct {
    const char* name;
    mode_t mode;
    int age;  // seconds
    bool locked;
    bool removed;
  } cases[] = {
      {"quenlet-Kill05", 0500, 120, false, true},   // killed between making its folder and locking it
      {"quenlet-Kill07", 0700, 120, false, true},
      {"quenlet-Mak1ng", 0500, 0, false, false},    // a run making its folder right now
      {"quenlet-Fresh7", 0700, 0, false, false},
      {"quenlet-Ag1ng5", 0500, 30, false, false},
      {"quenlet-L0cked", 0500, 120, true, false},   // a run that holds it, however old
  };
  for (const auto& c : cases) {
    ASSERT_EQ(::mkdir(At(c.name).c_str(), c.mode), 0) << c.name;
    Age(At(c.name), c.age);
    if (c.locked) Lock(At(c.name));
  }

  fw::RemoveTemporaryFoldersOfEndedRuns(location_);

  for (const auto& c : cases) EXPECT_EQ(!fs::exists(At(c.name)), c.removed) << c.name;
}

TEST_F(Sweep, AMissingLocationIsNoFailure) {
  EXPECT_NO_THROW(fw::RemoveTemporaryFoldersOfEndedRuns(At("absent")));
}
