// What the file layer's sources share among themselves: path helpers, its failures, the names nobody can guess, and
// the new file written beside another until it takes that file's place. Not for the program.
#pragma once

#include <sys/random.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>

#include "Failures.h"
#include "FolderItem.h"
#include "Sys.h"

namespace fw {

namespace detail {

inline std::string StripSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

inline std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return path.substr(0, slash);
}

[[noreturn]] inline void Fail(const std::string& verb, const std::string& path, int error, std::string place = {}) {
  throw IOException(error, sys::Describe(verb, path, error), place.empty() ? path : std::move(place));
}

// The path with every link resolved; "" where the file is gone. Any other failure (a loop of links, a folder that
// cannot be searched, a disk that fails) raises: taken for a missing file, it would read as another program's doing.
inline std::string ResolvePath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved)) return resolved;
  const int error = errno;
  if (error == ENOENT || error == ENOTDIR) return {};
  Fail("follow the path of", path, error);
}

// Nothing written or changed in it for a minute: what a run is still making is never that old.
inline bool UntouchedForAMinute(const struct stat& st) {
  timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec - st.st_mtim.tv_sec > 60;
}

inline constexpr char kLettersAndDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
inline constexpr size_t kAlphabet = sizeof kLettersAndDigits - 1;

inline bool IsLetterOrDigit(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Whether name is prefix followed by exactly count letters or digits.
inline bool HasNamePattern(const char* name, const char* prefix, size_t count) {
  const size_t length = std::strlen(prefix);
  if (std::strlen(name) != length + count || std::strncmp(name, prefix, length) != 0) return false;
  for (const char* c = name + length; *c != '\0'; ++c) {
    if (!IsLetterOrDigit(*c)) return false;
  }
  return true;
}

// Letters and digits that nobody can predict, from the system's random source, so that nobody can take a name
// before this program does.
inline std::string RandomCharacters(size_t count) {
  std::string characters;
  unsigned char bytes[32];
  while (characters.size() < count) {
    const ssize_t got = ::getrandom(bytes, sizeof bytes, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw IOException(errno, std::string("Could not make a name nobody can guess: ") + std::strerror(errno) + ".");
    }
    // Only bytes below the largest multiple of the alphabet's size, so that every character is as likely.
    for (ssize_t i = 0; i < got && characters.size() < count; ++i) {
      if (bytes[i] < 256 / kAlphabet * kAlphabet) characters += kLettersAndDigits[bytes[i] % kAlphabet];
    }
  }
  return characters;
}

}  // namespace detail

// A file being written in a folder, with no name there until it replaces a file: a file made with O_TMPFILE gets a
// hidden name only right before the rename; where the file system refuses O_TMPFILE it is a hidden file from the
// start. Whatever did not reach its place goes with this object. (Create and Replace are defined with the
// replacement.)
struct FolderItem::BesideFile {
  std::string folder;  // no trailing "/" (except the root)
  int fd = -1;
  std::string named;  // its hidden path while it has one

  explicit BesideFile(std::string folderPath) : folder(std::move(folderPath)) {}
  ~BesideFile() { Drop(); }
  BesideFile(const BesideFile&) = delete;
  BesideFile& operator=(const BesideFile&) = delete;

  void Drop();

  // Raises IOException, placed at the folder, when the file cannot be made.
  void Create(const std::string& target);

  // Runs the check, names the file (when it has no name yet) and renames it over target, in the one step that
  // leaves it nameless for the shortest time. On failure the file is dropped and target stays as it was. Returns 0,
  // or the error of a sync of target's folder that failed once the file was in place.
  int Replace(const std::string& target, const ReplaceCheck& check);
};

}  // namespace fw
