// Test helpers for real file-system conditions: a small tmpfs mounted for one test (tests run as root), and
// scratch folders with what is in them.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace testing_support {

inline std::string ScratchFolder() {
  char templ[] = "/tmp/quenlet-test-XXXXXX";
  if (!::mkdtemp(templ)) throw std::runtime_error(std::strerror(errno));
  return templ;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The names in the folder, sorted.
inline std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// The permission bits of the file a path names, set-id and sticky bits among them.
inline mode_t ModeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

// An access ACL in the kernel's binary form (the value of system.posix_acl_access): user rw, user 4242 r, group r,
// mask r, others nothing.
inline std::string AccessAcl() {
  std::string acl = {2, 0, 0, 0};
  const struct {
    int tag, perm;
    unsigned id;
  } entries[] = {{0x01, 6, ~0u}, {0x02, 4, 4242}, {0x04, 4, ~0u}, {0x10, 4, ~0u}, {0x20, 0, ~0u}};
  for (const auto& e : entries) {
    acl += std::string{char(e.tag), 0, char(e.perm), 0};
    for (int shift = 0; shift < 32; shift += 8) acl += char(e.id >> shift);
  }
  return acl;
}

// The value of the file's extended attribute; "(none)" where it has none.
inline std::string AttributeOf(const std::string& path, const std::string& name) {
  std::string value(256, '\0');
  const ssize_t n = ::getxattr(path.c_str(), name.c_str(), value.data(), value.size());
  return n < 0 ? std::string("(none)") : value.substr(0, static_cast<size_t>(n));
}

// Whether the file system of folder exchanges two files in one step; where it cannot, a Save falls back to a rename
// and a file swapped in at the last instant is not caught, so tests of that skip.
inline bool ExchangeWorks(const std::string& folder) {
  const std::string one = folder + "/.exchange-one", other = folder + "/.exchange-other";
  WriteFile(one, "1");
  WriteFile(other, "2");
  const bool works = ::renameat2(AT_FDCWD, one.c_str(), AT_FDCWD, other.c_str(), RENAME_EXCHANGE) == 0;
  std::filesystem::remove(one);
  std::filesystem::remove(other);
  return works;
}

// Mounts a tmpfs of the given size at a new folder and unmounts it again. Mounted() is false, with the reason in
// Why(), where the machine does not allow it; the test should then GTEST_SKIP.
class Tmpfs {
 public:
  explicit Tmpfs(const std::string& size) : path_(ScratchFolder()) {
    const std::string options = "size=" + size + ",mode=0755";
    if (::mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) == 0) {
      mounted_ = true;
    } else {
      why_ = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
    }
  }
  ~Tmpfs() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  Tmpfs(const Tmpfs&) = delete;
  Tmpfs& operator=(const Tmpfs&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& Why() const { return why_; }
  const std::string& Path() const { return path_; }
  bool MakeReadOnly() {
    return ::mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  std::string path_;
  bool mounted_ = false;
  std::string why_;
};

}  // namespace testing_support
