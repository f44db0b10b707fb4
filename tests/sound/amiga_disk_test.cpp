// The Amiga disk reader on made-up disks: the -lh5- decoder against
// liblhasa on streams written here, hand-made streams for what no encoder
// writes, the archive walk over names, header levels and methods, and the
// three forms of the disk with their size rules and the block's CRC.
#include "sound/amiga_disk.h"

#include <gtest/gtest.h>
#include <lhasa.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/synthetic/amiga_disk_images.h"
#include "support/synthetic/lha_writer.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

using bytes = std::vector<u8>;

struct freer {
  void operator()(u8* p) const { std::free(p); }
};
using owned = std::unique_ptr<u8, freer>;

// null when the reader refused, else the bytes.
std::unique_ptr<bytes> unpacked(const bytes& stream, size_t size) {
  owned out(lh5_unpack(stream.data(), stream.size(), size));
  if (!out) return nullptr;
  return std::make_unique<bytes>(out.get(), out.get() + size);
}

// liblhasa's own -lh5- decoder on the same stream.
struct memory_source {
  const bytes* stream;
  size_t at = 0;
};

size_t read_memory(void* buf, size_t len, void* user) {
  auto* s = static_cast<memory_source*>(user);
  const size_t n = std::min(len, s->stream->size() - s->at);
  std::memcpy(buf, s->stream->data() + s->at, n);
  s->at += n;
  return n;
}

bytes lhasa_unpack(const bytes& stream, size_t size) {
  memory_source source{&stream};
  char name[] = "-lh5-";
  LHADecoder* decoder = lha_decoder_new(lha_decoder_for_name(name), read_memory, &source, size);
  bytes out(size);
  size_t got = 0;
  while (got < size) {
    const size_t n = lha_decoder_read(decoder, out.data() + got, size - got);
    if (n == 0) break;
    got += n;
  }
  lha_decoder_free(decoder);
  out.resize(got);
  return out;
}

bytes pseudo_random(size_t n, u32 seed) {
  bytes out(n);
  for (u8& b : out) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<u8>(seed >> 16);
  }
  return out;
}

bytes text(size_t n) {
  static const std::string words[] = {"the ", "replay ", "routine ", "plays ", "four ", "voices ", "on ", "Paula, "};
  bytes out;
  u32 x = 1;
  while (out.size() < n) {
    x = x * 69069u + 1;
    const std::string& w = words[x >> 29];
    out.insert(out.end(), w.begin(), w.end());
  }
  out.resize(n);
  return out;
}

struct round_trip_case {
  const char* what;
  bytes data;
  int codes_per_block;
};

TEST(Lh5Unpack, DecodesWhatLiblhasaDecodes) {
  bytes runs(70000, 0);
  for (size_t i = 0; i < runs.size(); i += 5000) runs[i] = static_cast<u8>(i / 5000);
  bytes far = pseudo_random(9000, 3);
  far.insert(far.end(), far.begin() + 800, far.begin() + 1800); // 8,200 back
  const round_trip_case cases[] = {
      {"one byte", {0x42}, 65535},
      {"one byte value only", bytes(2000, 'a'), 65535},
      {"text", text(30000), 65535},
      {"random", pseudo_random(20000, 7), 65535},
      {"long runs", runs, 65535},
      {"far copies", far, 65535},
      {"small blocks", text(12000), 97},
      {"every byte value", [] {
         bytes b;
         for (int r = 0; r < 40; ++r)
           for (int v = 0; v < 256; ++v) b.push_back(static_cast<u8>(v * (r + 1)));
         return b;
       }(), 65535},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const bytes stream = lh5_pack(c.data, c.codes_per_block);
    ASSERT_EQ(lhasa_unpack(stream, c.data.size()), c.data) << "the test's encoder is wrong";
    const auto got = unpacked(stream, c.data.size());
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, c.data);
  }
  // Bytes alone in Fibonacci counts make the deepest code there is: the
  // encoder cuts it to 16 bits.
  std::vector<lh5_code> codes;
  bytes fibonacci;
  u32 f0 = 1, f1 = 1;
  for (int v = 0; v < 22; ++v, f1 += f0, f0 = f1 - f0)
    for (u32 k = 0; k < f0; ++k) fibonacci.push_back(static_cast<u8>(v * 11));
  for (u8 b : fibonacci) codes.push_back({b, 0, 0});
  const bytes stream = lh5_encode(codes);
  ASSERT_EQ(lhasa_unpack(stream, fibonacci.size()), fibonacci);
  const auto got = unpacked(stream, fibonacci.size());
  ASSERT_TRUE(got);
  EXPECT_EQ(*got, fibonacci);
}

