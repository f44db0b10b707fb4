// Save slots, restores and the return to the title on the toy machine.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/emu_fixture.h"
#include "host/platform.h"
#include "machine/game_data.h"
#include "machine/hooks.h"
#include "machine/input_log.h"
#include "machine/memory.h"
#include "support/synthetic_game_data.h"
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
