// The resident system at the top of RAM: the file service at $3F8FCE with
// its GEMDOS calls, address translation and split transfers; the shared
// steps around it (MFP enables, the grey fades, the low-memory swap, the
// return with the keyboard drained); the directory search; the empty entry
// that the monitor keys reach.
#include <gtest/gtest.h>

#include <vector>

#include "game/game_ram.h"
#include "game/resident_ram.h"
#include "machine/io_devices.h"
#include "machine/loader_hold.h"
#include "support/machine/dispatch_check.h"
#include "support/machine/gemdos_double.h"
#include "support/machine/machine_fixture.h"
#include "support/machine/resume_check.h"

namespace {

using namespace resident;

constexpr u32 request = 0x00217E;
constexpr u32 swapped_bytes = 0x74D * low_block_bytes; // 89,712: $000008-$015E77
constexpr u32 game_stack = 0x200000;
constexpr u32 palette = 0xFF8240;

u8 game_pattern(u32 i) { return static_cast<u8>(i * 7 + 3); }
u8 system_pattern(u32 i) { return static_cast<u8>(i * 13 + 0x51); }

// The resident configuration the boot state leaves, every GEMDOS trap site
// with its opcode, and two different low memories: the game's in place,
// the system's at its copy.
void resident_boot() {
  wr16(file_service_entry, 0x0FCE);
  wr8(machine_kind, 3);
  wr32(system_low_copy, 0x3E20B4);
  wr16(low_blocks, 0x074C);
  wr32(game_low_save, 0x3CC168);
  wr32(limit_base, 0x3F7F24);
  for (u32 at : gemdos_trap_sites) wr16(at, trap1_opcode);
  for (u32 i = 0; i < swapped_bytes; ++i) {
    wr8(low_memory + i, game_pattern(i));
    wr8(0x3E20B4 + i, system_pattern(i));
  }
}

// The request the tests hand the service lies in the game's low memory,
// like the disk loader's; its bytes are the test's.
bool low_memory_is(u8 (*pattern)(u32), u32 at) {
  for (u32 i = 0; i < swapped_bytes; ++i) {
    if (at == low_memory && at + i >= request && at + i < request + 28) continue;
    if (rd8(at + i) != pattern(i)) return false;
  }
  return true;
}

void set_palette(u16 colour) {
  for (u32 i = 0; i < 16; ++i) wr16(palette + 2 * i, colour);
}

void put_request(u32 buffer, u32 offset, u32 count, u32 mode, const char* name = "BKM") {
  wr32(request, buffer);
  wr32(request + 4, offset);
  wr32(request + 8, count);
  wr16(request + 12, mode);
  for (u32 i = 0; i < 14; ++i) wr8(request + 14 + i, 0);
  for (u32 i = 0; name[i]; ++i) wr8(request + 14 + i, static_cast<u8>(name[i]));
}

std::vector<u8> file_bytes(u32 size) {
  std::vector<u8> f(size);
  for (u32 i = 0; i < size; ++i) f[i] = static_cast<u8>((i >> 8) ^ (i * 31));
  return f;
}

// The caller's registers, to be found again after the service.
void caller_registers() {
  for (int i = 2; i < 8; ++i) g_cpu.d[i] = 0x11110000u * static_cast<u32>(i) + 0x1234u;
  for (int i = 2; i < 7; ++i) g_cpu.a[i] = 0x00300000u + 0x100u * static_cast<u32>(i);
  g_cpu.a[7] = game_stack;
  g_cpu.other_sp = 0x00123456;
  g_cpu.sr_sys = 0x2300;
  g_cpu.fz = 1;
}

void expect_caller_registers() {
  for (int i = 2; i < 8; ++i) EXPECT_EQ(g_cpu.d[i], 0x11110000u * static_cast<u32>(i) + 0x1234u) << "d" << i;
  for (int i = 2; i < 7; ++i) EXPECT_EQ(g_cpu.a[i], 0x00300000u + 0x100u * static_cast<u32>(i)) << "a" << i;
  EXPECT_EQ(g_cpu.a[7], game_stack);
  EXPECT_EQ(g_cpu.other_sp, 0x00123456u);
  EXPECT_EQ(g_cpu.sr_sys, 0x2300);
  EXPECT_EQ(g_cpu.fz, 1);
}

class ResidentService : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    g_load_seconds = 0;
    resident_boot();
    set_palette(0x0777);
    caller_registers();
  }

  // The file service called with a0 = the request; its GEMDOS calls all
  // come from one stack depth.
  int run_file_service(int max_slices = 100) {
    driver_start(0x3F8FCE);
    g_cpu.a[0] = request;
    const int slices = run_with_gemdos(dos, max_slices);
    EXPECT_TRUE(dos.one_stack_depth());
    return slices;
  }

  gemdos_double dos;
};

