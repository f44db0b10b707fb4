// What the loaders read and where it goes: the cold-start load, the
// high-score load, the mission data load with its three loaders, the
// run-length unpacker, the re-order, the record reader, the pre-shifted
// frames and the string output. The disk is the synthetic one, already in
// the loader's cache, so no file service runs here.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "game/game_ram.h"
#include "machine/boot_state.h"
#include "machine/dispatch.h"
#include "machine/io_devices.h"
#include "support/machine/disk_cache.h"
#include "support/machine/dispatch_check.h"
#include "support/tables/enemy_tables.h"
#include "support/machine/gemdos_double.h"
#include "game/mission_ram.h"
#include "game_harness.h"
#include "support/machine/machine_fixture.h"
#include "support/tables/mission_builder.h"
#include "support/machine/resume_check.h"
#include "support/synthetic/synthetic_disk.h"

namespace {

constexpr u32 cache = 0x81000;
constexpr u32 disk_size = 819200;

ROUTINE(test_returns, 0xC00400)
  RTS();
END_ROUTINE

// The title ($EC40), where the cold start's road through the restart and
// the game start ends here: notes what it sees and ends the driver's call.
struct title_arrival {
  u32 a0, a7, line, column, margin, colour, sr;
};
std::vector<title_arrival> titles;
ROUTINE(test_title, 0xC00800)
  titles.push_back({a0, a7, rd16(text_line), rd16(text_column), rd16(text_margin), rd16(text_colour), get_sr()});
  JMP(0xC0FF06); // the driver's return
END_ROUTINE

std::vector<u8> synthetic_logical_file() {
  synth_game_data g = synth_standard();
  EXPECT_TRUE(synth_place_disk_road(g)) << g.error;
  std::vector<u8> file = synth_bkm(g);
  synth_put_high_scores(file);
  return file;
}

class DiskLoads : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    // Routines of other pages that these paths pass through; where the
    // game's own exist, they run instead.
    register_routine(0x0077F6, test_returns); // keyboard ACIA reset
    dispatch_register_over(0x00EC40, test_title);
    titles.clear();
  }

  // The disk in the cache as the first load leaves it, and the program
  // image at $2C00 as the boot state leaves it.
  void disk_in_cache() {
    static const std::vector<u8> file = synthetic_logical_file();
    ASSERT_EQ(file.size(), disk_size);
    put_disk_in_cache(file, cache);
    // A request long left over from an earlier transfer (its low word is
    // the side): every load clears it before it asks for its sectors.
    wr32(disk_request, 0xFFFFFFFF);
  }

  void run(u32 entry, int max_slices = 20) {
    driver_start(entry);
    gemdos_double none;
    ASSERT_GT(run_with_gemdos(none, max_slices), 0) << std::hex << "stopped at " << g_cpu.fault_pc;
  }

  static bool ram_equals(u32 at, const std::vector<u8>& bytes, size_t from = 0, size_t count = SIZE_MAX) {
    count = std::min(count, bytes.size() - from);
    for (size_t i = 0; i < count; ++i)
      if (ram[at + i] != bytes[from + i]) {
        ADD_FAILURE() << std::hex << "byte $" << at + i << " is $" << +ram[at + i] << ", not $" << +bytes[from + i];
        return false;
      }
    return true;
  }
};

TEST_F(DiskLoads, TheColdStartLoadUnpacksAndPlacesEverything) {
  disk_in_cache();
  io_write(0xFF8800, 1, 14);
  io_write(0xFF8802, 1, 0xF0); // a drive selected
  run(0x0086B8, 60);
  EXPECT_EQ(get_ym_regs()[14], 0xF7u) << "the drives deselected at the end of the disk access";
  const synth_disk& d = synth_disk_content();

  EXPECT_EQ(rd16(second_side_ok), 0xFFFFu);
  EXPECT_TRUE(ram_equals(0x02E000, synth_resident_graphics_reordered()));
  EXPECT_TRUE(ram_equals(0x049A3A, d.resident_graphics, 0x046F68 - 0x02E000, 1536));
  EXPECT_TRUE(ram_equals(hiscore_names, d.high_scores, 0, 222));
  EXPECT_TRUE(ram_equals(hiscore_scores, d.high_scores, 222, 32));
  EXPECT_EQ(rd32(0x190), 4000u);
  EXPECT_TRUE(ram_equals(0x05063A, d.run_block));
  // The block's packed sectors lie from $5647E; the expansion's last four
  // bytes went over their first four, long read by then.
  EXPECT_TRUE(ram_equals(0x05647E + 4, d.run_block_file, 4, 64));
}

