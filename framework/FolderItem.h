// File references.
#pragma once

#include <memory>
#include <string>

namespace fw {

class Picture;

class FolderItem {
 public:
  explicit FolderItem(std::string absolutePath);

  // The absolute path; a folder's path ends with "/".
  std::string AbsolutePath() const;
  // The last component of the path.
  std::string Name() const;
  bool Exists() const;
  bool Directory() const;

  // Removes the file (or empty folder). Raises nothing; a failure leaves it in place.
  void Delete() const;

  // Puts this file in destination's place in one atomic step: a rename over it, from a sibling file in the
  // destination's folder when this file lives on another file system. The destination is never removed before its
  // replacement is complete; it keeps its permission bits, and a symbolic link keeps pointing at the replaced file.
  // Raises IOException on failure, leaving the destination as it was and no stray file beside it.
  void MoveFileTo(const FolderItem& destination) const;

  // The item of that name in this folder, whether or not it exists; nullptr for a name that is not a plain
  // file name ("", ".", "..", or one holding "/").
  std::shared_ptr<FolderItem> Child(const std::string& name) const;
  // The containing folder; nullptr for the root.
  std::shared_ptr<FolderItem> Parent() const;

  // The picture in this file, or nullptr when it cannot be read as one. (Defined with the window layer.)
  std::shared_ptr<Picture> OpenAsPicture() const;

 private:
  std::string path_;
};

// A file item for an absolute path (mode 0), whether or not the file exists; nullptr for a path that is not
// absolute.
std::shared_ptr<FolderItem> GetFolderItem(const std::string& path, int mode = 0);

// This run's private temporary folder (created on first use with mode 0700, removed with its content at exit;
// made anew should it vanish or stop being private). Its AbsolutePath ends with "/".
std::shared_ptr<FolderItem> GetTemporaryFolderItem();

// The running executable's file.
std::shared_ptr<FolderItem> GetApplicationExecutable();
// The bundle's resources: BundleResourcesOf the running executable. nullptr when it cannot be had.
std::shared_ptr<FolderItem> GetApplicationBundleResources();
// The resources of the executable: its folder's parent, then "Resources", where that folder exists; else, for an
// installed program, the parent's "share" folder, then the executable's name, where that exists; else the first.
std::shared_ptr<FolderItem> BundleResourcesOf(const FolderItem& executable);

// Tests only: make GetApplicationBundleResources give this folder ("" restores the default).
void SetBundleResourcesForTesting(const std::string& folder);
// Tests only: make GetTemporaryFolderItem give this folder ("" restores the private folder of the run).
void SetTemporaryFolderForTesting(const std::string& folder);

}  // namespace fw
