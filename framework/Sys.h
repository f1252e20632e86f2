// The file layer's system calls, each asking the fault seam first. Internal to the framework.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace fw::sys {

int Open(const char* path, int flags, mode_t mode = 0);
// Writes all of the bytes at the offset; -1 with errno set on failure.
ssize_t PwriteAll(int fd, const void* data, size_t count, off_t offset);
int Fsync(int fd);
int Rename(const char* from, const char* to);
// Exchanges the two files in one step (each takes the other's name); -1 with errno set on failure, EINVAL, ENOSYS or
// EOPNOTSUPP where the system or the file system cannot.
int Exchange(const char* one, const char* other);
int Close(int fd);
// Gives the file open on fd a name (a file made with O_TMPFILE has none); -1 with errno set on failure.
int LinkDescriptor(int fd, const char* to);
int Fchown(int fd, uid_t owner, gid_t group);
int Fchmod(int fd, mode_t mode);
int Fstat(int fd, struct stat* status);
// The extended attributes of the file open on fd, as flistxattr, fgetxattr and fsetxattr give and take them.
ssize_t ListAttributes(int fd, char* names, size_t size);
ssize_t GetAttribute(int fd, const char* name, void* value, size_t size);
int SetAttribute(int fd, const char* name, const void* value, size_t size);
// Copies from file to file in the kernel, as copy_file_range (no flags) and sendfile do; each asks the seam as a
// write.
ssize_t CopyFileRange(int in, off_t* inOffset, int out, off_t* outOffset, size_t count);
ssize_t Sendfile(int out, int in, off_t* inOffset, size_t count);

// "Could not <verb> "<name>": <reason>." for an errno value.
std::string Describe(const std::string& verb, const std::string& path, int error);

}  // namespace fw::sys
