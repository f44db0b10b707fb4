// Save slots, restores and the return to the title on the toy machine.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "host/emu_fixture.h"
#include "host/platform.h"
#include "machine/game_data.h"
#include "machine/hooks.h"
#include "machine/input_log.h"
#include "machine/memory.h"
#include "support/synthetic/synthetic_game_data.h"
#include "support/temp_dir.h"

namespace {

class Slots : public EmuTest {
 protected:
  void SetUp() override {
    EmuTest::SetUp();
    emu.save_dir = saves.path;
    tos_ilog_clear();
  }
  void TearDown() override {
    game_data_release();
    EmuTest::TearDown();
  }
  std::vector<std::string> toasts() {
    auto msgs = take(MSG_TOAST);
    std::vector<std::string> out;
    for (present_msg* m : msgs) out.push_back(m->text);
    free_all(msgs);
    return out;
  }
  // The toasts and the emulation errors sent since the last call, in order.
  std::vector<std::string> said() {
    std::vector<std::string> out;
    while (present_msg* m = msgq_pop()) {
      if (m->kind == MSG_TOAST) out.push_back(m->text);
      if (m->kind == MSG_ERROR) out.push_back(std::string("error: ") + m->text);
      msg_free(m);
    }
    return out;
  }
  // The running machine as slot n, changed by craft.
  void write_slot(int n, void (*craft)(machine_state*)) {
    state_ptr s(state_new());
    tos_save_state(s.get());
    if (craft) craft(s.get());
    ASSERT_TRUE(state_write_file(s.get(), (saves / ("slot" + std::to_string(n) + ".bkms")).c_str()));
  }
  // The synthetic game, run from its start-up state to its title.
  void synthetic_title() {
    synth_game_data g = synth_standard();
    ASSERT_TRUE(synth_write(saves / "BKM", synth_bkm(g)));
    ASSERT_EQ(game_data_init(saves.path.c_str()), 1);
    emu.data_dir = saves.path;
    tos_init(saves.path.c_str());
    to_title();
    steps(400);
  }
  state_ptr read_slot(int n) {
    state_ptr s(state_new());
    if (!state_read_file(s.get(), (saves / ("slot" + std::to_string(n) + ".bkms")).c_str())) return nullptr;
    return s;
  }
  temp_dir saves;
};

TEST_F(Slots, OnTheMapTheRunningStateIsSaved) {
  publish_kind("map");
  wr32(0x1000, 0x12345678);
  save_slot(2);
  EXPECT_EQ(toasts(), std::vector<std::string>{"msg.saved_map"});
  state_ptr s = read_slot(2);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->ram[0x1000], 0x12);
}

TEST_F(Slots, InAMissionOrTheShopTheLastMapVisitIsSaved) {
  wr32(0x1000, 0xAAAAAAAA);
  emu.pre_map = state_new();
  tos_save_state(emu.pre_map);
  emu.have_premap = 1;
  wr32(0x1000, 0xBBBBBBBB);
  for (const char* kind : {"game", "shop"}) {
    publish_kind(kind);
    save_slot(1);
    EXPECT_EQ(toasts(), std::vector<std::string>{"msg.saved_before"}) << kind;
    state_ptr s = read_slot(1);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->ram[0x1000], 0xAA) << kind;
  }
}

TEST_F(Slots, WithoutAConsistentStateNothingIsSaved) {
  for (const char* kind : {"players", "other", "", "game"}) {
    publish_kind(kind);
    save_slot(3);
    EXPECT_EQ(toasts(), std::vector<std::string>{"msg.cannot_save"}) << kind;
  }
  EXPECT_FALSE(file_exists((saves / "slot3.bkms").c_str()));
}

TEST_F(Slots, AMissingOrDamagedSlotLeavesTheGameAlone) {
  spit(saves / "slot5.bkms", "not a state");
  wr32(0x1000, 0x55);
  for (int n : {4, 5}) {
    load_slot(n);
    EXPECT_EQ(toasts(), std::vector<std::string>{"msg.slot_empty"});
  }
  EXPECT_EQ(rd32(0x1000), 0x55u);
}

TEST_F(Slots, ALoadedSlotIsAlsoTheWayBackToTheMap) {
  publish_kind("map");
  wr32(0x1000, 0x11);
  save_slot(1);
  wr32(0x1000, 0x22);
  load_slot(1);
  EXPECT_EQ(rd32(0x1000), 0x11u);
  wr32(0x1000, 0x33);
  publish_kind("game");
  back_to_map();
  EXPECT_EQ(rd32(0x1000), 0x11u);
  EXPECT_EQ(toasts(), (std::vector<std::string>{"msg.saved_map", "msg.slot_loaded", "msg.back_on_map"}));
}

