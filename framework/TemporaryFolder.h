// This run's private temporary folder, and the sweep of the folders that runs which have ended left behind.
#pragma once

#include <memory>
#include <string>

#include "FolderItem.h"

namespace fw {

// This run's private temporary folder (created on first use with mode 0700 and the sticky bit, this program's sign;
// removed with its content at exit while its name is still that folder; made anew should it vanish or stop being
// private). Its AbsolutePath ends with "/". The run holds a lock on it until it is removed, so that a later run can
// tell it from the folder of a run that was killed.
std::shared_ptr<FolderItem> GetTemporaryFolderItem();

// Removes the private temporary folders that runs which have ended left in location (by default where
// GetTemporaryFolderItem makes them): folders of that name pattern, of this user, whose lock is free; one with the
// mode of a run's folder goes with the files and links directly in it, any other only when it is empty and
// untouched for a minute. Anything else stays, and so does whatever cannot be removed. Raises nothing.
void RemoveTemporaryFoldersOfEndedRuns();
void RemoveTemporaryFoldersOfEndedRuns(const std::string& location);

// Tests only: make GetTemporaryFolderItem give this folder ("" restores the private folder of the run).
void SetTemporaryFolderForTesting(const std::string& folder);
// Tests only: makes a private folder in location as a run makes its own, and lets go of it as a killed run does;
// returns its path (ending with "/").
std::string MakeFolderOfAKilledRunForTesting(const std::string& location);

}  // namespace fw
