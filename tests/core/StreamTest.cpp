#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "BinaryStream.h"
#include "Failures.h"
#include "FileFaults.h"
#include "FolderItem.h"
#include "support/Memory.h"
#include "support/Tmpfs.h"

using namespace fw;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

class Streams : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = testing_support::ScratchFolder(); }
  void TearDown() override {
    faults::SetHook({});
    std::filesystem::remove_all(folder_);
  }
  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  FolderItem Item(const std::string& name) const { return FolderItem(Path(name)); }

  std::string folder_;
};

int ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const IOException& e) {
    return e.ErrorNumber();
  }
  return 0;
}

std::optional<IOKind> KindOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const IOException& e) {
    return e.Kind();
  }
  return std::nullopt;
}

}  // namespace

TEST_F(Streams, ReadsPastTheEndGiveZerosAndNeverFail) {
  WriteFile(Path("short"), "\x01\x02\x03");
  auto in = BinaryStream::Open(Item("short"));
  in->SetLittleEndian(true);
  EXPECT_EQ(in->ReadShort(), 0x0201);
  EXPECT_EQ(in->ReadLong(), 3);  // one byte of the file, three zeros
  EXPECT_EQ(in->Position(), 6u);
  in->SetPosition(0x10200);
  EXPECT_EQ(in->Read(4), std::string(4, '\0'));
  EXPECT_EQ(in->ReadByte(), 0);
  EXPECT_EQ(in->Position(), 0x10205u);
  EXPECT_EQ(in->Length(), 3u);
  EXPECT_EQ(in->Read(0), "");
  EXPECT_EQ(in->Read(-4), "");
  in->Close();
}

TEST_F(Streams, ANamedPipeOpensAtOnceAndReadsAsEmpty) {
  ASSERT_EQ(::mkfifo(Path("pipe.spc").c_str(), 0600), 0);
  auto opening = std::async(std::launch::async, [&] {
    auto in = BinaryStream::Open(Item("pipe.spc"));
    const std::string head = in->Read(35);
    in->Close();
    return head;
  });
  if (opening.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    // Let the waiting open go, so that the test fails instead of hanging.
    const int writer = ::open(Path("pipe.spc").c_str(), O_RDWR | O_CLOEXEC);
    opening.wait();
    ::close(writer);
    FAIL() << "opening a named pipe waited for a writer";
  }
  EXPECT_EQ(opening.get(), std::string(35, '\0'));
}

TEST_F(Streams, ByteOrderAndWidths) {
  auto out = BinaryStream::Create(Item("numbers"));
  out->WriteShort(0x1234);  // big-endian until told otherwise
  out->SetLittleEndian(true);
  out->WriteShort(0x1234);
  out->WriteLong(0x1E1A1A1A);
  out->WriteByte(0x1FF);     // keeps the low 8 bits
  out->WriteShort(0x12345);  // and the low 16
  out->WriteLong(-1);
  out->Write(std::string("a\0b", 3));
  out->Close();
  EXPECT_EQ(ReadFile(Path("numbers")),
            std::string("\x12\x34\x34\x12\x1A\x1A\x1A\x1E\xFF\x45\x23\xFF\xFF\xFF\xFF"
                        "a\0b",
                        18));

  auto in = BinaryStream::Open(Item("numbers"));
  EXPECT_EQ(in->ReadShort(), 0x1234);
  in->SetLittleEndian(true);
  EXPECT_EQ(in->ReadShort(), 0x1234);
  in->SetPosition(11);
  EXPECT_EQ(in->ReadLong(), -1);
  in->SetPosition(9);
  EXPECT_EQ(in->ReadShort(), 0x2345);  // unsigned: 0 to 65535
  in->SetPosition(12);
  EXPECT_EQ(in->ReadShort(), 0xFFFF);
}

