// Open, Revert, Save and Quit.
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <new>
#include <system_error>
#include <utility>

#include "Application.h"
#include "BinaryStream.h"
#include "Dialogs.h"
#include "FolderItem.h"
#include "MainWindow.h"
#include "TemporaryFolder.h"

namespace {

// Why an operation failed, in words for the user, ending with a period.
std::string Reason(const std::exception& failure) {
  std::string reason;
  auto* io = dynamic_cast<const fw::IOException*>(&failure);
  if (io && io->Kind() == fw::IOKind::RightsNotCarried)
    reason = std::string("its permissions could not be carried over (") + std::strerror(io->ErrorNumber()) + ")";
  else if (io && io->ErrorNumber() > 0)
    reason = std::strerror(io->ErrorNumber());
  else if (dynamic_cast<const std::bad_alloc*>(&failure))
    reason = "there is not enough memory";
  else
    reason = failure.what() ? failure.what() : "";
  // The library's own texts ("std::bad_cast" and the like) tell a user nothing.
  if (reason.empty() || reason.rfind("std::", 0) == 0) reason = "an unexpected failure";
  if (reason.back() != '.') reason += '.';
  return reason;
}

int ErrorNumberOf(const std::exception& failure) {
  auto* io = dynamic_cast<const fw::IOException*>(&failure);
  return io ? io->ErrorNumber() : 0;
}

// A failure to write in the folder of the opened file, in words that name the folder, for the causes a user can
// do something about; "" for any other failure.
std::string FolderReason(const std::exception& failure) {
  auto* io = dynamic_cast<const fw::IOException*>(&failure);
  if (!io || io->Place().size() < 2 || io->Place().back() != '/') return "";
  const std::string folder = "\"" + io->Place().substr(0, io->Place().size() - 1) + "\"";
  switch (io->ErrorNumber()) {
    case ENOSPC:
    case EDQUOT:
      return "there is no room left in the folder " + folder + ".";
    case EROFS:
      return "the folder " + folder + " is on a disk that can only be read.";
    case EACCES:
    case EPERM:
      return "there is no permission to write in the folder " + folder + ".";
    default:
      return "";
  }
}

// Whether a failure was the temporary folder's: making it, or creating, writing or closing the output in it.
bool InTemporaryFolder(const std::exception& failure, const std::string& temporary) {
  auto* io = dynamic_cast<const fw::IOException*>(&failure);
  return io && !temporary.empty() && io->Place().rfind(temporary, 0) == 0;
}

void CloseQuietly(const std::shared_ptr<fw::BinaryStream>& stream) {
  if (!stream || !stream->IsOpen()) return;
  try {
    stream->Close();
  } catch (...) {
  }
}

}  // namespace

void MainWindow::OpenSPC() {
  auto chosen = fw::GetOpenFolderItem("SPCFiles");
  if (!chosen) return;

  // A file that is no SPC file, or that cannot be read to the end, must not become the file that Save writes while
  // the controls still show the tags of the file opened before it: the window goes back to what it had.
  auto previousFile = SPCFile;
  auto previousStream = SPCStream;
  auto previousStandard = StandardTags;
  auto previousIDs = ExtendedIDs;
  auto previousData = ExtendedData;
  const bool previousBinary = BinaryFormat;
  const bool previousChannels = ExtendedChannelDisables;
  const int32_t previousEmulator = HeaderEmulator;
  auto previousOpened = std::exchange(Opened, std::nullopt);
  auto restore = [&] {
    CloseQuietly(SPCStream);
    SPCFile = previousFile;
    SPCStream = previousStream;
    StandardTags = previousStandard;
    ExtendedIDs = previousIDs;
    ExtendedData = previousData;
    BinaryFormat = previousBinary;
    ExtendedChannelDisables = previousChannels;
    HeaderEmulator = previousEmulator;
    Opened = std::move(previousOpened);
  };
  bool spc = false;
  try {
    SPCFile = chosen;
    spc = ReadTagModel();
  } catch (...) {
    restore();
    throw;
  }
  if (!spc) {
    restore();
    fw::Beep();
    fw::MsgBox("This file does not appear to be a SPC file!");
    return;
  }
  SetTitle("Quenlet - " + SPCFile->Name());
  ClearFields();
  DisplayExtendedTags();
  DisplayStandardTags();
  SPCStream->Close();
  Find<fw::PushButton>("SaveButton").SetEnabled(true);
  Find<fw::PushButton>("RevertButton").SetEnabled(true);
  if (ExtendedDataDamaged)
    fw::ReportFailure("The extended data of \"" + SPCFile->Name() +
                      "\" is damaged: it was read only in part. A Save writes only what was read.");
}

