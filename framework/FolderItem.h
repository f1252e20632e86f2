// File references: a file or folder by its absolute path, and the replacement of one file by another in one step
// (MoveFileTo and the unnamed file beside, defined in FileReplacement.cpp). The temporary folder and the resources
// have headers of their own.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace fw {

class BinaryStream;
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
  // Whether this process's effective ids allow writing the file (the one a link names): false only where they forbid
  // it, not for a file that is missing or a disk that can only be read.
  bool WritePermitted() const;

  // Removes the file (or empty folder). Raises nothing; a failure leaves it in place.
  void Delete() const;

  // Runs right before the rename that replaces a file, given the path about to be replaced (the file a link names)
  // and the path at which that file can be read, the same path; whatever it raises stops the replacement. Where
  // the file system can exchange two files in one step, the new file is then exchanged in, and the check runs once
  // more on the file swapped out, now at the new file's old name: whatever it raises then exchanges them back.
  using ReplaceCheck = std::function<void(const std::string& target, const std::string& file)>;

  // Puts this file in destination's place in one atomic step: a rename over it, from a copy in the destination's
  // folder when this file lives on another file system (that copy has no name there until the rename, where the
  // file system allows). The destination is never removed before its replacement is complete; the new file takes
  // its owner where allowed (where not, it loses the set-id bits), its permission bits and its extended attributes
  // (ACLs among them), read through one descriptor on the replaced file, all of it before it is synced to its disk,
  // and a symbolic link keeps pointing at the replaced file. Other hard links to the replaced file keep its old
  // content. A check, when given, runs after any copy, right before the rename and, where the file system can
  // exchange the two files, on the file that the exchange took out of the destination's place. Once the file is in
  // place, the copies that Saves killed midway left in its folder go: regular files of those copies' names, of this
  // user, with one link, untouched for a minute.
  // Raises IOException on failure (or what the check raised), leaving the destination as it was and no stray file
  // beside it: of the kind RightsNotCarried where the replaced file's status cannot be read, or its mode, or an
  // extended attribute it has, cannot be given to the new file (a file system without extended attributes has none
  // to give). The one exception is a sync of the folder that fails once the new file is in place: everything else is
  // done as after a clean move (this file is gone, nothing stray is left), and then it raises an IOException of the
  // kind NotDurable.
  void MoveFileTo(const FolderItem& destination, const ReplaceCheck& check = {}) const;

  // The absolute path with every symbolic link resolved; "" where the file is gone (ENOENT, ENOTDIR). Any other
  // failure to follow the path raises IOException, placed at the path.
  std::string ResolvedPath() const;

  // A new file in the folder of the file at siblingPath that has no name there until MoveFileTo puts it in a
  // file's place: made with O_TMPFILE, or, where the file system refuses that, as a hidden file created
  // exclusively. Whenever it has a name, that is a short one of its own (whatever the sibling's name) that nobody
  // can guess. BinaryStream::Create makes it (once) and writes to it; Delete, or the last copy of the item going
  // away, drops a file that was not put in place. Its AbsolutePath is its folder's (ending with "/"), so failures
  // on it name the folder; its Name is "".
  static std::shared_ptr<FolderItem> UnnamedBeside(const std::string& siblingPath);
  bool Unnamed() const { return beside_ != nullptr; }

  // The item of that name in this folder, whether or not it exists; nullptr for a name that is not a plain
  // file name ("", ".", "..", or one holding "/").
  std::shared_ptr<FolderItem> Child(const std::string& name) const;
  // The containing folder; nullptr for the root.
  std::shared_ptr<FolderItem> Parent() const;

  // The picture in this file, or nullptr when it cannot be read as one. (Defined with the window layer.)
  std::shared_ptr<Picture> OpenAsPicture() const;

 private:
  friend class BinaryStream;
  struct BesideFile;
  // Makes the unnamed file; returns a descriptor of the caller's own on it.
  int CreateUnnamed() const;

  std::string path_;
  std::shared_ptr<BesideFile> beside_;
};

// A file item for an absolute path (mode 0), whether or not the file exists; nullptr for a path that is not
// absolute.
std::shared_ptr<FolderItem> GetFolderItem(const std::string& path, int mode = 0);

}  // namespace fw