// A write past the end leaves a hole of zeros; a keeping stream keeps the same bytes as the file holds.
TEST_F(Streams, RewritingEarlierBytesKeepsTheRest) {
  for (const bool keeping : {false, true}) {
    SCOPED_TRACE(keeping ? "keeping" : "plain");
    auto out = keeping ? BinaryStream::CreateKeeping(Item("kept")) : BinaryStream::Create(Item("chunk"));
    out->SetLittleEndian(true);
    out->Write("xid6");
    out->WriteLong(0);
    for (int i = 0; i < 70000; ++i) out->WriteByte(i);  // beyond one buffer
    const uint64_t end = out->Position();
    out->SetPosition(4);
    out->WriteLong(static_cast<int32_t>(end - 8));
    EXPECT_EQ(out->Position(), 8u);
    EXPECT_EQ(out->Length(), end);
    out->SetPosition(end + 10);
    out->Write("end");
    out->Close();
    const std::string bytes = ReadFile(Path(keeping ? "kept" : "chunk"));
    ASSERT_EQ(bytes.size(), end + 13);
    EXPECT_EQ(bytes.substr(0, 8), std::string("xid6\x70\x11\x01\x00", 8));
    EXPECT_EQ(static_cast<unsigned char>(bytes[8 + 69999]), 69999 & 0xFF);
    EXPECT_EQ(bytes.substr(end), std::string(10, '\0') + "end");
    EXPECT_TRUE(View(out->TakeKept()) == (keeping ? std::string_view(bytes) : std::string_view()));
  }
}

TEST_F(Streams, FailuresCarryTheSystemErrorNumber) {
  EXPECT_EQ(ErrorOf([&] { BinaryStream::Open(Item("missing")); }), ENOENT);
  EXPECT_EQ(ErrorOf([&] { BinaryStream::Open(FolderItem(folder_)); }), EISDIR);
  WriteFile(Path("there"), "old");
  // The program's own failure: no number that the system also gives.
  EXPECT_EQ(KindOf([&] { BinaryStream::Create(Item("there"), false); }), IOKind::AlreadyThere);
  EXPECT_EQ(ErrorOf([&] { BinaryStream::Create(Item("there"), false); }), 0);
  EXPECT_EQ(KindOf([&] { BinaryStream::Open(Item("missing")); }), IOKind::System);
  EXPECT_EQ(ReadFile(Path("there")), "old");

  auto stream = BinaryStream::Open(Item("there"));
  stream->Close();
  stream->Close();  // a second close does nothing
  EXPECT_EQ(ErrorOf([&] { stream->ReadByte(); }), EBADF);
  EXPECT_EQ(ErrorOf([&] { BinaryStream::Open(Item("there"))->WriteByte(1); }), EBADF);
}

TEST_F(Streams, CreateNeverWritesThroughALink) {
  WriteFile(Path("victim"), "keep");
  ASSERT_EQ(::symlink(Path("victim").c_str(), Path("planted").c_str()), 0);
  EXPECT_EQ(KindOf([&] { BinaryStream::Create(Item("planted"), false); }), IOKind::AlreadyThere);
  EXPECT_NE(ErrorOf([&] { BinaryStream::Create(Item("planted"), true); }), 0);
  EXPECT_EQ(ReadFile(Path("victim")), "keep");
}

// (A stream does not sync: a file reaches its disk when it is moved into place, see the folder item tests.)
TEST_F(Streams, ACloseThatCouldNotWriteIsAFailure) {
  for (const auto op : {faults::Op::Write, faults::Op::Close}) {
    faults::SetHook([op](faults::Op seen) { return seen == op ? EIO : 0; });
    auto out = BinaryStream::Create(Item("data" + std::to_string(static_cast<int>(op))));
    out->Write("bytes");
    EXPECT_EQ(ErrorOf([&] { out->Close(); }), EIO) << static_cast<int>(op);
    EXPECT_FALSE(out->IsOpen());
    faults::SetHook({});
  }
  faults::SetHook([](faults::Op seen) { return seen == faults::Op::Open ? EMFILE : 0; });
  EXPECT_EQ(ErrorOf([&] { BinaryStream::Create(Item("never")); }), EMFILE);
}

TEST_F(Streams, AFullDiskIsReportedAtClose) {
  testing_support::Tmpfs disk("16k");
  if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
  auto out = BinaryStream::Create(FolderItem(disk.Path() + "/big"));
  EXPECT_EQ(ErrorOf([&] {
              out->Write(std::string(66048, 'x'));
              out->Close();
            }),
            ENOSPC);
}

