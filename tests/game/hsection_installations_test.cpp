// The horizontal sections' installations: placed by the event stream
// ($4C2E), run once a frame through their pattern lists ($4C74 and its
// continuations), wrecked by heavy projectiles ($4A52). The bullet,
// debris and explosion spawners fill their tables.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/shot_ram.h"
#include "support/machine/dispatch_check.h"
#include "support/tables/dot_effect_tables.h"
#include "support/tables/hsection_tables.h"
#include "support/machine/mission_machine.h"
#include "support/machine/resumption_check.h"
#include "support/machine/screen_bytes.h"
#include "support/synthetic/st_planes.h"

namespace {

constexpr u32 place = 0x004C2E;
constexpr u32 update = 0x004C74;
constexpr u32 hits = 0x004A52;
constexpr u32 debris_spawner = 0x0063A4;
constexpr u32 explode = 0x006CA8;

u32 inst(u32 i) { return section_installation_table.address + i * section_installation_table.size; }
u32 dot(u32 i) { return dot_bullet_table.address + i * dot_bullet_table.size; }
u32 fx(u32 i) { return effect_table.address + i * effect_table.size; }
u32 proj(u32 i) { return projectile_table.address + i * projectile_table.size; }
u32 boom(u32 i) { return explosion_table.address + i * explosion_table.size; }
u32 bul(u32 i) { return bullet_table.address + i * bullet_table.size; }

void put_inst(u32 i, u32 type, u32 x, u32 y, u32 delay = 0, u32 step = 0) {
  wr16(inst(i), 0xFF00);
  wr16(inst(i) + 2, x);
  wr16(inst(i) + 4, y);
  wr16(inst(i) + 6, type);
  wr16(inst(i) + 8, delay);
  wr16(inst(i) + 0x0A, step);
}

u32 w(u32 v) { return v & 0xFFFF; }

// The shots of a run, whichever spawner made them: (x, y, dx, dy).
struct shot {
  u32 x, y, dx, dy;
  bool operator==(const shot&) const = default;
};
std::vector<shot> dot_shots() {
  std::vector<shot> s;
  for (u32 i = 0; i < dot_bullet_table.records; ++i)
    if (rd16(dot(i) + 4)) s.push_back({rd16(dot(i)), rd16(dot(i) + 2), rd16(dot(i) + 0x0A), rd16(dot(i) + 0x0C)});
  return s;
}
std::vector<shot> effect_shots() {
  std::vector<shot> s;
  for (u32 i = 0; i < effect_table.records; ++i)
    if (rd16(fx(i) + 8)) s.push_back({rd16(fx(i)), rd16(fx(i) + 2), rd16(fx(i) + 4), rd16(fx(i) + 6)});
  return s;
}
// The bullet spawner starts a shot part of a step ahead by the frame
// counter's low bits; these tests run at frame 0, where it starts in place.
std::vector<shot> bullet_shots() {
  std::vector<shot> s;
  for (u32 i = 0; i < bullet_table.records; ++i)
    if (rd16(bul(i) + bullet::live))
      s.push_back({rd16(bul(i) + bullet::x), rd16(bul(i) + bullet::y), rd16(bul(i) + bullet::dx), rd16(bul(i) + bullet::dy)});
  return s;
}
std::vector<shot> shots_of(u32 type) {
  if (type == 234 || type == 237) return dot_shots();
  if (type == 238) return effect_shots();
  return bullet_shots();
}

class HorizontalInstallations : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    tables = hsection_tables{};
  }
  void run(u32 entry) { ASSERT_EQ(run_mission_routine(entry), 1) << "one slice, no wait"; }
  hsection_tables tables;
};