TEST_F(ResidentService, WholeDiskReadOpensReadsAndClosesTheDataFile) {
  dos.file = file_bytes(819200);
  bool swapped_during_read = false, quiet_during_read = false;
  dos.on_call = [&](const gemdos_call& c) {
    if (c.function != 0x3F) return;
    swapped_during_read = low_memory_is(system_pattern, low_memory);
    quiet_during_read = rd8(0xFFFA07) == 0 && rd8(0xFFFA09) == 0 && rd8(0xFFFA13) == 0 && rd8(0xFFFA15) == 0 &&
                        (g_cpu.sr_sys & 0x0700) == 0x0700;
  };
  wr8(0xFFFA07, 0x01);
  wr8(0xFFFA09, 0x60);
  wr8(0xFFFA13, 0x01);
  wr8(0xFFFA15, 0x60);
  put_request(0x81000, 0, 819200, 0);

  ASSERT_GT(run_file_service(), 0);
  ASSERT_FALSE(dos.bad_opcode);

  ASSERT_EQ(dos.calls.size(), 3u);
  EXPECT_EQ(dos.calls[0].function, 0x3Du);
  EXPECT_EQ(dos.calls[0].name, "BKM");
  EXPECT_EQ(dos.calls[0].mode, 0u) << "read only";
  EXPECT_EQ(dos.calls[1].function, 0x3Fu);
  EXPECT_EQ(dos.calls[1].handle, 6u);
  EXPECT_EQ(dos.calls[1].count, 819200u);
  EXPECT_EQ(dos.calls[1].buffer, 0x81000u);
  EXPECT_EQ(dos.calls[2].function, 0x3Eu);
  EXPECT_EQ(dos.calls[2].handle, 6u);
  for (u32 i = 0; i < 819200; i += 4099) ASSERT_EQ(rd8(0x81000 + i), dos.file[i]) << i;

  EXPECT_EQ(g_cpu.d[0], 0u);
  EXPECT_EQ(rd32(file_result), 819200u);
  expect_caller_registers();
  EXPECT_TRUE(swapped_during_read);
  EXPECT_TRUE(quiet_during_read);
  EXPECT_TRUE(low_memory_is(game_pattern, low_memory));
  EXPECT_TRUE(low_memory_is(system_pattern, 0x3E20B4));
  for (u32 i = 0; i < 16; ++i) EXPECT_EQ(rd16(palette + 2 * i), 0x0777u);
  EXPECT_EQ(rd8(0xFFFA07), 0x01u);
  EXPECT_EQ(rd8(0xFFFA09), 0x60u);
  EXPECT_EQ(rd8(0xFFFA13), 0x01u);
  EXPECT_EQ(rd8(0xFFFA15), 0x60u);
}

TEST_F(ResidentService, AnOffsetSeeksBeforeTheRead) {
  dos.file = file_bytes(20000);
  put_request(0x30000, 5120, 512, 0);
  ASSERT_GT(run_file_service(), 0);
  ASSERT_EQ(dos.calls.size(), 4u);
  EXPECT_EQ(dos.calls[1].function, 0x42u);
  EXPECT_EQ(dos.calls[1].offset, 5120);
  EXPECT_EQ(dos.calls[1].handle, 6u);
  EXPECT_EQ(dos.calls[2].function, 0x3Fu);
  for (u32 i = 0; i < 512; ++i) ASSERT_EQ(rd8(0x30000 + i), dos.file[5120 + i]) << i;
}

