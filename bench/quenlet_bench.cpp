// Measures Open, Save and start-up through the real program, each beside its floor:
//   Open     header check, read and display, against reading the same bytes with one read call;
//   Save     the whole Save, against writing the same bytes, syncing and renaming with plain system calls;
//   Startup  a process from its start to the main window shown, against one that shows a bare Qt window.
// Run it on the offscreen platform:  build/bin/quenlet_bench   (it sets QT_QPA_PLATFORM itself)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QMainWindow>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Application.h"
#include "Dialogs.h"
#include "FolderItem.h"
#include "Main.h"
#include "MainWindow.h"
#include "QtAccess.h"
#include "support/SpcBuilder.h"

extern char** environ;

namespace {

std::string g_self;
std::string g_folder;

// The open dialog always chooses the file under test.
class FixedDialogs final : public fw::Dialogs {
 public:
  std::string path;
  std::shared_ptr<fw::FolderItem> GetOpenFolderItem(const std::string&) override { return fw::GetFolderItem(path); }
  void MsgBox(const std::string& text) override {
    std::fprintf(stderr, "unexpected message: %s\n", text.c_str());
    std::abort();
  }
  void Beep() override {}
};
FixedDialogs* g_dialogs = nullptr;

std::string PlainFile() {
  return spctest::SpcBuilder()
      .Text({.song = "Song", .game = "Game", .dumper = "Dumper", .comments = "Comments", .date = "12/24/1999",
             .length = "180", .fade = "10000", .artist = "Artist", .mask = 5, .emulator = '1'})
      .Ram(7)
      .Bytes();
}

// Every item the display shows, the long texts at their longest.
std::string ExtendedFile() {
  const std::string longText(255, 'x');
  spctest::Xid6 chunk;
  chunk.String(0x01, longText).String(0x02, longText).String(0x03, longText).String(0x04, longText);
  chunk.String(0x05, "12/24/1999").Value(0x06, 1).String(0x07, longText).String(0x10, longText);
  chunk.Value(0x11, 2).Value(0x12, 12 * 256 + 'a').String(0x13, longText).Value(0x14, 1999);
  chunk.Long(0x30, 1920000).Long(0x31, 3840000).Long(0x32, 640000).Long(0x33, 640000).Long(0x34, 3);
  chunk.Value(0x35, 2).Long(0x36, 98304);
  return spctest::SpcBuilder().Text({.length = "180"}).Ram(9).Chunk(chunk).Bytes();
}

const std::string& FileBytes(int kind) {
  static const std::string plain = PlainFile();
  static const std::string extended = ExtendedFile();
  return kind == 0 ? plain : extended;
}

std::string PathFor(int kind, const char* use) {
  return g_folder + "/" + use + (kind == 0 ? "-plain.spc" : "-extended.spc");
}

MainWindow& Window() { return MainWindow::Instance(); }

void OpenThroughWindow(const std::string& path) {
  g_dialogs->path = path;
  if (!Window().RunMenuCommand("FileOpen")) std::abort();
}

void BM_Open(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const std::string path = spctest::SpcBuilder::WriteFile(PathFor(kind, "open"), FileBytes(kind));
  for (auto _ : state) OpenThroughWindow(path);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FileBytes(kind).size()));
}

void BM_OpenFloor(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const std::string path = spctest::SpcBuilder::WriteFile(PathFor(kind, "open"), FileBytes(kind));
  std::vector<char> buffer(FileBytes(kind).size());
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    benchmark::DoNotOptimize(::read(fd, buffer.data(), buffer.size()));
    ::close(fd);
  }
}

void BM_Save(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const std::string path = spctest::SpcBuilder::WriteFile(PathFor(kind, "save"), FileBytes(kind));
  OpenThroughWindow(path);
  for (auto _ : state) {
    if (!Window().RunMenuCommand("FileSave")) std::abort();
  }
}

void BM_SaveFloor(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const std::string& bytes = FileBytes(kind);
  const std::string path = spctest::SpcBuilder::WriteFile(PathFor(kind, "floor"), bytes);
  const std::string temporary = path + ".new";
  for (auto _ : state) {
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
    ::fsync(fd);
    ::close(fd);
    ::rename(temporary.c_str(), path.c_str());
  }
}

