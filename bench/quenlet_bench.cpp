// Measures Open, Save and start-up through the real program, each beside its floor:
//   Open     header check, read and display, against reading the same bytes with one read call;
//   Save     the whole Save, against writing the same bytes, syncing and renaming with plain system calls;
//   Startup  a process from its start to the main window shown, against one that shows a bare Qt window.
// Beside those it measures what tells a miss apart: the reading alone (Open without the display), Save's floor with
// the folder synced too, and a bare window that shows one line of text (which makes Qt load the font database).
// Open alternates between two files of the same shape whose texts differ, so every Open really changes what every
// control shows. Run it on the offscreen platform:  bash scripts/bench.sh   (it sets QT_QPA_PLATFORM itself)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
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
#include "Resources.h"
#include "SPCFormat.h"
#include "BinaryStream.h"
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

// Two variants of each file: the same layout and lengths, other texts and other image bytes.
std::string PlainFile(int variant) {
  const std::string v(1, static_cast<char>('A' + variant));
  return spctest::SpcBuilder()
      .Text({.song = "Song " + v, .game = "Game " + v, .dumper = "Dumper " + v, .comments = "Comments " + v,
             .date = "12/24/1999", .length = "180", .fade = "10000", .artist = "Artist " + v, .mask = 5,
             .emulator = '1'})
      .Ram(7 + static_cast<uint32_t>(variant))
      .Bytes();
}

// Every item the display shows, the long texts at their longest.
std::string ExtendedFile(int variant) {
  const std::string longText(255, static_cast<char>('x' + variant));
  spctest::Xid6 chunk;
  chunk.String(0x01, longText).String(0x02, longText).String(0x03, longText).String(0x04, longText);
  chunk.String(0x05, "12/24/1999").Value(0x06, 1).String(0x07, longText).String(0x10, longText);
  chunk.Value(0x11, 2).Value(0x12, 12 * 256 + 'a').String(0x13, longText).Value(0x14, 1999);
  chunk.Long(0x30, 1920000).Long(0x31, 3840000).Long(0x32, 640000).Long(0x33, 640000).Long(0x34, 3);
  chunk.Value(0x35, 2).Long(0x36, 98304);
  return spctest::SpcBuilder().Text({.length = "180"}).Ram(9 + static_cast<uint32_t>(variant)).Chunk(chunk).Bytes();
}

const std::string& FileBytes(int kind, int variant = 0) {
  static const std::string files[2][2] = {{PlainFile(0), PlainFile(1)}, {ExtendedFile(0), ExtendedFile(1)}};
  return files[kind][variant];
}

std::string PathFor(int kind, const char* use, int variant = 0) {
  return g_folder + "/" + use + (variant == 0 ? "" : "-b") + (kind == 0 ? "-plain.spc" : "-extended.spc");
}

// The two variants of a kind, written for Open.
struct OpenFiles {
  std::string path[2];
  explicit OpenFiles(int kind) {
    for (int variant = 0; variant < 2; ++variant)
      path[variant] = spctest::SpcBuilder::WriteFile(PathFor(kind, "open", variant), FileBytes(kind, variant));
  }
};

// The reading steps of Open, in the order the window takes them, without the window.
class Reader final : public SPCFormat {
 public:
  void Read(const std::string& path) {
    SPCFile = fw::GetFolderItem(path);
    if (!ReadTagModel()) std::abort();
    SPCStream->Close();
  }
  std::size_t Items() const { return ExtendedData.size(); }

 protected:
  std::string TagText(const std::string&) override { return {}; }
  bool TagChecked(const std::string&) override { return false; }
  int32_t TagRow(const std::string&) override { return 0; }
  bool StandardUnits() override { return true; }
};

MainWindow& Window() { return MainWindow::Instance(); }

void OpenThroughWindow(const std::string& path) {
  g_dialogs->path = path;
  if (!Window().RunMenuCommand("FileOpen")) std::abort();
}

void BM_Open(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const OpenFiles files(kind);
  int variant = 0;
  for (auto _ : state) {
    OpenThroughWindow(files.path[variant]);
    variant ^= 1;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FileBytes(kind).size()));
}

void BM_OpenReadOnly(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const OpenFiles files(kind);
  int variant = 0;
  for (auto _ : state) {
    Reader reader;
    reader.Read(files.path[variant]);
    benchmark::DoNotOptimize(reader.Items());
    variant ^= 1;
  }
}

