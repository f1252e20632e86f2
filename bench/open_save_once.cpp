// One Open and one Save through the main window, as a user gives them: the window is shown, the File menu's Open
// action is triggered, a tag is edited, Save is triggered, and the runtime is torn down as the program does at its
// exit. It is small so that valgrind's memcheck can watch every step of the real paths in a few seconds:
//   valgrind --error-exitcode=1 build/bin/open_save_once
// It exits 0 only when the saved file holds the edit and everything else the opened file held.
#include <unistd.h>

#include <QAction>
#include <QCoreApplication>
#include <QMainWindow>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "Application.h"
#include "Controls.h"
#include "Dialogs.h"
#include "FolderItem.h"
#include "Main.h"
#include "MainWindow.h"
#include "QtAccess.h"
#include "support/SpcBuilder.h"

namespace {

int g_failures = 0;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "open_save_once: %s\n", what);
  ++g_failures;
}

// The open dialog chooses the file under test; any message box is a failure of the run.
class FixedDialogs final : public fw::Dialogs {
 public:
  explicit FixedDialogs(std::string path) : path_(std::move(path)) {}
  std::shared_ptr<fw::FolderItem> GetOpenFolderItem(const std::string&) override { return fw::GetFolderItem(path_); }
  void MsgBox(const std::string& text) override {
    std::fprintf(stderr, "open_save_once: unexpected message: %s\n", text.c_str());
    ++g_failures;
  }
  void Beep() override {}

 private:
  std::string path_;
};

// Every item the display shows, so that every display and write path runs.
std::string FileWithChunk() {
  spctest::Xid6 chunk;
  chunk.String(0x01, "Song from the chunk").String(0x02, "Game").String(0x03, "Artist").String(0x04, "Dumper");
  chunk.String(0x05, "12/24/1999").Value(0x06, 1).String(0x07, "Comments").String(0x10, "Soundtrack");
  chunk.Value(0x11, 2).Value(0x12, 12 * 256 + 'a').String(0x13, "Publisher").Value(0x14, 1999);
  chunk.Long(0x30, 1920000).Long(0x31, 3840000).Long(0x32, 640000).Long(0x33, 640000).Long(0x34, 3);
  chunk.Value(0x35, 2).Long(0x36, 98304);
  return spctest::SpcBuilder()
      .Text({.song = "Song", .game = "Game", .dumper = "Dumper", .comments = "Comments", .date = "12/24/1999",
             .length = "180", .fade = "10000", .artist = "Artist", .mask = 5, .emulator = '1'})
      .Ram(3)
      .Chunk(chunk)
      .Bytes();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Settle() {
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void Trigger(const fw::Window& window, const char* item) {
  QAction* action = fw::ActionOf(window, item);
  Check(action != nullptr && action->isEnabled(), "a menu item is missing or disabled");
  if (action) action->trigger();
  Settle();
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  char folderTemplate[] = "/tmp/quenlet-open-save-XXXXXX";
  if (!::mkdtemp(folderTemplate)) return 2;
  const std::string folder = folderTemplate;
  const std::string original = FileWithChunk();
  const std::string path = spctest::SpcBuilder::WriteFile(folder + "/song.spc", original);

  fw::RuntimeInit(argc, argv);
  fw::SetDialogs(std::make_unique<FixedDialogs>(path));
  Startup();
  MainWindow& window = MainWindow::Instance();
  Settle();
  QMainWindow* shown = fw::WidgetOf(window);
  Check(shown && shown->windowHandle() && shown->windowHandle()->isExposed(), "the main window was not shown");

  Trigger(window, "FileOpen");
  Check(window.Find<fw::TextField>("SongTitle").Text() == "Song from the chunk", "Open did not show the chunk's title");
  window.Find<fw::TextField>("SongTitle").SetText("Edited");
  Settle();
  Trigger(window, "FileSave");

  const std::string saved = ReadAll(path);
  Check(saved.size() >= spctest::kChunkStart, "the saved file is short");
  Check(saved.find("Edited") != std::string::npos, "the saved file lacks the edit");
  Check(saved.compare(spctest::kImageStart, spctest::kImageSize, original, spctest::kImageStart,
                      spctest::kImageSize) == 0,
        "the saved file's memory image differs");

  fw::SetDialogs(nullptr);
  ReleaseModuleObjects();
  fw::RuntimeExit();
  std::filesystem::remove_all(folder);
  if (g_failures == 0) std::printf("open_save_once: opened, edited and saved\n");
  return g_failures == 0 ? 0 : 1;
}
