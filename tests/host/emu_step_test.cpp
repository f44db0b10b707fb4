// The VBL step on the toy machine: input delivery (fire latch, keys), the
// weapon automation, the money option, the screen kind with its snapshots,
// fixed screens and crash recovery.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/emu_fixture.h"
#include "host/platform.h"
#include "machine/input_log.h"
#include "machine/hooks.h"
#include "machine/memory.h"
#include "sound/audio_assembly.h"
#include "sound/audio_state.h"
#include "sound/music_double.h"
#include "support/temp_dir.h"

namespace {

struct logged {
  u32 vbl;
  int a, b;
  bool operator==(const logged&) const = default;
};

std::vector<logged> log_of(char type) {
  std::vector<logged> out;
  const input_log_entry* e = tos_ilog_entries();
  for (int i = 0; i < tos_ilog_count(); ++i)
    if (e[i].type == type) out.push_back({e[i].vbl, e[i].a, e[i].b});
  return out;
}

constexpr u8 map_palette[32] = {0x00, 0x00, 0x07, 0x77, 0x00, 0x12, 0x00, 0x14, 0x00, 0x25, 0x01,
                                0x36, 0x02, 0x46, 0x03, 0x56, 0x04, 0x67, 0x07, 0x40, 0x06, 0x30,
                                0x05, 0x20, 0x03, 0x53, 0x02, 0x42, 0x01, 0x31, 0x00, 0x20};
constexpr u8 shop_palette[32] = {0x00, 0x00, 0x07, 0x62, 0x05, 0x55, 0x04, 0x43, 0x02, 0x33, 0x01,
                                 0x52, 0x05, 0x20, 0x00, 0x21, 0x07, 0x76, 0x01, 0x22, 0x05, 0x32,
                                 0x03, 0x20, 0x01, 0x31, 0x00, 0x11, 0x00, 0x47, 0x05, 0x42};

void show_palette(const u8* p) { std::memcpy(io + 0x240, p, 32); }

class Step : public EmuTest {
 protected:
  void SetUp() override {
    EmuTest::SetUp();
    tos_ilog_clear();
    emu.save_dir = saves.path;
  }
  temp_dir saves;
};

TEST_F(Step, AOneVblFireTapIsHeldForThreeVbls) {
  const u32 v0 = tos.vbl;
  emu.wanted_joy[1] = 0x80 | 0x04;
  steps(1);
  emu.wanted_joy[1] = 0x04;
  steps(5);
  EXPECT_EQ(log_of('J'), (std::vector<logged>{{v0, 1, 0x84}, {v0 + 3, 1, 0x04}}));
}

TEST_F(Step, EveryFireTapIsHeldForThreeVbls) {
  const u32 v0 = tos.vbl;
  for (int tap = 0; tap < 2; ++tap) {
    emu.wanted_joy[1] = 0x80;
    steps(1);
    emu.wanted_joy[1] = 0;
    steps(4);
  }
  EXPECT_EQ(log_of('J'), (std::vector<logged>{{v0, 1, 0x80}, {v0 + 3, 1, 0}, {v0 + 5, 1, 0x80}, {v0 + 8, 1, 0}}));
}

TEST_F(Step, PlayerTwoUsesPortZeroAndItsOwnAim) {
  emu.wanted_joy[0] = 0x09;
  steps(1);
  EXPECT_EQ(log_of('J'), (std::vector<logged>{{tos.vbl - 1, 0, 0x09}}));
  tos_ilog_clear();
  emu.aim_in[1] = 1;
  emu.aim_fire[1] = 1;
  emu.last_gp = 1;
  pump(tos.vbl);
  EXPECT_EQ(log_of('J'), (std::vector<logged>{{tos.vbl, 0, 0x89}}));
  EXPECT_EQ(emu.aim_dir[1], 1);
}

TEST_F(Step, EscapeAsksTheMissionToEndOnlyDuringAMission) {
  const emu_event escape{EV_ESCAPE, 0, 0};
  wr16(exit_request, 0);
  emu.last_gp = 0;
  emu.data_dir = saves.path;  // no game data: the title cannot come back
  handle_event(&escape);
  EXPECT_EQ(rd16(exit_request), 0u);
  emu.last_gp = 1;
  handle_event(&escape);
  EXPECT_EQ(rd16(exit_request), 0xFFFFu);
  wr16(exit_request, 1);
  handle_event(&escape);
  EXPECT_EQ(rd16(exit_request), 1u) << "an exit already asked for is left alone";
}

TEST_F(Step, TheKeyQueueTakesStScanCodesOnly) {
  struct row {
    int code;
    bool taken;
  };
  for (const row& r : {row{0, false}, row{1, true}, row{127, true}, row{128, false}, row{-5, false}}) {
    emu.nkeyq = 0;
    key_enqueue(r.code, 1);
    EXPECT_EQ(emu.nkeyq, r.taken ? 1 : 0) << r.code;
  }
}

TEST_F(Step, AimFireOfPlayerOneFiresPortOneOnlyOnMissionFrames) {
  emu.aim_in[0] = 8;
  emu.aim_fire[0] = 1;
  steps(2);
  EXPECT_TRUE(log_of('J').empty()) << "no mission frame yet";
  emu.last_gp = 1;
  pump(tos.vbl);
  EXPECT_EQ(log_of('J'), (std::vector<logged>{{tos.vbl, 1, 0x80}}));
}

TEST_F(Step, KeysGoOnePerVblAndAReleaseThreeVblsAfterItsPress) {
  const u32 v0 = tos.vbl;
  const emu_event press{EV_KEY, 57, 1}, release{EV_KEY, 57, 0};
  handle_event(&press);
  handle_event(&release);
  key_enqueue(2, 1);
  key_enqueue(2, 0);
  steps(8);
  EXPECT_EQ(log_of('K'), (std::vector<logged>{{v0, 57, 0}, {v0 + 3, 57 | 0x80, 0},
                                              {v0 + 4, 2, 0}, {v0 + 7, 2 | 0x80, 0}}));
}

// A code outside the ST's range is no key at all: not queued, and not a
// press that skips the song playing.
TEST_F(Step, KeyCodesOutsideTheStRangeAreIgnored) {
  for (int code : {0, 128, 200, 255, -1}) {
    aud.skip_key = 0;
    emu_event ev{EV_KEY, static_cast<double>(code), 1};
    handle_event(&ev);
    EXPECT_EQ(aud.skip_key, 0) << code;
  }
  EXPECT_EQ(emu.nkeyq, 0);
  emu_event ev{EV_KEY, 1, 1};
  handle_event(&ev);
  EXPECT_EQ(aud.skip_key, 1);
}

// The menu's testing switches and the enemy-script fix each set their own
// patch flag of the machine: 0 invulnerability, 1 the fix.
TEST_F(Step, GodModeAndTheFixSetTheirOwnPatchFlag) {
  for (int kind : {EV_GOD, EV_FIX}) {
    const emu_event off{kind, 0, 0};
    handle_event(&off);
  }
  struct {
    int kind;
    double a;
    u8 god, fix;
  } rows[] = {{EV_GOD, 1, 1, 0}, {EV_FIX, 1, 1, 1}, {EV_GOD, 0, 0, 1}, {EV_FIX, 0, 0, 0}, {EV_FIX, 1, 0, 1}};
  for (const auto& r : rows) {
    const emu_event ev{r.kind, r.a, 0};
    EXPECT_EQ(handle_event(&ev), 0);
    EXPECT_EQ(g_cpu.patch_flags[0], r.god) << r.kind << " " << r.a;
    EXPECT_EQ(g_cpu.patch_flags[1], r.fix) << r.kind << " " << r.a;
    EXPECT_EQ(emu.god_on, r.god);
    EXPECT_EQ(emu.fix_on, r.fix);
  }
}

// Hold and aim reach the player named, 0 or 1; other players are ignored.
TEST_F(Step, HoldAndAimReachTheirPlayerOnly) {
  struct {
    int kind;
    double player, b;
    bool hold0, hold1;
    int aim1, fire1;
  } rows[] = {
      {EV_HOLD, 1, 1, false, true, 0, 0},  {EV_HOLD, 0, 1, true, true, 0, 0},
      {EV_HOLD, 2, 0, true, true, 0, 0},   {EV_HOLD, -1, 0, true, true, 0, 0},
      {EV_HOLD, 1, 0, true, false, 0, 0},  {EV_AIM, 1, 0x84, true, false, 4, 1},
      {EV_AIM, 2, 0x01, true, false, 4, 1}, {EV_AIM, 1, 0x09, true, false, 9, 0},
  };
  for (const auto& r : rows) {
    const emu_event ev{r.kind, r.player, r.b};
    handle_event(&ev);
    EXPECT_EQ(emu.hold_on[0], r.hold0) << r.kind << " " << r.player;
    EXPECT_EQ(emu.hold_on[1], r.hold1) << r.kind << " " << r.player;
    EXPECT_EQ(emu.aim_in[1], r.aim1) << r.kind << " " << r.player;
    EXPECT_EQ(emu.aim_fire[1], r.fire1) << r.kind << " " << r.player;
  }
}

// While a replacement song plays a once-only tune, the game's slice sees
// its tune flag held; afterwards the game's own byte is back, unless the
// game wrote the flag itself during the slice.
TEST_F(Step, TheTuneFlagIsHeldForTheSliceOnly) {
  music_double::install_pack();
  audio_shutdown();
  audio_config c;
  c.mp3_on = 1;
  audio_start(c);
  music_double::songs[3] = std::vector<i16>(2 * 1000000, 0);
  g_cpu.d[0] = 0xABCD0003u;  // the game starts song 3
  g_cpu.a[7] = 0x10000;
  wr32(0x10000, 0x9000);
  host_hook(0x41BCC);
  ASSERT_EQ(pb_hold_value(), 0xFF);
  struct {
    int game_writes;  // -1: none
    int seen, after;
  } rows[] = {{-1, 0xFF, 0x00}, {0x22, 0xFF, 0x22}};
  for (const auto& r : rows) {
    wr8(tune_flag, 0x00);
    toy_tune_flag_write = r.game_writes;
    steps(1);
    EXPECT_EQ(toy_tune_flag_seen, r.seen);
    EXPECT_EQ(rd8(tune_flag), static_cast<u32>(r.after));
  }
  // Without a replacement song the game sees its own byte.
  toy_tune_flag_write = -1;
  audio_set_mp3(0);
  wr8(tune_flag, 0x05);
  steps(1);
  EXPECT_EQ(toy_tune_flag_seen, 0x05);
  music_entries = {};
}

TEST_F(Step, AFullKeyQueueStillTakesReleases) {
  for (int i = 0; i < key_queue_capacity; ++i) key_enqueue(30, 1);
  EXPECT_EQ(emu.nkeyq, key_queue_press_limit);
  key_enqueue(30, 0);
  EXPECT_EQ(emu.keyq[emu.nkeyq - 1].down, 0);
}

TEST_F(Step, TheWeaponKeyIsReleasedTwoVblsAfterItsPress) {
  const u32 v0 = tos.vbl;
  weapon_key(player1_weapon_key, 0);
  steps(6);
  EXPECT_EQ(log_of('K'), (std::vector<logged>{{v0, 30, 0}, {v0 + 2, 30 | 0x80, 0}}));
  EXPECT_EQ(emu.weapon_job.active, 0);
}

struct previous_case {
  std::vector<int> held;
  int current;
  int expect;  // the weapon set before the key; -1: nothing happens
};

TEST_F(Step, PreviousWeaponSetsTheSlotTwoBeforeSoTheGamesNextLandsOnTheOneBefore) {
  const previous_case cases[] = {
      {{0, 3, 7, 18}, 7, 0},   // next from 0 gives 3, the one before 7
      {{0, 3, 7, 18}, 0, 7},   // wraps: before 0 is 18, two before is 7
      {{0, 3, 7, 18}, 3, 18},
      {{0, 5}, 5, 5},          // two slots: two before is itself
      {{4}, 4, -1},            // one slot: nothing
      {{0, 3}, 9, -1},         // the current weapon is not held
  };
  publish_kind("game");
  for (const previous_case& c : cases) {
    std::memset(ram + player1_record + weapon_slots_offset, 0, weapon_slot_count);
    for (int s : c.held) wr8(player1_record + weapon_slots_offset + s, 1);
    wr16(player1_record + current_weapon_offset, c.current);
    tos_ilog_clear();
    emu.weapon_job.active = 0;
    weapon_key(player1_weapon_key, -1);
    if (c.expect < 0) {
      EXPECT_EQ(static_cast<int>(rd16(player1_record + current_weapon_offset)), c.current);
      EXPECT_TRUE(log_of('K').empty()) << "no key for current " << c.current;
    } else {
      EXPECT_EQ(static_cast<int>(rd16(player1_record + current_weapon_offset)), c.expect);
      EXPECT_EQ(log_of('P'), (std::vector<logged>{{tos.vbl, static_cast<int>(player1_record + 0x0C), c.expect}}));
      EXPECT_EQ(log_of('K').size(), 1u);
    }
  }
}

TEST_F(Step, PreviousWeaponOutsideAMissionOrDuringAJobDoesNothing) {
  for (int s : {0, 3, 7}) wr8(player1_record + weapon_slots_offset + s, 1);
  wr16(player1_record + current_weapon_offset, 3);
  publish_kind("map");
  weapon_key(player1_weapon_key, -1);
  publish_kind("game");
  emu.quick_job.active = 1;
  weapon_key(player1_weapon_key, -1);
  EXPECT_TRUE(log_of('K').empty());
  EXPECT_EQ(rd16(player1_record + current_weapon_offset), 3u);
}

TEST_F(Step, InfiniteMoneyTopsUpBelowNineMillion) {
  emu.money_on = 1;
  wr32(player1_record + money_offset, 8999999);
  wr32(player2_record + money_offset, 9000000);
  steps(1);
  EXPECT_EQ(rd32(player1_record + money_offset), 9999999u);
  EXPECT_EQ(rd32(player2_record + money_offset), 9000000u);
}

TEST_F(Step, TheScreenKindComesFromFramesThePromptAndThePalettes) {
  steps(1);
  EXPECT_STREQ(emu_kind(), "other");
  show_palette(map_palette);
  steps(1);
  EXPECT_STREQ(emu_kind(), "map");
  show_palette(shop_palette);
  steps(1);
  EXPECT_STREQ(emu_kind(), "shop");
  tos.wait_vbl_at[2] = static_cast<i32>(tos.vbl);
  steps(1);
  EXPECT_STREQ(emu_kind(), "players");
  toy_frames = true;
  steps(1);
  EXPECT_STREQ(emu_kind(), "game");
  toy_frames = false;
  steps(6);
  EXPECT_STREQ(emu_kind(), "game") << "a frame counts for 7 VBLs";
  steps(1);
  EXPECT_STREQ(emu_kind(), "shop");
  auto kinds = take(MSG_KIND);
  std::vector<std::string> texts;
  for (present_msg* m : kinds) texts.push_back(m->text);
  free_all(kinds);
  EXPECT_EQ(texts, (std::vector<std::string>{"other", "map", "shop", "players", "game", "shop"}));
}

TEST_F(Step, AFixedScreenIsSentOnceAgainOnAPaletteChangeAndAfterADroppedPush) {
  steps(3);
  EXPECT_EQ(count(MSG_SCREEN), 1);
  io[0x240] ^= 0x01;
  steps(1);
  EXPECT_EQ(count(MSG_SCREEN), 1);
  // A full queue drops the next picture; it is offered again.
  for (int i = 0; i < msg_queue_size - 1; ++i) msgq_push(msg_new(MSG_TOAST));
  present_msg* fill = msg_new(MSG_SCREEN);
  ASSERT_NE(msgq_push(fill), nullptr);
  io[0x240] ^= 0x01;
  pump(tos.vbl);
  do_step();
  EXPECT_EQ(msgq_count(), msg_queue_size);
  msgq_clear();
  steps(1);
  EXPECT_EQ(count(MSG_SCREEN), 1);
}

TEST_F(Step, AFailureWithoutSnapshotsStopsWithTheError) {
  toy_fail_next = true;
  pump(tos.vbl);
  EXPECT_EQ(do_step(), -1);
  auto errors = take(MSG_ERROR);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(std::strstr(errors[0]->text, "Emulation error near C0DEAD"), nullptr) << errors[0]->text;
  free_all(errors);
}

TEST_F(Step, RecoveryWritesAReportAndIsRefusedWithin600Vbls) {
  toy_frames = true;
  steps(200);
  ASSERT_GT(emu.ngood, 0);
  toy_fail_next = true;
  pump(tos.vbl);
  ASSERT_EQ(do_step(), 0) << "recovered; the restored VBL shows no frame yet";
  for (const char* part : {"crash1_start.bkms", "crash1_end.bkms"}) {
    state_ptr s(state_new());
    EXPECT_EQ(state_read_file(s.get(), (saves / part).c_str()), 1) << part;
  }
  EXPECT_FALSE(slurp(saves / "crash1_inputs.txt").empty());
  const u32 recovered_at = static_cast<u32>(emu.last_recover);
  EXPECT_EQ(count(MSG_TOAST), 1);

  // 500 VBLs later: refused.
  steps(static_cast<int>(recovered_at + 500 - tos.vbl));
  toy_fail_next = true;
  pump(tos.vbl);
  EXPECT_EQ(do_step(), -1);
}

TEST_F(Step, RecoveryWorksAgain700VblsLater) {
  toy_frames = true;
  steps(200);
  toy_fail_next = true;
  pump(tos.vbl);
  ASSERT_EQ(do_step(), 0);
  const u32 recovered_at = static_cast<u32>(emu.last_recover);
  steps(static_cast<int>(recovered_at + 700 - tos.vbl));
  toy_fail_next = true;
  pump(tos.vbl);
  EXPECT_EQ(do_step(), 0);
  EXPECT_TRUE(file_exists((saves / "crash2_start.bkms").c_str())) << "numbered after the first";
}

TEST_F(Step, AnInjectedCorruptionFiresOnce) {
  toy_frames = true;
  steps(10);
  setenv("BKM_CORRUPT", std::to_string(tos.vbl + 5).c_str(), 1);
  steps(20);  // recovers once, then passes the same VBL again without firing
  unsetenv("BKM_CORRUPT");
  EXPECT_EQ(emu.ncrash, 1);
}

} // namespace