TEST_F(ResidentService, ACreateRequestWritesOnceAndClearsTheCallersMode) {
  put_request(0x30000, 0, 64, 0x5263);
  for (u32 i = 0; i < 64; ++i) wr8(0x30000 + i, 0xA0 + i);
  ASSERT_GT(run_file_service(), 0);
  ASSERT_EQ(dos.calls.size(), 3u);
  EXPECT_EQ(dos.calls[0].function, 0x3Cu);
  EXPECT_EQ(dos.calls[0].name, "BKM");
  EXPECT_EQ(dos.calls[0].mode, 0u) << "a plain file";
  EXPECT_EQ(dos.calls[1].function, 0x40u);
  EXPECT_EQ(dos.calls[1].handle, 7u);
  ASSERT_EQ(dos.written.size(), 64u);
  EXPECT_EQ(dos.written[5], 0xA5u);
  EXPECT_EQ(rd16(request + 12), 0u);
  EXPECT_EQ(rd16(file_request + 12), 0x5772u); // "Wr"
}

TEST_F(ResidentService, TheWholeNameOfTheRequestIsUsed) {
  dos.file = file_bytes(16);
  put_request(0x30000, 0, 16, 0, "HISCORES.DAT"); // eight and three letters
  ASSERT_GT(run_file_service(), 0);
  ASSERT_FALSE(dos.calls.empty());
  EXPECT_EQ(dos.calls[0].name, "HISCORES.DAT");
}

TEST_F(ResidentService, AMissingFileReadsNothingAndLeavesTheError) {
  dos.open_result = -33;
  put_request(0x30000, 0, 512, 0);
  wr32(0x30000, 0xCAFEF00D);
  ASSERT_GT(run_file_service(), 0);
  ASSERT_EQ(dos.calls.size(), 1u);
  EXPECT_EQ(dos.calls[0].function, 0x3Du);
  EXPECT_EQ(rd32(0x30000), 0xCAFEF00Du);
  EXPECT_EQ(static_cast<i32>(rd32(file_result)), -33);
  EXPECT_EQ(g_cpu.d[0], 0u);
  expect_caller_registers();
  EXPECT_TRUE(low_memory_is(game_pattern, low_memory));
  for (u32 i = 0; i < 16; ++i) EXPECT_EQ(rd16(palette + 2 * i), 0x0777u);
}

// Destinations in the swapped low memory go to the save area, so the bytes
// land at their place once the game's memory is back; a transfer across the
// end of the swapped range ($15E78) is split there.
TEST_F(ResidentService, LowDestinationsAreTranslatedAndSplitAtTheLimit) {
  struct row {
    u32 buffer, count, read_limit;
    std::vector<std::pair<u32, u32>> reads; // buffer, count of each Fread
    u32 result;
  };
  const row rows[] = {
      {0x81000, 100, ~0u, {{0x81000, 100}}, 100},
      {0x10000, 0x100, ~0u, {{0x3DC168, 0x100}}, 0x100},
      {0x15D78, 0x100, ~0u, {{0x3E1EE0, 0x100}}, 0x100},
      {0x15E00, 0x100, ~0u, {{0x3E1F68, 0x78}, {0x15E78, 0x88}}, 0x100},
      {0x15E00, 0x100, 0x10, {{0x3E1F68, 0x78}}, 0x10},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(testing::Message() << std::hex << "buffer $" << r.buffer << " count $" << r.count);
    machine_clear();
    resident_boot();
    set_palette(0x0777);
    caller_registers();
    dos = {};
    dos.file = file_bytes(4096);
    dos.read_limit = r.read_limit;
    put_request(r.buffer, 0, r.count, 0);
    ASSERT_GT(run_file_service(), 0);
    std::vector<std::pair<u32, u32>> reads;
    for (const gemdos_call& c : dos.calls)
      if (c.function == 0x3F) reads.push_back({c.buffer, c.count});
    EXPECT_EQ(reads, r.reads);
    EXPECT_EQ(rd32(file_result), r.result);
    const u32 landed = r.read_limit == ~0u ? r.count : r.read_limit;
    for (u32 i = 0; i < landed; ++i) ASSERT_EQ(rd8(r.buffer + i), dos.file[i]) << i;
    EXPECT_EQ(rd8(r.buffer + landed), r.buffer + landed < 0x15E78 ? game_pattern(r.buffer + landed - 8) : 0u);
  }
}

