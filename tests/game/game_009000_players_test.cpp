// Page $9000: the players' update (movement, hold, fire, weapon keys), the
// aim step with the walk animation and the players' pass of a frame, on the
// mission machine with the players' tables of the mission builder. What
// the update hands the routines it calls is read from the dispatcher's call
// trace, with the registers at each call.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "machine/host_aim.h"
#include "support/machine/call_trace.h"
#include "support/machine/dispatch_check.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/machine/resume_check.h"
#include "support/machine/resumption_check.h"

namespace {

namespace pr = player_record;

constexpr u32 players_pass = 0x00922E;
constexpr u32 update = 0x009290;
constexpr u32 aim_step = 0x009CAC;
constexpr u32 hold_hook = 0x009306;
constexpr u32 sample_a = 0x00E6EC;
constexpr u32 pass_opening = 0x004C06;
constexpr u32 death_step = 0x00AA2E;
constexpr u32 death_pointer = 0x5C; // long in the player record: the death animation's next byte
constexpr u32 terrain_step = 0x009860;
constexpr u32 counter_check = 0x00ADF2;
constexpr u32 bullet_weapon = 0x009614;
constexpr u32 projectiles = 0x009FE0;
constexpr u32 dot_bullets = 0x00AB5C;
constexpr u32 grenade = 0x006BEA;
constexpr u32 effect_spawner = 0x00B6A6;
constexpr u32 weapon_picture = 0x009DB8;
constexpr u32 update_last = 0x009613;      // the last return address inside the update
constexpr u32 players_pass_last = 0x00928F; // and inside the players' pass

constexpr u8 f1_key = 0x3B, f2_key = 0x3C, f3_key = 0x3D, f4_key = 0x3E;
constexpr u32 start_x = 150, start_y = 100;
constexpr u32 counter_start = 50;

struct stick {
  bool right = false, left = false, up = false, down = false, fire = false;
};
constexpr stick none{};
constexpr stick fire_only{.fire = true};

// Blocked ways, as bits.
constexpr u32 block_right = 1, block_left = 2, block_down = 4, block_up = 8;

void set_stick(u32 record, stick s) {
  wr8(record + pr::right, s.right ? 0xFF : 0);
  wr8(record + pr::left, s.left ? 0xFF : 0);
  wr8(record + pr::up, s.up ? 0xFF : 0);
  wr8(record + pr::down, s.down ? 0xFF : 0);
  wr8(record + pr::fire, s.fire ? 0xFF : 0);
}

void set_ways(u32 record, u32 blocked) {
  wr8(record + pr::way_right, blocked & block_right ? 0 : 0xFF);
  wr8(record + pr::way_left, blocked & block_left ? 0 : 0xFF);
  wr8(record + pr::way_down, blocked & block_down ? 0 : 0xFF);
  wr8(record + pr::way_up, blocked & block_up ? 0 : 0xFF);
}

// A player in play at (150, 100), standing, facing up with the up list
// running, weapon 0 owned and current, every counter 50.
void in_play(u32 record) {
  wr16(record + pr::lives, 3);
  wr16(record + pr::x, start_x);
  wr16(record + pr::y, start_y);
  wr16(record + pr::frame, record == player1 ? 41 : 1);
  wr16(record + pr::weapon, 0);
  wr8(record + pr::owned, 0xFF);
  wr16(record + pr::ammo_type, 20);
  wr8(record + pr::facing, 1);
  wr32(record + pr::walk_first, walk_frame_lists);
  wr32(record + pr::walk_entry, walk_frame_lists);
  wr32(record + pr::walk_end, walk_frame_lists + 8);
  wr16(record + pr::walk_step, 2);
  for (u32 i = 0; i < 13; ++i) wr16(record + player_record::counts + 2 * i, counter_start);
  set_ways(record, 0);
}

// The calls the update made itself, as (target, return address).
std::vector<std::pair<u32, u32>> update_calls() { return calls_returning_within(update, update_last); }

// The targets of the update's own calls among these routines, in order.
std::vector<u32> update_calls_to(std::initializer_list<u32> targets) {
  std::vector<u32> r;
  for (const auto& c : update_calls())
    for (u32 t : targets)
      if (c.first == t) r.push_back(t);
  return r;
}

// d0 to d5 of a call, low words.
std::vector<u32> low_words_d0_d5(const traced_call& c) {
  std::vector<u32> r;
  for (int i = 0; i < 6; ++i) r.push_back(c.d[i] & 0xFFFF);
  return r;
}

// The sample hook at the player's sample calls: what the host's panning
// reads there.
struct sample_start {
  u32 sample, ret, a4, x;
};
std::vector<sample_start> samples;
void sample_noted(u32 address) {
  hook_noted(address);
  samples.push_back({d0 & 0xFFFF, rd32(a7), a4, rd16(a4 + pr::x)});
}

// The host's aim control: a direction for player 1, none for player 2.
u32 aim_for_player1;
std::vector<std::pair<u32, u32>> aim_calls;
u32 test_aim(u32 record, u32 direction) {
  aim_calls.emplace_back(record, direction);
  return record == player1 && aim_for_player1 != 0 ? aim_for_player1 : direction;
}

class Players : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    // The movement table sets the way bytes itself: the written terrain
    // step, which would compute them from the ground, returns at once here.
    dispatch_register_over(0x009860, [] { RTS(); });
    tables = player_tables{};
    tables.put_in_ram();
    in_play(player1);
    samples.clear();
    aim_calls.clear();
    aim_for_player1 = 0;
    call_trace_start();
    hook_register(sample_a, sample_noted);
  }

  // One update of the record, as the players' pass makes it.
  void run_update(u32 record) {
    g_cpu.a[4] = record;
    wr16(current_player, record == player2 ? 1 : 0);
    ASSERT_EQ(run_mission_routine(update), 1) << "one slice, no wait";
  }
  void frame(u32 record, stick s) {
    set_stick(record, s);
    run_update(record);
  }
  u32 counter(u32 record) { return rd16(record + pr::counts + 2 * rd16(record + player_record::count_index)); }

  player_tables tables;
};