void MainWindow::RevertSPC() {
  ClearFields();
  DisplayExtendedTags();
  DisplayStandardTags();
}

// The new file is written completely, and only then put in the opened file's place in one step, so a Save that
// fails anywhere leaves the opened file as it was; the user is told it was not saved and why. It is written in the
// temporary folder, or, when that cannot be used, beside the opened file; and it replaces only the file that Open
// read, checked once more at the replacing rename.
void MainWindow::SaveSPC() {
  if (!SPCFile) return;
  const std::string name = SPCFile->Name();
  // Replacing the file needs only its folder to be writable; its own permissions are the user's word on it.
  if (!SPCFile->WritePermitted())
    throw fw::IOException(EACCES, "The file \"" + name + "\" was not saved: there is no permission to write it.");
  // What an earlier Save left here names a file that is gone; a failure below must not act on it.
  FileOut.reset();
  SPCOut.reset();
  auto dropOutput = [this] {
    CloseQuietly(SPCOut);
    CloseQuietly(SPCStream);
    if (FileOut && FileOut->AbsolutePath() != SPCFile->AbsolutePath()) FileOut->Delete();
  };
  // Where the writer puts its output holds for this Save only.
  struct WriterPlace {
    MainWindow& window;
    ~WriterPlace() {
      window.OutputBeside = false;
      window.TemporaryFolder.clear();
    }
  } resetPlace{*this};
  // The error of a sync of the folder that failed once the new file was in place: the Save is done, yet told.
  int unsynced = 0;
  try {
    // The temporary folder is looked up once for the whole Save, so that the writer, the check below and the
    // fallback all mean the same folder, even when it vanishes meanwhile.
    std::string temporary;
    try {
      temporary = fw::GetTemporaryFolderItem()->AbsolutePath();
    } catch (const fw::IOException&) {
      // No temporary folder to be had: the output goes beside the opened file.
    }
    // A folder that vanished right after it was looked up has no "/" at the end of its path.
    if (!temporary.empty() && temporary.back() != '/') temporary.clear();
    // The output takes the opened file's name in the temporary folder: were that the opened file's own folder, the
    // writer would remove the opened file before reading it.
    std::error_code error;
    auto folder = SPCFile->Parent();
    if (!temporary.empty() && folder && std::filesystem::equivalent(temporary, folder->AbsolutePath(), error))
      throw fw::IOException(0, "it lies in the folder that holds the program's temporary files");
    OutputBeside = temporary.empty();
    TemporaryFolder = temporary;
    auto write = [this] {
      WriteStandardData();
      if (NeedsExtendedData()) WriteExtendedData();
      CopyTail();
      SPCOut->Close();
    };
    try {
      write();
    } catch (const std::exception& failure) {
      if (OutputBeside || !InTemporaryFolder(failure, temporary)) throw;
      dropOutput();
      FileOut.reset();
      SPCOut.reset();
      OutputBeside = true;
      write();
    }
    try {
      FileOut->MoveFileTo(*SPCFile, [this](const std::string& target, const std::string& file) {
        CheckOpenedFile(target, file);
      });
    } catch (const fw::IOException& failure) {
      if (failure.Kind() != fw::IOKind::NotDurable) throw;
      // The new file is in place: it is the file from now on, whatever the report below says.
      unsynced = failure.ErrorNumber();
    }
    AdoptSavedFile();
  } catch (const OpenedFileChanged&) {
    dropOutput();
    throw fw::IOException(0, "The file \"" + name +
                                 "\" was not saved: another program changed it after it was opened. Open it again to "
                                 "edit it.");
  } catch (const std::exception& failure) {
    dropOutput();
    std::string reason = FolderReason(failure);
    if (reason.empty()) reason = Reason(failure);
    throw fw::IOException(ErrorNumberOf(failure), "The file \"" + name + "\" was not saved: " + reason);
  }
  if (unsynced != 0) {
    throw fw::IOException(fw::IOKind::NotDurable, unsynced,
                          "The file \"" + name + "\" was saved, but its folder could not be synced to the disk (" +
                              std::strerror(unsynced) + "), so a crash could still undo the Save.");
  }
}

void MainWindow::OpenButton_Action() { OpenSPC(); }

void MainWindow::RevertButton_Action() { RevertSPC(); }

void MainWindow::SaveButton_Action() { SaveSPC(); }

void MainWindow::QuitButton_Action() { fw::Quit(0); }
