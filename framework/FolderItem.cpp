#include "FolderItem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
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

constexpr char kLettersAndDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kAlphabet = sizeof kLettersAndDigits - 1;

bool IsLetterOrDigit(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

// Whether name is prefix followed by exactly count letters or digits.
bool HasNamePattern(const char* name, const char* prefix, size_t count) {
  const size_t length = std::strlen(prefix);
  if (std::strlen(name) != length + count || std::strncmp(name, prefix, length) != 0) return false;
  for (const char* c = name + length; *c != '\0'; ++c) {
    if (!IsLetterOrDigit(*c)) return false;
  }
  return true;
}

// Letters and digits that nobody can predict, from the system's random source, so that nobody can take a name
// before this program does.
std::string RandomCharacters(size_t count) {
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

// The copy written beside a file has a name of its own, whatever the file's name (a long one leaves no room to
// add to it), that a later Save recognises should a killed run leave the copy behind.
constexpr char kCopyPrefix[] = ".quenlet-";
constexpr size_t kCopyRandom = 12;

std::string CopyName(const std::string& folder) {
  return (folder == "/" ? "" : folder) + "/" + kCopyPrefix + RandomCharacters(kCopyRandom);
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Nothing written or changed in it for a minute: what a run is still making is never that old.
bool UntouchedForAMinute(const struct stat& st) {
  timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec - st.st_mtim.tv_sec > 60;
}

// Removes the copies that Saves killed between naming a copy and its rename left in the folder: regular files of
// the copies' name pattern, of this user, with no other link, untouched for a minute (so that a Save still writing
// one is left alone). A name that only resembles the pattern stays, and so does whatever cannot be removed.
void RemoveLeftCopies(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const int fd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    if (!HasNamePattern(entry->d_name, kCopyPrefix, kCopyRandom)) continue;
    struct stat st {};
    if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        st.st_uid == ::geteuid() && st.st_nlink == 1 && UntouchedForAMinute(st))
      ::unlinkat(fd, entry->d_name, 0);
  }
  ::closedir(dir);
}

// Gives the new file open on fd what the replaced file had: its owner where allowed, its extended attributes (ACLs
// are among them) where the file system takes them, and its permission bits. None of it is worth failing a Save
// over, so refusals are not reported; but a file that cannot keep its owner loses its set-id bits, or a program
// that ran as its owner would come back as one that runs as this user.
void CarryOver(int fd, const std::string& target, const struct stat& targetStat) {
  mode_t mode = targetStat.st_mode & 07777;
  // The owner first: a change of owner may clear the set-id bits that the mode then puts back.
  if (sys::Fchown(fd, targetStat.st_uid, targetStat.st_gid) != 0) {
    // Only root gives files away; a group of this user's own still keeps a shared file shared.
    if (sys::Fchown(fd, static_cast<uid_t>(-1), targetStat.st_gid) != 0) {
    }
    mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
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
  sys::Fchmod(fd, mode);
}

// Makes the new file open on fd ready to take target's place: everything it takes from the file it replaces first,
// then its data and all of that to the disk, so that a crash after the rename finds it complete. On failure the
// error is in errno.
bool MakeReady(int fd, const std::string& target, bool replacing, const struct stat& targetStat) {
  if (replacing) CarryOver(fd, target, targetStat);
  return sys::Fsync(fd) == 0;
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
  int fd = -1;
  std::string named;  // its hidden path while it has one

  explicit BesideFile(std::string folderPath) : folder(std::move(folderPath)) {}
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
        named = CopyName(folder);
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
        const std::string hidden = CopyName(folder);
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

bool FolderItem::WritePermitted() const {
  if (::faccessat(AT_FDCWD, path_.c_str(), W_OK, AT_EACCESS) == 0) return true;
  return errno != EACCES && errno != EPERM;
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
    if (!MakeReady(beside_->fd, target, replacing, targetStat)) {
      const int error = errno;
      beside_->Drop();
      Fail("write beside", target, error, FolderPlace(beside_->folder));
    }
    beside_->Replace(target, check);
    RemoveLeftCopies(FolderOf(target));
    return;
  }

  struct Descriptor {
    int fd;
    ~Descriptor() {
      if (fd >= 0) ::close(fd);
    }
  } in{sys::Open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)};
  if (in.fd < 0) Fail("read", path_, errno);
  // A file on another file system is copied beside the target straight away: no rename could take it there.
  struct stat inStat {};
  struct stat folderStat {};
  if (::fstat(in.fd, &inStat) == 0 && ::stat(FolderOf(target).c_str(), &folderStat) == 0 &&
      inStat.st_dev == folderStat.st_dev) {
    if (!MakeReady(in.fd, target, replacing, targetStat)) Fail("write", path_, errno);
    if (check) check(target, target);
    const int renamed = RenameOver(path_, target, check);
    if (renamed == 0) {
      RemoveLeftCopies(FolderOf(target));
      return;
    }
    // EXDEV: the same file system mounted at two places, which a rename cannot cross either.
    if (renamed != EXDEV) Fail("replace", target, renamed, FolderPlace(FolderOf(target)));
  }

  // Another file system: a complete copy beside the target, then the same atomic rename.
  BesideFile out(FolderOf(target));
  out.Create(target);
  int error = 0;
  std::vector<unsigned char> buffer(256 * 1024);
  off_t offset = 0;
  while (error == 0) {
    const ssize_t n = ::pread(in.fd, buffer.data(), buffer.size(), offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    if (n == 0) break;
    if (sys::PwriteAll(out.fd, buffer.data(), static_cast<size_t>(n), offset) < 0) error = errno;
    offset += n;
  }
  if (error == 0 && !MakeReady(out.fd, target, replacing, targetStat)) error = errno;
  if (error != 0) Fail("write beside", target, error, FolderPlace(out.folder));
  out.Replace(target, check);
  RemoveLeftCopies(FolderOf(target));
  ::unlink(path_.c_str());
}

std::string FolderItem::ResolvedPath() const {
  char resolved[PATH_MAX];
  return ::realpath(path_.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::shared_ptr<FolderItem> FolderItem::UnnamedBeside(const std::string& siblingPath) {
  const std::string sibling = StripSlashes(siblingPath);
  auto item = std::make_shared<FolderItem>(FolderOf(sibling));
  item->beside_ = std::make_shared<BesideFile>(FolderOf(sibling));
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

std::string MakeFolderOfAKilledRunForTesting(const std::string& location) {
  int lock = -1;
  const std::string path = MakeTemporaryFolder(location, lock);
  ::close(lock);
  return path;
}

}  // namespace fw