TEST_F(Slots, BackToMapSaysWhyWhenItCannot) {
  publish_kind("map");
  back_to_map();
  publish_kind("game");
  back_to_map();
  EXPECT_EQ(toasts(), (std::vector<std::string>{"msg.already_on_map", "msg.no_map_yet"}));
}

TEST_F(Slots, KeysHooksAndThePromptWorkAfterLoadingAnOlderState) {
  publish_kind("map");
  save_slot(1);  // at VBL 0
  tos.vbl = 5000;
  key_enqueue(57, 1);
  pump(tos.vbl);
  tos.wait_vbl_at[2] = 4999;
  hook_register(0x9306, hk_hold);
  hooks_enable(0x9306, 0);  // as a boot state leaves it
  load_slot(1);
  ASSERT_EQ(tos.vbl, 0u);
  // The press at VBL 5,000 of the abandoned timeline blocks nothing.
  key_enqueue(57, 1);
  pump(tos.vbl);
  EXPECT_EQ(emu.nkeyq, 0);
  EXPECT_EQ(g_cpu.hook_on[hook_slot(0x9306)], 1);
  steps(1);
  EXPECT_STRNE(emu.kind_now, "players");
}

TEST_F(Slots, TheTitleComesBackWithHooksPatchesAndTheClock) {
  synth_game_data g = synth_standard();
  ASSERT_TRUE(synth_write(saves / "BKM", synth_bkm(g)));
  ASSERT_EQ(game_data_init(saves.path.c_str()), 1);
  emu.data_dir = saves.path;
  emu.fix_on = 1;
  emu.god_on = 1;
  hook_register(0x4A50, hk_hscroll);
  tos.vbl = 777;
  sim_now += 3;
  to_title();
  EXPECT_LT(tos.vbl, 777u);
  EXPECT_EQ(g_cpu.hook_on[hook_slot(0x4A50)], 1);
  EXPECT_EQ(g_cpu.patch_flags[0], 1);
  EXPECT_EQ(g_cpu.patch_flags[1], 1);
  EXPECT_NEAR(emu_clock_at(sim_now), tos.vbl - emu.lead, 1e-9) << "the machine is exactly a lead ahead";
  EXPECT_EQ(emu.menu_clock, 0);
}

TEST_F(Slots, TheTitleWithoutGameDataIsIgnored) {
  emu.data_dir = saves.path;
  wr32(0x1000, 0x77);
  to_title();
  EXPECT_EQ(rd32(0x1000), 0x77u);
}

// Slots with a valid header whose game cannot run. Loaded on the title, on
// the map or in a mission, the first slice fails: the game as it was
// before the load comes back with its way back to the map, the player is
// told, the session goes on and the slot file stays as it was.
void random_registers(machine_state* s) {
  std::mt19937 random(46);
  for (u32* field : {&s->pc, &s->vbl, &s->sr, &s->usp, &s->ssp, &s->a7, &s->mem_top, &s->screen_base})
    *field = random();
  for (u32& d : s->d) d = random();
  for (u32& a : s->a) a = random();
}

TEST_F(Slots, ASlotWhoseGameFailsAtOnceGivesBackTheGameAsItWas) {
  constexpr u32 marker = 0x1000;
  struct crafted {
    const char* what;
    void (*craft)(machine_state*);
  };
  const crafted slots[] = {{"pc $FFFFFE", [](machine_state* s) { s->pc = 0xFFFFFE; }},
                           {"random register fields", random_registers}};
  for (const char* kind : {"other", "map", "game"}) {
    for (const crafted& slot : slots) {
      SCOPED_TRACE(std::string(kind) + ", " + slot.what);
      wr32(marker, 0x33);
      write_slot(1, slot.craft);
      const std::string file = slurp(saves / "slot1.bkms");
      // The running game, its way back to the map and, in a mission, its
      // crash snapshots.
      wr32(marker, 0x22);
      state_free(emu.pre_map);
      emu.pre_map = state_new();
      tos_save_state(emu.pre_map);
      emu.have_premap = 1;
      wr32(marker, 0x11);
      toy_frames = std::strcmp(kind, "game") == 0;
      steps(1);
      ASSERT_STREQ(emu.kind_now, kind[0] == 'm' ? "other" : kind);
      publish_kind(kind);
      said();
      const int slices = toy_slices;
      load_slot(1);
      steps(3);
      EXPECT_EQ(said(), (std::vector<std::string>{"msg.slot_loaded", "msg.slot_failed"}));
      EXPECT_EQ(rd32(marker), 0x11u);
      EXPECT_EQ(toy_slices, slices + 2) << "the game before the load runs on";
      EXPECT_EQ(slurp(saves / "slot1.bkms"), file);
      EXPECT_FALSE(file_exists((saves / "crash1_start.bkms").c_str())) << "no crash recovery";
      publish_kind("game");
      back_to_map();
      EXPECT_EQ(rd32(marker), 0x22u);
      said();
    }
  }
}

