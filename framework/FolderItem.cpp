// File references: paths, names, the questions a file answers about itself, and its removal. The replacement of one
// file by another, the temporary folder and the resources have files of their own.
#include "FolderItem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "FilePrivate.h"

namespace fw {

using namespace detail;

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

std::string FolderItem::ResolvedPath() const { return detail::ResolvePath(path_); }

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

}  // namespace fw
