// This run's private temporary folder with its lock, and the sweep of the folders that ended runs left.
#include "TemporaryFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "FilePrivate.h"

namespace fw {

using namespace detail;

namespace {

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

constexpr char kTemporaryPrefix[] = "quenlet-";
constexpr size_t kTemporaryRandom = 6;
// A run's folder is private to its user and carries the sign that this program made it: the sticky bit, which a
// run sets together with the private mode, and only while it holds the folder's lock. mktemp and mkdir never set
// it, so another program's folder of the same name pattern is never taken for a run's.
constexpr mode_t kRunFolderMode = S_ISVTX | 0700;

// Removes the folder name in parent while that name is still the folder seen (never one made under the name since,
// nor a link); only an empty folder can go.
void RemoveIfStillThere(int parent, const char* name, const struct stat& folder) {
  struct stat now {};
  if (::fstatat(parent, name, &now, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(now, folder))
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

// Removes the files and links directly in the folder open on fd (a folder within stays, and nothing in it is
// looked at), all through that descriptor, then the folder under its name in parent.
void EmptyAndRemove(int parent, const char* name, int fd, const struct stat& folder) {
  // The descriptor of the listing shares the lock's open file; closing it keeps the lock.
  const int listing = ::dup(fd);
  if (DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr) {
    while (const dirent* entry = ::readdir(dir)) {
      struct stat st {};
      if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode))
        ::unlinkat(fd, entry->d_name, 0);
    }
    ::closedir(dir);
  } else if (listing >= 0) {
    ::close(listing);
  }
  RemoveIfStillThere(parent, name, folder);
}

// The run's private folder, and a descriptor of it that holds an exclusive lock for as long as the folder is in use:
// the lock is how a later run tells a folder of a live run from one whose run was killed.
struct TemporaryFolder {
  std::string path;  // ends with "/"
  std::string override;
  int lock = -1;
  ~TemporaryFolder() {
    if (!path.empty() && lock >= 0) Remove();
    // Only once the folder is gone: until then a sweeping run must see it as alive.
    Release();
  }
  // Through the descriptor that holds the lock, and only while the name is still that folder: a folder that went
  // during the run may have been made again under its name, as someone else's or as a link to one.
  void Remove() {
    const std::string folder = StripSlashes(path);
    const std::string name = BaseName(folder);
    const int parent = ::open(FolderOf(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0) return;
    struct stat held {};
    struct stat named {};
    if (::fstat(lock, &held) == 0 && ::fstatat(parent, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        SameFile(held, named))
      EmptyAndRemove(parent, name.c_str(), lock, held);
    ::close(parent);
  }
  void Release() {
    if (lock >= 0) ::close(lock);
    lock = -1;
  }
};

TemporaryFolder& Temporary() {
  static TemporaryFolder folder;
  return folder;
}

std::string TemporaryLocation() {
  const char* base = std::getenv("TMPDIR");
  return StripSlashes(base && base[0] == '/' ? base : "/tmp");
}

// A real folder (not a link) of this user that nobody else may enter, with the sign of a run's folder.
bool IsRunFolder(const struct stat& st) {
  return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 07777) == kRunFolderMode;
}

// Makes the folder, locks it, and only then makes it private and gives it the sign: a sweeping run never takes it
// for the folder of an ended run. Returns 0 with the lock in lock, or the error (EEXIST for a name already taken).
int MakeLockedFolder(const std::string& path, int& lock) {
  if (::mkdir(path.c_str(), 0500) != 0) return errno;
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  int error = fd < 0 ? errno : 0;
  if (error == 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) error = errno;
  if (error == 0 && ::fchmod(fd, kRunFolderMode) != 0) error = errno;
  // A file system may drop the sign silently; without it a killed run's folder would never be emptied.
  struct stat st {};
  if (error == 0 && ::fstat(fd, &st) != 0) error = errno;
  if (error == 0 && !IsRunFolder(st)) error = EOPNOTSUPP;
  if (error != 0) {
    if (fd >= 0) ::close(fd);
    ::rmdir(path.c_str());
    return error;
  }
  lock = fd;
  return 0;
}

// Makes a private folder in location; returns its path (ending with "/") with its lock in lock.
std::string MakeTemporaryFolder(const std::string& location, int& lock) {
  int error = EEXIST;
  for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
    const std::string path =
        (location == "/" ? "" : location) + "/" + kTemporaryPrefix + RandomCharacters(kTemporaryRandom);
    error = MakeLockedFolder(path, lock);
    if (error == 0) return path + "/";
  }
  Fail("create a temporary folder in", location, error);
}

// Tidies the folder name in parent, of this program's name pattern, when no run holds its lock: a run's folder goes
// with the files and links in it; any other folder of this user is only removed when it is empty and untouched for
// a minute (a run still making its folder, or what a run killed while making it left).
// Never follows a link, never descends into a folder within; what cannot be removed stays.
void RemoveIfEnded(int parent, const char* name) {
  struct stat seen {};
  if (::fstatat(parent, name, &seen, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(seen.st_mode) || seen.st_uid != ::geteuid())
    return;
  const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  struct stat opened {};
  if (::fstat(fd, &opened) == 0 && SameFile(opened, seen) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    if (IsRunFolder(opened))
      EmptyAndRemove(parent, name, fd, opened);
    else if (UntouchedForAMinute(opened))
      RemoveIfStillThere(parent, name, opened);
  }
  ::close(fd);
}

}  // namespace

std::shared_ptr<FolderItem> GetTemporaryFolderItem() {
  TemporaryFolder& folder = Temporary();
  if (!folder.override.empty()) return std::make_shared<FolderItem>(folder.override);
  // A long run may outlive its folder (a cleaner of old temporary files), and then someone else may make a folder
  // of that name: use the folder only while it is still this process's own, private, locked one.
  if (!folder.path.empty()) {
    struct stat st {};
    struct stat held {};
    if (::lstat(StripSlashes(folder.path).c_str(), &st) != 0 || !IsRunFolder(st) ||
        ::fstat(folder.lock, &held) != 0 || held.st_dev != st.st_dev || held.st_ino != st.st_ino) {
      folder.path.clear();
      folder.Release();
    }
  }
  if (folder.path.empty()) folder.path = MakeTemporaryFolder(TemporaryLocation(), folder.lock);
  return std::make_shared<FolderItem>(folder.path);
}

void RemoveTemporaryFoldersOfEndedRuns() {
  try {
    RemoveTemporaryFoldersOfEndedRuns(TemporaryLocation());
  } catch (...) {
    // Tidying up after others must never stop this run.
  }
}

void RemoveTemporaryFoldersOfEndedRuns(const std::string& location) {
  DIR* dir = ::opendir(location.c_str());
  if (dir == nullptr) return;
  const int parent = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    if (HasNamePattern(entry->d_name, kTemporaryPrefix, kTemporaryRandom)) RemoveIfEnded(parent, entry->d_name);
  }
  ::closedir(dir);
}

void SetTemporaryFolderForTesting(const std::string& folder) { Temporary().override = folder; }

std::string MakeFolderOfAKilledRunForTesting(const std::string& location) {
  int lock = -1;
  const std::string path = MakeTemporaryFolder(location, lock);
  ::close(lock);
  return path;
}

}  // namespace fw