TEST_F(ResidentService, TheFadeRecordsEveryStepAndEndsOnTheStartPalette) {
  // Colours 7, 7, 7 in every register: grey level 3, reached in four steps.
  dos.file = file_bytes(16);
  std::vector<u16> seen;
  dos.on_call = [&](const gemdos_call& c) {
    if (c.function == 0x3F) seen.push_back(static_cast<u16>(rd16(palette + 6)));
  };
  put_request(0x30000, 0, 16, 0);
  ASSERT_GT(run_file_service(), 0);
  EXPECT_EQ(seen, std::vector<u16>{0x0333});
  EXPECT_EQ(rd16(red_sum), 112u);
  EXPECT_EQ(rd16(green_sum), 112u);
  EXPECT_EQ(rd16(blue_sum), 112u);
  EXPECT_EQ(rd16(grey_target), 0x0333u);
  EXPECT_EQ(rd16(fade_steps), 3u);
  EXPECT_EQ(rd16(fade_records), 0x0777u);
  EXPECT_EQ(rd16(fade_records + 32), 0x0666u);
  EXPECT_EQ(rd16(fade_records + 96 + 30), 0x0444u);
  for (u32 i = 0; i < 16; ++i) EXPECT_EQ(rd16(palette + 2 * i), 0x0777u);
  EXPECT_EQ(rd32(0x70), rd32(saved_vbl_vector));
  // Each step waits two VBLs, on the way out and on the way back.
  std::vector<slice_end> waits;
  for (const slice_end& e : driver_slice_ends())
    if (e.reason == YIELD_WAIT && e != returned) waits.push_back(e);
  std::vector<slice_end> expected;
  for (int i = 0; i < 4; ++i) expected.insert(expected.end(), {waited(0x3F91C4), waited(0x3F91C8)});
  for (int i = 0; i < 4; ++i) expected.insert(expected.end(), {waited(0x3F944A), waited(0x3F944E)});
  EXPECT_EQ(waits, expected);
}

TEST_F(ResidentService, TheFadeTakesUpToSevenSteps) {
  // One full red: grey level 0, seven steps away.
  set_palette(0x0000);
  wr16(palette + 4, 0x0700);
  dos.file = file_bytes(16);
  u32 red_during_read = 0xFFFF;
  dos.on_call = [&](const gemdos_call& c) {
    if (c.function == 0x3F) red_during_read = rd16(palette + 4);
  };
  put_request(0x30000, 0, 16, 0);
  ASSERT_GT(run_file_service(), 0);
  EXPECT_EQ(red_during_read, 0u);
  EXPECT_EQ(rd16(red_sum), 7u);
  EXPECT_EQ(rd16(green_sum), 0u);
  EXPECT_EQ(rd16(fade_steps), 6u);
  EXPECT_EQ(rd16(fade_records + 6 * 32 + 4), 0x0100u) << "the palette before the last step";
  EXPECT_EQ(rd16(palette + 4), 0x0700u);
}

TEST_F(ResidentService, APaletteAtItsGreyLevelRecordsOneStep) {
  set_palette(0x0000);
  wr16(palette, 0x0001); // the sums stay below one grey level
  dos.file = file_bytes(16);
  put_request(0x30000, 0, 16, 0);
  ASSERT_GT(run_file_service(), 0);
  EXPECT_EQ(rd16(grey_target), 0u);
  EXPECT_EQ(rd16(fade_steps), 0u);
  EXPECT_EQ(rd16(palette), 0x0001u);
}