TEST_F(Players, NamedAddressesAreInTheDispatchTable) {
  expect_named_rows({
      {players_pass, routine_entry, "sub_00922E"},
      {update, routine_entry, "sub_009290"},
      {hold_hook, resume_label, "sub_009290"},
      {0x009442, resume_label, "sub_009290"},
      {0x009542, resume_label, "sub_009290"},
      {aim_step, routine_entry, "sub_009CAC"},
  });
  EXPECT_EQ(game_hook_slot(hold_hook), 32);
}

// --- movement ---------------------------------------------------------------------

TEST_F(Players, MovementWithinTheBoundsAndTheFreeWays) {
  struct {
    const char* what;
    u32 x, y;
    stick s;
    u32 blocked;
    u32 x_after, y_after;
    bool right_p, left_p, up_p, down_p, moved, steered;
    u32 facing;
  } cases[] = {
      {"right at 225", 225, 100, {.right = true}, 0, 228, 100, true, false, false, false, true, true, 8},
      {"right at 226", 226, 100, {.right = true}, 0, 226, 100, false, false, false, false, false, false, 0},
      {"left at 67", 67, 100, {.left = true}, 0, 64, 100, false, true, false, false, true, true, 4},
      {"left at 66", 66, 100, {.left = true}, 0, 66, 100, false, true, false, false, false, false, 0},
      {"up from 9", 150, 9, {.up = true}, 0, 150, 7, false, false, true, false, true, true, 1},
      {"up from 9 blocked", 150, 9, {.up = true}, block_up, 150, 10, false, false, true, false, false, false, 0},
      {"up from 11", 150, 11, {.up = true}, 0, 150, 8, false, false, true, false, true, true, 1},
      {"down at 168", 150, 168, {.down = true}, 0, 150, 168, false, false, false, true, true, true, 2},
      {"down at 169", 150, 169, {.down = true}, 0, 150, 168, false, false, false, true, false, false, 0},
      {"right and left", 150, 100, {.right = true, .left = true}, 0, 150, 100, true, true, false, false, true, true,
       12},
      {"up and right", 150, 100, {.right = true, .up = true}, 0, 153, 97, true, false, true, false, true, true, 9},
      {"right blocked", 150, 100, {.right = true}, block_right, 150, 100, true, false, false, false, false, false,
       0},
      // Every direction pressed counts for the facing once one had a way.
      {"left blocked, down free", 150, 100, {.left = true, .down = true}, block_left, 150, 103, false, true, false,
       true, true, true, 6},
      {"nothing", 150, 100, none, 0, 150, 100, false, false, false, false, false, false, 0},
  };
  for (const auto& c : cases) {
    SetUp();
    wr16(player1 + pr::x, c.x);
    wr16(player1 + pr::y, c.y);
    wr8(player1 + pr::facing, 0); // as after a respawn: any steering turns
    set_ways(player1, c.blocked);
    wr16(steer_flag, 0xFFFF);     // cleared at the start of the movement
    wr32(player1 + pr::left_pressed, 0xFFFFFFFF);
    wr32(player1 + pr::up_pressed, 0xFFFFFFFF);
    wr16(player1 + pr::moved, 0xFFFF);
    frame(player1, c.s);
    EXPECT_EQ(rd16(player1 + pr::x), c.x_after) << c.what;
    EXPECT_EQ(rd16(player1 + pr::y), c.y_after) << c.what;
    EXPECT_EQ(rd8(player1 + pr::right_pressed), c.right_p ? 0xFFu : 0u) << c.what;
    EXPECT_EQ(rd8(player1 + pr::left_pressed), c.left_p ? 0xFFu : 0u) << c.what;
    EXPECT_EQ(rd8(player1 + pr::up_pressed), c.up_p ? 0xFFu : 0u) << c.what;
    EXPECT_EQ(rd8(player1 + pr::down_pressed), c.down_p ? 0xFFu : 0u) << c.what;
    EXPECT_EQ(rd8(player1 + pr::right_pressed + 1) | rd8(player1 + pr::left_pressed + 1) |
                  rd8(player1 + pr::up_pressed + 1) | rd8(player1 + pr::down_pressed + 1),
              0u)
        << c.what << ": the pressed bytes are cleared as two longs";
    EXPECT_EQ(rd16(player1 + pr::moved), c.moved ? 0xFF00u : 0u) << c.what;
    EXPECT_EQ(rd16(steer_flag), c.steered ? 0xFF00u : 0u) << c.what;
    EXPECT_EQ(rd8(player1 + pr::facing), c.facing) << c.what << ": a blocked way turns nobody";
  }
}

TEST_F(Players, HoldTurnsWithoutMovingUntilFireIsLetGo) {
  wr8(player1 + pr::facing, 0);
  struct {
    stick s;
    u32 hold, x, facing;
    bool moved;
  } frames[] = {
      {fire_only, 0xFF00, 150, 0, false},                        // fire alone: hold
      {{.right = true, .fire = true}, 0xFF00, 150, 8, false},    // a direction only turns
      {{.up = true, .fire = true}, 0xFF00, 150, 1, false},
      {{.right = true}, 0, 153, 8, true},                        // released: hold ends, the step is taken
      {{.right = true, .fire = true}, 0, 156, 8, true},          // fire with a direction: no hold
  };
  int n = 0;
  for (const auto& f : frames) {
    frame(player1, f.s);
    EXPECT_EQ(rd16(player1 + pr::hold), f.hold) << "frame " << n;
    EXPECT_EQ(rd16(player1 + pr::x), f.x) << "frame " << n;
    EXPECT_EQ(rd8(player1 + pr::facing), f.facing) << "frame " << n;
    EXPECT_EQ(rd16(player1 + pr::moved), f.moved ? 0xFF00u : 0u) << "frame " << n;
    ++n;
  }
}

