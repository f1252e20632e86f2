#pragma once

#include <string>

namespace fw {

// A kind of file the open dialog can offer, known by its name.
struct FileType {
  std::string Name;
  // File-name extensions without the dot, separated by ";".
  std::string Extensions;
  std::string MacType;
  std::string MacCreator;
};

// Makes the file type known to the open dialog by its name (a later one of the same name replaces it).
void RegisterFileType(const FileType& type);
// The registered file type of that name, or nullptr.
const FileType* FindFileType(const std::string& name);

}  // namespace fw