TEST_F(ResidentService, OnlyTheKeptMfpBitsComeBack) {
  for (u32 r = 0xFFFA07; r <= 0xFFFA15; r += 2) wr8(r, 0xFF);
  dos.file = file_bytes(16);
  put_request(0x30000, 0, 16, 0);
  ASSERT_GT(run_file_service(), 0);
  EXPECT_EQ(rd8(0xFFFA07), 0xA1u); // IERA
  EXPECT_EQ(rd8(0xFFFA09), 0x78u); // IERB
  EXPECT_EQ(rd8(0xFFFA13), 0xA1u); // IMRA
  EXPECT_EQ(rd8(0xFFFA15), 0x78u); // IMRB
  EXPECT_EQ(rd8(0xFFFA0B), 0u);    // IPRA
  EXPECT_EQ(rd8(0xFFFA0D), 0u);    // IPRB
  EXPECT_EQ(rd8(0xFFFA0F), 0u);    // ISRA
  EXPECT_EQ(rd8(0xFFFA11), 0u);    // ISRB
}

TEST_F(ResidentService, TheReturnDrainsTheKeyboard) {
  acia_push(0x39);
  acia_push(0xB9);
  dos.file = file_bytes(16);
  put_request(0x30000, 0, 16, 0);
  ASSERT_GT(run_file_service(), 0);
  EXPECT_EQ(acia_len(), 0);
}

TEST_F(ResidentService, TheLoaderScreenHoldWaitsOnceAtItsStep) {
  g_load_seconds = 2;
  dos.file = file_bytes(16);
  put_request(0x30000, 0, 16, 0);
  driver_start(0x3F8FCE);
  g_cpu.a[0] = request;
  ASSERT_EQ(core_run(&g_cpu, 2000000), static_cast<int>(YIELD_WAIT));
  EXPECT_EQ(g_cpu.pc, 0x3F9006u);
  EXPECT_EQ(g_load_seconds, 0);
  ASSERT_GT(run_with_gemdos(dos, 100), 0);
  EXPECT_EQ(dos.count_of(0x3F), 1);
  loader_hold_reset();
}

// The directory search: a status word and the 62 bytes of the transfer
// area per entry, ended by the status that ended the search.
TEST_F(ResidentService, TheDirectorySearchListsItsEntries) {
  constexpr u32 search = 0x30000, list = 0x31000;
  struct row {
    i32 first;
    int matches;
    u32 last_index;
    std::vector<u16> statuses; // the status words of the list, in order
  };
  const row rows[] = {
      {-33, 0, 5, {0xFFCF}},
      {0, 2, 5, {0, 0, 0xFFCF}},
      {0, 2, 0, {0}},
      {0, 3, 1, {0, 0}},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(testing::Message() << "first " << r.first << ", matches " << r.matches << ", last " << r.last_index);
    machine_clear();
    resident_boot();
    set_palette(0x0777);
    caller_registers();
    dos = {};
    dos.search_first = r.first;
    dos.search_matches = r.matches;
    wr16(search, r.last_index);
    wr32(search + 2, list);
    wr16(search + 6, 0x10);
    const char pattern[] = "*.HST";
    for (u32 i = 0; i < sizeof pattern; ++i) wr8(search + 8 + i, static_cast<u8>(pattern[i]));
    for (u32 i = 0; i < 0x400; ++i) wr8(list + i, 0xEE);
    // The game's interrupts as the map leaves them (only the kept bits come
    // back), and keys that came in meanwhile.
    wr8(0xFFFA07, 0x21);
    wr8(0xFFFA09, 0x60);
    wr8(0xFFFA13, 0x01);
    wr8(0xFFFA15, 0x40);
    acia_push(0x39);
    bool quiet = true;
    dos.on_call = [&](const gemdos_call&) {
      quiet = quiet && rd8(0xFFFA07) == 0 && rd8(0xFFFA09) == 0 && (g_cpu.sr_sys & 0x0700) == 0x0700 &&
              low_memory_is(system_pattern, low_memory);
    };
    driver_start(0x3F967E);
    g_cpu.a[0] = search;
    ASSERT_GT(run_with_gemdos(dos, 100), 0);
    ASSERT_FALSE(dos.bad_opcode);
    EXPECT_TRUE(dos.one_stack_depth());
    EXPECT_TRUE(quiet) << "interrupts off and the system's low memory in during each call";
    EXPECT_EQ(rd8(0xFFFA07), 0x21u);
    EXPECT_EQ(rd8(0xFFFA09), 0x60u);
    EXPECT_EQ(rd8(0xFFFA13), 0x01u);
    EXPECT_EQ(rd8(0xFFFA15), 0x40u);
    EXPECT_EQ(acia_len(), 0) << "the keyboard drained";

    EXPECT_EQ(dos.first(0x4E)->name, "*.HST");
    u32 at = list;
    for (size_t i = 0; i < r.statuses.size(); ++i) {
      EXPECT_EQ(rd16(at), r.statuses[i]) << "entry " << i;
      at += 2;
      if (r.statuses[i] & 0x8000) break;
      EXPECT_EQ(rd8(at), 0x40u + i);
      EXPECT_EQ(rd8(at + 61), 0x40u + i);
      at += 62;
    }
    EXPECT_EQ(rd8(at), 0xEEu) << "the list goes on";
    EXPECT_EQ(g_cpu.d[0], 0u);
    expect_caller_registers();
    EXPECT_TRUE(low_memory_is(game_pattern, low_memory));
  }
}

