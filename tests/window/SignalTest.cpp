// A run ended by a signal or a kill leaves nothing behind: SIGTERM, SIGINT and SIGHUP end it as Quit does, with its
// clean-up, and what a killed run leaves is removed by the next start. Measured on child processes: the save victim
// saving through its own private folder, and the program itself.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDialog>
#include <QTimer>

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#include "Resources.h"
#include "TemporaryFolder.h"
#include "WindowTestSupport.h"

extern char** environ;

namespace windowtest {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::WriteFile;

constexpr auto kPatience = std::chrono::seconds(60);

std::string BinFolder() { return fw::GetApplicationExecutable()->Parent()->AbsolutePath(); }

// The private folders of runs in location: "quenlet-" and six letters or digits.
std::vector<std::string> PrivateFolders(const std::string& location) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(location)) {
    const std::string name = entry.path().filename();
    if (name.size() == 14 && name.rfind("quenlet-", 0) == 0 &&
        std::all_of(name.begin() + 8, name.end(), [](unsigned char c) { return std::isalnum(c); }))
      found.push_back(entry.path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

// A child process with TMPDIR set, the quit signals at their default action, and its stdout on a pipe.
class Child {
 public:
  Child(std::vector<std::string> args, const std::string& tmpdir) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e)
      if (std::strncmp(*e, "TMPDIR=", 7) != 0 && std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0) env.push_back(*e);
    env.push_back("TMPDIR=" + tmpdir);
    env.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t quitSignals, none;
    sigemptyset(&quitSignals);
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&quitSignals, number);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &quitSignals);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    if (posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(out[1]);
    out_ = out[0];
  }
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
    if (out_ >= 0) ::close(out_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  void Signal(int number) const { ::kill(pid_, number); }

  // True once the child says "ready"; false when it ends or takes too long first.
  bool Ready() {
    std::string said;
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (said.find("ready\n") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char buffer[256];
      const ssize_t n = ::read(out_, buffer, sizeof buffer);
      if (n <= 0) return false;
      said.append(buffer, static_cast<size_t>(n));
    }
    return said.find("ready\n") != std::string::npos;
  }

  // The wait status; a child that does not end in time is killed, and the status says so.
  int Wait() {
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
      const pid_t done = ::waitpid(pid_, &status, WNOHANG);
      if (done == pid_ || (done < 0 && errno != EINTR)) break;
      if (std::chrono::steady_clock::now() > deadline) ::kill(pid_, SIGKILL);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

bool EndedNormallyWithZero(int status) { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }

std::string Describe(int status) {
  if (WIFSIGNALED(status)) return std::string("killed by ") + strsignal(WTERMSIG(status));
  return "exit code " + std::to_string(WEXITSTATUS(status));
}

class Signals : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = testing_support::ScratchFolder();
    tmp_ = scratch_ + "/tmp";
    fs::create_directories(tmp_);
    file_ = scratch_ + "/song.spc";
    original_ = spctest::SpcBuilder().Ram(3).Text({.song = "Old title", .length = "90", .fade = "3000"}).Bytes();
    WriteFile(file_, original_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(scratch_, ignored);
  }
  std::vector<std::string> Victim(const std::string& mode) const { return {BinFolder() + "save_victim", mode, file_}; }
  bool Saved() const {
    const std::string now = ReadFile(file_);
    return now != original_ && now.find("Saved by the victim") != std::string::npos;
  }

  std::string scratch_, tmp_, file_, original_;
};

// Sent once, or twice in a row as timeout and a shell on hangup do: while no command runs, the second changes nothing.
TEST_F(Signals, TermIntAndHupEndARunAsQuitDoesAndLeaveNoFolder) {
  for (const auto& [number, times] : {std::pair{SIGTERM, 1}, {SIGINT, 1}, {SIGHUP, 1}, {SIGTERM, 2}, {SIGHUP, 2}}) {
    SCOPED_TRACE(std::string(strsignal(number)) + " sent " + std::to_string(times) + " times");
    WriteFile(file_, original_);
    Child run(Victim("--serve"), tmp_);
    ASSERT_TRUE(run.Started());
    ASSERT_TRUE(run.Ready());
    const auto folders = PrivateFolders(tmp_);
    ASSERT_EQ(folders.size(), 1u);
    // The folder of a run still alive is left alone.
    fw::RemoveTemporaryFoldersOfEndedRuns(tmp_);
    EXPECT_TRUE(fs::is_directory(folders[0]));

    for (int i = 0; i < times; ++i) run.Signal(number);
    const int status = run.Wait();
    EXPECT_TRUE(EndedNormallyWithZero(status)) << Describe(status);
    EXPECT_EQ(PrivateFolders(tmp_), std::vector<std::string>{});
    EXPECT_TRUE(Saved());
  }
}

// A cleaner removes the folder of a long run, and someone makes the name again, as a folder of their own or as a
// link to one: the run's exit leaves it and what is in it alone.
TEST_F(Signals, AnExitLeavesAFolderMadeAgainUnderItsName) {
  const std::string elsewhere = scratch_ + "/elsewhere";
  fs::create_directories(elsewhere);
  WriteFile(elsewhere + "/theirs.txt", "someone else's");
  for (const std::string made : {"a folder", "a link"}) {
    SCOPED_TRACE(made);
    Child run(Victim("--serve"), tmp_);
    ASSERT_TRUE(run.Ready());
    const auto folders = PrivateFolders(tmp_);
    ASSERT_EQ(folders.size(), 1u);
    fs::remove_all(folders[0]);
    if (made == "a folder") {
      fs::create_directory(folders[0]);
      WriteFile(folders[0] + "/theirs.txt", "someone else's");
    } else {
      fs::create_directory_symlink(elsewhere, folders[0]);
    }

    run.Signal(SIGTERM);
    const int status = run.Wait();
    EXPECT_TRUE(EndedNormallyWithZero(status)) << Describe(status);
    EXPECT_EQ(ReadFile(folders[0] + "/theirs.txt"), "someone else's");
    EXPECT_EQ(fs::is_symlink(folders[0]), made == "a link");
    EXPECT_EQ(ReadFile(elsewhere + "/theirs.txt"), "someone else's");
    fs::remove_all(folders[0]);
  }
}

// A command that never ends (a Save on a disk that stopped answering) holds the first signal back; a second one ends
// the run at once, whichever of the three it is. The file is as it was, and what the run left goes at the next start.
TEST_F(Signals, ASecondSignalDuringAHungSaveEndsTheRunAtOnce) {
  for (const int second : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(second));
    Child run(Victim("--hang-in-save"), tmp_);
    ASSERT_TRUE(run.Ready());
    run.Signal(SIGTERM);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(::waitpid(run.Pid(), nullptr, WNOHANG), 0) << "the first signal cut the Save short";
    const auto sent = std::chrono::steady_clock::now();
    run.Signal(second);
    const int status = run.Wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == second) << Describe(status);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(10));
    EXPECT_EQ(ReadFile(file_), original_);
    ASSERT_EQ(PrivateFolders(tmp_).size(), 1u);
    fw::RemoveTemporaryFoldersOfEndedRuns(tmp_);
    EXPECT_EQ(PrivateFolders(tmp_), std::vector<std::string>{});
    if (HasFailure()) break;  // each further run would wait out its patience too
  }
}