// Black while the keyboard processor resets: colour 0 as the delay of the
// interrupt set-up waits.
u32 colour0_in_delay = 0xFFFF;
void note_colour0() {
  if (g_cpu.pc == 0x0075A8 && colour0_in_delay == 0xFFFF) colour0_in_delay = rd16(0xFF8240); // the first set-up's
}

TEST_F(DiskLoads, TheColdStartPreparesTheMachineAndLoadsBeforeTheRestart) {
  disk_in_cache();
  for (u32 a = 0; a < 0x1E20; ++a) wr8(a, 0xAA);
  for (u32 i = 0; i < 16; ++i) wr16(0x008C24 + 2 * i, 0x0100 + i); // the start-up palette
  wr16(0xFF8240, 0x0777);
  for (u32 a = screen_buffer_a; a < screen_buffer_b + 32768; a += 4) wr32(a, 0x5A5A5A5A);
  g_cpu.sr_sys = 0x2700;
  driver_start(0x01088E);
  colour0_in_delay = 0xFFFF;
  driver_run(500, 2000000, note_colour0);
  ASSERT_TRUE(driver_finished()) << std::hex << "at " << g_cpu.pc;

  // Low memory from $8 to $1E0C cleared before anything is set in it, the
  // restart's work area up to $1E0F too; the two longs below and the bytes
  // above stay.
  EXPECT_EQ(rd32(0x000000), 0xAAAAAAAAu);
  EXPECT_EQ(rd32(0x000004), 0xAAAAAAAAu);
  EXPECT_EQ(rd32(0x000380), 0u);
  EXPECT_EQ(rd32(0x001E0C), 0u);
  EXPECT_EQ(rd16(0x001E10), 0xAAAAu);
  EXPECT_EQ(rd32(random_seed), 0x12345678u);
  // Screen $20000 shown, both screens cleared (the start-up text then
  // printed from line 40 of $20000).
  EXPECT_EQ(rd32(draw_screen), screen_buffer_b);
  for (u32 a = screen_buffer_a; a < screen_buffer_a + 32768; a += 4) ASSERT_EQ(rd32(a), 0u) << std::hex << a;
  for (u32 a = screen_buffer_b; a < screen_buffer_b + 0x1900; a += 4) ASSERT_EQ(rd32(a), 0u) << std::hex << a;
  EXPECT_EQ(rd32(0x70), 0x0078A8u) << "the interrupt set-up ran";
  EXPECT_EQ(colour0_in_delay, 0u);
  // The start-up palette with colour 14 set to $025.
  for (u32 i = 0; i < 16; ++i) EXPECT_EQ(rd16(0xFF8240 + 2 * i), i == 14 ? 0x0025u : 0x0100 + i) << "colour " << i;
  // Then the cold-start load, the restart and the game start: the
  // start-up text printed from its first byte at line 25 with margin 0,
  // and the title entered with interrupts open on the game's stack, which
  // holds only wait_fire.
  EXPECT_EQ(rd16(second_side_ok), 0xFFFFu);
  EXPECT_EQ(rd32(0x190), 4000u);
  ASSERT_EQ(titles.size(), 1u);
  const title_arrival& t = titles[0];
  EXPECT_GT(t.a0, 0x0037C6u);
  EXPECT_EQ(rd8(t.a0 - 1), 0u) << "a0 past the text's zero";
  EXPECT_GE(t.line, 0x1900u);
  EXPECT_EQ(t.margin, 0u);
  EXPECT_EQ(t.sr & 0xFF00, 0x2300u);
  EXPECT_EQ(t.a7, 0x2400u - 4);
  EXPECT_EQ(rd32(0x23FC), 0x00EBFEu);
  EXPECT_EQ(rd32(quick_start), 0u);
  EXPECT_EQ(rd32(0x000256), 0x008258u) << "the developer sequence starts over";
}

