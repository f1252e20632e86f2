// Opens a file through the main window (offscreen), edits it and saves it, killing itself with SIGKILL right before
// the k-th call of the file layer that asks its fault seam (an open, write, sync, rename, exchange, link or close, a
// change of owner or mode, a look at the status or the attributes of the file it replaces). The window tests run it
// for every k.
//
//   save_victim FILE TEMPORARY-FOLDER K     exit 0: saved; 2: the Save reported a failure
//
// Two more ways save through the run's own private temporary folder (in $TMPDIR), as the program does:
//
//   save_victim --serve FILE         saves, writes "ready" on stdout, then runs the event loop until told to quit;
//                                    exits with the loop's code (2: the Save reported a failure)
//   save_victim --die-in-save FILE   kills itself with SIGKILL once the new file is written, before it moves
//   save_victim --hang-in-save FILE  once the new file is written, before it moves, writes "ready" on stdout and
//                                    waits there for good, as a Save on a disk that stopped answering
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <QtGlobal>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Application.h"
#include "Controls.h"
#include "Dialogs.h"
#include "FileFaults.h"
#include "FolderItem.h"
#include "MainWindow.h"
#include "TemporaryFolder.h"

namespace {

class Answer : public fw::Dialogs {
 public:
  explicit Answer(std::string path) : path_(std::move(path)) {}
  std::shared_ptr<fw::FolderItem> GetOpenFolderItem(const std::string&) override {
    return fw::GetFolderItem(path_);
  }
  void MsgBox(const std::string& text) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    ++messages;
  }
  void Beep() override {}
  int messages = 0;

 private:
  std::string path_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const bool serve = mode == "--serve";
  const bool dieInSave = mode == "--die-in-save";
  const bool hangInSave = mode == "--hang-in-save";
  const bool ownFolder = serve || dieInSave || hangInSave;
  if (!(ownFolder && argc == 3) && !(mode.rfind("--", 0) != 0 && argc == 4)) {
    std::fprintf(stderr,
                 "usage: save_victim FILE TEMPORARY-FOLDER K | --serve FILE | --die-in-save FILE | --hang-in-save "
                 "FILE\n");
    return 64;
  }
  const std::string file = argv[ownFolder ? 2 : 1];
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // The offscreen platform's notes would bury the test's own output, once for every run.
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  int qt_argc = 1;
  fw::RuntimeInit(qt_argc, argv);

  auto dialogs = std::make_unique<Answer>(file);
  Answer& answer = *dialogs;
  fw::SetDialogs(std::move(dialogs));
  if (!ownFolder) fw::SetTemporaryFolderForTesting(argv[2]);

  MainWindow& window = MainWindow::Instance();
  window.Find<fw::PushButton>("OpenButton").Push();
  if (answer.messages != 0) return 3;
  window.Find<fw::TextField>("SongTitle").SetText("Saved by the victim");
  window.Find<fw::TextField>("Publisher").SetText("Victim Records");

  if (serve) {
    window.Find<fw::PushButton>("SaveButton").Push();
    if (answer.messages != 0) return 2;
    std::printf("ready\n");
    std::fflush(stdout);
    const int code = fw::RuntimeRun();
    fw::RuntimeExit();
    return code;
  }

  const long kill_at = dieInSave || hangInSave ? 0 : std::strtol(argv[3], nullptr, 10);
  long calls = 0;
  fw::faults::SetHook([&calls, kill_at, dieInSave, hangInSave](fw::faults::Op op) {
    const bool replacing = op == fw::faults::Op::Exchange || op == fw::faults::Op::Rename;
    if (hangInSave && replacing) {
      std::printf("ready\n");
      std::fflush(stdout);
      // A signal's handler runs and returns here; nothing but the end of the process ends the wait.
      for (;;) ::pause();
    }
    if (dieInSave ? replacing : ++calls == kill_at) ::raise(SIGKILL);
    return 0;
  });
  window.Find<fw::PushButton>("SaveButton").Push();
  fw::faults::SetHook({});
  const int code = answer.messages == 0 ? 0 : 2;
  fw::RuntimeExit();
  return code;
}