TEST_F(HorizontalInstallations, NamedAddressesAreInTheDispatchTable) {
  expect_named_rows({
      {place, routine_entry, "sub_004C2E"},    {0x004C3A, resume_label, "sub_004C2E"},
      {update, routine_entry, "sub_004C74"},   {0x004C7A, routine_entry, "sub_004C7A"},
      {0x004CAC, resume_label, "sub_004C7A"},  {0x004D12, resume_label, "sub_004C7A"},
      {0x004D76, resume_label, "sub_004C7A"},  {0x004E46, resume_label, "sub_004C7A"},
      {0x004CEC, resume_label, "sub_004C7A"},  {0x004D56, resume_label, "sub_004C7A"},
      {0x004DBA, resume_label, "sub_004C7A"},  {0x004E8A, resume_label, "sub_004C7A"},
      {0x004DE0, routine_entry, "sub_004DE0"}, {0x004E20, routine_entry, "sub_004E20"},
      {0x004E9A, routine_entry, "sub_004E9A"}, {hits, routine_entry, "sub_004A52"},
      {0x004A5A, resume_label, "sub_004A52"},  {0x004A7C, resume_label, "sub_004A52"},
      {0x004B0C, resume_label, "sub_004A52"},  {0x004B1A, resume_label, "sub_004A52"},
      {0x004B2A, resume_label, "sub_004A52"},  {0x004B3A, resume_label, "sub_004A52"},
      {0x004B4C, resume_label, "sub_004A52"},  {0x004B5C, resume_label, "sub_004A52"},
      {0x004B6A, resume_label, "sub_004A52"},  {0x004B78, resume_label, "sub_004A52"},
      {0x004F32, routine_entry, "sub_004F32"}, {0x004F38, resume_label, "sub_004F32"},
      {0x004F8E, resume_label, "sub_004F32"},  {0x004F9C, routine_entry, "sub_004F9C"},
      {0x00500C, resume_label, "sub_004F9C"},  {0x005086, resume_label, "sub_004F9C"},
      {0x0050FE, resume_label, "sub_004F9C"},  {0x005160, resume_label, "sub_004F9C"},
      {0x005200, resume_label, "sub_004F9C"},  {0x00529E, resume_label, "sub_004F9C"},
  });
}

// --- placing ---------------------------------------------------------------------------

TEST_F(HorizontalInstallations, PlacingTakesTheFirstFreeRecordAndKeepsEveryRegister) {
  put_inst(0, 236, 1, 1);
  put_inst(2, 236, 1, 1);
  wr16(inst(1) + 2, 0x7700); // stale high bytes
  wr16(inst(1) + 4, 0x8800);
  wr16(inst(1) + 8, 9);
  wr16(inst(1) + 0x0A, 4);
  wr8(0x3000, 200);
  wr8(0x3001, 168);
  const u32 regs[15] = {235, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x3000, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6};
  for (int r = 0; r < 8; ++r) g_cpu.d[r] = regs[r];
  for (int r = 0; r < 7; ++r) g_cpu.a[r] = regs[8 + r];
  run(place);
  EXPECT_EQ(rd16(inst(1)), 0xFF00u);
  EXPECT_EQ(rd16(inst(1) + 2), 200u);
  EXPECT_EQ(rd16(inst(1) + 4), 168u);
  EXPECT_EQ(rd16(inst(1) + 6), 235u);
  EXPECT_EQ(rd16(inst(1) + 8), 0u);
  EXPECT_EQ(rd16(inst(1) + 0x0A), 0u);
  EXPECT_EQ(rd16(inst(3)), 0u);
  EXPECT_EQ(rd32(event_pointer), 0x3002u);
  for (int r = 0; r < 8; ++r) EXPECT_EQ(g_cpu.d[r], regs[r]) << "d" << r;
  for (int r = 0; r < 7; ++r) EXPECT_EQ(g_cpu.a[r], regs[8 + r]) << "a" << r;

  // A full table: the event is dropped, the stream still goes past it.
  for (u32 i = 0; i < section_installation_table.records; ++i) put_inst(i, 236, 1, 1);
  run(place);
  for (u32 i = 0; i < section_installation_table.records; ++i) EXPECT_EQ(rd16(inst(i) + 2), 1u) << i;
  EXPECT_EQ(rd16(homing_unit_table.address), 0u) << "nothing past the table";
  EXPECT_EQ(rd32(event_pointer), 0x3002u);
}

// Through the event stream: with the installations' table full, the next
// event (an object) is still read from the right bytes.
TEST_F(HorizontalInstallations, AFullTableDropsTheEventAndTheStreamStaysInStep) {
  for (u32 i = 0; i < section_installation_table.records; ++i) put_inst(i, 236, 1, 1);
  const std::vector<u8> events = {9, 234, 200, 40, 9, 243, 120, 150, 9, 235, 7, 8, 0xFF};
  for (u32 i = 0; i < events.size(); ++i) wr8(0x3000 + i, events[i]);
  wr32(event_pointer, 0x3000);
  wr8(event_clock, 9);
  run(0x00AFA2);
  EXPECT_EQ(rd16(section_object_table.address + 6), 243u);
  EXPECT_EQ(rd16(section_object_table.address + 2), 120u);
  EXPECT_EQ(rd16(section_object_table.address + 4), 150u);
  EXPECT_EQ(rd32(event_pointer), 0x3000u + 12) << "at the end byte";
}