TEST_F(DiskLoads, TheHighScoreLoadIgnoresATableWithALetterAboveN) {
  struct row {
    u32 at;
    u8 value;
    bool taken;
  };
  const row rows[] = {
      {0, 'A', true},  // a table like the builder's
      {159, 0x6E, true},
      {159, 0x6F, false},
      {0, 0x90, false},
      {160, 0xFF, true}, // past the checked names
      {230, 0xFF, true}, // inside the scores
  };
  const synth_disk& d = synth_disk_content();
  for (const row& r : rows) {
    SCOPED_TRACE(testing::Message() << "byte " << r.at << " = " << +r.value);
    machine_clear();
    register_routine(0x0077F6, test_returns);
    disk_in_cache();
    std::vector<u8> sector = d.high_scores;
    sector[r.at] = r.value;
    std::copy(sector.begin(), sector.end(), ram + cache + 512);
    for (u32 i = 0; i < 222; ++i) wr8(hiscore_names + i, 0x2E); // the names of the game image
    run(0x008900);
    EXPECT_EQ(rd32(0x190), 4000u);
    if (r.taken) {
      EXPECT_TRUE(ram_equals(hiscore_names, sector, 0, 222));
      EXPECT_TRUE(ram_equals(hiscore_scores, sector, 222, 32));
    } else {
      for (u32 i = 0; i < 222; ++i) ASSERT_EQ(rd8(hiscore_names + i), 0x2Eu);
      for (u32 i = 0; i < 8; ++i) EXPECT_EQ(rd32(hiscore_scores + 4 * i), 20000 - 2000 * i);
    }
  }
}

// A disk image that does not carry the saved sector reads 512 zero bytes:
// the defaults stay. One non-zero name byte makes it a table again.
TEST_F(DiskLoads, AnEmptyHighScoreSectorKeepsTheDefaults) {
  struct row {
    int at; // the one non-zero byte (-1: none)
    bool taken;
  };
  for (const row& r : {row{-1, false}, row{230, false}, row{221, true}, row{0, true}}) {
    SCOPED_TRACE(testing::Message() << "byte " << r.at);
    machine_clear();
    register_routine(0x0077F6, test_returns);
    disk_in_cache();
    std::vector<u8> sector(512, 0);
    if (r.at >= 0) sector[static_cast<size_t>(r.at)] = 'A';
    std::copy(sector.begin(), sector.end(), ram + cache + 512);
    for (u32 i = 0; i < 222; ++i) wr8(hiscore_names + i, 0x2E);
    run(0x008900);
    if (r.taken) {
      EXPECT_TRUE(ram_equals(hiscore_names, sector, 0, 222));
      EXPECT_TRUE(ram_equals(hiscore_scores, sector, 222, 32));
    } else {
      for (u32 i = 0; i < 222; ++i) ASSERT_EQ(rd8(hiscore_names + i), 0x2Eu);
      for (u32 i = 0; i < 8; ++i) EXPECT_EQ(rd32(hiscore_scores + 4 * i), 20000 - 2000 * i);
    }
  }
}

// The reference of a pre-shifted copy: the group's word shifted right by
// 2k pixels into two groups.
u32 shifted_left(u32 w, u32 k) { return w >> (2 * k); }
u32 shifted_right(u32 w, u32 k) { return (w << (16 - 2 * k)) & 0xFFFF; }