// The host's hold hook sits after the hold and before the movement.
struct at_hold_hook {
  u32 a4, x, steer, pressed;
};
std::vector<at_hold_hook> hold_hook_seen;
void host_holds(u32 address) {
  hook_noted(address);
  hold_hook_seen.push_back({a4, rd16(a4 + pr::x), rd16(steer_flag), rd32(a4 + pr::left_pressed)});
  wr8(a4 + pr::hold, 0xFF);
}
void host_aims(u32 address) {
  hook_noted(address);
  hold_hook_seen.push_back({a4, rd16(a4 + pr::x), rd16(steer_flag), rd32(a4 + pr::left_pressed)});
  wr16(a4 + pr::hold, 0);
}

TEST_F(Players, HandlersAtTheHoldHookTakeEffectInThatUpdate) {
  struct {
    const char* what;
    host_hook_fn handler;
    u32 hold_before;
    stick s;
    u32 x_after, hold_after;
  } cases[] = {
      {"host hold", host_holds, 0, {.right = true}, start_x, 0xFF00},
      {"host aim", host_aims, 0xFF00, {.right = true, .fire = true}, start_x + 3, 0},
      {"no handler, held", nullptr, 0xFF00, {.right = true, .fire = true}, start_x, 0xFF00},
  };
  for (const auto& c : cases) {
    SetUp();
    hold_hook_seen.clear();
    wr8(player1 + pr::facing, 0);
    wr16(player1 + pr::hold, c.hold_before);
    if (c.handler) hook_register(hold_hook, c.handler);
    frame(player1, c.s);
    EXPECT_EQ(rd16(player1 + pr::x), c.x_after) << c.what;
    EXPECT_EQ(rd16(player1 + pr::hold), c.hold_after) << c.what;
    EXPECT_EQ(rd8(player1 + pr::facing), 8u) << c.what << ": turned in every case";
    if (!c.handler) continue;
    ASSERT_EQ(hold_hook_seen.size(), 1u) << c.what;
    EXPECT_EQ(hold_hook_seen[0].a4, player1);
    EXPECT_EQ(hold_hook_seen[0].x, start_x) << "before the movement";
    EXPECT_EQ(hold_hook_seen[0].steer, 0u);
    EXPECT_EQ(hold_hook_seen[0].pressed, 0u);
  }
}

TEST_F(Players, OutOfPlayDyingAndHiddenPlayersOnlyGetTheirLineClamped) {
  struct {
    const char* what;
    u32 lives, state, hide;
    bool death_step;
  } cases[] = {
      {"out of play", 0, 0, 0, false},
      {"dying", 3, 0xFFFF, 0, true},
      {"hidden", 3, 0, 20, false},
  };
  for (const auto& c : cases) {
    SetUp();
    g_host_aim = test_aim;
    wr16(player1 + pr::lives, c.lives);
    wr16(player1 + pr::state, c.state);
    wr16(player1 + pr::hide, c.hide);
    wr16(player1 + pr::y, 200);
    wr8(player1 + pr::fire_delay, 5);
    // The death step's next frame byte, where a dying player's update reads it.
    constexpr u32 death_frame_at = 0x3100, death_frame = 9;
    wr32(player1 + death_pointer, death_frame_at);
    wr8(death_frame_at, death_frame);
    wr8(last_key, f1_key);
    tables.weapon_keys[f1_key] = 0;
    tables.put_in_ram();
    std::vector<u8> before(156);
    for (u32 i = 0; i < 156; ++i) before[i] = static_cast<u8>(rd8(player1 + i));
    frame(player1, {.right = true, .fire = true});
    for (u32 i = 0; i < 156; ++i) {
      if (i == pr::y || i == pr::y + 1 || i == pr::right || i == pr::fire) continue;
      if (c.hide && i >= pr::left_pressed && i < pr::left_pressed + 8) continue; // cleared before the test
      if (c.hide && (i == pr::moved || i == pr::moved + 1)) continue;
      if (c.death_step && (i == pr::frame + 1 || (i >= death_pointer && i < death_pointer + 4))) continue;
      EXPECT_EQ(rd8(player1 + i), before[i]) << c.what << ": byte +" << std::hex << i;
    }
    if (c.death_step) {
      EXPECT_EQ(rd16(player1 + pr::frame), death_frame) << c.what << ": the death step's frame";
      EXPECT_EQ(rd32(player1 + death_pointer), death_frame_at + 1) << c.what;
    }
    EXPECT_EQ(rd16(player1 + pr::y), 168u) << c.what;
    EXPECT_EQ(rd8(last_key), f1_key) << c.what << ": no keys taken";
    EXPECT_TRUE(samples.empty()) << c.what;
    EXPECT_TRUE(aim_calls.empty());
    std::vector<std::pair<u32, u32>> called;
    if (c.death_step) called.emplace_back(death_step, 0x92A2);
    EXPECT_EQ(update_calls(), called) << c.what << ": nothing else";
  }
}

// --- fire -------------------------------------------------------------------------

