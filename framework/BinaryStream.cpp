#include "BinaryStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <limits>
#include <cstdlib>
#include <string_view>
#include <cerrno>
#include <cstring>

#include "FilePrivate.h"
#include "Sys.h"

namespace fw {

namespace {
// A read fetches at least one page around what it asks for: the readers take a few bytes at a time, close together.
constexpr size_t kReadWindow = 4 * 1024;
// A keeping stream reads on in steps of this size, so that the reader's small reads past what is kept do not each
// cost a system call.
constexpr uint64_t kKeepStep = 64 * 1024;
// Writes gather in memory up to this size, so that a whole SPC file goes out in one system call.
constexpr size_t kWriteChunk = 1024 * 1024;
// A plain copy of one file into another goes through a buffer of this size.
constexpr size_t kCopyChunk = 256 * 1024;
// The most that one call of the kernel's copies is asked for: below sendfile's own limit.
constexpr uint64_t kKernelStep = 1u << 30;

// Runs copy (one call of a kernel copy of at most the step's bytes, that gives what it copied) until left is 0 or
// the source has ended. Returns false where a call failed, with the error in errno; what it copied is counted.
template <typename Copy>
bool CopyInKernel(uint64_t& left, bool& ended, const Copy& copy) {
  while (left > 0 && !ended) {
    const ssize_t n = copy(static_cast<size_t>(std::min(left, kKernelStep)));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) ended = true;
    left -= static_cast<uint64_t>(n);
  }
  return true;
}

[[noreturn]] void Fail(const std::string& verb, const std::string& path, int error) {
  throw IOException(error, sys::Describe(verb, path, error), path);
}
}  // namespace

BinaryStream::BinaryStream(int fd, bool writeable, std::string path, uint64_t length)
    : fd_(fd), writeable_(writeable), path_(std::move(path)), length_(length) {}

std::shared_ptr<BinaryStream> BinaryStream::Open(const FolderItem& file, bool writeable) {
  // The path as it stands: AbsolutePath would ask the file system whether it is a folder, which the open tells.
  const std::string& path = file.path_;
  // Without O_NONBLOCK, opening a named pipe for reading waits for a writer that never comes.
  const int fd = sys::Open(path.c_str(), (writeable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) Fail("open", file.AbsolutePath(), errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    Fail("open", file.AbsolutePath(), error);
  }
  // O_NONBLOCK changes nothing for a regular file; for anything else the reads must wait as usual.
  if (!S_ISREG(st.st_mode)) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  }
  return std::shared_ptr<BinaryStream>(
      new BinaryStream(fd, writeable, path, static_cast<uint64_t>(std::max<off_t>(st.st_size, 0))));
}

std::shared_ptr<BinaryStream> BinaryStream::OpenKeeping(const FolderItem& file, uint64_t first) {
  auto stream = Open(file, false);
  stream->keeping_ = true;
  stream->KeepUpTo(first);
  return stream;
}

std::shared_ptr<BinaryStream> BinaryStream::CreateKeeping(const FolderItem& file, bool overwrite) {
  auto stream = Create(file, overwrite);
  stream->keeping_ = true;
  return stream;
}

std::shared_ptr<BinaryStream> BinaryStream::Create(const FolderItem& file, bool overwrite) {
  const std::string path = file.AbsolutePath();
  if (file.Unnamed()) return std::shared_ptr<BinaryStream>(new BinaryStream(file.CreateUnnamed(), true, path, 0));
  // O_NOFOLLOW and O_EXCL: never write through a link someone planted at the path.
  const int flags = O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (overwrite ? O_TRUNC : O_EXCL);
  // Private until it takes the place of the file it replaces, which gives it that file's mode: until then it holds
  // what may be another's file's bytes.
  const int fd = sys::Open(path.c_str(), flags, 0600);
  if (fd < 0) {
    if (errno == EEXIST) {
      throw IOException(IOKind::AlreadyThere, 0,
                        "Could not create \"" + file.Name() + "\": a file of that name is already there.", path);
    }
    Fail("create", path, errno);
  }
  return std::shared_ptr<BinaryStream>(new BinaryStream(fd, true, path, 0));
}

BinaryStream::~BinaryStream() {
  if (fd_ < 0) return;
  try {
    Flush();
  } catch (...) {
  }
  ::close(fd_);
}

void BinaryStream::CheckOpen() const {
  if (fd_ < 0) Fail("use", path_, EBADF);
}

void BinaryStream::SetPosition(uint64_t offset) { position_ = offset; }

uint64_t BinaryStream::Length() const { return std::max(length_, bufferStart_ + buffer_.size()); }