TEST_F(DiskLoads, TheMissionLoadReadsTheChosenMissionsFiles) {
  disk_in_cache();
  for (u32 i = 0; i < 660; ++i) wr8(0x0466B6 + i, 0xC0 ^ i); // resident words for the enemy frames
  const synth_disk& d = synth_disk_content();
  wr16(chosen_mission, 3);
  const synth_disk_mission& m = d.missions[d.mission_set[3]];
  run(0x008910, 40);

  EXPECT_TRUE(ram_equals(0x05647E, m.graphics));
  std::vector<u8> frames(m.enemy_file.begin() + 28, m.enemy_file.end());
  for (u32 i = 0; i < 660; ++i) frames[0x05F792 - 0x05E60A + i] = static_cast<u8>(0xC0 ^ i);
  EXPECT_TRUE(ram_equals(0x05E60A, frames));
  EXPECT_TRUE(ram_equals(0x05E5EE, m.enemy_file, 0, 28));
  EXPECT_TRUE(ram_equals(0x073B92, m.level));
  EXPECT_EQ(rd16(mission_word), d.mission_words[3]);
  EXPECT_EQ(rd16(0x008C40), d.mission_colours[3]);
  // $AF9A's disk words and prompt positions: tracks 79 and 78 into $18000,
  // each with line 39, byte 15 of that buffer.
  EXPECT_EQ(rd16(disk_track), 78u);
  EXPECT_EQ(rd32(disk_buffer), 0x018000u);
  for (u32 at : {0x154u, 0x194u, 0x15Cu, 0x198u}) EXPECT_EQ(rd32(at), 0x01986Fu) << std::hex << at;

  // Copy 3 of frame 5, line 7: the three planes of the source line shifted
  // 6 pixels into two groups.
  const u32 line = 5 * 22 + 7;
  for (u32 p = 0; p < 3; ++p) {
    const u32 w = static_cast<u32>(frames[line * 6 + 2 * p] << 8 | frames[line * 6 + 2 * p + 1]);
    const u32 at = 0x05E60A + 3 * 10296 + line * 12;
    EXPECT_EQ(rd16(at + 2 * p), shifted_left(w, 3));
    EXPECT_EQ(rd16(at + 6 + 2 * p), shifted_right(w, 3));
  }
}

TEST_F(DiskLoads, MissionSetZeroCarriesTheBuildersMissionThatPlays) {
  disk_in_cache();
  wr16(chosen_mission, 0);
  ASSERT_EQ(synth_disk_content().mission_set[0], 0);
  run(0x008910, 40);
  const mission_builder& m = default_mission();
  EXPECT_TRUE(ram_equals(0x073B92, m.level_file()));
  EXPECT_TRUE(ram_equals(0x05647E, m.graphics()));
  EXPECT_TRUE(ram_equals(spawn_table, m.spawn_bytes())) << "in the program image";
  // the enemy frames of the enemy tables, but for the five the loader lays
  // over them from the resident graphics
  const std::vector<u8> frames = enemy_tables{}.frame_bytes();
  EXPECT_TRUE(ram_equals(enemy_frames, frames, 0, 34 * enemy_frame_bytes));

  // The loaded map fills the ring and reads its first stamped block.
  wr32(level_map_pointer, m.map_address(0));
  run(0x008D1E);
  for (u32 x = 0; x < 192; x += 7) EXPECT_EQ(ring_pixel(77, x), block_pixel(0, 77 % 32, x % 64)) << x;
  wr32(level_map_pointer, m.map_address(0) + 3); // the first stamped row
  wr16(scroll_pos, 232);
  run(0x00899A);
  EXPECT_EQ(ring_pixel(224, 0), 1u) << "stamp 1 at position 0 of block 0";
  EXPECT_EQ(rd8(collision_map + ((233 + 32) & 0x3E0)), 0xFFu);
}

TEST_F(DiskLoads, EachLoaderKeepsA0) {
  disk_in_cache();
  const synth_disk& d = synth_disk_content();
  for (u32 entry : {0x0107A8u, 0x010826u, 0x0108AEu}) {
    SCOPED_TRACE(testing::Message() << std::hex << entry);
    g_cpu.a[0] = 0x00123456;
    g_cpu.d[0] = entry == 0x0108AE ? 2 : 1;
    run(entry, 40);
    EXPECT_EQ(g_cpu.a[0], 0x00123456u);
  }
  EXPECT_TRUE(ram_equals(0x05647E, d.missions[1].graphics));
  EXPECT_TRUE(ram_equals(0x073B92, d.missions[1].level));
}