// What a keeping stream keeps is the start of the file, in one piece, covering every read it made and never past
// the end; the reads themselves give what any stream gives.
TEST_F(Streams, AKeepingStreamKeepsTheStartOfTheFileThatItsReadsTook) {
  std::string file(200000, '\0');
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<char>(i * 7 + i / 251);
  WriteFile(Path("song.spc"), file);
  const auto expected = [&file](uint64_t offset, int32_t count) {
    std::string bytes = offset < file.size() ? file.substr(offset, static_cast<size_t>(count)) : "";
    return bytes + std::string(static_cast<size_t>(count) - bytes.size(), '\0');
  };
  const struct {
    const char* what;
    uint64_t first;
    std::vector<std::pair<uint64_t, int32_t>> reads;  // offset, count
    size_t atLeast, atMost;                            // bytes kept
  } cases[] = {
      {"the first read holds every read", 0x20000, {{0x9F, 1}, {0x2E, 32}, {0x10200, 4}}, 0x20000, 0x20000},
      {"a read past it reads on", 0x10200, {{0x10200, 4}, {0x10208, 300}}, 0x10208 + 300, 0x10200 + 0x10000},
      {"a read far past it reads on in one piece", 16, {{150000, 8}}, 150008, 150008 + 0x10000},
      {"a first read longer than the file", 1 << 20, {{0x10, 4}, {199996, 8}}, 200000, 200000},
      {"a read across the end keeps up to the end", 1000, {{300000, 8}, {199999, 4}}, 200000, 200000},
      {"reads wholly past the end", 1000, {{300000, 8}}, 1000, 1000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto in = BinaryStream::OpenKeeping(Item("song.spc"), c.first);
    for (const auto& [offset, count] : c.reads) {
      in->SetPosition(offset);
      EXPECT_EQ(in->Read(count), expected(offset, count)) << offset;
    }
    const Bytes kept = in->TakeKept();
    EXPECT_GE(kept.size(), c.atLeast);
    EXPECT_LE(kept.size(), c.atMost);
    EXPECT_TRUE(View(kept) == std::string_view(file).substr(0, kept.size()));
    // Handed over, the stream reads on as any other and keeps nothing more.
    in->SetPosition(0x2E);
    EXPECT_EQ(in->Read(32), expected(0x2E, 32));
    EXPECT_TRUE(in->TakeKept().empty());
    in->Close();
  }

  // A file cut short while it is read: only what is still there is kept, and the rest reads as zeros.
  auto in = BinaryStream::OpenKeeping(Item("song.spc"), 100);
  ASSERT_EQ(::truncate(Path("song.spc").c_str(), 50000), 0);
  in->SetPosition(0x10000);
  EXPECT_EQ(in->Read(4), std::string(4, '\0'));
  const Bytes kept = in->TakeKept();
  EXPECT_EQ(kept.size(), 50000u);
  EXPECT_TRUE(View(kept) == std::string_view(file).substr(0, 50000));
  EXPECT_EQ(in->Length(), 50000u);
}

TEST_F(Streams, AStreamNamesTheFileItHasOpenWithLinksResolved) {
  WriteFile(Path("song.spc"), "bytes");
  ASSERT_EQ(::symlink("song.spc", Path("link.spc").c_str()), 0);
  auto in = BinaryStream::Open(Item("link.spc"));
  char resolved[PATH_MAX];
  ASSERT_NE(::realpath(Path("song.spc").c_str(), resolved), nullptr);
  EXPECT_EQ(in->ResolvedPath(), resolved);
  std::filesystem::rename(Path("song.spc"), Path("moved (deleted)"));
  EXPECT_EQ(in->ResolvedPath(), std::string(resolved).substr(0, std::string(resolved).rfind('/')) + "/moved (deleted)");
  std::filesystem::remove(Path("moved (deleted)"));
  EXPECT_EQ(in->ResolvedPath(), "");
}

// A range of another file goes to the stream's position, after what the stream has buffered, and the stream writes
// on after it; a range reaching past the source's end stops there. The kernel's copies may be refused: sendfile
// then goes on, and a plain read and write where both are refused, with the same bytes.
TEST_F(Streams, CopyFromWritesARangeOfAnotherFile) {
  std::string file(300000, '\0');
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<char>(i * 13 + i / 509);
  WriteFile(Path("source"), file);
  auto in = BinaryStream::Open(Item("source"));
  const struct {
    const char* what;
    uint64_t offset, count, copied;
  } cases[] = {
      {"a range inside", 1000, 270000, 270000},
      {"a range reaching past the end", 250000, 100000, 50000},
      {"a range past the end", 400000, 10, 0},
  };
  for (const int refused : {0, 1, 2}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.what) + ", " + std::to_string(refused) + " kernel copies refused");
      auto out = BinaryStream::Create(Item("copy"), true);
      out->Write("head");
      // The first write is that of the buffered head.
      int writes = 0;
      faults::SetHook([&](faults::Op op) {
        return op == faults::Op::Write && ++writes > 1 && writes <= 1 + refused ? EINVAL : 0;
      });
      EXPECT_EQ(out->CopyFrom(*in, c.offset, c.count), c.copied);
      faults::SetHook({});
      EXPECT_EQ(out->Position(), 4 + c.copied);
      EXPECT_EQ(out->Length(), 4 + c.copied);
      out->Write("tail");
      out->Close();
      const std::string range = file.substr(std::min<uint64_t>(c.offset, file.size()), c.copied);
      EXPECT_EQ(ReadFile(Path("copy")), "head" + range + "tail");
    }
  }

  // A keeping stream keeps what it wrote itself, the start of the file; the copy comes last.
  auto out = BinaryStream::CreateKeeping(Item("kept"));
  out->Write("head");
  EXPECT_EQ(out->CopyFrom(*in, 0, UINT64_MAX), file.size());
  out->Close();
  EXPECT_TRUE(View(out->TakeKept()) == "head");
  EXPECT_EQ(ReadFile(Path("kept")), "head" + file);
}