// --- the frame --------------------------------------------------------------------------

TEST_F(HorizontalInstallations, RecordsOutsideX22To265AreFreed) {
  struct {
    u32 x;
    bool kept;
  } cases[] = {{21, false}, {22, true}, {255, true}, {265, true}, {266, false}, {0, false}};
  for (const auto& c : cases) {
    SetUp();
    put_inst(5, 239, c.x, 40); // the last record, a wreck: it only scrolls
    run(update);
    EXPECT_EQ(rd16(inst(5)) != 0, c.kept) << "x " << c.x;
  }
}

TEST_F(HorizontalInstallations, EachTypeFiresItsShotFromItsList) {
  for (u32 type = 234; type <= 238; ++type) {
    SetUp();
    ASSERT_TRUE(tables.pattern(type, {{5, -3, 2, -4, 7}}));
    tables.put_in_ram();
    put_inst(1, type, 100, 60);
    run(update);
    const std::string what = "type " + std::to_string(type);
    const std::vector<shot> s = shots_of(type);
    if (type == 235 || type == 236) {
      EXPECT_EQ(rd16(bul(0) + bullet::life), 300u) << what;
      EXPECT_EQ(rd16(bul(0) + bullet::owner), 0xFFFFu) << what;
    }
    ASSERT_EQ(s.size(), 1u) << what;
    EXPECT_EQ(s[0], (shot{100 + 5 + 36, 60 - 3 + 100, 2, 0xFFFC})) << what;
    if (type == 234 || type == 237) {
      EXPECT_EQ(rd16(dot(0) + 6), 15u) << what << ": range";
      EXPECT_EQ(rd16(dot(0) + 8), 0xFFFFu) << what << ": owner";
    }
    if (type == 238) {
      EXPECT_EQ(rd16(fx(0) + 0x0C), 30u) << what << ": life";
      EXPECT_EQ(rd16(fx(0) + 0x0A), 0xFFFFu) << what << ": owner";
    }
    EXPECT_EQ(rd16(inst(1) + 8), 7u) << what << ": the entry's delay";
    EXPECT_EQ(rd16(inst(1) + 0x0A), 1u) << what << ": the next step";
  }
}

TEST_F(HorizontalInstallations, ADelayIsCountedDownWithoutAShot) {
  tables.put_in_ram();
  put_inst(0, 234, 100, 60, 3, 0);
  run(update);
  EXPECT_EQ(rd16(inst(0) + 8), 2u);
  EXPECT_TRUE(dot_shots().empty());
  put_inst(0, 239, 100, 60, 0, 0); // a wreck fires nothing
  run(update);
  EXPECT_TRUE(dot_shots().empty());
}

TEST_F(HorizontalInstallations, DelayZeroEntriesFireABurstInOneFrameExceptForType235) {
  for (u32 type = 234; type <= 238; ++type) {
    SetUp();
    ASSERT_TRUE(tables.pattern(type, {{0, 0, 1, 1, 0}, {10, 0, 1, 1, 0}, {20, 0, 1, 1, 4}, {30, 0, 1, 1, 0}}));
    tables.put_in_ram();
    put_inst(0, type, 100, 60);
    run(update);
    const std::string what = "type " + std::to_string(type);
    const std::vector<shot> s = shots_of(type);
    const u32 want = type == 235 ? 1 : 3;
    ASSERT_EQ(s.size(), want) << what;
    for (u32 i = 0; i < want; ++i) EXPECT_EQ(s[i].x, 136 + 10 * i) << what;
    EXPECT_EQ(rd16(inst(0) + 0x0A), want) << what;
    EXPECT_EQ(rd16(inst(0) + 8), type == 235 ? 0u : 4u) << what;
  }
}

