// Opens a file through the main window (offscreen), edits it and saves it, killing itself with SIGKILL right before
// the k-th open, write, sync, rename or close of the file layer. The window tests run it for every k.
//
//   save_victim FILE TEMPORARY-FOLDER K     exit 0: saved; 2: the Save reported a failure
#include <signal.h>
#include <stdlib.h>

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
  if (argc != 4) {
    std::fprintf(stderr, "usage: save_victim FILE TEMPORARY-FOLDER K\n");
    return 64;
  }
  const std::string file = argv[1];
  const std::string temporary = argv[2];
  const long kill_at = std::strtol(argv[3], nullptr, 10);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // The offscreen platform's notes would bury the test's own output, once for every run.
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  int qt_argc = 1;
  fw::RuntimeInit(qt_argc, argv);

  auto dialogs = std::make_unique<Answer>(file);
  Answer& answer = *dialogs;
  fw::SetDialogs(std::move(dialogs));
  fw::SetTemporaryFolderForTesting(temporary);

  MainWindow& window = MainWindow::Instance();
  window.Find<fw::PushButton>("OpenButton").Push();
  if (answer.messages != 0) return 3;
  window.Find<fw::TextField>("SongTitle").SetText("Saved by the victim");
  window.Find<fw::TextField>("Publisher").SetText("Victim Records");

  long calls = 0;
  fw::faults::SetHook([&calls, kill_at](fw::faults::Op) {
    if (++calls == kill_at) ::raise(SIGKILL);
    return 0;
  });
  window.Find<fw::PushButton>("SaveButton").Push();
  fw::faults::SetHook({});
  const int code = answer.messages == 0 ? 0 : 2;
  fw::RuntimeExit();
  return code;
}