TEST_F(Players, RapidFireRepeatsByTheWeaponsDelayOtherAmmunitionOncePerPress) {
  struct {
    u32 repeat, code;
    std::vector<int> shots; // frames with a shot, of 7 with fire held
  } cases[] = {
      {0, 65, {0, 1, 2, 3, 4, 5, 6}},
      {1, 65, {0, 1, 2, 3, 4, 5, 6}},
      {3, 65, {0, 3, 6}},
      {2, 65, {0, 2, 4, 6}},
      {3, 20, {0}},
      {0, 20, {0}},
  };
  for (const auto& c : cases) {
    SetUp();
    wr8(player1 + pr::repeat_delay, c.repeat);
    wr16(player1 + pr::ammo_type, c.code);
    std::vector<int> shots;
    for (int f = 0; f < 7; ++f) {
      const size_t before = samples.size();
      frame(player1, fire_only);
      if (samples.size() > before) shots.push_back(f);
    }
    EXPECT_EQ(shots, c.shots) << "delay " << c.repeat << ", code " << c.code;
    EXPECT_EQ(counter(player1), counter_start - c.shots.size());
    // Released, the next press fires at once.
    frame(player1, none);
    EXPECT_EQ(rd8(player1 + pr::fire_delay), 0u);
    const size_t before = samples.size();
    frame(player1, fire_only);
    EXPECT_EQ(samples.size(), before + 1);
  }
}

TEST_F(Players, FireDelayCountsDownToZeroAndHoldsAbove0x80) {
  struct {
    u32 delay, after;
  } cases[] = {{0, 0}, {1, 0}, {5, 4}, {0x80, 0x7F}, {0x81, 0x81}, {0xFF, 0xFF}};
  for (const auto& c : cases) {
    SetUp();
    wr8(player1 + pr::fire_delay, c.delay);
    frame(player1, fire_only);
    if (c.delay == 0) continue; // it fired
    EXPECT_EQ(rd8(player1 + pr::fire_delay), c.after) << c.delay;
    EXPECT_TRUE(samples.empty()) << c.delay;
  }
}

TEST_F(Players, ABulletWeaponPlaysItsSampleFromThePanSiteThenFires) {
  tables.weapon_samples[6] = 7;
  tables.put_in_ram();
  wr16(player1 + pr::weapon, 6);
  wr16(player1 + player_record::count_index, 4);
  wr16(player1 + pr::x, 120);
  frame(player1, fire_only);
  ASSERT_EQ(samples.size(), 1u);
  EXPECT_EQ(samples[0].sample, 7u);
  EXPECT_EQ(samples[0].ret, 0x9542u);
  EXPECT_EQ(samples[0].a4, player1);
  EXPECT_EQ(samples[0].x, 120u);
  EXPECT_EQ(counter(player1), counter_start - 1) << "counter 4 used up";
  EXPECT_EQ(rd16(player1 + pr::counts), counter_start) << "counter 0 untouched";
  EXPECT_EQ(rd8(player1 + pr::fire_delay), 0xFFu);
  EXPECT_EQ(update_calls(), (std::vector<std::pair<u32, u32>>{{terrain_step, 0x92E2},
                                                              {aim_step, 0x93A6},
                                                              {counter_check, 0x9520},
                                                              {sample_a, 0x9542},
                                                              {bullet_weapon, 0x9546},
                                                              {projectiles, 0x954A}}));
  const auto weapon_calls = calls_to(bullet_weapon);
  ASSERT_EQ(weapon_calls.size(), 1u);
  EXPECT_EQ(weapon_calls[0].a[4], player1);
}

TEST_F(Players, WeaponBranchesOfTheFireStep) {
  struct {
    const char* what;
    u32 weapon, code;
    u32 sample_ret; // 0: none
    u32 spawner;    // the routine of later work that makes the shot
    u32 delay_after;
  } cases[] = {
      {"weapon 14", 14, 20, 0, projectiles, 0xFF},
      {"weapon 16, rapid", 16, 65, 0, projectiles, 2},
      {"weapon 13", 13, 20, 0x9542, bullet_weapon, 0xFF},
      {"weapon 17", 17, 20, 0x9442, effect_spawner, 0},
      {"dot bullets", 8, 71, 0, dot_bullets, 0xFF},
      {"dot bullets, rapid delay", 3, 71, 0, dot_bullets, 0xFF},
  };
  for (const auto& c : cases) {
    for (bool empty : {false, true}) {
      SetUp();
      wr16(player1 + pr::weapon, c.weapon);
      wr16(player1 + pr::ammo_type, c.code);
      wr8(player1 + pr::repeat_delay, 3);
      if (empty) wr16(player1 + pr::counts, 0);
      frame(player1, fire_only);
      const std::string what = std::string(c.what) + (empty ? ", empty counter" : "");
      EXPECT_EQ(samples.size(), c.sample_ret && !empty ? 1u : 0u) << what;
      if (!samples.empty()) {
        EXPECT_EQ(samples[0].ret, c.sample_ret) << what;
      }
      EXPECT_EQ(counter(player1), empty ? 0u : counter_start - 1) << what;
      std::vector<u32> made;
      if (!empty) made = {c.spawner};
      if (!empty && c.spawner == bullet_weapon) made.push_back(projectiles); // the side projectiles
      EXPECT_EQ(update_calls_to({projectiles, bullet_weapon, dot_bullets, effect_spawner, grenade}), made) << what;
      EXPECT_EQ(update_calls_to({counter_check}).size(), 1u) << what << ": checked once, empty or not";
      EXPECT_EQ(rd8(player1 + pr::fire_delay), c.delay_after) << what << ": set before the counter is checked";
    }
  }
}

TEST_F(Players, TheEffectShotTakesItsEntryByFacingEveryFrame) {
  wr16(player1 + pr::weapon, 17);
  wr8(player1 + pr::facing, 9);
  wr16(player1 + pr::x, 100);
  wr16(player1 + pr::y, 60);
  for (int f = 0; f < 3; ++f) frame(player1, fire_only);
  ASSERT_EQ(samples.size(), 3u) << "every frame while held";
  for (const sample_start& s : samples) {
    EXPECT_EQ(s.sample, 8u);
    EXPECT_EQ(s.ret, 0x9442u);
    EXPECT_EQ(s.a4, player1);
  }
  EXPECT_EQ(counter(player1), counter_start - 3);
  const auto shots = calls_to(effect_spawner);
  ASSERT_EQ(shots.size(), 3u);
  for (const traced_call& c : shots) {
    EXPECT_EQ(low_words_d0_d5(c), (std::vector<u32>{100 + 13, 60 - 11, 100, 0x309, 0x409, 0}));
    EXPECT_EQ(c.ret, 0x943Au);
  }

  // A negative first word: the counter is used, no shot.
  SetUp();
  tables.effect_shots[9][0] = -1;
  tables.put_in_ram();
  wr16(player1 + pr::weapon, 17);
  wr8(player1 + pr::facing, 9);
  frame(player1, fire_only);
  EXPECT_TRUE(samples.empty());
  EXPECT_EQ(counter(player1), counter_start - 1);
  EXPECT_TRUE(calls_to(effect_spawner).empty());
}