void BM_OpenFloor(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const OpenFiles files(kind);
  std::vector<char> buffer(FileBytes(kind).size());
  int variant = 0;
  for (auto _ : state) {
    const int fd = ::open(files.path[variant].c_str(), O_RDONLY | O_CLOEXEC);
    if (::read(fd, buffer.data(), buffer.size()) != static_cast<ssize_t>(buffer.size())) std::abort();
    ::close(fd);
    benchmark::DoNotOptimize(buffer.data());
    variant ^= 1;
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

// The floor; with folderSync, the folder is synced after the rename as well, so the rename itself is on the disk.
void SaveFloor(benchmark::State& state, bool folderSync) {
  const int kind = static_cast<int>(state.range(0));
  const std::string& bytes = FileBytes(kind);
  const std::string path = spctest::SpcBuilder::WriteFile(PathFor(kind, "floor"), bytes);
  const std::string temporary = path + ".new";
  for (auto _ : state) {
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
    ::fsync(fd);
    ::close(fd);
    if (::rename(temporary.c_str(), path.c_str()) != 0) std::abort();
    if (folderSync) {
      const int folder = ::open(g_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      ::fsync(folder);
      ::close(folder);
    }
  }
}

void BM_SaveFloor(benchmark::State& state) { SaveFloor(state, false); }
void BM_SaveFloorFolderSync(benchmark::State& state) { SaveFloor(state, true); }

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
void BM_StartupFloorText(benchmark::State& state) { RunChild(state, "--child=text"); }

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
    // One line of text is enough to make Qt load the font database, which any window with text pays for.
    if (mode == "--child=text") window.setCentralWidget(new QLabel("Quenlet"));
    window.show();
    WaitUntilShown(&window);
  }
  std::fflush(nullptr);
  ::_exit(0);  // the measure ends at the window shown, not at the tidy exit after it
}

// The offscreen platform says so each time a window is raised or sized; that tells a measure nothing.
void QuietOffscreenNotes(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QStringLiteral("This plugin does not support"))) return;
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
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
BENCHMARK(BM_OpenReadOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenFloor)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Save)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SaveFloor)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SaveFloorFolderSync)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Startup)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_StartupFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_StartupFloorText)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  qInstallMessageHandler(QuietOffscreenNotes);
  g_self = fw::GetApplicationExecutable()->AbsolutePath();
  if (argc > 1 && std::strncmp(argv[1], "--child=", 8) == 0) return Child(argv[1], argc, argv);

  char templ[] = "/tmp/quenlet-bench-XXXXXX";
  if (!::mkdtemp(templ)) return 1;
  g_folder = templ;
  // Qt wants a private runtime folder and warns in every process without one; the children inherit this.
  ::setenv("XDG_RUNTIME_DIR", g_folder.c_str(), 0);

  // Repetitions give the medians. They run in a random interleaving, so that a measure and its floor see the same
  // state of the machine (a disk's sync time drifts over a run). A caller may still pass its own --benchmark_* flags.
  std::vector<char*> args(argv, argv + argc);
  std::string repetitions = "--benchmark_repetitions=9";
  std::string aggregates = "--benchmark_report_aggregates_only=true";
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, {repetitions.data(), aggregates.data(), interleave.data()});
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
      {"(Open's reading alone, 66,048 bytes)", "BM_OpenReadOnly/0", "BM_OpenFloor/0", "us"},
      {"(Open's reading alone, full chunk)", "BM_OpenReadOnly/1", "BM_OpenFloor/1", "us"},
      {"Save, 66,048-byte file", "BM_Save/0/real_time", "BM_SaveFloor/0/real_time", "us"},
      {"Save, full extended chunk", "BM_Save/1/real_time", "BM_SaveFloor/1/real_time", "us"},
      {"(Save, 66,048 bytes; floor syncs the folder too)", "BM_Save/0/real_time",
       "BM_SaveFloorFolderSync/0/real_time", "us"},
      {"(Save, full chunk; floor syncs the folder too)", "BM_Save/1/real_time",
       "BM_SaveFloorFolderSync/1/real_time", "us"},
      {"Start-up to the window shown", "BM_Startup/iterations:10/real_time",
       "BM_StartupFloor/iterations:10/real_time", "ms"},
      {"(Start-up; floor window shows one line of text)", "BM_Startup/iterations:10/real_time",
       "BM_StartupFloorText/iterations:10/real_time", "ms"},
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