TEST_F(DiskLoads, TheEffectFramesArePreShiftedByTwoPixelsACopy) {
  for (u32 i = 0; i < 1536; ++i) wr8(0x049A3A + i, (i * 97 + 13) >> 2);
  wr16(0x049A3A + 8, 0x0001); // frame 0, line 1, plane 0: the rightmost pixel
  wr32(0x049A3A + 16, 0);     // line 2 empty
  wr32(0x049A3A + 20, 0);
  run(0x008938);
  for (u32 line = 0; line < 12 * 16; ++line)
    for (u32 k = 1; k <= 7; ++k)
      for (u32 p = 0; p < 4; ++p) {
        const u32 w = rd16(0x049A3A + line * 8 + 2 * p);
        const u32 at = 0x049A3A + 3072 * k + line * 16;
        ASSERT_EQ(rd16(at + 2 * p), shifted_left(w, k)) << "line " << line << " copy " << k;
        ASSERT_EQ(rd16(at + 8 + 2 * p), shifted_right(w, k)) << "line " << line << " copy " << k;
      }
  EXPECT_EQ(rd16(0x049A3A + 3072 * 7 + 16 + 8), 0x0004u); // pixel 13 of the right group
  for (u32 k = 1; k <= 7; ++k)
    for (u32 i = 0; i < 16; i += 4) EXPECT_EQ(rd32(0x049A3A + 3072 * k + 32 + i), 0u);
}

TEST_F(DiskLoads, EscapedRunsExpandUpToTheEnd) {
  struct row {
    std::vector<u8> packed;
    u32 limit; // bytes of output allowed
    std::vector<u8> out;
  };
  const row rows[] = {
      {{0x41, 0xFF, 0xFF, 0xFF, 0x03, 0x42, 0x43, 0x00}, 7, {0x41, 0xFF, 0x42, 0x42, 0x42, 0x42, 0x43}},
      {{0x41, 0x42, 0x43, 0x44}, 2, {0x41, 0x42}},
      {{0x41, 0xFF, 0x09, 0x55, 0x44}, 4, {0x41, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}},
  };
  for (const row& r : rows) {
    machine_clear();
    for (u32 i = 0; i < r.packed.size(); ++i) wr8(0x30000 + i, r.packed[i]);
    g_cpu.a[0] = 0x30000;
    g_cpu.a[1] = 0x31000;
    g_cpu.a[2] = 0x31000 + r.limit;
    g_cpu.d[4] = 0xFFFFFFFF;
    run(0x008930);
    EXPECT_TRUE(ram_equals(0x31000, r.out));
    EXPECT_EQ(rd8(0x31000 + r.out.size()), 0u);
    EXPECT_EQ(g_cpu.a[1], 0x31000 + r.out.size());
  }
}

TEST_F(DiskLoads, ReorderInterleavesTheHalvesOfEachGroup) {
  for (u32 i = 0; i < 16; ++i) wr16(0x30000 + 2 * i, 0x1000 + i);
  wr16(disk_count, 2);
  g_cpu.a[1] = 0x30000;
  run(0x00FF62);
  const u32 expect[16] = {0x1000, 0x1004, 0x1001, 0x1005, 0x1002, 0x1006, 0x1003, 0x1007,
                          0x1008, 0x100C, 0x1009, 0x100D, 0x100A, 0x100E, 0x100B, 0x100F};
  for (u32 i = 0; i < 16; ++i) EXPECT_EQ(rd16(0x30000 + 2 * i), expect[i]) << i;
  EXPECT_EQ(g_cpu.a[1], 0x30020u);
  EXPECT_EQ(rd16(disk_count), 0u);
}