TEST_F(ResidentService, TheServicesResumeAtEveryLabel) {
  dos.file = file_bytes(819200);
  put_request(0x81000, 0, 819200, 0);
  g_cpu.a[0] = request;
  EXPECT_TRUE(resumes_alike({.entry = 0x3F8FCE, .dos = &dos}));

  constexpr u32 search = 0x30000;
  dos.search_first = 0;
  dos.search_matches = 3;
  wr16(search, 5);
  wr32(search + 2, 0x31000);
  g_cpu.a[0] = search;
  EXPECT_TRUE(resumes_alike({.entry = 0x3F967E, .dos = &dos}));
}

// The drive and folder set before a search: Dsetdrv with the drive word at
// a6 - 204, then Dsetpath with the text at a6 - 160, each through the
// caller of GEMDOS whose address is at a6 + 20; the stack as it was after.
struct gemdos_frame {
  u32 function, argument_word, argument_long, a7;
};
std::vector<gemdos_frame> frames_seen;
ROUTINE(test_gemdos_caller, 0xC00300)
  frames_seen.push_back({rd16(a7 + 4), rd16(a7 + 6), rd32(a7 + 6), a7});
  RTS();
END_ROUTINE

TEST_F(ResidentService, TheDriveAndFolderAreSetThroughTheServicesCaller) {
  frames_seen.clear();
  register_routine(0xC00300, test_gemdos_caller);
  constexpr u32 block = 0x30100;
  wr16(block - 204, 3);
  wr32(block + 20, 0xC00300);
  g_cpu.a[6] = block;
  driver_start(0x3F95A2);
  ASSERT_GT(run_with_gemdos(dos, 4), 0);
  ASSERT_EQ(frames_seen.size(), 2u);
  EXPECT_EQ(frames_seen[0].function, 0x0Eu);
  EXPECT_EQ(frames_seen[0].argument_word, 3u);
  EXPECT_EQ(frames_seen[1].function, 0x3Bu);
  EXPECT_EQ(frames_seen[1].argument_long, block - 160);
  EXPECT_EQ(frames_seen[0].a7 + 4, game_stack - 4 - 4) << "below the driver's return and the caller's own";
  EXPECT_EQ(frames_seen[1].a7 + 6, game_stack - 4 - 4);
  EXPECT_EQ(g_cpu.a[7], game_stack);
  EXPECT_EQ(g_cpu.a[0], 0xC00300u);
}