// Facing 15 (every direction at once) reads entry 15, which lies on the
// game's code at $A914: whatever is there is taken as the entry.
TEST_F(Players, FacingFifteenReadsTheCodeAfterTheEffectShotTable) {
  const u16 code[4] = {0x0010, 0x0020, 0x1234, 0x5678};
  for (u32 i = 0; i < 4; ++i) wr16(0x00A914 + 2 * i, code[i]);
  in_play(player2);
  wr16(player2 + pr::weapon, 17);
  wr8(player2 + pr::facing, 15);
  wr16(player2 + pr::x, 100);
  wr16(player2 + pr::y, 60);
  frame(player2, fire_only);
  ASSERT_EQ(samples.size(), 1u);
  const auto shots = calls_to(effect_spawner);
  ASSERT_EQ(shots.size(), 1u);
  EXPECT_EQ(low_words_d0_d5(shots[0]), (std::vector<u32>{100 + 0x10, 60 + 0x20, 100, 0x1234, 0x5678, 1}));
  EXPECT_EQ(shots[0].a[4], player2);
}

TEST_F(Players, TheThrowTakesItsEntryAndShowsItsPoseForFourFrames) {
  for (u32 record : {player1, player2}) {
    SetUp();
    in_play(record);
    wr16(record + pr::weapon, 18);
    wr8(record + pr::facing, 6);
    wr8(record + pr::repeat_delay, 0);
    wr16(record + pr::x, 100);
    wr16(record + pr::y, 60);
    const u32 standing = rd16(record + pr::frame);
    const u32 pose = record == player1 ? 66 : 26;
    // Held: a throw, then pose frames without a throw (each using up a
    // counter), then the frame back and the next throw.
    struct {
      bool thrown;
      u32 frame, pose_left;
    } frames[] = {{true, pose, 4}, {false, pose, 3}, {false, pose, 2}, {false, pose, 1}, {true, pose, 4}};
    int n = 0;
    for (const auto& f : frames) {
      const size_t before = calls_to(grenade).size();
      frame(record, fire_only);
      EXPECT_EQ(rd16(record + pr::frame), f.frame) << n;
      EXPECT_EQ(rd16(record + pr::throw_pose), f.pose_left) << n;
      EXPECT_EQ(calls_to(grenade).size(), before + (f.thrown ? 1 : 0)) << n;
      ++n;
    }
    EXPECT_EQ(rd16(record + pr::pose_saved), standing) << "the frame came back before the second throw";
    EXPECT_EQ(counter(record), counter_start - 5) << "a counter in every frame, thrown or not";
    EXPECT_TRUE(samples.empty());
    const auto throws = calls_to(grenade);
    ASSERT_FALSE(throws.empty());
    EXPECT_EQ(low_words_d0_d5(throws[0]), (std::vector<u32>{100 + 12, 60 + 7, static_cast<u16>(-2),
                                                            static_cast<u16>(-9), pose, record == player2 ? 1u : 0u}));
    EXPECT_EQ(throws[0].ret, 0x9418u);
    // Released: the pose runs out and the standing frame comes back.
    for (int f = 0; f < 4; ++f) frame(record, none);
    EXPECT_EQ(rd16(record + pr::frame), standing);
  }
}

TEST_F(Players, TheEndOfAThrowPose) {
  struct {
    const char* what;
    u32 pose_left, moved_before;
    u32 frame_after, pose_after;
  } cases[] = {
      {"last pose frame", 1, 0, 33, 0},
      {"last pose frame, moved before", 1, 0xFF00, 66, 0},
      {"pose running", 2, 0, 66, 1},
  };
  for (const auto& c : cases) {
    SetUp();
    wr16(player1 + pr::frame, 66);
    wr16(player1 + pr::pose_saved, 33);
    wr16(player1 + pr::throw_pose, c.pose_left);
    wr16(player1 + pr::moved, c.moved_before);
    frame(player1, none);
    EXPECT_EQ(rd16(player1 + pr::frame), c.frame_after) << c.what;
    EXPECT_EQ(rd16(player1 + pr::throw_pose), c.pose_after) << c.what;
  }
  // No throw in a facing whose entry is negative: the pose starts all the same.
  SetUp();
  tables.throws[1][0] = -5;
  tables.put_in_ram();
  wr16(player1 + pr::weapon, 18);
  frame(player1, fire_only);
  EXPECT_EQ(rd16(player1 + pr::throw_pose), 4u);
  EXPECT_EQ(rd16(player1 + pr::frame), 41u);
  EXPECT_TRUE(calls_to(grenade).empty());
  // The throw sets the weapon's delay, and its frame skips the count-down.
  SetUp();
  wr16(player1 + pr::weapon, 18);
  wr8(player1 + pr::repeat_delay, 2);
  frame(player1, fire_only);
  EXPECT_EQ(rd8(player1 + pr::fire_delay), 2u);
  frame(player1, fire_only);
  EXPECT_EQ(rd8(player1 + pr::fire_delay), 1u);
}

// --- keys ---------------------------------------------------------------------------

