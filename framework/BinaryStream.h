// Buffered binary streams on files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fw {

class FolderItem;

// Makes room in a container without clearing it first: what is read or copied over it comes next.
template <typename T>
struct UnclearedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UnclearedAllocator<U>;
  };
  UnclearedAllocator() = default;
  template <typename U>
  UnclearedAllocator(const UnclearedAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* at) noexcept {
    ::new (static_cast<void*>(at)) U;
  }
  template <typename U, typename... Args>
  void construct(U* at, Args&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
  }
};

// Bytes of a file as a stream kept them (BinaryStream::OpenKeeping, CreateKeeping).
using Bytes = std::vector<char, UnclearedAllocator<char>>;

inline std::string_view View(const Bytes& bytes) { return {bytes.data(), bytes.size()}; }

class BinaryStream {
 public:
  // Opens an existing file: read-only when writeable is false. Raises IOException when it cannot be opened.
  static std::shared_ptr<BinaryStream> Open(const FolderItem& file, bool writeable = false);
  // Creates a new, empty file open for writing, private (mode 0600) until FolderItem::MoveFileTo gives it the mode
  // of the file it replaces. With overwrite false an existing file raises IOException of the kind AlreadyThere; the
  // file is created exclusively and never through a symbolic link. An unnamed item (FolderItem::UnnamedBeside) is
  // made here, in its folder, and the stream writes to it.
  static std::shared_ptr<BinaryStream> Create(const FolderItem& file, bool overwrite = false);
  // Opens an existing file read-only, as Open does, and keeps what its reads take from the file: its first `first`
  // bytes (all of a shorter file) in one read, and whatever a later read reaches past them, read on from there.
  // Kept bytes are always the start of the file in one piece, never past its end.
  static std::shared_ptr<BinaryStream> OpenKeeping(const FolderItem& file, uint64_t first);
  // Creates a new file as Create does, and keeps a copy of everything written to it: the file's content.
  static std::shared_ptr<BinaryStream> CreateKeeping(const FolderItem& file, bool overwrite = false);

  BinaryStream(const BinaryStream&) = delete;
  BinaryStream& operator=(const BinaryStream&) = delete;
  // Closes a stream that is still open, dropping any failure: call Close to learn of one.
  ~BinaryStream();

  // Byte order of the multi-byte reads and writes; big-endian until set.
  bool LittleEndian() const { return littleEndian_; }
  void SetLittleEndian(bool value) { littleEndian_ = value; }

  // Absolute byte offset. The position may stand beyond the end of the file.
  uint64_t Position() const { return position_; }
  void SetPosition(uint64_t offset);
  // The file's length, including what has been written and not yet flushed.
  uint64_t Length() const;

  // A read past the end of the file gives 0 for every missing byte and never fails.
  std::string Read(int32_t count);
  uint8_t ReadByte();
  uint16_t ReadShort();
  int32_t ReadLong();

  // The low 8, 16 and 32 bits of the value, in the stream's byte order.
  void WriteByte(int32_t value);
  void WriteShort(int32_t value);
  void WriteLong(int32_t value);
  // The text's bytes as they stand: no length, no terminator.
  void Write(const std::string& bytes);

  // Writes what is buffered and closes the file. A close that could not write the data raises IOException; the
  // stream is closed in either case. It does not wait for the disk: a file reaches it when FolderItem::MoveFileTo
  // puts it in place, once it has everything it takes from the file it replaces.
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Writes the bytes of source's file from offset on, at most count of them and none past its end, at this stream's
  // position, straight from file to file: copy_file_range, sendfile where that is refused, a plain read and write
  // of a small buffer where neither serves. Returns how many it wrote; the position moves past them. A keeping
  // stream (CreateKeeping) keeps none of them, so what it kept stays the start of the file while the copy comes last.
  // A failure raises IOException placed at this stream's path where writing failed, at the source's where reading
  // did.
  uint64_t CopyFrom(BinaryStream& source, uint64_t offset, uint64_t count);

  // The path of the open file with every link resolved, as the system names the file open on the stream; "" when
  // it is no longer in any folder. A failure to follow the path (other than a file that is gone) raises
  // IOException.
  std::string ResolvedPath() const;

  // Hands over what a stream made by OpenKeeping or CreateKeeping has kept; from then on it keeps nothing.
  Bytes TakeKept();

 private:
  BinaryStream(int fd, bool writeable, std::string path, uint64_t length);
  void CheckOpen() const;
  void Flush();
  void ReadAt(uint64_t offset, uint8_t* out, size_t count);
  // Reads on from the end of what is kept up to end (at most the file's length).
  void KeepUpTo(uint64_t end);
  void WriteBytes(const uint8_t* data, size_t count);

  int fd_;
  bool writeable_;
  bool littleEndian_ = false;
  std::string path_;
  uint64_t position_ = 0;
  uint64_t length_;  // on disk, as far as this stream knows

  // While keeping: every byte read from the file so far, from its start, and every byte written where it was
  // written. The read cache is then unused.
  bool keeping_ = false;
  Bytes kept_;
  // Read cache: bytes of the file from cacheStart_.
  std::vector<uint8_t> cache_;
  uint64_t cacheStart_ = 0;
  // Write buffer: contiguous bytes from bufferStart_, not yet on disk.
  std::vector<uint8_t> buffer_;
  uint64_t bufferStart_ = 0;
};

}  // namespace fw