void RunChild(benchmark::State& state, const char* mode) {
  for (auto _ : state) {
    char* argv[] = {g_self.data(), const_cast<char*>(mode), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, g_self.c_str(), nullptr, nullptr, argv, environ) != 0) std::abort();
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
  }
}

void BM_Startup(benchmark::State& state) { RunChild(state, "--child=startup"); }
void BM_StartupFloor(benchmark::State& state) { RunChild(state, "--child=bare"); }

void WaitUntilShown(QWidget* widget) {
  while (!widget || !widget->windowHandle() || !widget->windowHandle()->isExposed()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
}

// A child process: start as the program does, and end as soon as the window is on the screen.
int Child(const std::string& mode, int argc, char** argv) {
  if (mode == "--child=startup") {
    fw::RuntimeInit(argc, argv);
    Startup();
    WaitUntilShown(fw::WidgetOf(MainWindow::Instance()));
  } else {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setFixedSize(702, 299);
    window.setWindowTitle("Quenlet");
    window.show();
    WaitUntilShown(&window);
  }
  std::fflush(nullptr);
  ::_exit(0);  // the measure ends at the window shown, not at the tidy exit after it
}

// Keeps the median of each benchmark, to set each beside its floor at the end.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> medians;  // run name -> real time per iteration, in microseconds
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        medians[run.run_name.str()] =
            run.GetAdjustedRealTime() * 1e6 / benchmark::GetTimeUnitMultiplier(run.time_unit);
      }
    }
  }
};

}  // namespace

BENCHMARK(BM_Open)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenFloor)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Save)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SaveFloor)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Startup)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_StartupFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  g_self = fw::GetApplicationExecutable()->AbsolutePath();
  if (argc > 1 && std::strncmp(argv[1], "--child=", 8) == 0) return Child(argv[1], argc, argv);

  char templ[] = "/tmp/quenlet-bench-XXXXXX";
  if (!::mkdtemp(templ)) return 1;
  g_folder = templ;

  // Repetitions give the medians; a caller may still pass its own --benchmark_* flags after these.
  std::vector<char*> args(argv, argv + argc);
  std::string repetitions = "--benchmark_repetitions=5";
  std::string aggregates = "--benchmark_report_aggregates_only=true";
  args.insert(args.begin() + 1, {repetitions.data(), aggregates.data()});
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());

  fw::RuntimeInit(argc, argv);
  auto dialogs = std::make_unique<FixedDialogs>();
  g_dialogs = dialogs.get();
  fw::SetDialogs(std::move(dialogs));
  Startup();

  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::printf("\n| measure | median | floor | ratio |\n|---|---|---|---|\n");
  const struct {
    const char* label;
    const char* run;
    const char* floor;
    const char* unit;
  } rows[] = {
      {"Open, 66,048-byte file", "BM_Open/0", "BM_OpenFloor/0", "us"},
      {"Open, full extended chunk", "BM_Open/1", "BM_OpenFloor/1", "us"},
      {"Save, 66,048-byte file", "BM_Save/0/real_time", "BM_SaveFloor/0/real_time", "us"},
      {"Save, full extended chunk", "BM_Save/1/real_time", "BM_SaveFloor/1/real_time", "us"},
      {"Start-up to the window shown", "BM_Startup/iterations:10/real_time",
       "BM_StartupFloor/iterations:10/real_time", "ms"},
  };
  for (const auto& row : rows) {
    const auto run = reporter.medians.find(row.run);
    const auto floor = reporter.medians.find(row.floor);
    if (run == reporter.medians.end() || floor == reporter.medians.end()) continue;
    const double scale = std::strcmp(row.unit, "ms") == 0 ? 1e-3 : 1.0;
    std::printf("| %s | %.1f %s | %.1f %s | %.2f |\n", row.label, run->second * scale, row.unit,
                floor->second * scale, row.unit, run->second / floor->second);
  }
  std::filesystem::remove_all(g_folder);
  fw::SetDialogs(nullptr);
  return 0;
}
