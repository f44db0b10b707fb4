// The replay routines' conventions: their memory accessors, the entry
// vector with the registers each entry keeps, the common exit, the
// dispatcher and the resume labels.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "amiga_fixture.h"
#include "machine/coroutine.h"
#include "sound/amiga_replay_memory.h"

namespace {

namespace mem = amiga_replay_memory;

using AmigaReplay = AmigaTest;

u32* const regs[] = {&d0, &d1, &d2, &d3, &d4, &d5, &d6, &d7, &a0, &a1, &a2, &a3, &a4, &a5, &a6};
u32 pattern(int i) { return 0x00500000u + 0x1111u * static_cast<u32>(i + 1); }

// a7 and the return marker as the player sets them for a call.
void as_the_player_calls() {
  a7 = amiga_stack_top;
  mem::wr32(amiga_stack_top, amiga_return_marker);
  resume_pc = 0;
}

TEST_F(AmigaReplay, MemoryIsTheAmigaRamBelow512KAndChipRegistersAbove) {
  load();
  p32(0x7FFFC, 0x01020304);
  p8(0x10, 0x77);
  EXPECT_EQ(mem::rd8(0x7FFFF), 0x04u);
  EXPECT_EQ(mem::rd8(0x80000), 0u); // a chip register reads 0
  EXPECT_EQ(mem::rd8(0xFF000010), 0x77u);
  EXPECT_EQ(mem::rd16(0x7FFFE), 0x0304u);
  EXPECT_EQ(mem::rd16(0x7FFFF), 0u);
  EXPECT_EQ(mem::rd32(0x7FFFC), 0x01020304u);
  EXPECT_EQ(mem::rd32(0x7FFFD), 0u);
  // Writes that reach past the RAM go to the chip registers, not to amem.
  mem::wr16(0x7FFFF, 0x1234);
  mem::wr32(0x7FFFD, 0x11223344);
  mem::wr8(0x80000, 0x99);
  EXPECT_EQ(m32(0x7FFFC), 0x01020304u);
  mem::wr16(0x7FFFE, 0xBEEF);
  EXPECT_EQ(m16(0x7FFFE), 0xBEEFu);
  mem::wr8(0x1000010, 0x66);
  EXPECT_EQ(m8(0x10), 0x66u);
  // Chip registers through the same accessors.
  mem::wr32(0xDFF0A0, 0x00012346);
  mem::wr8(0xDFF0A9, 0x40);
  EXPECT_EQ(paula.ch[0].location, 0x12346u);
  EXPECT_EQ(paula.ch[0].volume, 0x40);
  mem::wr8(0xBFE001, 0x02);
  EXPECT_EQ(mem::rd8(0xBFE001), 0x02u);
}

TEST_F(AmigaReplay, EveryEntryReturnsToTheMarkerWithTheStackBalanced) {
  load();
  for (u32 entry : {bkam_start_entry, bkam_tick_entry, bkam_stop_entry, bkam_continue_entry, bkam_effect_entry,
                    bkam_end_effects_entry, bkam_tick_entry}) {
    as_the_player_calls();
    d0 = 0;
    ASSERT_EQ(bkam_dispatch(entry), 1);
    EXPECT_EQ(a7, 0x7F000u) << std::hex << entry;
    EXPECT_EQ(ret_addr, amiga_return_marker) << std::hex << entry;
  }
}

TEST_F(AmigaReplay, EntriesKeepTheRegistersTheyList) {
  load();
  amiga_music_play(0);
  const u16 wide = dregs(0, 3) | dregs(7, 7) | aregs(0, 6);
  struct row {
    u32 entry;
    u16 kept;
  };
  const row rows[] = {
      {bkam_start_entry, wide},           {bkam_tick_entry, wide},
      {bkam_stop_entry, aregs(3, 3)},     {bkam_continue_entry, dregs(1, 1) | dregs(7, 7) | aregs(3, 3)},
      {bkam_effect_entry, wide},          {bkam_end_effects_entry, aregs(3, 3)},
  };
  for (const row& r : rows) {
    as_the_player_calls();
    for (int i = 0; i < 15; ++i) *regs[i] = pattern(i);
    d0 = 0x0100; // tune 0; effect 0 on channel 1
    const u32 d0_in = d0;
    bkam_dispatch(r.entry);
    for (int i = 0; i < 15; ++i) {
      if (!(r.kept & (1u << i))) continue;
      EXPECT_EQ(*regs[i], i == 0 ? d0_in : pattern(i)) << std::hex << r.entry << " reg " << i;
    }
  }
}

TEST_F(AmigaReplay, TheCommonExitPopsTwelveLongsAndReturns) {
  load();
  a7 = 0x7E000;
  mem::wr32(a7, 0x00C0FFEE);
  for (int i = 11; i >= 0; --i) {
    a7 -= 4;
    mem::wr32(a7, 0x00A00000u + static_cast<u32>(i));
  }
  const u32 order[] = {0, 1, 2, 3, 7, 8, 9, 10, 11, 12, 13, 14}; // d0-d3, d7, a0-a6
  for (int i = 0; i < 15; ++i) *regs[i] = 0xFFFFFFFF;
  ASSERT_EQ(bkam_dispatch(0x517A2), 1);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(*regs[order[i]], 0x00A00000u + static_cast<u32>(i)) << i;
  for (int i : {4, 5, 6}) EXPECT_EQ(*regs[i], 0xFFFFFFFFu);
  EXPECT_EQ(a7, 0x7E004u);
  EXPECT_EQ(ret_addr, 0x00C0FFEEu);
}

TEST_F(AmigaReplay, TheDispatcherKnowsTheRoutineEntriesAlone) {
  load();
  const std::array<u32, bkam_nentries> replay_routines = {
      0x51762, 0x51770, 0x5177E, 0x5178C, 0x5179A, 0x517A2, 0x517A8, 0x517C0, 0x5185E, 0x518B8,
      0x518D6, 0x51918, 0x51C6C, 0x51C92, 0x51CA8, 0x51CD4, 0x51CD8, 0x51D12, 0x51D1A, 0x51D2E,
      0x51D36, 0x51D3E, 0x51D50, 0x51D5C, 0x528E2, 0x52956, 0x52A3A, 0x52AA6};
  EXPECT_EQ(bkam_entries, replay_routines);
  // The bodies answer at their own addresses: stop's, and ending the effects.
  amiga_music_play(0);
  as_the_player_calls();
  ASSERT_EQ(bkam_dispatch(0x5185E), 1);
  EXPECT_EQ(m8(bkam_playing), 0u);
  as_the_player_calls();
  ASSERT_EQ(bkam_dispatch(0x518B8), 1);
  EXPECT_EQ(m8(sfx(2, sfx_duration)), 1u);
  // The high byte of an address is not looked at.
  as_the_player_calls();
  p8(bkam_playing, 0xFF);
  EXPECT_EQ(bkam_dispatch(0xFF000000 | bkam_stop_entry), 1);
  EXPECT_EQ(m8(bkam_playing), 0u);
  // Addresses between entries, labels included, call nothing.
  const std::vector<u8> before(amem, amem + amiga_memory_size);
  for (u32 address : {0x51764u, 0x5176Au, 0x51A62u, 0x517B6u, 0x51D6Au, 0x52B9Cu, 0u}) {
    as_the_player_calls();
    EXPECT_EQ(bkam_dispatch(address), 0) << std::hex << address;
  }
  as_the_player_calls();
  EXPECT_TRUE(std::equal(before.begin(), before.end(), amem));
}

TEST_F(AmigaReplay, EveryResumeLabelBelongsToItsRoutineAndIsOwnedThere) {
  load();
  amiga_music_play(0);
  for (int i = 0; i < bkam_nlabels; ++i) {
    const bkam_label& l = bkam_labels[i];
    // Inside its owner, before the next routine, and no entry itself.
    const auto next = std::upper_bound(bkam_entries.begin(), bkam_entries.end(), l.owner);
    EXPECT_GT(l.label, l.owner) << std::hex << l.label;
    if (next != bkam_entries.end()) {
      EXPECT_LT(l.label, *next) << std::hex << l.label;
    }
    for (int k = 0; k < i; ++k) EXPECT_NE(bkam_labels[k].label, l.label);
    // A routine resumed at its own label does not fall back to its entry.
    as_the_player_calls();
    a3 = bkam_base;
    a0 = bkam_voices;
    a4 = bkam_shadows;
    a5 = 0xDFF0A0;
    a1 = bkam_sfx_channels;
    a2 = 0x70000;
    d7 = 0;
    const u32 foreign = bkam_foreign_resumes;
    EXPECT_EQ(bkam_resume(l.label), 1);
    EXPECT_EQ(bkam_foreign_resumes, foreign) << std::hex << l.label;
    EXPECT_EQ(resume_pc, 0u);
  }
  EXPECT_EQ(bkam_resume(bkam_tick_entry), 0);
  EXPECT_EQ(bkam_resume(0x51A64), 0);
}

TEST_F(AmigaReplay, ALabelOfAnotherRoutineRunsTheRoutineFromItsEntry) {
  load();
  amiga_music_play(0);
  ASSERT_EQ(m8(bkam_playing), 0xFFu);
  as_the_player_calls();
  a7 -= 4;
  mem::wr32(a7, 0x00001234);
  const u32 foreign = bkam_foreign_resumes;
  resume_pc = 0x51A62; // the tick body's
  bkam_05185E();       // stop
  EXPECT_EQ(bkam_foreign_resumes, foreign + 1);
  EXPECT_EQ(resume_pc, 0u);
  EXPECT_EQ(m8(bkam_playing), 0u);
  EXPECT_EQ(ret_addr, 0x00001234u);
}

} // namespace