TEST(Lh5Unpack, CopiesFromBeforeTheStartGiveZerosAndTheSizeEndsTheOutput) {
  const std::vector<lh5_code> codes = {
      {'x', 0, 0}, {0, 5, 3}, {'a', 0, 0}, {'b', 0, 0}, {0, 7, 2}, {0, 256, 8192}, {'z', 0, 0}};
  const bytes stream = lh5_encode(codes);
  bytes expected = {'x', 0, 0, 'x', 0, 0, 'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b', 'a'};
  const size_t before_long_copy = expected.size();
  for (int k = 0; k < 256; ++k) expected.push_back(before_long_copy + k >= 8192 ? expected[before_long_copy + k - 8192] : 0);
  expected.push_back('z');
  const auto whole = unpacked(stream, expected.size());
  ASSERT_TRUE(whole);
  EXPECT_EQ(*whole, expected);
  // Done as soon as the size is reached, even inside a copy.
  const auto cut = unpacked(stream, 10);
  ASSERT_TRUE(cut);
  EXPECT_EQ(*cut, bytes(expected.begin(), expected.begin() + 10));
}

// One block of one code whose tables are written by hand, then zeros, so
// that a wrongly accepted block would give its byte before the input ends.
bytes one_code_block(void (*tables)(lh5_bits&), u32 code, int code_bits) {
  lh5_bits b;
  b.put(1, 16);
  tables(b);
  b.put(code, code_bits);
  b.bytes.resize(b.bytes.size() + 16, 0);
  return b.bytes;
}