TEST_F(DiskLoads, TheRecordReaderLoadsItsRecord) {
  disk_in_cache();
  wr32(disk_request, 0); // its caller's part
  const u32 record = 0x30000;
  wr16(record, 20);
  wr16(record + 2, 3);
  wr16(record + 4, 2);
  wr32(record + 6, 0x40000);
  g_cpu.a[0] = record;
  run(0x00FF3C);
  EXPECT_EQ(g_cpu.a[0], record + 10);
  EXPECT_EQ(g_cpu.d[0], 0u);
  EXPECT_TRUE(ram_equals(0x40000, synth_disk_content().run_block_file, 0, 1024));
}

TEST_F(DiskLoads, TheStringOutputDrawsEachByteUntilTheZero) {
  load_test_font();
  const u8 text[] = {'H', 0x81, 'I', 13, 0, 'X'};
  for (u32 i = 0; i < sizeof text; ++i) wr8(0x30000 + i, text[i]);
  wr16(text_line, 1440);
  wr16(text_column, 3);
  wr16(text_margin, 2);
  wr16(text_colour, 4);
  g_cpu.a[0] = 0x30000;
  run(0x008928);
  EXPECT_EQ(screen_text(0x020000, 1440, 3, 3), "HI.") << "the zero ends the text";
  EXPECT_EQ(screen_cell_colour(0x020000, 1440, 3), 4u);
  EXPECT_EQ(screen_cell_colour(0x020000, 1440, 4), 1u) << "the colour byte";
  EXPECT_EQ(rd16(text_line), 2880u) << "the carriage return";
  EXPECT_EQ(rd16(text_column), 2u);
  EXPECT_EQ(g_cpu.a[0], 0x30005u);

  g_cpu.a[0] = 0x30004;
  run(0x008928);
  EXPECT_EQ(rd16(text_line), 2880u);
  EXPECT_EQ(rd16(text_column), 2u);
  EXPECT_EQ(g_cpu.a[0], 0x30005u);
}

TEST_F(DiskLoads, TheLoadsResumeAtEveryLabel) {
  disk_in_cache();
  wr16(chosen_mission, 3);
  gemdos_double none;
  EXPECT_TRUE(resumes_alike({.entry = 0x0086B8, .dos = &none}));
  EXPECT_TRUE(resumes_alike({.entry = 0x008900, .dos = &none}));
  EXPECT_TRUE(resumes_alike({.entry = 0x008910, .dos = &none}));
  EXPECT_TRUE(resumes_alike({.entry = 0x01088E, .dos = &none}));
}

TEST(DiskLoadSlots, NamedAddresses) {
  expect_named_rows({
      {0x0086B0, routine_entry, "sub_0086B0"},
      {0x0086B4, routine_entry, "sub_0086B4"},
      {0x0086B8, routine_entry, "sub_0086B8"},
      {0x00FD84, resume_label, "sub_0086B8"},
      {0x00FE32, resume_label, "sub_0086B8"},
      {0x008900, routine_entry, "sub_008900"},
      {0x002CE0, resume_label, "sub_008900"},
      {0x008904, routine_entry, "sub_008904"},
      {0x00EAB8, resume_label, "sub_008904"},
      {0x008910, routine_entry, "sub_008910"},
      {0x0106EC, resume_label, "sub_008910"},
      {0x00891C, routine_entry, "sub_00891C"},
      {0x005DCC, resume_label, "sub_00891C"},
      {0x008928, routine_entry, "sub_008928"},
      {0x0034F0, resume_label, "sub_008928"},
      {0x008930, routine_entry, "sub_008930"},
      {0x008938, routine_entry, "sub_008938"},
      {0x00BABA, resume_label, "sub_008938"},
      {0x00FF3C, routine_entry, "sub_00FF3C"},
      {0x00FF62, routine_entry, "sub_00FF62"},
      {0x0107A8, routine_entry, "sub_0107A8"},
      {0x010826, routine_entry, "sub_010826"},
      {0x01088E, routine_entry, "sub_01088E"},
      {0x002C10, resume_label, "sub_01088E"},
      {0x0108AE, routine_entry, "sub_0108AE"},
      {0x002C00, routine_entry, "sub_002C00"},
  });
}

} // namespace