TEST_F(Players, NextWeaponKeyTakesTheNextOwnedWeaponWithWrap) {
  struct {
    u32 from;
    std::set<u32> owned;
    u32 to;
  } cases[] = {
      {0, {0, 3, 7}, 3},
      {3, {0, 3, 7}, 7},
      {7, {0, 3, 7}, 0},
      {18, {2, 18}, 2},
      {16, {16, 18}, 18},
      {5, {5}, 5}, // round the whole table back to itself
  };
  for (const auto& c : cases) {
    SetUp();
    tables.weapon_keys[f1_key] = 0;
    tables.put_in_ram();
    call_trace_watch = current_player;
    for (u32 w = 0; w < 19; ++w) wr8(player1 + pr::owned + w, c.owned.count(w) ? 1 : 0);
    wr16(player1 + pr::weapon, c.from);
    wr16(player1 + pr::ammo_column, 2);
    wr8(last_key, f1_key);
    frame(player1, none);
    EXPECT_EQ(rd16(player1 + pr::weapon), c.to) << c.from;
    EXPECT_EQ(rd16(player1 + pr::ammo_type), 20 + c.to) << c.from;
    EXPECT_EQ(rd16(player1 + pr::ammo_column), 0u) << c.from;
    EXPECT_EQ(rd8(last_key), 0u);
    const auto pictures = calls_to(weapon_picture);
    ASSERT_EQ(pictures.size(), 1u) << c.from;
    EXPECT_EQ(pictures[0].a[4], player1);
    EXPECT_EQ(pictures[0].watched, 0u) << "current_player";
  }
}

TEST_F(Players, KeysBelongToTheirPlayer) {
  struct {
    u8 key;
    u32 record;
    bool taken;
  } cases[] = {
      {f1_key, player1, true},  {f2_key, player1, false}, {f3_key, player1, true}, {f4_key, player1, false},
      {f1_key, player2, false}, {f2_key, player2, true},  {f3_key, player2, false}, {f4_key, player2, true},
      {f1_key | 0x80, player1, false}, // a release
      {0x20, player1, false},          // no function
  };
  for (const auto& c : cases) {
    SetUp();
    tables.weapon_keys[f1_key] = 0;
    tables.weapon_keys[f2_key] = 1;
    tables.weapon_keys[f3_key] = 2;
    tables.weapon_keys[f4_key] = 3;
    tables.put_in_ram();
    in_play(player2);
    wr8(c.record + pr::owned + 4, 1);
    wr8(last_key, c.key);
    frame(c.record, none);
    EXPECT_EQ(rd8(last_key), c.taken ? 0u : c.key) << std::hex << u32{c.key} << " " << c.record;
  }
}

TEST_F(Players, PlayerTwosKeyWaitsForPlayerTwosPass) {
  tables.weapon_keys[f2_key] = 1;
  tables.put_in_ram();
  in_play(player2);
  wr8(player2 + pr::owned + 4, 1);
  wr8(player1 + pr::owned + 4, 1);
  wr8(last_key, f2_key);
  call_trace_watch = current_player;
  ASSERT_EQ(run_mission_routine(players_pass), 1);
  EXPECT_EQ(rd16(player1 + pr::weapon), 0u);
  EXPECT_EQ(rd16(player2 + pr::weapon), 4u);
  EXPECT_EQ(rd8(last_key), 0u);
  const auto pictures = calls_to(weapon_picture);
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(pictures[0].a[4], player2);
  EXPECT_EQ(pictures[0].watched, 1u) << "current_player";
}

TEST_F(Players, NextAmmunitionKey) {
  struct {
    u32 weapon;
    std::array<u8, 4> row;
    u32 column;
    u32 column_after, type_after, count_index_after;
  } cases[] = {
      {2, {30, 31, 32, 0}, 0, 1, 31, 7},
      {2, {30, 31, 32, 0}, 2, 0, 30, 7},   // a zero column: back to the first
      {2, {30, 0, 32, 0}, 0, 0, 30, 7},    // never past a zero column
      {8, {71, 12, 0, 0}, 1, 0, 71, 9},    // weapon 8: the dot counter
      {8, {71, 12, 0, 0}, 0, 1, 12, 1},
      {7, {71, 12, 0, 0}, 1, 0, 71, 7},    // other weapons keep theirs
      {2, {0, 0, 0, 0}, 1, 0, 0, 7},       // an empty row: none (the game searched for ever)
  };
  for (const auto& c : cases) {
    SetUp();
    tables.weapon_keys[f3_key] = 2;
    tables.ammo_types[c.weapon] = c.row;
    tables.put_in_ram();
    wr16(player1 + pr::weapon, c.weapon);
    wr16(player1 + pr::ammo_column, c.column);
    wr16(player1 + player_record::count_index, 7);
    wr8(last_key, f3_key);
    frame(player1, none);
    EXPECT_EQ(rd16(player1 + pr::ammo_column), c.column_after) << c.weapon << " " << c.column;
    EXPECT_EQ(rd16(player1 + pr::ammo_type), c.type_after) << c.weapon << " " << c.column;
    EXPECT_EQ(rd16(player1 + player_record::count_index), c.count_index_after) << c.weapon << " " << c.column;
    EXPECT_EQ(rd8(last_key), 0u);
  }
}

