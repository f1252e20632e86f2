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
  // A message box; the text holds the program's own words and file names, so it is shown decoded as a file name.
  virtual void MsgBox(const std::string& text) = 0;
  virtual void Beep() = 0;
  // The report of a failure: a message box that shows it as a warning. A seam that tells no warning apart shows it
  // as any message.
  virtual void ReportFailure(const std::string& text) { MsgBox(text); }
};

// Installs a seam; nullptr restores Qt's.
void SetDialogs(std::unique_ptr<Dialogs> dialogs);

std::shared_ptr<FolderItem> GetOpenFolderItem(const std::string& fileTypes);
void MsgBox(const std::string& text);
void Beep();
void ReportFailure(const std::string& text);

}  // namespace fw