void BinaryStream::Flush() {
  if (buffer_.empty()) return;
  const uint64_t start = bufferStart_;
  std::vector<uint8_t> pending;
  pending.swap(buffer_);
  cache_.clear();
  if (sys::PwriteAll(fd_, pending.data(), pending.size(), static_cast<off_t>(start)) < 0) Fail("write", path_, errno);
  length_ = std::max(length_, start + pending.size());
}

void BinaryStream::KeepUpTo(uint64_t end) {
  const size_t from = kept_.size();
  end = std::min(end, length_);
  if (end <= from) return;
  kept_.resize(static_cast<size_t>(end));
  size_t got = from;
  while (got < kept_.size()) {
    const ssize_t n = ::pread(fd_, kept_.data() + got, kept_.size() - got, static_cast<off_t>(got));
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      kept_.resize(from);
      Fail("read", path_, error);
    }
    if (n == 0) {
      // The file became shorter: only what is there is kept, and the rest reads as zeros.
      kept_.resize(got);
      length_ = got;
      break;
    }
    got += static_cast<size_t>(n);
  }
}

std::string BinaryStream::ResolvedPath() const {
  CheckOpen();
  // One look-up through the descriptor, where a resolution of the path would look up each of its folders.
  char resolved[PATH_MAX];
  const std::string link = "/proc/self/fd/" + std::to_string(fd_);
  const ssize_t n = ::readlink(link.c_str(), resolved, sizeof resolved);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof resolved || resolved[0] != '/') return detail::ResolvePath(path_);
  std::string path(resolved, static_cast<size_t>(n));
  static constexpr std::string_view kDeleted = " (deleted)";
  struct stat st {};
  if (path.size() > kDeleted.size() && path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0 &&
      ::fstat(fd_, &st) == 0 && st.st_nlink == 0)
    return {};
  return path;
}

uint64_t BinaryStream::CopyFrom(BinaryStream& source, uint64_t offset, uint64_t count) {
  CheckOpen();
  source.CheckOpen();
  if (!writeable_) Fail("write", path_, EBADF);
  Flush();
  if (source.writeable_) source.Flush();
  constexpr auto kLargestOffset = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
  if (count == 0 || offset >= kLargestOffset || position_ >= kLargestOffset) return 0;
  off_t in = static_cast<off_t>(offset);
  off_t out = static_cast<off_t>(position_);
  // What was written counts for the length and the position, also where a failure stops the copy.
  struct Settle {
    BinaryStream& stream;
    const off_t& out;
    ~Settle() {
      stream.length_ = std::max(stream.length_, static_cast<uint64_t>(out));
      stream.position_ = static_cast<uint64_t>(out);
      stream.cache_.clear();
    }
  } settle{*this, out};
  uint64_t left = count;
  bool ended = false;
  // Each way goes on from where the one before it stopped. The plain read and write last also tell whose failure a
  // kernel copy's was, the source's read or this file's write, which its error alone does not say.
  if (!CopyInKernel(left, ended, [&](size_t step) { return sys::CopyFileRange(source.fd_, &in, fd_, &out, step); }) &&
      ::lseek(fd_, out, SEEK_SET) == out) {
    CopyInKernel(left, ended, [&](size_t step) {
      const ssize_t n = sys::Sendfile(fd_, source.fd_, &in, step);
      if (n > 0) out += n;
      return n;
    });
  }
  std::vector<uint8_t> buffer;
  while (left > 0 && !ended) {
    buffer.resize(static_cast<size_t>(std::min<uint64_t>(left, kCopyChunk)));
    const ssize_t n = ::pread(source.fd_, buffer.data(), buffer.size(), in);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("read", source.path_, errno);
    }
    if (n == 0) break;
    if (sys::PwriteAll(fd_, buffer.data(), static_cast<size_t>(n), out) < 0) Fail("write", path_, errno);
    in += n;
    out += n;
    left -= static_cast<uint64_t>(n);
  }
  return count - left;
}

Bytes BinaryStream::TakeKept() {
  keeping_ = false;
  return std::exchange(kept_, Bytes());
}