// The game's search looked the same zero up again for ever when it met a
// weapon whose first ammunition is 0: such a weapon is passed over, and a
// search that finds none keeps the weapon it started from.
TEST_F(Players, WeaponSearchPassesOverWeaponsWithoutAmmunition) {
  tables.weapon_keys[f1_key] = 0;
  tables.ammo_types[2] = {0, 40, 0, 0};
  tables.put_in_ram();
  for (u32 w : {2u, 3u}) wr8(player1 + pr::owned + w, 1);
  wr8(last_key, f1_key);
  frame(player1, none);
  EXPECT_EQ(rd16(player1 + pr::weapon), 3u);
  EXPECT_EQ(rd16(player1 + pr::ammo_type), 23u);

  SetUp();
  tables.weapon_keys[f1_key] = 0;
  for (auto& row : tables.ammo_types) row = {0, 0, 0, 0};
  tables.put_in_ram();
  wr8(player1 + pr::owned, 0);
  wr8(player1 + pr::owned + 5, 1);
  wr16(player1 + pr::weapon, 5);
  wr16(player1 + pr::ammo_type, 44);
  wr8(last_key, f1_key);
  g_cpu.a[4] = player1;
  wr16(current_player, 0);
  driver_start(update);
  driver_run(1);
  ASSERT_TRUE(driver_finished()) << "the search ends";
  EXPECT_EQ(driver_slice_ends(), std::vector<slice_end>{returned});
  EXPECT_EQ(rd16(player1 + pr::weapon), 5u);
  EXPECT_EQ(rd16(player1 + pr::ammo_type), 44u);
  EXPECT_EQ(rd8(last_key), 0u);
  EXPECT_TRUE(calls_to(weapon_picture).empty());
}

// --- aim and walk -------------------------------------------------------------------

TEST_F(Players, TheHostsAimOverridesTheFacing) {
  g_host_aim = test_aim;
  struct {
    const char* what;
    stick s;
    u32 blocked;
    u32 game_bits; // what the host is asked with
  } cases[] = {
      {"against the steered direction", {.right = true}, 0, 8},
      {"against a blocked way", {.right = true}, block_right, 0},
      {"without a direction", none, 0, 0},
  };
  for (const auto& c : cases) {
    SetUp();
    g_host_aim = test_aim;
    aim_for_player1 = 6;
    set_ways(player1, c.blocked);
    frame(player1, c.s);
    EXPECT_EQ(rd8(player1 + pr::facing), 6u) << c.what;
    EXPECT_EQ(rd8(player1 + pr::facing_before), 1u) << c.what;
    EXPECT_EQ(rd16(player1 + pr::frame), 61u) << c.what << ": list 5, first entry";
    ASSERT_EQ(aim_calls.size(), 1u) << c.what;
    EXPECT_EQ(aim_calls[0], std::make_pair(player1, c.game_bits)) << c.what;
  }
  // Only the low four bits of the answer count.
  SetUp();
  g_host_aim = test_aim;
  aim_for_player1 = 0x12;
  frame(player1, none);
  EXPECT_EQ(rd8(player1 + pr::facing), 2u);
  // No handler: the game's own direction.
  SetUp();
  frame(player1, {.left = true});
  EXPECT_EQ(rd8(player1 + pr::facing), 4u);
}

TEST_F(Players, WalkFramesEverySecondFrameWithAPauseAtTheListsEnd) {
  // Facing 8 walks list 7: frames 69-72.
  std::vector<u32> shown;
  for (int f = 0; f < 12; ++f) {
    frame(player1, {.right = true});
    shown.push_back(rd16(player1 + pr::frame));
  }
  EXPECT_EQ(shown, (std::vector<u32>{69, 69, 70, 70, 71, 71, 72, 72, 72, 69, 69, 70}));
  // Player 2: the same entries 40 lower.
  SetUp();
  in_play(player2);
  shown.clear();
  for (int f = 0; f < 4; ++f) {
    frame(player2, {.right = true});
    shown.push_back(rd16(player2 + pr::frame));
  }
  EXPECT_EQ(shown, (std::vector<u32>{29, 29, 30, 30}));
}

TEST_F(Players, ATurnRestartsTheListAndAStandingPlayerKeepsItsFrame) {
  for (int f = 0; f < 3; ++f) frame(player1, {.right = true}); // 69, 69, 70
  frame(player1, {.up = true});                                    // a turn
  EXPECT_EQ(rd16(player1 + pr::frame), 41u) << "the first entry at once";
  EXPECT_EQ(rd32(player1 + pr::walk_first), walk_frame_lists);
  EXPECT_EQ(rd32(player1 + pr::walk_entry), walk_frame_lists + 2);
  EXPECT_EQ(rd32(player1 + pr::walk_end), walk_frame_lists + 8);
  EXPECT_EQ(rd16(player1 + pr::walk_step), 2u);
  // Holding fire, turning right: shown every second frame, never advanced.
  std::vector<u32> shown;
  for (int f = 0; f < 5; ++f) {
    frame(player1, f == 0 ? fire_only : stick{.right = true, .fire = true});
    shown.push_back(rd16(player1 + pr::frame));
  }
  EXPECT_EQ(shown, (std::vector<u32>{41, 69, 69, 69, 69}));
  EXPECT_EQ(rd32(player1 + pr::walk_entry), walk_frame_lists + 7 * 8);
  // No direction at all: facing and frame stay, the delay too.
  const u32 delay = rd16(player1 + pr::walk_delay);
  frame(player1, none);
  EXPECT_EQ(rd8(player1 + pr::facing), 8u);
  EXPECT_EQ(rd16(player1 + pr::frame), 69u);
  EXPECT_EQ(rd16(player1 + pr::walk_delay), delay);
}

TEST_F(Players, SteeringEndsAThrowPoseWithoutItsFrame) {
  wr16(player1 + pr::throw_pose, 3);
  wr16(player1 + pr::pose_saved, 33);
  wr16(player1 + pr::frame, 66);
  std::vector<u32> shown;
  for (int f = 0; f < 6; ++f) {
    frame(player1, f == 0 ? stick{.right = true} : none);
    shown.push_back(rd16(player1 + pr::frame));
  }
  EXPECT_EQ(rd16(player1 + pr::throw_pose), 0u);
  EXPECT_EQ(shown, std::vector<u32>(6, 69)) << "the saved frame never comes back";
}

