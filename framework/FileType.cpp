#include "FileType.h"

#include <deque>

namespace fw {

namespace {

// A deque keeps the address of every registered type while more are added.
std::deque<FileType>& Registered() {
  static std::deque<FileType> types;
  return types;
}

}  // namespace

void RegisterFileType(const FileType& type) {
  for (FileType& known : Registered()) {
    if (known.Name == type.Name) {
      known = type;
      return;
    }
  }
  Registered().push_back(type);
}

const FileType* FindFileType(const std::string& name) {
  for (const FileType& known : Registered()) {
    if (known.Name == name) return &known;
  }
  return nullptr;
}

}  // namespace fw
