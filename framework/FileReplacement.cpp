// The replacement of a file in one atomic step: the copy beside it with its short random name, the carry-over of
// owner, attributes and mode, the exchange or rename with its last check, and the removal of the copies that killed
// Saves left.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <vector>

#include "FilePrivate.h"

namespace fw {

using namespace detail;

namespace {

// Failures of writing beside a file are its folder's: the place that has no room, or cannot be written.
std::string FolderPlace(const std::string& folder) { return folder == "/" ? folder : folder + "/"; }

// Makes the folder's entry for a file that was just renamed into it reach the disk. Returns 0, or the error of a
// sync that failed: the file is then in place and complete, but a crash could still undo the rename.
int SyncFolder(const std::string& folder) {
  const int fd = sys::Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int error = sys::Fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return error;
}

struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

// The copy written beside a file has a name of its own, whatever the file's name (a long one leaves no room to
// add to it), that a later Save recognises should a killed run leave the copy behind.
constexpr char kCopyPrefix[] = ".quenlet-";
constexpr size_t kCopyRandom = 12;

std::string CopyName(const std::string& folder) {
  return (folder == "/" ? "" : folder) + "/" + kCopyPrefix + RandomCharacters(kCopyRandom);
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

[[noreturn]] void NotCarried(const std::string& target, int error) {
  throw IOException(IOKind::RightsNotCarried, error, sys::Describe("carry over the rights of", target, error), target);
}

// A file system without extended attributes says so in one of these ways.
bool NoAttributes(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

// Reads what read (of the flistxattr or fgetxattr kind) gives into bytes: its size first, then its content, again
// while it grew in between. Returns false with the error in errno.
template <typename Read>
bool ReadAttributeBytes(std::vector<char>& bytes, const Read& read) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    const ssize_t size = read(nullptr, 0);
    if (size < 0) return false;
    bytes.resize(static_cast<size_t>(size));
    if (size == 0) return true;
    const ssize_t got = read(bytes.data(), bytes.size());
    if (got >= 0) {
      bytes.resize(static_cast<size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;
  }
  errno = ERANGE;
  return false;
}

// The value of the extended attribute name of the file open on fd, as ReadAttributeBytes reads it.
bool ReadAttribute(int fd, const char* name, std::vector<char>& value) {
  return ReadAttributeBytes(value, [fd, name](char* to, size_t size) { return sys::GetAttribute(fd, name, to, size); });
}

// Gives the new file open on fd what the replaced file open on old had: its owner where allowed, its extended
// attributes (ACLs are among them) and its permission bits. Rights must never widen or narrow without a word, so
// anything but the owner that cannot be carried over raises RightsNotCarried. The owner follows `cp -p`: a file that
// cannot keep it loses its set-id bits, or a program that ran as its owner would come back as one that runs as
// this user.
void CarryOver(int fd, int old, const std::string& target, const struct stat& targetStat) {
  mode_t mode = targetStat.st_mode & 07777;
  // The owner first: a change of owner may clear the set-id bits that the mode then puts back.
  if (sys::Fchown(fd, targetStat.st_uid, targetStat.st_gid) != 0) {
    // Only root gives files away; a group of this user's own still keeps a shared file shared.
    if (sys::Fchown(fd, static_cast<uid_t>(-1), targetStat.st_gid) != 0) {
    }
    mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
  }
  std::vector<char> names;
  if (!ReadAttributeBytes(names, [old](char* to, size_t size) { return sys::ListAttributes(old, to, size); })) {
    // A file system without extended attributes: the old file has none to carry over.
    if (!NoAttributes(errno)) NotCarried(target, errno);
    names.clear();
  }
  std::vector<char> value, held;
  for (size_t at = 0; at < names.size();) {
    const char* name = names.data() + at;
    at += std::strlen(name) + 1;
    if (!ReadAttribute(old, name, value)) {
      // Removed since the list was read, or of a kind that the file system does not serve: nothing to carry over.
      if (errno == ENODATA || NoAttributes(errno)) continue;
      NotCarried(target, errno);
    }
    if (sys::SetAttribute(fd, name, value.data(), value.size()) == 0) continue;
    const int error = errno;
    // A label that the system gave the new file (a security label, say) is carried over already where it is the
    // very one the old file has.
    if (!ReadAttribute(fd, name, held) || held != value) NotCarried(target, error);
  }
  if (sys::Fchmod(fd, mode) != 0) NotCarried(target, errno);
}

// Makes the new file open on fd ready to take target's place: everything it takes from the file it replaces (open
// on old, -1 when there is none) first, then its data and all of that to the disk, so that a crash after the rename
// finds it complete. Raises RightsNotCarried where the rights cannot be carried over; a sync that failed gives false
// with the error in errno.
bool MakeReady(int fd, int old, const std::string& target, const struct stat& targetStat) {
  if (old >= 0) CarryOver(fd, old, target, targetStat);
  return sys::Fsync(fd) == 0;
}

// A file system without the exchange of two files says so in one of these ways.
bool ExchangeRefused(int error) { return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP; }

// The replacing rename, once the check has passed: from takes target's place. With a check, the two are exchanged
// where the file system can, and the check runs again on what the exchange took out of target's place (now at
// from), so that a file another program put there since the first check is not lost: it is put back, and what the
// check raised goes on. Where the exchange is refused, a rename. Once the target's folder is synced, the replaced
// file is removed (after the sync, so that the sync need not wait for its removal).
// Returns 0, or the error of a rename that failed (EXDEV: another file system) with both files as they were. Once
// the file is in place, unsynced is the error of a sync of its folder that failed, else 0.
int RenameOver(const std::string& from, const std::string& target, const FolderItem::ReplaceCheck& check,
               int& unsynced) {
  unsynced = 0;
  if (check) {
    if (sys::Exchange(from.c_str(), target.c_str()) == 0) {
      try {
        check(target, from);
      } catch (...) {
        if (sys::Exchange(from.c_str(), target.c_str()) != 0) sys::Rename(from.c_str(), target.c_str());
        throw;
      }
      unsynced = SyncFolder(FolderOf(target));
      ::unlink(from.c_str());
      return 0;
    }
    const int error = errno;
    // Gone since the check, maybe: the check says so.
    if (error == ENOENT) check(target, target);
    if (!ExchangeRefused(error) && error != ENOENT) return error;
  }
  if (sys::Rename(from.c_str(), target.c_str()) != 0) return errno;
  unsynced = SyncFolder(FolderOf(target));
  return 0;
}

// The end of every replacement, once the file is in place: the copies that killed Saves left in its folder go, and a
// sync of the folder that failed is reported, the file being saved all the same.
void Finish(const std::string& target, int unsynced) {
  RemoveLeftCopies(FolderOf(target));
  if (unsynced != 0) {
    throw IOException(IOKind::NotDurable, unsynced, sys::Describe("sync the folder of", target, unsynced),
                      FolderPlace(FolderOf(target)));
  }
}

}  // namespace

void FolderItem::BesideFile::Drop() {
  if (!named.empty()) ::unlink(named.c_str());
  named.clear();
  if (fd >= 0) ::close(fd);
  fd = -1;
}

void FolderItem::BesideFile::Create(const std::string& target) {
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

int FolderItem::BesideFile::Replace(const std::string& target, const ReplaceCheck& check) {
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
  int unsynced = 0;
  try {
    error = RenameOver(named, target, check, unsynced);
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
  return unsynced;
}

void FolderItem::MoveFileTo(const FolderItem& destination, const ReplaceCheck& check) const {
  // Whatever stops the move drops a file written beside, as a failed replacement of it does, so that nothing is left
  // beside the target; one that is in place has nothing left to drop.
  struct DropOnFailure {
    BesideFile* beside;
    const int failures = std::uncaught_exceptions();
    ~DropOnFailure() {
      if (beside != nullptr && std::uncaught_exceptions() > failures) beside->Drop();
    }
  } dropOnFailure{beside_.get()};
  std::string target = destination.path_;
  struct stat linkStat {};
  if (::lstat(target.c_str(), &linkStat) == 0 && S_ISLNK(linkStat.st_mode)) {
    // Replace the file the link names, so the link keeps pointing at the new content.
    char resolved[PATH_MAX];
    if (!::realpath(target.c_str(), resolved)) Fail("replace", target, errno);
    target = resolved;
  }
  // The replaced file's status and attributes are read through one descriptor, so that they are one file's, whatever
  // takes its path meanwhile. Without O_NONBLOCK a named pipe there would wait for a writer.
  const Descriptor old{sys::Open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
  if (old.fd < 0 && errno != ENOENT) NotCarried(target, errno);
  struct stat targetStat {};
  if (old.fd >= 0 && sys::Fstat(old.fd, &targetStat) != 0) NotCarried(target, errno);
  if (old.fd >= 0 && S_ISDIR(targetStat.st_mode)) Fail("replace", target, EISDIR);

  if (beside_) {
    // Written beside already: it only needs its place.
    if (beside_->fd < 0) Fail("replace", target, ENOENT, FolderPlace(beside_->folder));
    if (!MakeReady(beside_->fd, old.fd, target, targetStat)) {
      const int error = errno;
      Fail("write beside", target, error, FolderPlace(beside_->folder));
    }
    Finish(target, beside_->Replace(target, check));
    return;
  }

  const Descriptor in{sys::Open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)};
  if (in.fd < 0) Fail("read", path_, errno);
  // A file on another file system is copied beside the target straight away: no rename could take it there.
  struct stat inStat {};
  struct stat folderStat {};
  if (::fstat(in.fd, &inStat) == 0 && ::stat(FolderOf(target).c_str(), &folderStat) == 0 &&
      inStat.st_dev == folderStat.st_dev) {
    if (!MakeReady(in.fd, old.fd, target, targetStat)) Fail("write", path_, errno);
    if (check) check(target, target);
    int unsynced = 0;
    const int renamed = RenameOver(path_, target, check, unsynced);
    if (renamed == 0) {
      Finish(target, unsynced);
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
  if (error == 0 && !MakeReady(out.fd, old.fd, target, targetStat)) error = errno;
  if (error != 0) Fail("write beside", target, error, FolderPlace(out.folder));
  const int unsynced = out.Replace(target, check);
  ::unlink(path_.c_str());
  Finish(target, unsynced);
}

std::shared_ptr<FolderItem> FolderItem::UnnamedBeside(const std::string& siblingPath) {
  const std::string sibling = StripSlashes(siblingPath);
  auto item = std::make_shared<FolderItem>(FolderOf(sibling));
  item->beside_ = std::make_shared<BesideFile>(FolderOf(sibling));
  return item;
}

int FolderItem::CreateUnnamed() const {
  if (beside_->fd >= 0) {
    throw IOException(IOKind::AlreadyThere, 0,
                      "Could not create a new file in \"" + Name() + "\": one is already there.", AbsolutePath());
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

}  // namespace fw
