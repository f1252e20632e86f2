// The main window under test: a fresh window for each test, the dialog seam answering from a script, scratch files,
// and a probe into the window's protected state.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Application.h"
#include "BinaryStream.h"
#include "Controls.h"
#include "Dialogs.h"
#include "FileFaults.h"
#include "FolderItem.h"
#include "MainWindow.h"
#include "MenuBar1.h"
#include "QtAccess.h"
#include "TemporaryFolder.h"
#include "Text.h"
#include "Window.h"
#include "support/SpcBuilder.h"
#include "support/Tmpfs.h"

// Reaches the window's protected state; declared a friend by MainWindow.
struct MainWindowProbe {
  static std::vector<std::string>& StandardTags(MainWindow& w) { return w.StandardTags; }
  static std::vector<int32_t>& ExtendedIDs(MainWindow& w) { return w.ExtendedIDs; }
  static std::vector<std::string>& ExtendedData(MainWindow& w) { return w.ExtendedData; }
  static bool& BinaryFormat(MainWindow& w) { return w.BinaryFormat; }
  static bool& ExtendedChannelDisables(MainWindow& w) { return w.ExtendedChannelDisables; }
  static int32_t& HeaderEmulator(MainWindow& w) { return w.HeaderEmulator; }
  static std::shared_ptr<fw::FolderItem>& SPCFile(MainWindow& w) { return w.SPCFile; }
  static std::shared_ptr<fw::BinaryStream>& SPCStream(MainWindow& w) { return w.SPCStream; }
  static std::shared_ptr<fw::FolderItem>& FileOut(MainWindow& w) { return w.FileOut; }
  static std::shared_ptr<fw::BinaryStream>& SPCOut(MainWindow& w) { return w.SPCOut; }
  static void ClearFields(MainWindow& w) { w.ClearFields(); }
  static void DisplayExtendedTags(MainWindow& w) { w.DisplayExtendedTags(); }
  static void DisplayStandardTags(MainWindow& w) { w.DisplayStandardTags(); }
  static std::string LongStr(double value) { return MainWindow::LongStr(value); }
};

namespace windowtest {

// Answers the open dialog from a queue (an empty queue cancels) and records what the program showed.
class RecordingDialogs : public fw::Dialogs {
 public:
  std::deque<std::string> answers;  // absolute paths; "" cancels
  std::vector<std::string> asked;   // the file types of each open dialog
  std::vector<std::string> messages;
  // The messages shown as warnings, each also in messages.
  std::vector<std::string> warnings;
  int beeps = 0;

  std::shared_ptr<fw::FolderItem> GetOpenFolderItem(const std::string& fileTypes) override {
    asked.push_back(fileTypes);
    if (answers.empty()) return nullptr;
    const std::string path = answers.front();
    answers.pop_front();
    return path.empty() ? nullptr : fw::GetFolderItem(path);
  }
  void MsgBox(const std::string& text) override { messages.push_back(text); }
  void ReportFailure(const std::string& text) override {
    messages.push_back(text);
    warnings.push_back(text);
  }
  void Beep() override { ++beeps; }
};

// Closes every window and lets the framework destroy them.
inline void CloseAllWindows() {
  for (fw::Window* window : fw::OpenWindows()) window->Close();
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }
}

// A new program state for the Mode menu: neither mark set, as the menu bar is built.
inline void ResetModeMarks() {
  auto bar = MenuBar1::Instance();
  bar->Lookup("ModeStandard")->SetChecked(false);
  bar->Lookup("ModeAdvanced")->SetChecked(false);
}

// Whether a label shows all of its text inside its box: on one line each, or wrapped where the label wraps.
inline ::testing::AssertionResult TextFitsItsBox(const fw::StaticText& label) {
  auto* shown = qobject_cast<QLabel*>(fw::WidgetOf(label));
  if (shown == nullptr) return ::testing::AssertionFailure() << label.Name() << " shows no label";
  int needed = shown->sizeHint().height();
  int wide = 0;
  if (shown->wordWrap()) {
    needed = shown->heightForWidth(label.Width());
  } else {
    // The ink of the widest line: a right-aligned label may give its last pixel of advance to the gap after it.
    for (const QString& line : shown->text().split(u'\n')) {
      wide = std::max(wide, shown->fontMetrics().boundingRect(line).width());
    }
  }
  if (needed > label.Height() || wide > label.Width()) {
    return ::testing::AssertionFailure() << label.Name() << " needs " << wide << " x " << needed << " pixels, has "
                                         << label.Width() << " x " << label.Height();
  }
  return ::testing::AssertionSuccess();
}

inline std::vector<MainWindow*> OpenMainWindows() {
  std::vector<MainWindow*> found;
  for (fw::Window* window : fw::OpenWindows())
    if (auto* main = dynamic_cast<MainWindow*>(window)) found.push_back(main);
  return found;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CloseAllWindows();
    auto dialogs = std::make_unique<RecordingDialogs>();
    dialogs_ = dialogs.get();
    fw::SetDialogs(std::move(dialogs));
    ResetModeMarks();
    scratch_ = testing_support::ScratchFolder();
    window_ = &MainWindow::Instance();
  }

  void TearDown() override {
    fw::faults::SetHook({});
    fw::SetTemporaryFolderForTesting("");
    CloseAllWindows();
    fw::SetDialogs(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(scratch_, ignored);
  }

  MainWindow& W() { return *window_; }
  RecordingDialogs& D() { return *dialogs_; }

  fw::TextField& Field(const std::string& name) { return W().Find<fw::TextField>(name); }
  fw::TextArea& Area(const std::string& name) { return W().Find<fw::TextArea>(name); }
  fw::CheckBox& Box(const std::string& name) { return W().Find<fw::CheckBox>(name); }
  fw::PushButton& Button(const std::string& name) { return W().Find<fw::PushButton>(name); }
  int Row() { return W().Find<fw::PopupMenu>("DumpedWith").ListIndex(); }
  // The text of a field or a multi-line field.
  std::string Text(const std::string& name) {
    if (auto* field = dynamic_cast<fw::TextField*>(W().Control(name))) return field->Text();
    return Area(name).Text();
  }
  // "1" for each checked box, Channel1 first.
  std::string Channels() {
    std::string boxes;
    for (int i = 1; i <= 8; ++i) boxes += Box("Channel" + std::to_string(i)).Value() ? '1' : '0';
    return boxes;
  }
  bool Standard() { return W().ModeStandard()->Checked(); }
  bool Advanced() { return W().ModeAdvanced()->Checked(); }
  void ToAdvanced() { W().RunMenuCommand("ModeAdvanced"); }
  void ToStandard() { W().RunMenuCommand("ModeStandard"); }

  std::string Scratch(const std::string& name) const { return scratch_ + "/" + name; }
  std::string WriteSpc(const std::string& name, const spctest::SpcBuilder& spc) { return spc.WriteTo(Scratch(name)); }

  // Chooses the file in the open dialog that the Open button shows.
  void Open(const std::string& path) {
    D().answers.push_back(path);
    Button("OpenButton").Push();
  }
  void Save() { Button("SaveButton").Push(); }

  MainWindow* window_ = nullptr;
  RecordingDialogs* dialogs_ = nullptr;
  std::string scratch_;
};

}  // namespace windowtest
