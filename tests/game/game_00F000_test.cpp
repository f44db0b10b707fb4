// Page $F000: the squeezed-data unpacker on hand-made files and on files
// from the test encoder, and on files that break the format.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "game/game_ram.h"
#include "support/machine/dispatch_check.h"
#include "support/machine/machine_fixture.h"
#include "support/synthetic/squeeze_encoder.h"

namespace {

constexpr u32 file_at = 0x030000;
constexpr u32 node_table = 0x014000;
constexpr u32 output_at = 0x040000;
constexpr u32 nodes_read = 0x0001D4;
constexpr u32 node_count = 0x0001D6;

class Unsqueeze : public MachineTest {
 protected:
  // Loads a squeezed file at file_at and points the unpacker's registers at
  // it: a4 past the header, a1 at the file's end (or `end` bytes after the
  // header when given).
  void load(const std::vector<u8>& file, u32 output = output_at, long end = -1) {
    for (size_t i = 0; i < file.size(); ++i) g_ram[file_at + i] = file[i];
    g_cpu.a[4] = file_at + squeeze_header_size;
    g_cpu.a[1] = end < 0 ? file_at + static_cast<u32>(file.size()) : g_cpu.a[4] + static_cast<u32>(end);
    g_cpu.a[3] = node_table;
    g_cpu.a[6] = output;
  }

  // Unpacks the loaded file; returns the bytes written.
  std::vector<u8> unpack() {
    driver_start(0x00FC88);
    driver_run(4);
    EXPECT_TRUE(driver_finished());
    if (g_cpu.a[6] < output_at || g_cpu.a[6] > output_at + 0x100000) return {};
    return {g_ram + output_at, g_ram + g_cpu.a[6]};
  }

