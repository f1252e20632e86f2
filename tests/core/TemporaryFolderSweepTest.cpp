// The folders that killed runs leave in the temporary location are removed by a later run; nothing else is.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "FolderItem.h"
#include "support/Tmpfs.h"

using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// A folder with one file in it, as a run leaves it.
std::string MakeFolder(const std::string& path, mode_t mode) {
  EXPECT_EQ(::mkdir(path.c_str(), 0700), 0) << path;
  WriteFile(path + "/song.spc", "output");
  EXPECT_EQ(::chmod(path.c_str(), mode), 0);
  return path;
}

class Sweep : public ::testing::Test {
 protected:
  void SetUp() override { location_ = testing_support::ScratchFolder(); }
  void TearDown() override {
    if (locked_ >= 0) ::close(locked_);
    fs::remove_all(location_);
  }
  std::string At(const std::string& name) const { return location_ + "/" + name; }

  std::string location_;
  int locked_ = -1;
};

}  // namespace

TEST_F(Sweep, RemovesTheFolderOfAnEndedRunWithTheFilesAndLinksInIt) {
  const std::string outside = At("outside.spc");
  WriteFile(outside, "the user's");
  const std::string ended = MakeFolder(At("quenlet-Ab3xY9"), 0700);
  ASSERT_EQ(::symlink(outside.c_str(), (ended + "/link.spc").c_str()), 0);
  ASSERT_EQ(::symlink((ended + "/song.spc").c_str(), (ended + "/self").c_str()), 0);

  fw::RemoveTemporaryFoldersOfEndedRuns(location_);

  EXPECT_EQ(Entries(location_), std::vector<std::string>{"outside.spc"});
  EXPECT_EQ(ReadFile(outside), "the user's");
}

// Only a folder this program provably made, for a run that has provably ended, goes.
TEST_F(Sweep, LeavesEverythingElseAlone) {
  struct Case {
    std::string name;
    mode_t mode;
    uid_t owner;
  };
  const uid_t self = ::geteuid();
  const std::vector<Case> folders = {
      {"quenlet-Oth3r1", 0700, self + 4242},  // another user's
      {"quenlet-Open01", 0755, self},         // not private
      {"quenlet-Made01", 0500, self},         // a run between making its folder and locking it
      {"quenlet-test-abc123", 0700, self},    // names that only resemble the pattern
      {"quenlet-abc12", 0700, self},
      {"quenlet-abc1234", 0700, self},
      {"quenlet-ab_c12", 0700, self},
      {"Quenlet-abc123", 0700, self},
      {"xquenlet-abc12", 0700, self},
  };
  for (const Case& c : folders) {
    MakeFolder(At(c.name), c.mode);
    ASSERT_EQ(::chown(At(c.name).c_str(), c.owner, static_cast<gid_t>(-1)), 0) << c.name;
  }
  // A run still alive: this test holds its lock.
  MakeFolder(At("quenlet-L1ve00"), 0700);
  locked_ = ::open(At("quenlet-L1ve00").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(::flock(locked_, LOCK_EX), 0);
  // A link of the pattern to a folder that would qualify, and a plain file of the pattern.
  MakeFolder(At("target"), 0700);
  ASSERT_EQ(::symlink(At("target").c_str(), At("quenlet-L1nk00").c_str()), 0);
  WriteFile(At("quenlet-F1le00"), "not a folder");
  // An ended run's folder with a folder in it: the sweep never descends, so that folder and its parent stay.
  const std::string deep = MakeFolder(At("quenlet-Deep00"), 0700);
  MakeFolder(deep + "/inner", 0700);
  const std::vector<std::string> before = Entries(location_);

  fw::RemoveTemporaryFoldersOfEndedRuns(location_);

  EXPECT_EQ(Entries(location_), before);
  for (const Case& c : folders) EXPECT_EQ(ReadFile(At(c.name + "/song.spc")), "output") << c.name;
  EXPECT_EQ(ReadFile(At("quenlet-L1ve00/song.spc")), "output");
  EXPECT_EQ(ReadFile(At("target/song.spc")), "output");
  EXPECT_TRUE(fs::is_symlink(At("quenlet-L1nk00")));
  EXPECT_EQ(ReadFile(At("quenlet-F1le00")), "not a folder");
  EXPECT_EQ(Entries(deep), std::vector<std::string>{"inner"});
  EXPECT_EQ(ReadFile(deep + "/inner/song.spc"), "output");
}

TEST_F(Sweep, AMissingLocationIsNoFailure) {
  EXPECT_NO_THROW(fw::RemoveTemporaryFoldersOfEndedRuns(At("absent")));
}
