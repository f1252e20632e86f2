#include "FolderItem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "Failures.h"
#include "Sys.h"

namespace fw {

namespace {

std::string StripSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return path.substr(0, slash);
}

[[noreturn]] void Fail(const std::string& verb, const std::string& path, int error, std::string place = {}) {
  throw IOException(error, sys::Describe(verb, path, error), place.empty() ? path : std::move(place));
}

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// Failures of writing beside a file are its folder's: the place that has no room, or cannot be written.
std::string FolderPlace(const std::string& folder) { return folder == "/" ? folder : folder + "/"; }

// Makes the folder's entry for a file that was just renamed into it reach the disk. A failure here leaves the file
// in place and complete, so it is not reported.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// A hidden name beside a file of that name that nobody can predict.
std::string HiddenName(const std::string& folder, const std::string& name) {
  static std::mt19937_64 random{std::random_device{}()};
  char suffix[17];
  snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
  return (folder == "/" ? "" : folder) + "/." + name + "." + suffix;
}

// Gives the new file open on fd what the replaced file had: its owner where allowed, its extended attributes (ACLs
// are among them) where the file system takes them, and its permission bits. None of it is worth failing a Save
// over, so refusals are not reported.
void CarryOver(int fd, const std::string& target, const struct stat& targetStat) {
  // The owner first: a change of owner may clear the set-id bits that the mode then puts back.
  if (::fchown(fd, targetStat.st_uid, targetStat.st_gid) != 0) {
    // Only the owner's own files can be given away; the bits are what matters.
  }
  std::vector<char> names;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const ssize_t size = ::listxattr(target.c_str(), nullptr, 0);
    if (size <= 0) break;
    names.resize(static_cast<size_t>(size));
    const ssize_t got = ::listxattr(target.c_str(), names.data(), names.size());
    if (got >= 0) {
      names.resize(static_cast<size_t>(got));
      break;
    }
    names.clear();
    if (errno != ERANGE) break;  // ERANGE: the list grew meanwhile
  }
  std::vector<char> value;
  for (size_t at = 0; at < names.size();) {
    const char* name = names.data() + at;
    at += std::strlen(name) + 1;
    const ssize_t size = ::getxattr(target.c_str(), name, nullptr, 0);
    if (size < 0) continue;
    value.resize(static_cast<size_t>(size));
    const ssize_t got = ::getxattr(target.c_str(), name, value.data(), value.size());
    if (got < 0) continue;
    if (::fsetxattr(fd, name, value.data(), static_cast<size_t>(got), 0) != 0) {
      // A file system without extended attributes, or one this user may not set (security labels).
    }
  }
  ::fchmod(fd, targetStat.st_mode & 07777);
}

// A file system without the exchange of two files says so in one of these ways.
bool ExchangeRefused(int error) { return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP; }

// The replacing rename, once the check has passed: from takes target's place. With a check, the two are exchanged
// where the file system can, and the check runs again on what the exchange took out of target's place (now at
// from), so that a file another program put there since the first check is not lost: it is put back, and what the
// check raised goes on. Where the exchange is refused, a rename. Once the target's folder is synced, the replaced
// file is removed (after the sync, so that the sync need not wait for its removal).
// Returns 0, or the error of a rename that failed (EXDEV: another file system) with both files as they were.
int RenameOver(const std::string& from, const std::string& target, const FolderItem::ReplaceCheck& check) {
  if (check) {
    if (sys::Exchange(from.c_str(), target.c_str()) == 0) {
      try {
        check(target, from);
      } catch (...) {
        if (sys::Exchange(from.c_str(), target.c_str()) != 0) sys::Rename(from.c_str(), target.c_str());
        throw;
      }
      SyncFolder(FolderOf(target));
      ::unlink(from.c_str());
      return 0;
    }
    const int error = errno;
    // Gone since the check, maybe: the check says so.
    if (error == ENOENT) check(target, target);
    if (!ExchangeRefused(error) && error != ENOENT) return error;
  }
  if (sys::Rename(from.c_str(), target.c_str()) != 0) return errno;
  SyncFolder(FolderOf(target));
  return 0;
}

}  // namespace

// A file being written in a folder, with no name there until it replaces a file: a file made with O_TMPFILE gets a
// hidden name only right before the rename; where the file system refuses O_TMPFILE it is a hidden file from the
// start. Whatever did not reach its place goes with this object.
struct FolderItem::BesideFile {
  std::string folder;  // no trailing "/" (except the root)
  std::string name;    // of the file beside which it was made, for the hidden names
  int fd = -1;
  std::string named;  // its hidden path while it has one