TEST_F(HorizontalInstallations, TheEndMarkRunsEntryZeroInTheSameFrame) {
  for (u32 type = 234; type <= 238; ++type) {
    SetUp();
    ASSERT_TRUE(tables.pattern(type, {{0, 0, 1, 1, 5}, {10, 0, 1, 1, 5}}));
    tables.put_in_ram();
    put_inst(0, type, 100, 60, 0, 2);
    run(update);
    const std::string what = "type " + std::to_string(type);
    EXPECT_EQ(rd16(inst(0) + 0x0A), 1u) << what;
    ASSERT_EQ(shots_of(type).size(), 1u) << what;
    EXPECT_EQ(shots_of(type)[0].x, 136u) << what << ": entry 0";
  }
}

// The builder's pattern lists must fit before the next list with their end
// mark ($576A - $5704 = 102 bytes: ten entries) and hold a delay.
TEST_F(HorizontalInstallations, TheBuilderRefusesListsTheGameCouldNotHold) {
  const std::vector<pattern_entry> ten(10, pattern_entry{1, 1, 1, 1, 1});
  std::vector<pattern_entry> eleven = ten;
  eleven.push_back({1, 1, 1, 1, 1});
  EXPECT_TRUE(tables.pattern(234, ten));
  EXPECT_FALSE(tables.pattern(234, eleven));
  EXPECT_FALSE(tables.pattern(238, {{-1, 0, 0, 0, 3}})) << "a first word that reads as the end mark";
  EXPECT_FALSE(tables.pattern(239, {{0, 0, 0, 0, 3}})) << "no list of its own";
  tables.unchecked = true;
  EXPECT_TRUE(tables.pattern(234, eleven));
}

// A list without a non-zero delay: each entry fires once a frame, the
// turn ending where it began, and the list goes on in the next frame.
TEST_F(HorizontalInstallations, AListWithoutADelayFiresEachEntryOnceAFrame) {
  EXPECT_FALSE(tables.pattern(237, {{0, 0, 1, 1, 0}, {10, 0, 1, 1, 0}}));
  EXPECT_NE(tables.error, "");
  tables.unchecked = true;
  for (u32 type : {234u, 236u, 237u, 238u}) {
    SetUp();
    tables.unchecked = true;
    ASSERT_TRUE(tables.pattern(type, {{0, 0, 1, 1, 0}, {10, 0, 1, 1, 0}, {20, 0, 1, 1, 0}}));
    tables.put_in_ram();
    put_inst(0, type, 100, 60, 0, 1);
    const std::string what = "type " + std::to_string(type);
    ASSERT_EQ(run_mission_routine(update), 1) << what << ": the frame ends";
    std::vector<shot> s = shots_of(type);
    ASSERT_EQ(s.size(), 3u) << what;
    EXPECT_EQ(s[0].x, 146u) << what << ": from step 1";
    EXPECT_EQ(s[1].x, 156u) << what;
    EXPECT_EQ(s[2].x, 136u) << what << ": entry 0 after the end mark";
    EXPECT_EQ(rd16(inst(0) + 0x0A), 1u) << what << ": back at the turn's start";
    EXPECT_EQ(rd16(inst(0) + 8), 0u) << what;
  }
  // Only the end mark: nothing fires, the frame still ends.
  SetUp();
  tables.unchecked = true;
  ASSERT_TRUE(tables.pattern(238, {}));
  tables.put_in_ram();
  put_inst(0, 238, 100, 60);
  ASSERT_EQ(run_mission_routine(update), 1);
  EXPECT_TRUE(effect_shots().empty());
}

// --- projectile hits ---------------------------------------------------------------------

void put_projectile(u32 i, u32 type, u32 x, u32 y, u32 owner) {
  wr16(proj(i), 0xFFFF);
  wr16(proj(i) + 2, x);
  wr16(proj(i) + 4, y);
  wr16(proj(i) + 6, type);
  wr16(proj(i) + 0x0E, owner);
}

