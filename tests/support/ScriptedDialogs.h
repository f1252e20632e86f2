// A dialog seam for tests: the open dialog answers from a script, and every message and beep is recorded.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "FolderItem.h"

namespace testing_support {

struct DialogLog {
  // Absolute paths to choose, oldest first; "" cancels.
  std::deque<std::string> openAnswers;
  // The file types that each open dialog offered.
  std::vector<std::string> openRequests;
  std::vector<std::string> messages;
  int beeps = 0;
};

class ScriptedDialogs final : public fw::Dialogs {
 public:
  explicit ScriptedDialogs(std::shared_ptr<DialogLog> log) : log_(std::move(log)) {}

  std::shared_ptr<fw::FolderItem> GetOpenFolderItem(const std::string& fileTypes) override {
    log_->openRequests.push_back(fileTypes);
    if (log_->openAnswers.empty()) {
      ADD_FAILURE() << "An open dialog for \"" << fileTypes << "\" was shown with no answer scripted; it cancels.";
      return nullptr;
    }
    std::string path = log_->openAnswers.front();
    log_->openAnswers.pop_front();
    return path.empty() ? nullptr : fw::GetFolderItem(path);
  }

  void MsgBox(const std::string& text) override { log_->messages.push_back(text); }
  void Beep() override { ++log_->beeps; }

 private:
  std::shared_ptr<DialogLog> log_;
};

// Installs a scripted seam for its lifetime; Qt's own dialogs are back once it ends.
class ScriptedDialogsGuard {
 public:
  ScriptedDialogsGuard() : log_(std::make_shared<DialogLog>()) {
    fw::SetDialogs(std::make_unique<ScriptedDialogs>(log_));
  }
  ~ScriptedDialogsGuard() { fw::SetDialogs(nullptr); }
  ScriptedDialogsGuard(const ScriptedDialogsGuard&) = delete;
  ScriptedDialogsGuard& operator=(const ScriptedDialogsGuard&) = delete;

  // The next open dialog chooses this file (an absolute path).
  void ChooseFile(const std::string& path) { log_->openAnswers.push_back(path); }
  // The next open dialog is cancelled.
  void Cancel() { log_->openAnswers.push_back(""); }

  const std::vector<std::string>& Messages() const { return log_->messages; }
  int Beeps() const { return log_->beeps; }
  const std::vector<std::string>& OpenRequests() const { return log_->openRequests; }
  // Scripted answers that no dialog has taken yet.
  size_t PendingAnswers() const { return log_->openAnswers.size(); }
  DialogLog& Log() { return *log_; }

 private:
  std::shared_ptr<DialogLog> log_;
};

}  // namespace testing_support
