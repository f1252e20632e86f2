#include "Sys.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "FileFaults.h"

namespace fw::sys {

namespace {
// A fault chosen by the seam looks to the caller exactly like the system's own failure.
bool Injected(faults::Op op) {
  if (const int error = faults::Check(op)) {
    errno = error;
    return true;
  }
  return false;
}

std::string BaseName(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  const auto slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}
}  // namespace

int Open(const char* path, int flags, mode_t mode) {
  if (Injected(faults::Op::Open)) return -1;
  int fd;
  do {
    fd = ::open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

ssize_t PwriteAll(int fd, const void* data, size_t count, off_t offset) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  size_t done = 0;
  while (done < count) {
    if (Injected(faults::Op::Write)) return -1;
    const ssize_t n = ::pwrite(fd, bytes + done, count - done, offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) {
      errno = ENOSPC;
      return -1;
    }
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

int Fsync(int fd) {
  if (Injected(faults::Op::Sync)) return -1;
  return ::fsync(fd);
}

int Rename(const char* from, const char* to) {
  if (Injected(faults::Op::Rename)) return -1;
  return ::rename(from, to);
}

int Exchange(const char* one, const char* other) {
  if (Injected(faults::Op::Exchange)) return -1;
#if defined(RENAME_EXCHANGE)
  return ::renameat2(AT_FDCWD, one, AT_FDCWD, other, RENAME_EXCHANGE);
#elif defined(SYS_renameat2)
  // A C library without the wrapper: the kernel's call, with its flag for an exchange.
  constexpr unsigned kExchange = 1u << 1;
  return static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, one, AT_FDCWD, other, kExchange));
#else
  errno = ENOSYS;
  return -1;
#endif
}

int Close(int fd) {
  if (Injected(faults::Op::Close)) {
    // The descriptor is released all the same, as the system does when close fails.
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  return ::close(fd);
}

int LinkDescriptor(int fd, const char* to) {
  if (Injected(faults::Op::Link)) return -1;
  // Through /proc rather than AT_EMPTY_PATH, which asks for a privilege that a user's program does not have.
  const std::string from = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to, AT_SYMLINK_FOLLOW);
}

int Fchown(int fd, uid_t owner, gid_t group) {
  if (Injected(faults::Op::Owner)) return -1;
  return ::fchown(fd, owner, group);
}

int Fchmod(int fd, mode_t mode) {
  if (Injected(faults::Op::Mode)) return -1;
  return ::fchmod(fd, mode);
}

int Fstat(int fd, struct stat* status) {
  if (Injected(faults::Op::Status)) return -1;
  return ::fstat(fd, status);
}

ssize_t ListAttributes(int fd, char* names, size_t size) {
  if (Injected(faults::Op::Attributes)) return -1;
  return ::flistxattr(fd, names, size);
}

ssize_t GetAttribute(int fd, const char* name, void* value, size_t size) {
  if (Injected(faults::Op::Attributes)) return -1;
  return ::fgetxattr(fd, name, value, size);
}

int SetAttribute(int fd, const char* name, const void* value, size_t size) {
  if (Injected(faults::Op::Attributes)) return -1;
  return ::fsetxattr(fd, name, value, size, 0);
}

ssize_t CopyFileRange(int in, off_t* inOffset, int out, off_t* outOffset, size_t count) {
  if (Injected(faults::Op::Write)) return -1;
  return ::copy_file_range(in, inOffset, out, outOffset, count, 0);
}

ssize_t Sendfile(int out, int in, off_t* inOffset, size_t count) {
  if (Injected(faults::Op::Write)) return -1;
  return ::sendfile(out, in, inOffset, count);
}

std::string Describe(const std::string& verb, const std::string& path, int error) {
  return "Could not " + verb + " \"" + BaseName(path) + "\": " + std::strerror(error) + ".";
}

}  // namespace fw::sys
