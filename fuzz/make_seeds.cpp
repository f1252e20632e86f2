// Writes a small corpus of SPC files for the fuzzer to start from: both header layouts, chunks with every item
// type, and the malformed shapes that the reader must survive.
#include <cstdio>
#include <string>

#include "support/SpcBuilder.h"

using spctest::BinaryHeader;
using spctest::SpcBuilder;
using spctest::TextHeader;
using spctest::Xid6;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s folder\n", argv[0]);
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  auto write = [&](const char* name, const std::string& bytes) { SpcBuilder::WriteFile(folder + name, bytes); };

  TextHeader text;
  text.song = "Song";
  text.game = "Game";
  text.dumper = "Dumper";
  text.comments = "Comments";
  text.date = "12/24/1999";
  text.length = "180";
  text.fade = "10000";
  text.artist = "Artist";
  text.mask = 0x81;
  text.emulator = '1';
  BinaryHeader binary;
  binary.song = "Song";
  binary.day = 31;
  binary.month = 12;
  binary.year = 1999;
  binary.length = 300;
  binary.fade = 0xFFFFD8F0;
  binary.artist = "Artist";
  binary.emulator = 2;

  const Xid6 all = Xid6()
                       .String(0x01, std::string(40, 'S'))
                       .String(0x07, "line\r\nline")
                       .String(0x13, "odd type", 3)
                       .Value(0x11, 2)
                       .Value(0x12, 0x0C61)
                       .Long(0x30, 1920000)
                       .Long(0x31, 640000, 8)
                       .Long(0x36, 98304)
                       .Value(0x20, 7);

  write("text.spc", SpcBuilder().Text(text).Ram(1).Bytes());
  write("binary.spc", SpcBuilder().Binary(binary).Ram(2).Bytes());
  write("text-xid6.spc", SpcBuilder().Text(text).Chunk(all).Bytes());
  write("binary-xid6.spc", SpcBuilder().Binary(binary).Chunk(all).Bytes());
  write("short-213.spc", SpcBuilder().Text(text).Truncate(213).Bytes());
  write("short-40.spc", SpcBuilder().Truncate(40).Bytes());
  write("empty-chunk.spc", SpcBuilder().Chunk(Xid6()).Bytes());
  write("huge-size.spc", SpcBuilder().Chunk(Xid6().Value(0x11, 1).Size(0x7FFEFDF7)).Bytes());
  write("wrapped-size.spc", SpcBuilder().Chunk(Xid6().Value(0x11, 1).Size(0x7FFEFDF8)).Bytes());
  Xid6 many;  // more items than the reader takes from one chunk
  for (int i = 0; i < 5000; ++i) many.Value(static_cast<uint8_t>(0x11 + i % 4), static_cast<uint16_t>(i));
  write("many-items.spc", SpcBuilder().Chunk(many.Size(0x7FFEFDF7)).Bytes());
  write("long-field.spc", SpcBuilder().Chunk(Xid6().Header(0x07, 1, 0xFFFF).Raw("end").Size(100000)).Bytes());
  return 0;
}