void BinaryStream::ReadAt(uint64_t offset, uint8_t* out, size_t count) {
  CheckOpen();
  if (writeable_) Flush();
  if (keeping_) {
    if (offset < length_) {
      const uint64_t end = offset + std::min<uint64_t>(count, length_ - offset);
      if (end > kept_.size()) KeepUpTo(std::max<uint64_t>(end, kept_.size() + kKeepStep));
    }
    const size_t have =
        offset < kept_.size() ? static_cast<size_t>(std::min<uint64_t>(count, kept_.size() - offset)) : 0;
    if (have > 0) std::memcpy(out, kept_.data() + offset, have);
    std::memset(out + have, 0, count - have);
    return;
  }
  std::memset(out, 0, count);
  if (offset >= length_) return;  // wholly past the end of the file: zeros
  const uint64_t wanted = std::min<uint64_t>(count, length_ - offset);
  if (offset < cacheStart_ || offset + wanted > cacheStart_ + cache_.size()) {
    // The window starts on a chunk boundary, so that reads near one another (the header's layout byte, then its
    // fields before it) share one system call. Every byte of it is read or zeroed below, so it is not cleared first.
    const uint64_t start = offset - offset % kReadWindow;
    const uint64_t size =
        std::min<uint64_t>(std::max<uint64_t>(offset + wanted, start + kReadWindow), length_) - start;
    cache_.resize(size);
    size_t got = 0;
    while (got < size) {
      const ssize_t n = ::pread(fd_, cache_.data() + got, size - got, static_cast<off_t>(start + got));
      if (n < 0) {
        if (errno == EINTR) continue;
        cache_.clear();
        Fail("read", path_, errno);
      }
      if (n == 0) {  // the file became shorter: the rest reads as zeros
        std::memset(cache_.data() + got, 0, size - got);
        break;
      }
      got += static_cast<size_t>(n);
    }
    cacheStart_ = start;
  }
  std::memcpy(out, cache_.data() + (offset - cacheStart_), wanted);
}

std::string BinaryStream::Read(int32_t count) {
  CheckOpen();
  if (count <= 0) return {};
  std::string bytes(static_cast<size_t>(count), '\0');
  ReadAt(position_, reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
  position_ += static_cast<uint64_t>(count);
  return bytes;
}

uint8_t BinaryStream::ReadByte() {
  uint8_t b = 0;
  ReadAt(position_, &b, 1);
  position_ += 1;
  return b;
}

uint16_t BinaryStream::ReadShort() {
  uint8_t b[2];
  ReadAt(position_, b, 2);
  position_ += 2;
  return littleEndian_ ? static_cast<uint16_t>(b[0] | (b[1] << 8)) : static_cast<uint16_t>((b[0] << 8) | b[1]);
}

int32_t BinaryStream::ReadLong() {
  uint8_t b[4];
  ReadAt(position_, b, 4);
  position_ += 4;
  uint32_t v = littleEndian_ ? (uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24)
                             : (uint32_t{b[3]} | uint32_t{b[2]} << 8 | uint32_t{b[1]} << 16 | uint32_t{b[0]} << 24);
  return static_cast<int32_t>(v);
}

void BinaryStream::WriteBytes(const uint8_t* data, size_t count) {
  CheckOpen();
  if (!writeable_) Fail("write", path_, EBADF);
  if (!buffer_.empty() && position_ != bufferStart_ + buffer_.size()) Flush();
  if (buffer_.empty()) bufferStart_ = position_;
  if (keeping_) {
    // A write past the end leaves a hole in the file, which reads as zeros.
    if (kept_.size() < position_) kept_.resize(static_cast<size_t>(position_), '\0');
    if (kept_.size() < position_ + count) kept_.resize(static_cast<size_t>(position_ + count));
    std::memcpy(kept_.data() + position_, data, count);
  }
  buffer_.insert(buffer_.end(), data, data + count);
  position_ += count;
  if (buffer_.size() >= kWriteChunk) Flush();
}

void BinaryStream::WriteByte(int32_t value) {
  const uint8_t b = static_cast<uint8_t>(value & 0xFF);
  WriteBytes(&b, 1);
}

void BinaryStream::WriteShort(int32_t value) {
  const auto v = static_cast<uint16_t>(value & 0xFFFF);
  const uint8_t lo = static_cast<uint8_t>(v & 0xFF);
  const uint8_t hi = static_cast<uint8_t>(v >> 8);
  const uint8_t b[2] = {littleEndian_ ? lo : hi, littleEndian_ ? hi : lo};
  WriteBytes(b, 2);
}

void BinaryStream::WriteLong(int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  uint8_t b[4];
  for (int i = 0; i < 4; ++i) {
    const auto byte = static_cast<uint8_t>((v >> (8 * i)) & 0xFF);
    b[littleEndian_ ? i : 3 - i] = byte;
  }
  WriteBytes(b, 4);
}

void BinaryStream::Write(const std::string& bytes) {
  WriteBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

void BinaryStream::Close() {
  if (fd_ < 0) return;
  const int fd = fd_;
  int error = 0;
  std::string verb;
  try {
    Flush();
  } catch (const IOException& e) {
    error = e.ErrorNumber();
    verb = "write";
  }
  fd_ = -1;
  if (sys::Close(fd) != 0 && error == 0) {
    error = errno;
    verb = "close";
  }
  if (error != 0) Fail(verb, path_, error);
}

}  // namespace fw