  std::vector<u8> unpack(const std::vector<u8>& file) {
    load(file);
    return unpack();
  }
};

std::vector<u8> bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

TEST_F(Unsqueeze, NamedAddressesAreInTheDispatchTable) {
  expect_named_rows({
      {0x00FC88, routine_entry, "sub_00FC88"}, {0x00FC8C, resume_label, "sub_00FC88"},
      {0x00FC90, resume_label, "sub_00FC88"},  {0x00FC94, resume_label, "sub_00FC88"},
      {0x00FD04, resume_label, "sub_00FC88"},  {0x00FD20, routine_entry, "sub_00FD20"},
      {0x00FD2A, resume_label, "sub_00FD20"},  {0x00FD36, resume_label, "sub_00FD20"},
      {0x00FD40, resume_label, "sub_00FD20"},  {0x00FD48, resume_label, "sub_00FD20"},
      {0x00FD72, routine_entry, "sub_00FD72"},
  });
}

TEST_F(Unsqueeze, WorkedExample) {
  // N = 2; node 0 = leaf $41, node 1; node 1 = leaf $42, end; stream
  // bits 0, 10, 10, 11 from bit 0 of $6A up.
  const std::vector<u8> file =
      squeeze_file(2, {{0xFFBE, 0x0001}, {0xFFBD, 0xFEFF}}, std::vector<u8>{0x6A});
  ASSERT_EQ(file.size(), squeeze_header_size + 11);
  g_cpu.d[1] = 0x11111111;
  load(file);
  EXPECT_EQ(unpack(), (std::vector<u8>{0x41, 0x42, 0x42}));
  EXPECT_EQ(g_cpu.a[4], file_at + file.size()) << "past the last source byte used";
  EXPECT_EQ(g_cpu.a[1], file_at + file.size()) << "a1 kept";
  EXPECT_EQ(g_cpu.a[3], node_table) << "a3 kept";
  EXPECT_EQ(g_cpu.d[0], 0xFFFFFFFFu);
  EXPECT_EQ(g_cpu.d[2] & 0xFFFF, 0xFFFFu);
  EXPECT_EQ(g_cpu.d[4] & 0xFFFF, 0xFFFFu);
  EXPECT_EQ(rd16(node_count), 2u);
  EXPECT_EQ(rd16(nodes_read), 2u);
  EXPECT_EQ(rd32(node_table), 0xFFBE0001u) << "nodes stored big-endian";
  EXPECT_EQ(rd32(node_table + 4), 0xFFBDFEFFu);
}

TEST_F(Unsqueeze, RunMarker) {
  struct run_case {
    const char* what;
    std::vector<int> symbols;
    std::vector<u8> expanded;
  };
  const std::vector<run_case> cases = {
      {"a run of three", {0x41, 0x90, 3}, {0x41, 0x41, 0x41}},
      {"run of one outputs nothing", {0x41, 0x90, 1, 0x42}, {0x41, 0x42}},
      {"escaped marker", {0x90, 0}, {0x90}},
      {"the escape keeps the previous byte", {0x41, 0x90, 0, 0x90, 2}, {0x41, 0x90, 0x41}},
      {"run after two bytes", {0x41, 0x42, 0x90, 4}, {0x41, 0x42, 0x42, 0x42, 0x42}},
      {"longest run", {0x07, 0x90, 255}, std::vector<u8>(255, 0x07)},
      {"marker then another run", {0x33, 0x90, 3, 0x90, 3}, std::vector<u8>(5, 0x33)},
  };
  for (const run_case& c : cases) {
    SetUp();
    EXPECT_EQ(unpack(squeeze_symbol_file(c.symbols)), c.expanded) << c.what;
  }
}

TEST_F(Unsqueeze, RunRightAtTheStartRepeatsTheByteHeldOnEntry) {
  g_cpu.d[6] = 0x12345678;
  EXPECT_EQ(unpack(squeeze_symbol_file({0x90, 3})), (std::vector<u8>{0x78, 0x78}));
}

TEST_F(Unsqueeze, EmptyTableDecodesToNothing) {
  struct empty_case {
    const char* what;
    std::vector<u8> file;
    long end; // a1 this many bytes after the header; -1: the file's end
    u32 source_used;
    u16 count;
  };
  const std::vector<empty_case> cases = {
      {"N = 0", squeeze_file(0, {}, std::vector<u8>{0x00}), -1, 3, 0},
      {"N negative", squeeze_file(-32768, {}, std::vector<u8>{0x00}), -1, 3, 0x8000},
      {"no count before the end", squeeze_file(0x1234, {}, std::vector<u8>{0x00}), 0, 1, 0xFFFF},
  };
  for (const empty_case& c : cases) {
    SetUp();
    wr32(node_table, 0x12345678);
    wr16(nodes_read, 0x5555);
    load(c.file, output_at, c.end);
    EXPECT_TRUE(unpack().empty()) << c.what;
    EXPECT_EQ(g_cpu.a[6], output_at) << c.what;
    EXPECT_EQ(g_cpu.a[4], file_at + squeeze_header_size + c.source_used) << c.what;
    EXPECT_EQ(rd32(node_table), 0xFEFFFEFFu) << c.what << ": node 0 preset to two end leaves";
    EXPECT_EQ(rd16(node_count), c.count) << c.what;
    EXPECT_EQ(rd16(nodes_read), 0u) << c.what;
    EXPECT_EQ(g_cpu.d[0], 0xFFFFFFFFu) << c.what;
  }
}

TEST_F(Unsqueeze, TreeReadingStopsAtTheSourceEnd) {
  // N = 3 but the packed data end after node 0: nodes 1 and 2 read as -1
  // (leaves of byte 0). Stream: 1 0 (node 1, byte 0), then 0 (the end).
  load(squeeze_file(3, {{0xFEFF, 0x0001}}, std::vector<u8>{0x01}), output_at, 2 + 4);
  EXPECT_EQ(unpack(), (std::vector<u8>{0x00}));
  EXPECT_EQ(rd16(nodes_read), 3u);
  EXPECT_EQ(rd32(node_table + 4), 0xFFFFFFFFu);
  EXPECT_EQ(rd32(node_table + 8), 0xFFFFFFFFu);
  EXPECT_EQ(g_cpu.a[4], file_at + squeeze_header_size + 7) << "the stream itself runs past a1";
}

TEST_F(Unsqueeze, SqueezedFilesRoundTrip) {
  std::vector<std::vector<u8>> samples = {
      {},
      bytes_of("A"),
      bytes_of("Brakmoor"),
      bytes_of("aaaaaaaaaabbbcccccccccccccccccccccccccd  \x90\x90\x90\x90 end"),
      std::vector<u8>(1000, 'x'),
      std::vector<u8>(256, 0x90),
  };
  std::vector<u8> all;
  for (int i = 0; i < 2048; ++i) all.push_back(static_cast<u8>(i * 7 + (i >> 8)));
  samples.push_back(all);
  std::vector<u8> runs;
  for (int n = 1; n < 300; n += 7) runs.insert(runs.end(), static_cast<size_t>(n), static_cast<u8>(n));
  samples.push_back(runs);

  for (const std::vector<u8>& data : samples) {
    SetUp();
    const std::vector<u8> file = squeeze(data);
    EXPECT_EQ(unpack(file), data) << data.size() << " bytes";
    EXPECT_EQ(g_cpu.a[4], file_at + file.size()) << "every stream byte used";
    // Evenly: no runs, no code under six bits (a tree with unused branches).
    SetUp();
    const std::vector<u8> even = squeeze_evenly(data, 6);
    EXPECT_EQ(unpack(even), data) << data.size() << " bytes evenly";
    EXPECT_GE(8 * (even.size() - squeeze_header_size), 6 * data.size()) << "at least six bits a byte";
  }
}

// Files that break the format keep the game decoding, as the machine would,
// but every access stays in the machine's memory and the host gets control
// back at every slice.
TEST_F(Unsqueeze, ATreeWithoutLeavesKeepsTheGameBusyWithoutWriting) {
  // Child $7FFF lies far past the table, where zeros send it back to node 0.
  load(squeeze_file(1, {{0x7FFF, 0x7FFF}}, std::vector<u8>{0x55}));
  const std::vector<u8> before(g_ram, g_ram + ram_size);
  driver_start(0x00FC88);
  for (int slice = 0; slice < 4; ++slice) {
    driver_run(1, 100000);
    ASSERT_FALSE(driver_finished());
    EXPECT_EQ(g_cpu.yield_reason, u32{YIELD_BUDGET});
  }
  EXPECT_EQ(g_cpu.a[6], output_at) << "no symbol was ever reached";
  for (u32 a = 0; a < ram_size; ++a) {
    if (a >= 0xF000 && a < 0x10000) continue; // the stack
    if (a >= node_table && a < node_table + 4) continue;
    if (a == nodes_read || a == nodes_read + 1 || a == node_count || a == node_count + 1) continue;
    ASSERT_EQ(g_ram[a], before[a]) << "written at " << std::hex << a;
  }
}

TEST_F(Unsqueeze, AStreamWithoutAnEndRunsOffTheTopOfRamHarmlessly) {
  constexpr u32 near_top = 0x3FFF00;
  // Two leaves and no end: every bit is a byte; the zeros past the stream
  // give 'A' for ever.
  load(squeeze_file(1, {{squeeze_leaf('A'), squeeze_leaf('B')}}, std::vector<u8>{0x02}), near_top);
  std::vector<u8> io_before(g_io, g_io + io_size);
  std::vector<u8> rom_before(g_rom, g_rom + rom_size);
  driver_start(0x00FC88);
  for (int slice = 0; slice < 4; ++slice) {
    driver_run(1, 100000);
    ASSERT_FALSE(driver_finished());
    EXPECT_EQ(g_cpu.yield_reason, u32{YIELD_BUDGET});
  }
  EXPECT_GT(g_cpu.a[6], ram_size) << "the output went on past the end of RAM";
  EXPECT_EQ(g_ram[near_top], 'A');
  EXPECT_EQ(g_ram[near_top + 1], 'B');
  for (u32 a = near_top + 2; a < ram_size; ++a) ASSERT_EQ(g_ram[a], 'A') << std::hex << a;
  EXPECT_EQ(std::memcmp(g_io, io_before.data(), io_size), 0);
  EXPECT_EQ(std::memcmp(g_rom, rom_before.data(), rom_size), 0);
}

} // namespace