  BesideFile(std::string folderPath, std::string siblingName)
      : folder(std::move(folderPath)), name(std::move(siblingName)) {}
  ~BesideFile() { Drop(); }
  BesideFile(const BesideFile&) = delete;
  BesideFile& operator=(const BesideFile&) = delete;

  void Drop() {
    if (!named.empty()) ::unlink(named.c_str());
    named.clear();
    if (fd >= 0) ::close(fd);
    fd = -1;
  }

  // Raises IOException, placed at the folder, when the file cannot be made.
  void Create(const std::string& target) {
    fd = sys::Open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    // Kernels and file systems without O_TMPFILE say so in one of these ways.
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
      for (int attempt = 0; attempt < 100; ++attempt) {
        named = HiddenName(folder, name);
        fd = sys::Open(named.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) break;
      }
      if (fd < 0) named.clear();
    }
    if (fd < 0) Fail("write beside", target, errno, FolderPlace(folder));
  }

  // Runs the check, names the file (when it has no name yet) and renames it over target, in the one step that
  // leaves it nameless for the shortest time. On failure the file is dropped and target stays as it was.
  void Replace(const std::string& target, const ReplaceCheck& check) {
    try {
      if (check) check(target, target);
    } catch (...) {
      Drop();
      throw;
    }
    if (named.empty()) {
      for (int attempt = 0; attempt < 100 && named.empty(); ++attempt) {
        const std::string hidden = HiddenName(folder, name);
        if (sys::LinkDescriptor(fd, hidden.c_str()) == 0) {
          named = hidden;
        } else if (errno != EEXIST) {
          break;
        }
      }
      if (named.empty()) {
        const int error = errno;
        Drop();
        Fail("write beside", target, error, FolderPlace(folder));
      }
    }
    int error = 0;
    try {
      error = RenameOver(named, target, check);
    } catch (...) {
      Drop();
      throw;
    }
    if (error != 0) {
      Drop();
      Fail("replace", target, error, FolderPlace(FolderOf(target)));
    }
    named.clear();
    // Its data reached the disk before it was named; a close cannot lose it now.
    ::close(fd);
    fd = -1;
  }
};

