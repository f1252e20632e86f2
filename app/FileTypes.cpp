#include "FileTypes.h"

namespace FileTypes {

std::shared_ptr<fw::FileType> pSPCFiles;

void Initialize() {
  pSPCFiles = std::make_shared<fw::FileType>();
  pSPCFiles->Name = "SPCFiles";
  pSPCFiles->Extensions = "spc";
  pSPCFiles->MacType = "";
  pSPCFiles->MacCreator = "";
  fw::RegisterFileType(*pSPCFiles);
}

void pSPCFilesExit() { pSPCFiles.reset(); }

}  // namespace FileTypes
