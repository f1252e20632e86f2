// Modal dialogs and feedback. Everything goes through one seam: the program runs on Qt's dialogs, and tests install
// their own that answer from a script and record what was shown.
#pragma once

#include <memory>
#include <string>

namespace fw {

class FolderItem;

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // The modal open-file dialog, offering the files of the registered file types named (separated by ";");
  // nullptr when the user cancels it.
  virtual std::shared_ptr<FolderItem> GetOpenFolderItem(const std::string& fileTypes) = 0;
  virtual void MsgBox(const std::string& text) = 0;
  virtual void Beep() = 0;
};

// Installs a seam; nullptr restores Qt's.
void SetDialogs(std::unique_ptr<Dialogs> dialogs);

std::shared_ptr<FolderItem> GetOpenFolderItem(const std::string& fileTypes);
void MsgBox(const std::string& text);
void Beep();

}  // namespace fw