namespace {

// The run's private folder, and a descriptor of it that holds an exclusive lock for as long as the folder is in use:
// the lock is how a later run tells a folder of a live run from one whose run was killed.
struct TemporaryFolder {
  std::string path;  // ends with "/"
  std::string override;
  int lock = -1;
  ~TemporaryFolder() {
    if (!path.empty()) {
      if (DIR* dir = ::opendir(path.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
          const std::string name = entry->d_name;
          if (name != "." && name != "..") ::unlink((path + name).c_str());
        }
        ::closedir(dir);
      }
      ::rmdir(path.c_str());
    }
    // Only once the folder is gone: until then a sweeping run must see it as alive.
    Release();
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

constexpr char kTemporaryPrefix[] = "quenlet-";
constexpr char kSuffixAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kSuffixLength = 6;

std::string TemporaryLocation() {
  const char* base = std::getenv("TMPDIR");
  return StripSlashes(base && base[0] == '/' ? base : "/tmp");
}

// Names nobody can predict, so that nobody can take the next one first.
std::string RandomSuffix() {
  static std::random_device device;
  uint64_t bits = (static_cast<uint64_t>(device()) << 32) | device();
  std::string suffix;
  for (size_t i = 0; i < kSuffixLength; ++i, bits /= sizeof kSuffixAlphabet - 1)
    suffix += kSuffixAlphabet[bits % (sizeof kSuffixAlphabet - 1)];
  return suffix;
}

// The prefix and six letters or digits, as mkdtemp would make them; nothing that merely resembles it.
bool IsTemporaryFolderName(const char* name) {
  const size_t prefix = sizeof kTemporaryPrefix - 1;
  if (std::strlen(name) != prefix + kSuffixLength || std::strncmp(name, kTemporaryPrefix, prefix) != 0) return false;
  for (const char* c = name + prefix; *c != '\0'; ++c) {
    if (!((*c >= 'A' && *c <= 'Z') || (*c >= 'a' && *c <= 'z') || (*c >= '0' && *c <= '9'))) return false;
  }
  return true;
}

// A real folder (not a link) of this user that nobody else may enter. A run's folder has this mode only while its
// run holds the lock on it: it is made with another mode, and opened to others never.
bool IsPrivateFolder(const struct stat& st) {
  return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 07777) == 0700;
}

// Makes the folder and locks it before it becomes private: a sweeping run never takes it for the folder of an ended
// run. Returns 0 with the lock in lock, or the error (EEXIST for a name already taken).
int MakeLockedFolder(const std::string& path, int& lock) {
  if (::mkdir(path.c_str(), 0500) != 0) return errno;
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  int error = fd < 0 ? errno : 0;
  if (error == 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) error = errno;
  if (error == 0 && ::fchmod(fd, 0700) != 0) error = errno;
  if (error != 0) {
    if (fd >= 0) ::close(fd);
    ::rmdir(path.c_str());
    return error;
  }
  lock = fd;
  return 0;
}

// Removes the folder name in parent when it is the private folder of a run that has ended: its lock can be taken.
// Never follows a link, never descends into a folder within; what cannot be removed stays.
void RemoveIfEnded(int parent, const char* name) {
  struct stat seen {};
  if (::fstatat(parent, name, &seen, AT_SYMLINK_NOFOLLOW) != 0 || !IsPrivateFolder(seen)) return;
  const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || opened.st_dev != seen.st_dev || opened.st_ino != seen.st_ino ||
      !IsPrivateFolder(opened) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return;
  }
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
  // The name must still be the folder that is locked here, not one made under it since.
  struct stat now {};
  if (::fstatat(parent, name, &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_dev == opened.st_dev &&
      now.st_ino == opened.st_ino)
    ::unlinkat(parent, name, AT_REMOVEDIR);
  ::close(fd);
}

std::string& ResourcesOverride() {
  static std::string folder;
  return folder;
}

}  // namespace

FolderItem::FolderItem(std::string absolutePath) : path_(StripSlashes(std::move(absolutePath))) {}

std::string FolderItem::AbsolutePath() const {
  if (path_ != "/" && Directory()) return path_ + "/";
  return path_;
}

std::string FolderItem::Name() const {
  if (beside_) return "";
  if (path_ == "/") return "/";
  return path_.substr(path_.rfind('/') + 1);
}

bool FolderItem::Exists() const {
  if (beside_) return beside_->fd >= 0;
  struct stat st {};
  return ::lstat(path_.c_str(), &st) == 0;
}

bool FolderItem::Directory() const {
  struct stat st {};
  return ::stat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void FolderItem::Delete() const {
  if (beside_) return beside_->Drop();
  if (::unlink(path_.c_str()) != 0 && errno == EISDIR) ::rmdir(path_.c_str());
}

void FolderItem::MoveFileTo(const FolderItem& destination, const ReplaceCheck& check) const {
  std::string target = destination.path_;
  struct stat linkStat {};
  if (::lstat(target.c_str(), &linkStat) == 0 && S_ISLNK(linkStat.st_mode)) {
    // Replace the file the link names, so the link keeps pointing at the new content.
    char resolved[PATH_MAX];
    if (!::realpath(target.c_str(), resolved)) Fail("replace", target, errno);
    target = resolved;
  }
  struct stat targetStat {};
  const bool replacing = ::stat(target.c_str(), &targetStat) == 0;
  if (replacing && S_ISDIR(targetStat.st_mode)) Fail("replace", target, EISDIR);

  if (beside_) {
    // Written beside already: it only needs its place.
    if (beside_->fd < 0) Fail("replace", target, ENOENT, FolderPlace(beside_->folder));
    if (replacing) CarryOver(beside_->fd, target, targetStat);
    beside_->Replace(target, check);
    return;
  }

  if (replacing) {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
      CarryOver(fd, target, targetStat);
      ::close(fd);
    }
  }
  if (check) check(target, target);
  const int renamed = RenameOver(path_, target, check);
  if (renamed == 0) return;
  if (renamed != EXDEV) Fail("replace", target, renamed, FolderPlace(FolderOf(target)));

  // Another file system: a complete copy beside the target, then the same atomic rename.
  const int in = sys::Open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) Fail("read", path_, errno);
  BesideFile out(FolderOf(target), BaseName(target));
  int error = 0;
  try {
    out.Create(target);
  } catch (...) {
    ::close(in);
    throw;
  }
  std::vector<unsigned char> buffer(256 * 1024);
  off_t offset = 0;
  while (error == 0) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    if (n == 0) break;
    if (sys::PwriteAll(out.fd, buffer.data(), static_cast<size_t>(n), offset) < 0) error = errno;
    offset += n;
  }
  ::close(in);
  if (error == 0 && replacing) CarryOver(out.fd, target, targetStat);
  if (error == 0 && sys::Fsync(out.fd) != 0) error = errno;
  if (error != 0) Fail("write beside", target, error, FolderPlace(out.folder));
  out.Replace(target, check);
  ::unlink(path_.c_str());
}