TEST_F(Players, TheAimStepAlone) {
  // Facing 3 (up and down) and 12 (left and right) have lists of their own.
  struct {
    u32 bits, frame;
  } cases[] = {{3, 49}, {12, 53}, {15, 65}};
  for (const auto& c : cases) {
    SetUp();
    wr16(steer_flag, 0xFF00);
    wr8(player1 + pr::right_pressed, c.bits & 8 ? 0xFF : 0);
    wr8(player1 + pr::left_pressed, c.bits & 4 ? 0xFF : 0);
    wr8(player1 + pr::up_pressed, c.bits & 1 ? 0xFF : 0);
    wr8(player1 + pr::down_pressed, c.bits & 2 ? 0xFF : 0);
    g_cpu.a[4] = player1;
    ASSERT_EQ(run_mission_routine(aim_step), 1);
    EXPECT_EQ(rd8(player1 + pr::facing), c.bits);
    EXPECT_EQ(rd16(player1 + pr::frame), c.frame) << c.bits;
  }
}

// --- the players' pass ---------------------------------------------------------------

std::vector<std::pair<u32, u32>> hook_players; // a4, current_player at the hold hook
void note_hold_hook(u32 address) {
  hook_noted(address);
  hook_players.emplace_back(a4, rd16(current_player));
}

TEST_F(Players, ThePassCopiesTheMapRowsStoresThePositionsAndUpdatesOneThenTwo) {
  in_play(player2);
  wr16(player2 + pr::x, 90);
  wr16(player2 + pr::y, 140);
  for (u32 i = 0; i < 0x50; ++i) wr8(collision_map + i, 0x40 + i);
  for (u32 i = 0; i < 0x50; ++i) wr8(collision_copy + i, 0xEE);
  hook_players.clear();
  hook_register(hold_hook, note_hold_hook);
  set_stick(player1, {.right = true});
  set_stick(player2, {.up = true});
  ASSERT_EQ(run_mission_routine(players_pass), 1);
  for (u32 i = 0; i < 72; ++i) EXPECT_EQ(rd8(collision_copy + i), 0x40 + i) << i;
  for (u32 i = 72; i < 0x50; ++i) EXPECT_EQ(rd8(collision_copy + i), 0xEEu) << "72 bytes only";
  EXPECT_EQ(rd16(player_positions), start_x) << "before the moves";
  EXPECT_EQ(rd16(player_positions + 2), 90u);
  EXPECT_EQ(rd16(player_positions + 4), start_y);
  EXPECT_EQ(rd16(player_positions + 6), 140u);
  EXPECT_EQ(rd16(player1 + pr::x), start_x + 3);
  EXPECT_EQ(rd16(player2 + pr::y), 137u);
  EXPECT_EQ(hook_players, (std::vector<std::pair<u32, u32>>{{player1, 0}, {player2, 1}}));
  EXPECT_EQ(g_cpu.a[4], player2);
  EXPECT_EQ(rd16(current_player), 1u);
  EXPECT_EQ(g_cpu.a[1], collision_map + 72) << "the copy's source end (a0, its destination, the updates use)";
  EXPECT_EQ(calls_returning_within(players_pass, players_pass_last),
            (std::vector<std::pair<u32, u32>>{{pass_opening, 0x9234}, {update, 0x9278}, {update, 0x928E}}));
}

TEST_F(Players, AOnePlayerGamesSecondPassOnlyClampsItsLine) {
  wr16(player2 + pr::y, 190);
  wr8(player2 + pr::fire, 0xFF);
  wr8(player2 + pr::right, 0xFF);
  g_host_aim = test_aim;
  ASSERT_EQ(run_mission_routine(players_pass), 1);
  EXPECT_EQ(rd16(player2 + pr::y), 168u);
  EXPECT_EQ(rd16(player2 + pr::x), 0u);
  EXPECT_EQ(aim_calls.size(), 1u) << "player 1's only";
}

// --- resumption -------------------------------------------------------------------------

// Two walking players, one at its list's end, one shooting, one searching a
// weapon round the whole table: every loop head of the pass is met.
void busy_pass() {
  player_tables t;
  t.weapon_keys[f2_key] = 1;
  t.put_in_ram();
  in_play(player1);
  in_play(player2);
  set_stick(player1, {.right = true, .fire = true});
  set_stick(player2, {.left = true});
  wr8(player1 + pr::facing, 8);
  wr32(player1 + pr::walk_first, walk_frame_lists + 56);
  wr32(player1 + pr::walk_entry, walk_frame_lists + 64);
  wr32(player1 + pr::walk_end, walk_frame_lists + 64);
  wr8(player2 + pr::owned, 0);
  wr8(player2 + pr::owned + 9, 1);
  wr16(player2 + pr::weapon, 9);
  wr8(last_key, f2_key);
}

TEST_F(Players, ThePassResumesAtEveryLabel) {
  busy_pass();
  EXPECT_TRUE(resumes_alike({.entry = players_pass}));
  busy_pass();
  ASSERT_EQ(run_mission_routine(players_pass), 1);
  EXPECT_EQ(rd16(player2 + pr::weapon), 9u) << "round the table to itself";
  EXPECT_EQ(rd32(player1 + pr::walk_entry), walk_frame_lists + 56) << "the list started again";
  EXPECT_EQ(rd16(player1 + pr::frame), 41u) << "in a frame without a new picture";
}

void prepare_busy_pass() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
  busy_pass();
}

TEST(PlayersResumption, ThePassResumesFromAStateSavedAtAnyBudgetStop) {
  for (int save_at : {1, 2, 10, 19, 21, 22}) {
    const resumption_result r = check_resumption(prepare_busy_pass, players_pass, 0, save_at);
    EXPECT_GE(r.yields, 22) << "the entries, the search and the list wrap";
    EXPECT_TRUE(r.sliced_same) << r.first_difference;
    EXPECT_TRUE(r.resumed_same) << "saved at yield " << save_at << " ($" << std::hex << r.saved_pc
                                << "): " << r.first_difference;
  }
  machine_clear();
}

} // namespace