TEST(Lh5Unpack, RefusesBrokenStreams) {
  // Pre-table of the one symbol 3 (length 1): one literal with the one-bit
  // code 0; 1 is no code.
  auto half_code = [](lh5_bits& b) {
    b.put(0, 5), b.put(3, 5);
    b.put(1, 9);
    b.put(0, 4), b.put(0, 4);
  };
  const auto one = unpacked(one_code_block(half_code, 0, 1), 1);
  ASSERT_TRUE(one);
  EXPECT_EQ(*one, bytes{0});

  struct broken_case {
    const char* what;
    bytes stream;
  };
  const broken_case cases[] = {
      {"a code the table lacks", one_code_block(half_code, 1, 1)},
      {"nothing at all", {}},
      {"pre-table of three one-bit codes", one_code_block(
                                                [](lh5_bits& b) {
                                                  b.put(3, 5), b.put(1, 3), b.put(1, 3), b.put(1, 3), b.put(0, 2);
                                                },
                                                0, 8)},
      {"pre-table of 20 lengths", one_code_block([](lh5_bits& b) { b.put(20, 5); }, 0, 8)},
      {"pre-table's one symbol 19", one_code_block([](lh5_bits& b) { b.put(0, 5), b.put(19, 5); }, 0, 8)},
      {"literal table of 511 lengths", one_code_block([](lh5_bits& b) { b.put(0, 5), b.put(3, 5), b.put(511, 9); }, 0, 8)},
      {"literal table's one symbol 510",
       one_code_block([](lh5_bits& b) { b.put(0, 5), b.put(3, 5), b.put(0, 9), b.put(510, 9); }, 0, 8)},
      {"position table of 15 lengths",
       one_code_block([](lh5_bits& b) { b.put(0, 5), b.put(3, 5), b.put(0, 9), b.put(65, 9), b.put(15, 4); }, 0, 8)},
      {"position table of three one-bit codes",
       one_code_block(
           [](lh5_bits& b) {
             b.put(0, 5), b.put(3, 5), b.put(2, 9);
             b.put(3, 4), b.put(1, 3), b.put(1, 3), b.put(1, 3);
           },
           0, 1)},
      {"a length of 17", one_code_block(
                             [](lh5_bits& b) {
                               b.put(2, 5), b.put(7, 3);
                               for (int k = 7; k < 17; ++k) b.put(1, 1);
                               b.put(0, 1), b.put(1, 3);
                             },
                             0, 8)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(unpacked(c.stream, 1));
  }
}

// A block whose literal table has codes of 1 to 16 bits (lengths 1, 2, ...,
// 15, 16, 16 and any extra ones), coding the literals 16 then 15.
bytes deepest_code_block(const std::vector<int>& extra_lengths) {
  lh5_bits b;
  b.put(2, 16);
  // Pre-table: symbols 3..18 (lengths 1..16) with 4-bit codes.
  b.put(19, 5);
  for (int s = 0; s < 3; ++s) b.put(0, 3);
  b.put(0, 2);
  for (int s = 3; s < 19; ++s) b.put(4, 3);
  std::vector<int> lengths;
  for (int l = 1; l <= 16; ++l) lengths.push_back(l);
  lengths.push_back(16);
  lengths.insert(lengths.end(), extra_lengths.begin(), extra_lengths.end());
  b.put(static_cast<u32>(lengths.size()), 9);
  for (int l : lengths) b.put(static_cast<u32>(l + 2 - 3), 4);
  b.put(0, 4), b.put(0, 4);
  b.put(0xFFFF, 16); // symbol 16
  b.put(0xFFFE, 16); // symbol 15
  return b.bytes;
}

TEST(Lh5Unpack, ReadsCodesOfSixteenBitsAndRefusesTooManyOfThem) {
  const bytes stream = deepest_code_block({});
  ASSERT_EQ(lhasa_unpack(stream, 2), (bytes{16, 15}));
  const auto got = unpacked(stream, 2);
  ASSERT_TRUE(got);
  EXPECT_EQ(*got, (bytes{16, 15}));
  EXPECT_FALSE(unpacked(deepest_code_block({16}), 2));
}

TEST(Lh5Unpack, ACutStreamReadsZerosUntilItsTablesLieFarBeyondTheInput) {
  const bytes data(5000, 'q');
  const bytes stream = lh5_pack(data);
  const auto whole = unpacked(stream, data.size());
  ASSERT_TRUE(whole);
  // Asking for more than the stream holds: new blocks of zeros are read
  // until their tables end 64 bits past the input.
  EXPECT_FALSE(unpacked(stream, data.size() + 1000000));
}

// ---- Archives -----------------------------------------------------------------

bytes extracted(const bytes& archive, bool* found) {
  size_t length = 0;
  owned out(lha_extract(archive.data(), archive.size(), &length));
  *found = out != nullptr;
  return out ? bytes(out.get(), out.get() + length) : bytes{};
}

// What liblhasa lists and extracts from the archive: name and bytes.
std::vector<std::pair<std::string, bytes>> lhasa_members(const bytes& archive) {
  temp_dir dir;
  const std::string path = dir / "a.lha";
  spit(path, std::string(archive.begin(), archive.end()));
  std::vector<std::pair<std::string, bytes>> out;
  LHAInputStream* stream = lha_input_stream_from(const_cast<char*>(path.c_str()));
  LHAReader* reader = lha_reader_new(stream);
  while (LHAFileHeader* h = lha_reader_next_file(reader)) {
    bytes data(h->length);
    size_t got = 0;
    while (got < data.size()) {
      const size_t n = lha_reader_read(reader, data.data() + got, data.size() - got);
      if (n == 0) break;
      got += n;
    }
    data.resize(got);
    std::string name = h->path ? std::string(h->path) : "";
    out.emplace_back(name + (h->filename ? h->filename : ""), data);
  }
  lha_reader_free(reader);
  lha_input_stream_free(stream);
  return out;
}

TEST(LhaExtract, FindsDiskOneByBaseNameInAnyCaseAtEitherLevel) {
  const bytes disk = text(40000);
  const bytes other = pseudo_random(3000, 11);
  struct member_case {
    const char* what;
    std::vector<lha_member> members;
    bool found;
  };
  lha_member with_extended = lha_member_of("Disk.1", disk, "-lh5-", 1);
  with_extended.extended = {5, 40, 3};
  lha_member stored_extended = lha_member_of("Disk.1", disk, "-lh0-", 1);
  stored_extended.extended = {7};
  const member_case cases[] = {
      {"level 0", {lha_member_of("Disk.1", disk)}, true},
      {"level 1", {lha_member_of("Disk.1", disk, "-lh5-", 1)}, true},
      {"level 1, extended headers", {with_extended}, true},
      {"stored, extended header", {stored_extended}, true},
      {"after another member", {lha_member_of("readme", other, "-lh0-"), lha_member_of("disk.1", disk)}, true},
      {"in a folder, capitals", {lha_member_of("game/DISK.1", disk, "-lh5-", 1)}, true},
      {"Disk.10", {lha_member_of("Disk.10", disk)}, false},
      {"xDisk.1", {lha_member_of("xDisk.1", disk)}, false},
      {"Risk.1", {lha_member_of("Risk.1", disk)}, false},
      {"Disk.1/", {lha_member_of("Disk.1/", disk)}, false},
      {"-lh1-", {lha_member_of("Disk.1", disk, "-lh1-")}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const bytes archive = lha_archive(c.members);
    if (c.members.back().method != "-lh1-") {
      const auto listed = lhasa_members(archive);
      ASSERT_EQ(listed.size(), c.members.size()) << "the test's archive is wrong";
      EXPECT_EQ(listed.back().second, disk);
    }
    bool found = false;
    const bytes got = extracted(archive, &found);
    EXPECT_EQ(found, c.found);
    if (c.found) {
      EXPECT_EQ(got, disk);
    }
  }
  // A first extended header size of 2 ends the chain at once.
  bytes two = lha_archive({lha_member_of("Disk.1", disk, "-lh5-", 1)});
  two[22 + 6 + 3] = 2;
  bool two_found = false;
  EXPECT_EQ(extracted(two, &two_found), disk);
  EXPECT_TRUE(two_found);
  // An empty member that ends the file, without the archive's closing 0.
  bytes bare = lha_archive({lha_member_of("Disk.1", {}, "-lh0-", 1)});
  bare.pop_back();
  bool found = false;
  EXPECT_TRUE(extracted(bare, &found).empty());
  EXPECT_TRUE(found);
}

TEST(LhaExtract, RefusesMembersItCannotTrust) {
  const bytes disk = text(5000);
  auto archive_of = [](lha_member m) { return lha_archive({m}); };
  lha_member short_stored = lha_member_of("Disk.1", disk, "-lh0-");
  short_stored.uncompressed = disk.size() + 1;
  lha_member long_chain = lha_member_of("Disk.1", disk, "-lh5-", 1);
  long_chain.extended = {10};
  bytes chain_past = archive_of(long_chain);
  chain_past[7] = 9, chain_past[8] = chain_past[9] = chain_past[10] = 0; // compressed size 9 < 10
  lha_member huge = lha_member_of("Disk.1", bytes(100, 'h'), "-lh5-");
  huge.uncompressed = amiga_disk_max_file + 1;
  bytes level2 = archive_of(lha_member_of("Disk.1", disk));
  level2[20] = 2;
  bytes bad_method = archive_of(lha_member_of("Disk.1", disk));
  bad_method[3] = 'z';
  bytes cut_header = archive_of(lha_member_of("Disk.1", disk, "-lh5-", 1));
  cut_header.resize(26);
  // A level-1 header whose size leaves out its last fields, cut before
  // the size of its first extended header.
  bytes short_level1 = archive_of(lha_member_of("Disk.1", {}, "-lh0-", 1));
  short_level1[0] = 22 + 6;
  short_level1.resize(26 + 6);
  struct refused_case {
    const char* what;
    bytes archive;
  };
  const refused_case cases[] = {
      {"stored data shorter than its size", archive_of(short_stored)},
      {"extended headers longer than the member", chain_past},
      {"a size beyond any disk", archive_of(huge)},
      {"header level 2", level2},
      {"not -lh?-", bad_method},
      {"cut in the header", cut_header},
      {"level-1 fields beyond the header and the file", short_level1},
      {"empty", {}},
      {"a 0 header size first", bytes(40, 0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    bool found = true;
    extracted(c.archive, &found);
    EXPECT_FALSE(found);
  }
  // The walk does not go past a member that leaves the archive.
  bytes two = lha_archive({lha_member_of("a", disk), lha_member_of("Disk.1", disk)});
  two[7] = 0xFF, two[8] = 0xFF, two[9] = 0xFF;
  bool found = true;
  extracted(two, &found);
  EXPECT_FALSE(found);
}

// ---- The disk in its three forms -----------------------------------------------

struct disk_file {
  temp_dir dir;
  std::string path = dir / "disk";
  explicit disk_file(const bytes& content) { spit(path, std::string(content.begin(), content.end())); }
};

bool block_of(const bytes& file, bytes* block = nullptr) {
  disk_file f(file);
  bytes out(amiga_music_block_size, 0xEE);
  const int ok = amiga_disk_block(f.path.c_str(), out.data());
  EXPECT_TRUE(ok == 0 || ok == 1);
  if (block) *block = out;
  return ok == 1;
}

TEST(AmigaDiskBlock, TakesTheBlockFromEachFormOfTheDisk) {
  const bytes block = amiga_test_block(1);
  const bytes dump = amiga_test_dump(block, adf_size);
  bytes dump_no_dos = amiga_test_dump(block, adf_size);
  dump_no_dos[0] = 'D', dump_no_dos[1] = 'O', dump_no_dos[2] = 'X';
  bytes ffs_adf = amiga_test_adf(block);
  ffs_adf[3] = 1; // "DOS\1": the fast file system
  bytes dump_half_signature = amiga_test_dump(block, 300000);
  std::memcpy(dump_half_signature.data(), "xx-lz", 5);
  struct form_case {
    const char* what;
    bytes file;
  };
  const form_case cases[] = {
      {"disk image", amiga_test_adf(block)},
      {"disk image of the fast file system", ffs_adf},
      {"dump starting like an archive", dump_half_signature},
      {"LHA archive, -lh5-", lha_archive({lha_member_of("Disk.1", dump)})},
      {"LHA archive, stored, level 1", lha_archive({lha_member_of("work/disk.1", dump, "-lh0-", 1)})},
      {"disk dump", dump},
      {"901,120 bytes without DOS: a dump", dump_no_dos},
      {"shortest dump", amiga_test_dump(block, dump_min_size)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    bytes got;
    EXPECT_TRUE(block_of(c.file, &got));
    EXPECT_EQ(got, block);
  }
}

TEST(AmigaDiskBlock, RefusesWhatHoldsNoTrustedBlock) {
  const bytes block = amiga_test_block(2);
  bytes bad_block = block;
  bad_block[100] ^= 1;
  bytes adf_as_dump = amiga_test_adf(block); // a dump would have the block elsewhere
  adf_as_dump[0] = 'X';
  const bytes dump = amiga_test_dump(block, 300000);
  bytes one_short = amiga_test_dump(block, dump_min_size);
  one_short.pop_back();
  bytes short_member_dump(dump.begin(), dump.begin() + dump_min_size - 1);
  struct refused_case {
    const char* what;
    bytes file;
  };
  const refused_case cases[] = {
      {"disk image with a wrong CRC", amiga_test_adf(bad_block)},
      {"dump with a wrong CRC", amiga_test_dump(bad_block, 400000)},
      {"dump one byte short", one_short},
      {"disk image without DOS", adf_as_dump},
      {"archive member -lh1-", lha_archive({lha_member_of("Disk.1", dump, "-lh1-")})},
      {"archive member too short", lha_archive({lha_member_of("Disk.1", short_member_dump, "-lh0-")})},
      {"archive without Disk.1", lha_archive({lha_member_of("Disk.2", dump, "-lh0-")})},
      {"eight bytes", bytes{'x', 'x', '-', 'l', 'h', '5', '-', 0}},
      {"empty", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    bytes got;
    EXPECT_FALSE(block_of(c.file, &got));
    EXPECT_EQ(got, bytes(amiga_music_block_size, 0xEE)) << "the destination is left alone";
  }
  bytes out(amiga_music_block_size);
  EXPECT_EQ(amiga_disk_block("/nonexistent/disk.adf", out.data()), 0);
}

TEST(AmigaDiskBlock, RefusesFilesBeyondAnyDisk) {
  const bytes block = amiga_test_block(3);
  temp_dir dir;
  const std::string path = dir / "big";
  spit(path, std::string(reinterpret_cast<const char*>(amiga_test_dump(block, dump_min_size).data()), dump_min_size));
  std::filesystem::resize_file(path, amiga_disk_max_file);
  bytes out(amiga_music_block_size);
  EXPECT_EQ(amiga_disk_block(path.c_str(), out.data()), 1);
  std::filesystem::resize_file(path, amiga_disk_max_file + 1);
  EXPECT_EQ(amiga_disk_block(path.c_str(), out.data()), 0);
  // A file of gigabytes (sparse: it costs no disk) is passed over from its
  // size, with a log line, before a byte of it is read.
  log_capture log;
  std::filesystem::resize_file(path, std::uintmax_t{8} << 30);
  EXPECT_EQ(amiga_disk_block(path.c_str(), out.data()), 0);
  EXPECT_TRUE(log.has(path + " is not read: 8589934592 bytes, more than the 67108864 a file of its kind can hold"))
      << log.text();
}

TEST(AmigaDiskBlock, TheTestBlockHasTheAcceptedCrc) {
  for (u32 seed : {1u, 2u, 99u}) {
    bytes b = amiga_test_block(seed);
    force_crc_register(b, 0x12345678);
    u32 c = 0xFFFFFFFF;
    for (u8 x : b) {
      c ^= x;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320 ^ (c >> 1) : c >> 1;
    }
    EXPECT_EQ(c, 0x12345678u);
  }
}

} // namespace