TEST_F(HorizontalInstallations, HeavyProjectilesWreckAnInstallationInTheirBox) {
  struct {
    u32 type;
    i32 ox, oy;
    bool hit;
  } cases[] = {{16, 0, 0, true},   {23, 32, 27, true}, {15, 0, 0, false}, {24, 0, 0, false},
               {20, 33, 0, false}, {20, 0, 28, false}, {20, -1, 0, false}, {20, 0, -1, false}};
  for (const auto& c : cases) {
    SetUp();
    put_inst(2, 236, 120, 50);
    put_projectile(7, c.type, static_cast<u32>(120 + 32 + c.ox), static_cast<u32>(50 + 96 + c.oy), 0);
    run(hits);
    const std::string what = "type " + std::to_string(c.type) + " offset " + std::to_string(c.ox) + "," + std::to_string(c.oy);
    EXPECT_EQ(rd16(inst(2) + 6), c.hit ? 239u : 236u) << what;
    EXPECT_EQ(rd16(proj(7)), c.hit ? 0u : 0xFFFFu) << what;
    EXPECT_EQ(rd32(player1 + player_record::score), c.hit ? 1000u : 0u) << what;
  }
}

TEST_F(HorizontalInstallations, OneInstallationAProjectileWrecksSkippedPointsToTheOwner) {
  put_inst(0, 239, 120, 50); // a wreck in the box
  put_inst(1, 234, 120, 50);
  put_inst(2, 234, 120, 50);
  wr16(inst(3), 0);
  wr16(inst(3) + 6, 234);
  put_projectile(19, 18, 152, 146, 1); // the last record, player 2's
  wr32(player1 + player_record::score, 500);
  run(hits);
  EXPECT_EQ(rd16(inst(1) + 6), 239u);
  EXPECT_EQ(rd16(inst(2) + 6), 234u) << "one installation a projectile";
  EXPECT_EQ(rd32(player1 + player_record::score), 500u);
  EXPECT_EQ(rd32(player2 + player_record::score), 1000u);
}

TEST_F(HorizontalInstallations, TheWrecksDebrisAndExplosionsByBit4OfTheVblCounter) {
  struct piece {
    u32 address, x, y, d2;
  };
  const u32 x = 120, y = 50;
  const std::vector<piece> clear = {{debris_spawner, x + 35, y + 86, 0},
                                    {debris_spawner, x + 51, y + 102, 0},
                                    {explode, x + 67, y + 97, 0xFFFF},
                                    {explode, x + 35, y + 113, 0xFFFF}};
  const std::vector<piece> set = {{explode, x + 32, y + 94, 0xFFFF},
                                  {explode, x + 64, y + 110, 0xFFFF},
                                  {debris_spawner, x + 48, y + 85, 0},
                                  {debris_spawner, x + 32, y + 101, 0}};
  for (u32 counter : {0x00u, 0x10u, 0xEFu, 0x1Fu}) {
    SetUp();
    wr8(0x001DC7, counter);
    put_inst(0, 235, x, y);
    put_projectile(0, 16, x + 40, y + 100, 0);
    run(hits);
    const std::vector<piece>& want = counter & 0x10 ? set : clear;
    // the explosions in the table, in their order
    u32 e = 0;
    for (const piece& p : want)
      if (p.address == explode) {
        EXPECT_EQ(rd16(boom(e) + 4), 0xFFFFu) << counter;
        EXPECT_EQ(rd16(boom(e)), (p.x + 7) & 0xFFF0) << counter;
        EXPECT_EQ(rd16(boom(e) + 2), p.y) << counter;
        EXPECT_EQ(rd16(boom(e) + 0x0A), 0xFFFFu) << counter;
        ++e;
      }
    // the debris in its table, in its order, starting at once
    u32 k = 0;
    for (const piece& p : want)
      if (p.address == debris_spawner) {
        const u32 at = debris_table.address + k++ * debris_table.size;
        EXPECT_EQ(rd16(at), 0xFFFFu) << counter;
        EXPECT_EQ(rd16(at + 2), p.x) << counter;
        EXPECT_EQ(rd16(at + 4), p.y) << counter;
        EXPECT_EQ(rd16(at + 0x0A), 0u) << counter << ": start delay";
      }
    EXPECT_EQ(rd16(debris_table.address + 2 * debris_table.size), 0u) << counter;

    // The order of the four, with both spawners noting their calls instead.
    SetUp();
    wr8(0x001DC7, counter);
    put_inst(0, 235, x, y);
    put_projectile(0, 16, x + 40, y + 100, 0);
    stub_records_over(debris_spawner, nullptr);
    stub_records_over(explode, nullptr);
    run(hits);
    std::vector<piece> got;
    for (const stub_call& c : stub_calls())
      if (c.address == debris_spawner || c.address == explode) got.push_back({c.address, w(c.d0), w(c.d1), w(c.d2)});
    ASSERT_EQ(got.size(), 4u) << counter;
    for (u32 i = 0; i < 4; ++i) {
      EXPECT_EQ(got[i].address, want[i].address) << counter << " piece " << i;
      EXPECT_EQ(got[i].x, want[i].x) << counter << " piece " << i;
      EXPECT_EQ(got[i].y, want[i].y) << counter << " piece " << i;
      EXPECT_EQ(got[i].d2, want[i].d2) << counter << " piece " << i << ": delay or owner";
    }
  }
}