// A copy that cannot be written is this stream's failure, placed at its path, as a full temporary folder must be for
// a Save to write beside the file instead.
TEST_F(Streams, CopyFromThatCannotWriteFailsAtTheOutput) {
  WriteFile(Path("source"), std::string(100000, 's'));
  auto in = BinaryStream::Open(Item("source"));
  auto out = BinaryStream::Create(Item("copy"));
  faults::SetHook([](faults::Op op) { return op == faults::Op::Write ? ENOSPC : 0; });
  try {
    out->CopyFrom(*in, 0, 100000);
    ADD_FAILURE() << "a copy that could not be written went through";
  } catch (const IOException& e) {
    EXPECT_EQ(e.ErrorNumber(), ENOSPC);
    EXPECT_EQ(e.Place(), Path("copy"));
  }
  faults::SetHook({});
  EXPECT_EQ(out->Length(), 0u);
}

// A large source is copied without passing through memory: what the process holds grows by far less than the copy.
TEST_F(Streams, CopyFromALargeSparseFileHoldsLittleOfIt) {
  constexpr uint64_t kSize = 256u << 20;
  WriteFile(Path("sparse"), "start");
  ASSERT_EQ(::truncate(Path("sparse").c_str(), kSize), 0) << std::strerror(errno);
  auto in = BinaryStream::Open(Item("sparse"));
  auto out = BinaryStream::Create(Item("copy"));
  const bool peakReset = testing_support::ResetPeakMemory();
  const long before = testing_support::StatusKiB("VmRSS:");
  EXPECT_EQ(out->CopyFrom(*in, 0, UINT64_MAX), kSize);
  const long grown = testing_support::StatusKiB("VmHWM:") - before;
  out->Close();
  EXPECT_EQ(std::filesystem::file_size(Path("copy")), kSize);
  EXPECT_EQ(BinaryStream::Open(Item("copy"))->Read(5), "start");
  if (!peakReset) GTEST_SKIP() << "peak memory not checked: /proc/self/clear_refs cannot be written here";
  EXPECT_LT(grown, 16 * 1024) << "KiB";
}