std::string FolderItem::ResolvedPath() const {
  char resolved[PATH_MAX];
  return ::realpath(path_.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::shared_ptr<FolderItem> FolderItem::UnnamedBeside(const std::string& siblingPath) {
  const std::string sibling = StripSlashes(siblingPath);
  auto item = std::make_shared<FolderItem>(FolderOf(sibling));
  item->beside_ = std::make_shared<BesideFile>(FolderOf(sibling), BaseName(sibling));
  return item;
}

int FolderItem::CreateUnnamed() const {
  if (beside_->fd >= 0) {
    throw IOException(104, "Could not create a new file in \"" + Name() + "\": one is already there.", AbsolutePath());
  }
  beside_->Create(path_ + "/");
  const int copy = ::fcntl(beside_->fd, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) {
    const int error = errno;
    beside_->Drop();
    Fail("write in", path_, error, FolderPlace(path_));
  }
  return copy;
}

std::shared_ptr<FolderItem> FolderItem::Child(const std::string& name) const {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) return nullptr;
  return std::make_shared<FolderItem>((path_ == "/" ? "" : path_) + "/" + name);
}

std::shared_ptr<FolderItem> FolderItem::Parent() const {
  if (path_ == "/") return nullptr;
  return std::make_shared<FolderItem>(FolderOf(path_));
}

std::shared_ptr<FolderItem> GetFolderItem(const std::string& path, int mode) {
  (void)mode;  // only absolute paths (mode 0) are used
  if (path.empty() || path[0] != '/') return nullptr;
  return std::make_shared<FolderItem>(path);
}

std::shared_ptr<FolderItem> GetTemporaryFolderItem() {
  TemporaryFolder& folder = Temporary();
  if (!folder.override.empty()) return std::make_shared<FolderItem>(folder.override);
  // A long run may outlive its folder (a cleaner of old temporary files), and then someone else may make a folder
  // of that name: use the folder only while it is still this process's own, private, locked one.
  if (!folder.path.empty()) {
    struct stat st {};
    struct stat held {};
    if (::lstat(StripSlashes(folder.path).c_str(), &st) != 0 || !IsPrivateFolder(st) ||
        ::fstat(folder.lock, &held) != 0 || held.st_dev != st.st_dev || held.st_ino != st.st_ino) {
      folder.path.clear();
      folder.Release();
    }
  }
  if (folder.path.empty()) {
    const std::string location = TemporaryLocation();
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
      const std::string path = (location == "/" ? "" : location) + "/" + kTemporaryPrefix + RandomSuffix();
      error = MakeLockedFolder(path, folder.lock);
      if (error == 0) folder.path = path + "/";
    }
    if (error != 0) Fail("create a temporary folder in", location, error);
  }
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
    if (IsTemporaryFolderName(entry->d_name)) RemoveIfEnded(parent, entry->d_name);
  }
  ::closedir(dir);
}

std::shared_ptr<FolderItem> GetApplicationExecutable() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return nullptr;
  return std::make_shared<FolderItem>(std::string(buffer, static_cast<size_t>(n)));
}

std::shared_ptr<FolderItem> GetApplicationBundleResources() {
  if (!ResourcesOverride().empty()) return std::make_shared<FolderItem>(ResourcesOverride());
  auto executable = GetApplicationExecutable();
  return executable ? BundleResourcesOf(*executable) : nullptr;
}

std::shared_ptr<FolderItem> BundleResourcesOf(const FolderItem& executable) {
  auto folder = executable.Parent();
  auto contents = folder ? folder->Parent() : nullptr;
  if (!contents) return nullptr;
  auto bundled = contents->Child("Resources");
  if (bundled && bundled->Directory()) return bundled;
  // An installed program: PREFIX/bin/NAME finds its files in PREFIX/share/NAME.
  auto share = contents->Child("share");
  auto installed = share ? share->Child(executable.Name()) : nullptr;
  if (installed && installed->Directory()) return installed;
  return bundled;
}

void SetBundleResourcesForTesting(const std::string& folder) { ResourcesOverride() = folder; }

void SetTemporaryFolderForTesting(const std::string& folder) { Temporary().override = folder; }

}  // namespace fw