// --- drawing --------------------------------------------------------------------------

constexpr u32 draw = 0x004F32;
// The screen and what follows it: the spare bytes and the start of the
// horizontal band at $28000.
constexpr u32 watched_bytes = 0x28000 + 4 * 160 - mission_draw_screen;

std::vector<u8> read_watched(u32 screen) { return read_bytes(screen, watched_bytes); }
void fill_watched(u32 screen) { fill_pattern(screen, watched_bytes, 11, 8); }

// Frame f at (x, y), unclipped, then cut to pixels 64-255 (columns 4-15)
// and lines 0-199.
std::vector<u8> with_installation(std::vector<u8> v, u32 f, u32 x, u32 y) {
  return with_play_field_stamp(std::move(v), 32, x, y, [f](u32 l, u32 j) { return installation_frame_pixel(f, l, j); });
}

TEST_F(HorizontalInstallations, DrawingClipsByColumnsAndAtTheScreensLastLine) {
  struct {
    u32 x, y;
  } cases[] = {{224, 20}, {225, 21}, {239, 22}, {240, 23}, {255, 24}, {256, 25}, {265, 26}, {64, 27},
               {63, 28},  {48, 29},  {47, 30},  {32, 31},  {31, 32},  {100, 33}, {104, 34}, {117, 35},
               {128, 0},  {90, 168}, {91, 169}, {92, 199}, {93, 200}, {94, 255}, {60, 180}, {230, 190},
               {97, 40},  {177, 45}}; // shift 1 wholly inside
  for (u32 screen : {mission_draw_screen, screen_buffer_a}) {
    for (const auto& c : cases) {
      SetUp();
      put_installation_frames();
      wr32(draw_screen, screen);
      fill_watched(screen);
      const u32 type = 234 + (c.x + c.y) % 6; // 239, the wreck, draws frame 5
      put_inst(4, type, c.x, c.y);
      const std::vector<u8> want =
          c.y < 200 ? with_installation(read_watched(screen), type - 234, c.x, c.y) : read_watched(screen);
      run(draw);
      EXPECT_EQ(first_difference(read_watched(screen), want), "")
          << "x " << c.x << " y " << c.y << " type " << type << " screen " << std::hex << screen;
    }
  }
}

// --- resumption ---------------------------------------------------------------------------

void prepare_busy_frame() {
  machine_clear();
  mission_machine_reset();
  hsection_tables t;
  t.unchecked = true;
  for (u32 type = 234; type <= 238; ++type)
    t.pattern(type, {{0, 0, 1, 1, 0}, {4, 2, 1, 1, 0}, {8, 4, 1, 1, static_cast<u16>(type == 236 ? 0 : 3)}});
  t.put_in_ram();
  put_installation_frames();
  for (u32 i = 0; i < 6; ++i) put_inst(i, 234 + i % 5, 40 + 30 * i + i % 3, 20 + 10 * i);
  for (u32 i = 0; i < 20; ++i) put_projectile(i, 16 + i % 10, 100 + 9 * i, 150 + 3 * i, i % 2);
}

TEST(HorizontalInstallationsResumption, UpdateAndHitsResumeFromASavedState) {
  for (u32 entry : {update, hits, draw}) {
    for (int save_at : {1, 5, 12}) {
      const resumption_result r = check_resumption(prepare_busy_frame, entry, 3, save_at);
      EXPECT_GT(r.yields, 12) << std::hex << entry;
      EXPECT_TRUE(r.sliced_same) << r.first_difference;
      EXPECT_TRUE(r.resumed_same) << std::hex << entry << " saved at " << std::dec << save_at << ": "
                                  << r.first_difference;
    }
  }
  machine_clear();
}

} // namespace