// The monitor keys call the entry at +12 of the resident table, which no
// load fills: the call lands on the table's base, where the key handler's
// registers and SR come back and its way back at a2 ($2120) goes on: it
// puts back the disk cache tag saved beside the marker below the floppy
// buffer, then passes the release on to the typed keys, which return.
ROUTINE(test_monitor_key, 0xC00100)
  // As the key path: registers saved, then d0, a0, a2, SR set for the call.
  save_regs(dregs(0, 7) | aregs(0, 6));
  d0 = 0;
  a0 = 0x0021D4;
  wr16(0x2224, get_sr());
  set_sr(0x2700);
  a2 = 0x002120;
  a1 = rd32(resident_table);
  JSR_DYN(a1 + sext16(rd16(a1 + 12)), 0xC00120)
  RTS();
END_ROUTINE

TEST_F(ResidentService, TheMonitorKeysFindNoMonitorAndGoOnTheirWayBack) {
  register_routine(0xC00100, test_monitor_key, {0xC00120});
  wr32(resident_table, table);
  g_cpu.d[0] = 0xE5;
  g_cpu.d[3] = 0x3333;
  wr32(0x0020FA, 0x030008);
  wr32(0x030000, 0x6356616C); // "cVal"
  wr32(0x030004, 0x00ABCDEF);
  g_cpu.sr_sys = 0x2600;
  g_cpu.a[7] = game_stack;
  driver_start(0xC00100);
  ASSERT_GT(run_with_gemdos(dos, 4), 0);
  EXPECT_TRUE(dos.calls.empty());
  EXPECT_EQ(rd32(0x0020EE), 0x00ABCDEFu) << "the way back ran";
  EXPECT_EQ(g_cpu.d[3], 0x3333u);
  EXPECT_EQ(g_cpu.a[7], game_stack);
}

TEST_F(ResidentService, AnyOtherCallOfAnEmptyEntryReturns) {
  wr16(file_service_entry, 0);
  wr32(resident_table, table);
  g_cpu.a[2] = 0x1234;
  driver_start(table);
  ASSERT_GT(run_with_gemdos(dos, 4), 0);
  EXPECT_EQ(g_cpu.a[7], game_stack);
  EXPECT_EQ(g_cpu.a[2], 0x1234u);
}

TEST(ResidentTable, NamedAddresses) {
  expect_named_rows({
      {0x3F8000, routine_entry, "resident_empty_entry"},
      {0x3F8FCE, routine_entry, "sub_3F8FCE"},
      {0x3F9006, resume_label, "sub_3F8FCE"},
      {0x3F902A, resume_label, "sub_3F8FCE"},
      {0x3F904E, resume_label, "sub_3F8FCE"},
      {0x3F90B4, resume_label, "sub_3F8FCE"},
      {0x3F90DE, resume_label, "sub_3F8FCE"},
      {0x3F9116, resume_label, "sub_3F8FCE"},
      {0x3F9128, resume_label, "sub_3F8FCE"},
      {0x3F914E, routine_entry, "sub_3F914E"},
      {0x3F9152, routine_entry, "sub_3F9152"},
      {0x3F9170, routine_entry, "sub_3F9170"},
      {0x3F92AC, routine_entry, "sub_3F92AC"},
      {0x3F92DC, resume_label, "sub_3F9170"},
      {0x3F937C, routine_entry, "sub_3F937C"},
      {0x3F93D4, resume_label, "sub_3F937C"},
      {0x3F95A2, routine_entry, "sub_3F95A2"},
      {0x3F9678, routine_entry, "sub_3F9678"},
      {0x3F967E, routine_entry, "sub_3F967E"},
      {0x3F96B6, routine_entry, "sub_3F96B6"},
      {0x3F9722, routine_entry, "sub_3F9722"},
      {0x3F9728, routine_entry, "sub_3F9728"},
      {0x3F9744, routine_entry, "sub_3F9744"},
      {0x3F9766, routine_entry, "sub_3F9766"},
      {0x3F976A, routine_entry, "sub_3F976A"},
      {0x3F9788, routine_entry, "sub_3F9788"},
      {0x3F97C8, routine_entry, "sub_3F97C8"},
  });
  for (u32 at : gemdos_trap_sites) {
    bool found = false;
    for (int i = 0; i < game_dispatch_row_count; ++i) found |= game_dispatch_rows[i].address == at;
    EXPECT_TRUE(found) << std::hex << at;
  }
}

} // namespace
