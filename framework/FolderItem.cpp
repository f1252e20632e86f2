#include "FolderItem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
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

[[noreturn]] void Fail(const std::string& verb, const std::string& path, int error) {
  throw IOException(error, sys::Describe(verb, path, error));
}

// Makes the folder's entry for a file that was just renamed into it reach the disk. A failure here leaves the file
// in place and complete, so it is not reported.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// A new file beside the target, created exclusively under a name nobody can predict.
int CreateSibling(const std::string& target, std::string& siblingPath) {
  static std::mt19937_64 random{std::random_device{}()};
  const std::string folder = FolderOf(target);
  const std::string name = target.substr(target.rfind('/') + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[17];
    snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
    siblingPath = (folder == "/" ? "" : folder) + "/." + name + "." + suffix;
    const int fd = sys::Open(siblingPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Copies source into a new sibling of target with target's permission bits, synced to disk; returns its path.
std::string CopyBeside(const std::string& source, const std::string& target, const struct stat* targetStat) {
  const int in = sys::Open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) Fail("read", source, errno);
  std::string sibling;
  const int out = CreateSibling(target, sibling);
  if (out < 0) {
    const int error = errno;
    ::close(in);
    Fail("write beside", target, error);
  }
  int error = 0;
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
    if (sys::PwriteAll(out, buffer.data(), static_cast<size_t>(n), offset) < 0) error = errno;
    offset += n;
  }
  ::close(in);
  if (error == 0 && targetStat) {
    // The owner first: a change of owner may clear the set-id bits that the mode then puts back.
    if (::fchown(out, targetStat->st_uid, targetStat->st_gid) != 0) {
      // Only the owner's own files can be given away; the bits are what matters.
    }
    ::fchmod(out, targetStat->st_mode & 07777);
  }
  if (error == 0 && sys::Fsync(out) != 0) error = errno;
  if (sys::Close(out) != 0 && error == 0) error = errno;
  if (error != 0) {
    ::unlink(sibling.c_str());
    Fail("write beside", target, error);
  }
  return sibling;
}

struct TemporaryFolder {
  std::string path;  // ends with "/"
  std::string override;
  ~TemporaryFolder() {
    if (path.empty()) return;
    if (DIR* dir = ::opendir(path.c_str())) {
      while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") ::unlink((path + name).c_str());
      }
      ::closedir(dir);
    }
    ::rmdir(path.c_str());
  }
};

TemporaryFolder& Temporary() {
  static TemporaryFolder folder;
  return folder;
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
  if (path_ == "/") return "/";
  return path_.substr(path_.rfind('/') + 1);
}

bool FolderItem::Exists() const {
  struct stat st {};
  return ::lstat(path_.c_str(), &st) == 0;
}

bool FolderItem::Directory() const {
  struct stat st {};
  return ::stat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void FolderItem::Delete() const {
  if (::unlink(path_.c_str()) != 0 && errno == EISDIR) ::rmdir(path_.c_str());
}

void FolderItem::MoveFileTo(const FolderItem& destination) const {
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
  if (replacing) {
    if (::chown(path_.c_str(), targetStat.st_uid, targetStat.st_gid) != 0) {
      // As in CopyBeside: keeping the owner is best effort.
    }
    ::chmod(path_.c_str(), targetStat.st_mode & 07777);
  }
  if (sys::Rename(path_.c_str(), target.c_str()) == 0) {
    SyncFolder(FolderOf(target));
    return;
  }
  if (errno != EXDEV) Fail("replace", target, errno);
  // Another file system: a complete copy beside the target, then the same atomic rename.
  const std::string sibling = CopyBeside(path_, target, replacing ? &targetStat : nullptr);
  if (sys::Rename(sibling.c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(sibling.c_str());
    Fail("replace", target, error);
  }
  SyncFolder(FolderOf(target));
  ::unlink(path_.c_str());
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
  // of that name: use the folder only while it is still this process's own, private one.
  if (!folder.path.empty()) {
    struct stat st {};
    if (::lstat(StripSlashes(folder.path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & 07777) != 0700)
      folder.path.clear();
  }
  if (folder.path.empty()) {
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && base[0] == '/' ? base : "/tmp");
    templ = StripSlashes(templ) + "/quenlet-XXXXXX";
    std::vector<char> buffer(templ.begin(), templ.end());
    buffer.push_back('\0');
    // mkdtemp makes the folder with mode 0700: nobody else can plant anything in it.
    if (!::mkdtemp(buffer.data())) Fail("create a temporary folder in", FolderOf(templ), errno);
    folder.path = std::string(buffer.data()) + "/";
  }
  return std::make_shared<FolderItem>(folder.path);
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
