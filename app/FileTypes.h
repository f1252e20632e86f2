// The file type that the open dialog offers.
#pragma once

#include <memory>

#include "FileType.h"

namespace FileTypes {

// Empty until start-up; released at exit.
extern std::shared_ptr<fw::FileType> pSPCFiles;

// Creates and registers "SPCFiles" (extension "spc").
void Initialize();
void pSPCFilesExit();

}  // namespace FileTypes