// A run killed in the middle of a Save leaves its folder with the new file in it; the next start of the program
// removes it, and leaves the folder of a run still alive and another user's alone.
TEST_F(Signals, TheNextStartRemovesWhatAKilledRunLeft) {
  Child alive(Victim("--serve"), tmp_);
  ASSERT_TRUE(alive.Ready());
  const std::vector<std::string> aliveFolder = PrivateFolders(tmp_);
  ASSERT_EQ(aliveFolder.size(), 1u);
  const std::string foreign = tmp_ + "/quenlet-0ther1";
  ASSERT_EQ(::mkdir(foreign.c_str(), 0700), 0);
  ASSERT_EQ(::chown(foreign.c_str(), ::geteuid() + 4242, static_cast<gid_t>(-1)), 0);

  WriteFile(file_, original_);
  Child killed(Victim("--die-in-save"), tmp_);
  ASSERT_TRUE(killed.Started());
  const int status = killed.Wait();
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << Describe(status);
  EXPECT_EQ(ReadFile(file_), original_);
  std::vector<std::string> left;
  for (const std::string& folder : PrivateFolders(tmp_))
    if (folder != aliveFolder[0] && folder != foreign) left.push_back(folder);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_NE(ReadFile(left[0] + "/song.spc").find("Saved by the victim"), std::string::npos);

  Child program({BinFolder() + "quenlet"}, tmp_);
  ASSERT_TRUE(program.Started());
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (fs::exists(left[0]) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(fs::exists(left[0]));
  EXPECT_TRUE(fs::is_directory(aliveFolder[0]));
  EXPECT_TRUE(fs::is_directory(foreign));

  program.Signal(SIGTERM);
  const int programStatus = program.Wait();
  EXPECT_TRUE(EndedNormallyWithZero(programStatus)) << Describe(programStatus);
  alive.Signal(SIGTERM);
  const int aliveStatus = alive.Wait();
  EXPECT_TRUE(EndedNormallyWithZero(aliveStatus)) << Describe(aliveStatus);
  EXPECT_EQ(PrivateFolders(tmp_), std::vector<std::string>{foreign});
}

// In this process, whose runtime catches the quit signals: the loop ends with Quit's code whenever the signal comes,
// but a command (or a dialog's loop inside it) is never cut short.
TEST(QuitSignal, EndsTheLoopOnceTheRunningCommandIsOver) {
  enum class When { BeforeTheLoop, InACommand, InAModalDialog };
  for (const When when : {When::BeforeTheLoop, When::InACommand, When::InAModalDialog}) {
    SCOPED_TRACE(static_cast<int>(when));
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { fw::Quit(7); });
    giveUp.start(30000);
    bool commandFinished = when == When::BeforeTheLoop;
    if (when == When::BeforeTheLoop) ::raise(SIGTERM);
    if (when == When::InACommand) {
      QTimer::singleShot(0, [&commandFinished] {
        ::raise(SIGTERM);
        commandFinished = true;
      });
    }
    if (when == When::InAModalDialog) {
      QTimer::singleShot(0, [&commandFinished] {
        QDialog dialog;
        QTimer::singleShot(0, [] { ::raise(SIGTERM); });
        dialog.exec();
        commandFinished = true;
      });
    }
    EXPECT_EQ(fw::RuntimeRun(), 0);
    EXPECT_TRUE(commandFinished);
  }
}

}  // namespace
}  // namespace windowtest