// Memory of random bytes behind a valid header (and a VBL of its own): the
// synthetic game's routines jump through it at once.
TEST_F(Slots, ASlotOfRandomMemoryFailsAndTheTitleComesBack) {
  synthetic_title();
  const u32 title_vbl = tos.vbl;
  write_slot(2, [](machine_state* s) {
    std::mt19937 random(46);
    for (u32 i = 0; i < ram_size; ++i) s->ram[i] = static_cast<u8>(random());
    s->vbl = 90000;
  });
  said();
  load_slot(2);
  steps(100);
  EXPECT_EQ(said(), (std::vector<std::string>{"msg.slot_loaded", "msg.slot_failed"}));
  EXPECT_EQ(tos.vbl, title_vbl + 100) << "the title's VBLs go on";
}

// The watch lasts load_watch_vbls VBLs of the loaded game; a failure after
// it, outside a mission, stops the emulation as before.
TEST_F(Slots, ALoadedGameIsWatchedForItsFirstVbls) {
  constexpr u32 marker = 0x1000;
  for (int failing : {load_watch_vbls, load_watch_vbls + 1}) {
    SCOPED_TRACE(failing);
    wr32(marker, 0x33);
    write_slot(1, nullptr);
    wr32(marker, 0x11);
    load_slot(1);
    steps(failing - 1);
    said();
    toy_fail_next = true;
    const int result = do_step();
    const std::vector<std::string> messages = said();
    if (failing == load_watch_vbls) {
      EXPECT_GE(result, 0);
      EXPECT_EQ(messages, std::vector<std::string>{"msg.slot_failed"});
      EXPECT_EQ(rd32(marker), 0x11u);
    } else {
      EXPECT_EQ(result, -1);
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0].rfind("error: Emulation error near ", 0), 0u) << messages[0];
    }
  }
}

// A second load while the first is watched: the game before the first comes
// back, as the first has not proved itself yet. The title ends the watch.
TEST_F(Slots, TheWatchKeepsTheGameBeforeTheFirstLoadUntilTheTitle) {
  constexpr u32 marker = 0x1000;
  wr32(marker, 0x22);
  write_slot(1, nullptr);
  wr32(marker, 0x33);
  write_slot(2, [](machine_state* s) { s->pc = 0xFFFFFE; });
  wr32(marker, 0x11);
  load_slot(1);
  steps(10);
  load_slot(2);
  steps(1);
  EXPECT_EQ(rd32(marker), 0x11u);
  said();
  synthetic_title();
  load_slot(2);
  to_title();
  emu.inject = 1;
  EXPECT_EQ(do_step(), -1);
  const std::vector<std::string> messages = said();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "msg.slot_loaded");
  EXPECT_EQ(messages[1].rfind("error: Emulation error near ", 0), 0u) << messages[1];
}

// The synthetic game runs from its start-up state toward the player-count
// prompt: a restart ends there with no fire held and says so, or, where the
// game meets a routine not written yet, stops with the error and does not
// claim a restart.
TEST_F(Slots, ARestartEndsOnThePromptOrReportsWhyNot) {
  synth_game_data g = synth_standard();
  ASSERT_TRUE(synth_write(saves / "BKM", synth_bkm(g)));
  ASSERT_EQ(game_data_init(saves.path.c_str()), 1);
  emu.data_dir = saves.path;
  publish_kind("map");
  emu.have_premap = 1;
  emu.pre_map = state_new();
  tos_save_state(emu.pre_map);
  emu.force_fire[1] = 1;
  const int ok = restart_players();
  std::vector<std::string> errors, said;
  while (present_msg* m = msgq_pop()) {
    if (m->kind == MSG_ERROR) errors.push_back(m->text);
    if (m->kind == MSG_TOAST) said.push_back(m->text);
    msg_free(m);
  }
  EXPECT_EQ(emu.have_premap, 0);
  EXPECT_EQ(emu.sent_joy[1], 0);
  EXPECT_EQ(emu.force_fire[1], 0);
  EXPECT_STREQ(emu.kind_now, "");
  if (ok) {
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(said, std::vector<std::string>{"msg.restarted"});
    EXPECT_LE(vbl_since(tos.vbl, tos.wait_vbl_at[2]), 1);
  } else {
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Emulation error near ", 0), 0u) << errors[0];
    EXPECT_TRUE(said.empty());
  }
}

} // namespace
