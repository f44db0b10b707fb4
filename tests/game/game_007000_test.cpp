// Page $7000, the machine services: random numbers, memory and screen
// helpers, the border picture, the palette load, the delays and the pause,
// the music calls, MFP Timer A and the keyboard processor.
#include <gtest/gtest.h>

#include <vector>

#include "game/game_ram.h"
#include "game/ym_driver.h"
#include "game_harness.h"
#include "machine/hooks.h"
#include "machine/io_devices.h"
#include "support/machine/dispatch_check.h"

namespace {

class MachineServices : public GameTest {};

constexpr u32 fire1 = 0x2EC;
constexpr u32 fire2 = 0x388;

TEST(Page7000, NamedAddressesAreInTheDispatchTable) {
  expect_named_rows({
      {0x007134, routine_entry, "sub_007134"},   {0x0071A6, routine_entry, "sub_0071A6"},
      {0x0074F0, routine_entry, "sub_0074F0"},   {0x0074F4, routine_entry, "sub_0074F4"},
      {0x00750C, routine_entry, "sub_00750C"},   {0x00751A, routine_entry, "sub_00751A"},
      {0x007558, routine_entry, "sub_007558"},   {0x007564, routine_entry, "sub_007564"},
      {0x007576, routine_entry, "sub_007576"},   {0x00759C, routine_entry, "sub_00759C"},
      {0x0075A4, routine_entry, "sub_0075A4"},   {0x0075AE, routine_entry, "delay_loop"},
      {0x0075C4, routine_entry, "sub_0075C4"},   {0x0075E2, routine_entry, "sub_0075E2"},
      {0x007626, routine_entry, "sub_007626"},   {0x0077F6, routine_entry, "sub_0077F6"},
      {0x007818, routine_entry, "sub_007818"},   {0x00782C, routine_entry, "sub_00782C"},
      {0x007866, routine_entry, "sub_007866"},   {0x007896, routine_entry, "timer_c_isr"},
      {0x0078A8, routine_entry, "vbl_isr"},      {0x007932, routine_entry, "timer_b_isr"},
      {0x0079A0, routine_entry, "sub_0079A0"},   {0x0079B2, routine_entry, "sub_0079B2"},
      {0x0079DC, routine_entry, "wait_vbl"},     {0x0079E2, resume_label, "wait_vbl"},
      {0x0079EC, routine_entry, "acia_isr"},     {0x007A1E, routine_entry, "sub_007A1E"},
      {0x007A48, routine_entry, "sub_007A48"},   {0x007ADA, routine_entry, "sub_007ADA"},
      {0x007B2A, routine_entry, "sub_007B2A"},   {0x007B3C, routine_entry, "sub_007B3C"},
      {0x007B46, routine_entry, "sub_007B46"},   {0x007B50, routine_entry, "sub_007B50"},
      {0x007B5A, routine_entry, "sub_007B5A"},   {0x007B64, routine_entry, "sub_007B64"},
      {0x007B6E, routine_entry, "sub_007B6E"},   {0x007B78, routine_entry, "sub_007B78"},
      {0x007B82, routine_entry, "sub_007B82"},   {0x007B8C, routine_entry, "sub_007B8C"},
      {0x007B96, routine_entry, "sub_007B96"},   {0x007B9E, routine_entry, "sub_007B9E"},
      {0x007D04, resume_label, "sub_007B9E"},    {0x007D06, routine_entry, "sub_007D06"},
      {0x007D38, routine_entry, "sub_007D38"},   {0x007D3E, routine_entry, "sub_007D3E"},
      {0x007DE2, routine_entry, "sub_007DE2"},   {0x007E06, routine_entry, "sub_007E06"},
      {0x0091E0, routine_entry, "wait_two_vbl"},
  });
}

// --- random numbers -------------------------------------------------------------

u32 reference_next(u32 seed) { return seed << 1 | (((seed >> 22) ^ seed) & 1); }

TEST_F(MachineServices, RandomStepsTheShiftRegister) {
  struct {
    u32 seed, next;
  } cases[] = {
      {0x12345678, 0x2468ACF0}, // old bits 22 and 0 both clear
      {0x00400000, 0x00800001}, // bit 22 only
      {0x00400001, 0x00800002}, // both
      {0x00000001, 0x00000003}, // bit 0 only
      {0x80000000, 0x00000000}, // the top bit falls out
  };
  for (const auto& c : cases) {
    machine_clear();
    wr32(random_seed, c.seed);
    g_cpu.d[1] = 0x11111111;
    g_cpu.a[0] = 0x22222222;
    ASSERT_EQ(run_routine(0x007576), 1);
    EXPECT_EQ(rd32(random_seed), c.next) << std::hex << c.seed;
    EXPECT_EQ(g_cpu.d[0], c.next) << std::hex << c.seed;
    EXPECT_EQ(g_cpu.d[1], 0x11111111u);
    EXPECT_EQ(g_cpu.a[0], 0x22222222u);
  }
}

// d7 numbers in a row from the generator, stored from a5 on.
ROUTINE(toy_random_run, 0xC30000)
LOOP(0xC30002)
  JSR(0x007576, 0xC30006)
  wr32(a5, d0);
  a5 += 4;
  d7 -= 1;
  if (d7 != 0) GOTO(0xC30002);
  RTS();
END_ROUTINE

TEST_F(MachineServices, RandomSequenceFromTheColdStartSeed) {
  register_routine(0xC30000, toy_random_run, {0xC30002, 0xC30006});
  wr32(random_seed, 0x12345678);
  g_cpu.d[7] = 2000;
  g_cpu.a[5] = 0x40000;
  ASSERT_EQ(run_routine(0xC30000), 1);
  u32 seed = 0x12345678;
  for (u32 i = 0; i < 2000; ++i) {
    seed = reference_next(seed);
    ASSERT_EQ(rd32(0x40000 + 4 * i), seed) << "number " << i;
  }
  EXPECT_EQ(rd32(random_seed), seed);
}

// --- memory and screens ---------------------------------------------------------

TEST_F(MachineServices, ClearLongsClearsAtLeastOne) {
  struct {
    u32 a0, a1, cleared, a0_end;
  } cases[] = {
      {0x9000, 0x9004, 1, 0x9004},
      {0x9000, 0x9000, 1, 0x9004}, // a1 = a0 still clears one long
      {0x9000, 0x8000, 1, 0x9004}, // so does an end below the start
      {0x9000, 0x9009, 3, 0x900C}, // an end inside a long clears all of it
  };
  for (const auto& c : cases) {
    machine_clear();
    for (u32 a = 0x8FF0; a < 0x9020; ++a) wr8(a, 0xFF);
    g_cpu.a[0] = c.a0;
    g_cpu.a[1] = c.a1;
    ASSERT_EQ(run_routine(0x00759C), 1);
    EXPECT_EQ(g_cpu.a[0], c.a0_end);
    EXPECT_EQ(rd32(0x8FFC), 0xFFFFFFFFu) << "nothing below a0";
    for (u32 i = 0; i < 8; ++i)
      EXPECT_EQ(rd32(0x9000 + 4 * i), i < c.cleared ? 0u : 0xFFFFFFFFu) << "long " << i << " for a1 " << std::hex << c.a1;
  }
}

TEST_F(MachineServices, ScreenCopyTakesExactly32000Bytes) {
  for (u32 i = 0; i < 32768; ++i) {
    wr8(screen_buffer_b + i, i * 7 + (i >> 8));
    wr8(screen_buffer_a + i, 0x11);
  }
  ASSERT_EQ(run_routine(0x007558), 1);
  for (u32 i = 0; i < 32000; ++i) ASSERT_EQ(rd8(screen_buffer_a + i), rd8(screen_buffer_b + i)) << i;
  for (u32 i = 32000; i < 32768; ++i) ASSERT_EQ(rd8(screen_buffer_a + i), 0x11u) << i;
  EXPECT_EQ(g_cpu.a[0], screen_buffer_b + 32000);
  EXPECT_EQ(g_cpu.a[1], screen_buffer_a + 32000);
}

TEST_F(MachineServices, ScreenSetUpShowsAndClearsBothScreens) {
  for (u32 i = 0; i < 32768; ++i) {
    wr8(screen_buffer_a + i, 0xFF);
    wr8(screen_buffer_b + i, 0xFF);
  }
  wr8(0x28000, 0x77);
  wr32(draw_screen, 0x18000);
  g_cpu.d[2] = 0x22;
  ASSERT_EQ(run_routine(0x007626), 1);
  for (u32 i = 0; i < 32768; ++i) {
    ASSERT_EQ(rd8(screen_buffer_a + i), 0u) << i;
    ASSERT_EQ(rd8(screen_buffer_b + i), 0u) << i;
  }
  EXPECT_EQ(rd8(0x28000), 0x77u);
  EXPECT_EQ(rd32(draw_screen), screen_buffer_b);
  EXPECT_EQ(rd8(0xFF8201), 0x02u);
  EXPECT_EQ(rd8(0xFF8203), 0x00u);
  EXPECT_EQ(g_cpu.d[2], 0x22u);
}

TEST_F(MachineServices, ShowScreenWritesTheVideoBase) {
  g_cpu.d[0] = 0x00123456;
  ASSERT_EQ(run_routine(0x007B2A), 1);
  EXPECT_EQ(rd8(0xFF8201), 0x12u);
  EXPECT_EQ(rd8(0xFF8203), 0x34u);
}

TEST_F(MachineServices, PaletteLoadThroughEitherEntry) {
  for (u32 entry : {0x0075E2u, 0x0074F0u}) {
    machine_clear();
    for (u32 i = 0; i < 16; ++i) wr16(0x9000 + 2 * i, 0x0100 * (i & 7) + i);
    g_cpu.a[1] = 0x9000;
    g_cpu.d[0] = 0xD0D0D0D0;
    ASSERT_EQ(run_routine(entry), 1);
    for (u32 i = 0; i < 16; ++i) EXPECT_EQ(rd16(0xFF8240 + 2 * i), 0x0100 * (i & 7) + i) << i;
    EXPECT_EQ(g_cpu.a[1], 0x9020u);
    EXPECT_EQ(g_cpu.a[0], 0xFF8260u);
    EXPECT_EQ(g_cpu.d[0], 0xD0D0D0D0u);
  }
}

TEST_F(MachineServices, BitReverseOfAWord) {
  struct {
    u32 in, out;
  } cases[] = {{0x0001, 0x8000}, {0x8000, 0x0001}, {0x1234, 0x2C48}, {0xFFFF, 0xFFFF}, {0x0000, 0x0000}, {0xF00D, 0xB00F}};
  for (const auto& c : cases) {
    machine_clear();
    g_cpu.d[1] = 0xABCD0000 | c.in;
    g_cpu.d[0] = 0x12340000;
    ASSERT_EQ(run_routine(0x0071A6), 1);
    EXPECT_EQ(g_cpu.d[0], 0x12340000u | c.out) << std::hex << c.in;
    EXPECT_EQ(g_cpu.d[1], 0xABCD0000u) << "d1.w ends as 0";
  }
}

// The colour index of pixel (x, y) of a four-plane screen.
u32 pixel(u32 screen, u32 x, u32 y) {
  const u32 group = screen + y * 160 + (x / 16) * 8;
  u32 index = 0;
  for (u32 plane = 0; plane < 4; ++plane)
    if (rd16(group + 2 * plane) >> (15 - x % 16) & 1) index |= 1u << plane;
  return index;
}

TEST_F(MachineServices, BorderPictureAndItsMirror) {
  u32 r = 0x9E3779B9;
  for (u32 i = 0; i < 200 * 32; ++i) {
    r = r * 1664525 + 1013904223;
    wr8(0x02E01C + i, r >> 24);
  }
  for (u32 i = 0; i < 32000; ++i) wr8(screen_buffer_b + i, 0xEE);
  for (int i = 0; i < 8; ++i) g_cpu.d[i] = 0xD0000000 + i;
  for (int i = 0; i < 7; ++i) g_cpu.a[i] = 0xA0000000 + i;
  ASSERT_EQ(run_routine(0x007134), 1);
  for (u32 y = 0; y < 200; ++y) {
    for (u32 i = 0; i < 32; ++i) ASSERT_EQ(rd8(screen_buffer_b + y * 160 + i), rd8(0x02E01C + y * 32 + i)) << y;
    for (u32 i = 32; i < 128; ++i) ASSERT_EQ(rd8(screen_buffer_b + y * 160 + i), 0xEEu) << "middle untouched";
    for (u32 x = 0; x < 64; ++x) ASSERT_EQ(pixel(screen_buffer_b, 319 - x, y), pixel(screen_buffer_b, x, y)) << x << "," << y;
  }
  for (int i = 0; i < 8; ++i) EXPECT_EQ(g_cpu.d[i], 0xD0000000u + i);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(g_cpu.a[i], 0xA0000000u + i);
}

// --- delays -----------------------------------------------------------------------

int vbls_delivered;
void count_vbl() {
  ++vbls_delivered;
  simple_vbl();
}

TEST_F(MachineServices, BlackDelayWaitsOneVblPer6163Counts) {
  struct {
    u32 count;
    int vbls;
  } cases[] = {
      {1, 0}, {6164, 0}, {6165, 1}, {12327, 1}, {12328, 2},
      {500000, 81}, // then the last 797 counts run without waiting
  };
  for (const auto& c : cases) {
    machine_clear();
    vbls_delivered = 0;
    g_cpu.d[7] = c.count;
    ASSERT_EQ(run_routine(0x0075A4, 200, count_vbl), c.vbls + 1) << c.count;
    EXPECT_EQ(driver_slice_ends(), waits_then_return(0x75A8, c.vbls)) << c.count;
    EXPECT_EQ(vbls_delivered, c.vbls + 1) << c.count;
    EXPECT_EQ(g_cpu.d[7], 0u);
  }
}

TEST_F(MachineServices, BlackDelayCountsAVblThatCameMeanwhile) {
  // A VBL signalled before a pass counts for that pass alone.
  g_cpu.vbl_flag = 1;
  g_cpu.d[7] = 6165;
  vbls_delivered = 0;
  EXPECT_EQ(run_routine(0x0075A4, 10, count_vbl), 1) << "6,164 counts left after that pass: no wait";
  EXPECT_EQ(g_cpu.d[7], 0u);
}

TEST_F(MachineServices, FireDelayWaitsOneVblPer2504Counts) {
  struct {
    u32 count;
    int vbls;
  } cases[] = {{2505, 0}, {2506, 1}, {5009, 1}, {5010, 2}, {100000, 39}};
  for (const auto& c : cases) {
    machine_clear();
    vbls_delivered = 0;
    g_cpu.d[7] = c.count;
    ASSERT_EQ(run_routine(0x0075AE, 200, count_vbl), c.vbls + 1) << c.count;
    EXPECT_EQ(driver_slice_ends(), waits_then_return(0x75BA, c.vbls)) << c.count;
    EXPECT_EQ(g_cpu.d[7], 0u);
  }
}

TEST_F(MachineServices, FireHeldEndsTheFireDelayWithD7Kept) {
  struct {
    u8 p1, p2, sum;
  } cases[] = {{0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFE}};
  for (const auto& c : cases) {
    machine_clear();
    wr8(fire1, c.p1);
    wr8(fire2, c.p2);
    g_cpu.d[7] = 100000;
    ASSERT_EQ(run_routine(0x0075AE, 5, count_vbl), 1);
    EXPECT_EQ(g_cpu.d[7], 100000u);
    EXPECT_EQ(g_cpu.d[0] & 0xFF, c.sum);
    EXPECT_EQ(g_cpu.d[1] & 0xFF, c.p2);
  }
}

void press_fire_after_three_vbls() {
  count_vbl();
  if (vbls_delivered == 3) wr8(fire1, 0xFF);
}

TEST_F(MachineServices, FirePressEndsTheFireDelayAtItsNextPass) {
  vbls_delivered = 0;
  g_cpu.d[7] = 100000;
  ASSERT_EQ(run_routine(0x0075AE, 100, press_fire_after_three_vbls), 4);
  // Three waits of 2,504 counts each were spent.
  EXPECT_EQ(g_cpu.d[7], 100000u - 3 * 2504);
}

// --- pause --------------------------------------------------------------------------

void pause_script() {
  count_vbl();
  if (vbls_delivered == 3) wr8(last_key, 0xC2); // F8 released: still paused
  if (vbls_delivered == 5) wr8(last_key, 0x43); // F9 pressed
}

TEST_F(MachineServices, PauseLastsFromF8UntilF9) {
  vbls_delivered = 0;
  wr8(last_key, 0x42);
  wr8(player1 + player_record::extra_life, 0xFF); // beside the fire byte, not a fire button
  ASSERT_EQ(run_routine(0x0075C4, 20, pause_script), 6);
  EXPECT_EQ(driver_slice_ends(), waits_then_return(0x75DE, 5)) << "a wait per VBL, no spinning";
  EXPECT_EQ(rd8(last_key), 0x43u);
}

void fire_on_second_vbl() {
  count_vbl();
  if (vbls_delivered == 2) wr8(fire2, 0xFF);
}

TEST_F(MachineServices, PauseEndsOnFireAndKeepsTheKey) {
  vbls_delivered = 0;
  wr8(last_key, 0x42);
  ASSERT_EQ(run_routine(0x0075C4, 20, fire_on_second_vbl), 3);
  EXPECT_EQ(driver_slice_ends(), waits_then_return(0x75DE, 2));
  EXPECT_EQ(rd8(last_key), 0x42u) << "the pause does not change last_key";

  // The next frame with no fire button held pauses again.
  wr8(fire2, 0);
  vbls_delivered = 0;
  EXPECT_EQ(run_routine(0x0075C4, 4, count_vbl), -1);
}

TEST_F(MachineServices, NoPauseWithoutF8) {
  for (u8 key : {0x00, 0xC2, 0x43, 0x41}) {
    wr8(last_key, key);
    EXPECT_EQ(run_routine(0x0075C4), 1) << int(key);
  }
}

// --- music ------------------------------------------------------------------------

// Calls of the YM driver's song start and stop, seen at their hook points.
struct driver_call {
  u32 address, d0, music_on, volume;
};
std::vector<driver_call> driver_calls;
void note_driver_call(u32 address) {
  driver_calls.push_back({address, g_cpu.d[0], rd8(music_on), rd8(0x042502)});
}

class Music : public MachineServices {
 protected:
  void SetUp() override {
    MachineServices::SetUp();
    stub_driver_song_calls();
    hook_register(0x041BCC, note_driver_call);
    hook_register(0x041BE8, note_driver_call);
    driver_calls.clear();
  }
};

TEST_F(Music, StartCallsTheDriverWithTheTickOff) {
  wr8(music_on, 0xFF);
  g_cpu.d[0] = 3;
  ASSERT_EQ(run_routine(0x0074F4, 20, simple_vbl), 1);
  ASSERT_GE(driver_calls.size(), 1u);
  EXPECT_EQ(driver_calls[0].address, 0x041BCCu);
  EXPECT_EQ(driver_calls[0].d0, 3u);
  EXPECT_EQ(driver_calls[0].music_on, 0u) << "no tick while the tune starts";
  EXPECT_EQ(rd8(music_on), 0xFFu);
  EXPECT_EQ(rd32(0x198), 0x041BCCu);
}

int ticks;
void note_tick(u32) { ++ticks; }

TEST_F(Music, TickOnlyWhileMusicIsOn) {
  ticks = 0;
  hook_register(0x041DD8, note_tick);
  wr8(ym_driver_vars + ym_var::tune_flag, 0xFF); // a tune plays: the tick writes its volumes
  ASSERT_EQ(run_routine(0x00750C), 1);
  EXPECT_EQ(ticks, 0);
  wr8(music_on, 0xFF);
  ASSERT_EQ(run_routine(0x00750C), 1);
  EXPECT_EQ(ticks, 1);
}

TEST_F(Music, FadeOutWithTheDriverSilentChangesNothing) {
  wr8(music_on, 0xFF);
  wr8(0x042502, 12);
  ASSERT_EQ(run_routine(0x00751A, 3, count_vbl), 1);
  EXPECT_EQ(rd8(music_on), 0xFFu);
  EXPECT_EQ(rd8(0x042502), 12u);
  EXPECT_EQ(rd8(0x1A2), 0u);
  EXPECT_TRUE(driver_calls.empty());
}

std::vector<u32> volumes;
void note_volume() {
  volumes.push_back(rd8(0x042502));
  simple_vbl();
}

TEST_F(Music, FadeOutSteps14To1AndStopsAfter154Vbls) {
  volumes.clear();
  wr8(0x0424F2, 1);
  wr8(0x042502, 12);
  wr8(music_on, 0xFF);
  g_cpu.d[0] = 0xABCD1234;
  g_cpu.d[1] = 0x55667788;
  ASSERT_EQ(run_routine(0x00751A, 300, note_volume), 155);
  EXPECT_EQ(driver_slice_ends(), waits_then_return(0x79E2, 154)) << "every VBL waited for in the VBL wait";
  ASSERT_EQ(volumes.size(), 155u);
  EXPECT_EQ(volumes[10], 12u) << "the first step after 11 VBLs";
  EXPECT_EQ(volumes[11], 14u);
  EXPECT_EQ(volumes[21], 14u);
  EXPECT_EQ(volumes[22], 13u);
  EXPECT_EQ(rd8(0x1A2), 12u) << "the volume before the fade is kept";
  EXPECT_EQ(rd8(music_on), 0u);
  ASSERT_EQ(driver_calls.size(), 1u);
  EXPECT_EQ(driver_calls[0].address, 0x041BE8u);
  EXPECT_EQ(driver_calls[0].volume, 1u) << "stopped at the last step";
  EXPECT_EQ(driver_calls[0].music_on, 0u) << "the tick already off";
  EXPECT_EQ(g_cpu.d[0], 0xABCD1234u);
  EXPECT_EQ(g_cpu.d[1], 0x55667788u);
}

// --- MFP Timer A and the keyboard processor -------------------------------------------

TEST_F(MachineServices, TimerAStartAndStopChangeOnlyItsBits) {
  for (u32 reg : {0xFFFA0Fu, 0xFFFA0Bu}) wr8(reg, 0xFF);
  for (u32 reg : {0xFFFA13u, 0xFFFA07u}) wr8(reg, 0x01);
  g_cpu.sr_sys = 0x2300;
  g_cpu.fc = 1;
  ASSERT_EQ(run_routine(0x00782C), 1);
  EXPECT_EQ(rd8(0xFFFA0F), 0xDFu);
  EXPECT_EQ(rd8(0xFFFA0B), 0xDFu);
  EXPECT_EQ(rd8(0xFFFA13), 0x21u);
  EXPECT_EQ(rd8(0xFFFA07), 0x21u);
  EXPECT_EQ(rd8(0xFFFA1F), 50u);
  EXPECT_EQ(rd8(0xFFFA19), 2u);
  EXPECT_EQ(g_cpu.sr_sys, 0x2300) << "SR put back";
  EXPECT_EQ(g_cpu.fc, 1);

  for (u32 reg : {0xFFFA0Fu, 0xFFFA0Bu}) wr8(reg, 0xFF);
  ASSERT_EQ(run_routine(0x007866), 1);
  EXPECT_EQ(rd8(0xFFFA07), 0x01u);
  EXPECT_EQ(rd8(0xFFFA13), 0x01u);
  EXPECT_EQ(rd8(0xFFFA19), 0u);
  EXPECT_EQ(rd8(0xFFFA0F), 0xDFu);
  EXPECT_EQ(rd8(0xFFFA0B), 0xDFu);
  EXPECT_EQ(g_cpu.sr_sys, 0x2300);
}

TEST_F(MachineServices, KeyboardSendAndAciaReset) {
  g_cpu.d[0] = 0x14;
  ASSERT_EQ(run_routine(0x007818), 1);
  u8 sent[256];
  ASSERT_EQ(ikbd_take(sent, 256), 1);
  EXPECT_EQ(sent[0], 0x14);
  EXPECT_EQ(g_cpu.d[1] & 0xFF, 0x02u) << "the last ACIA status";

  acia_push(0xAA);
  acia_push(0xBB);
  wr8(0xFFFA11, 0xFF);
  g_cpu.d[0] = 0x12345678;
  ASSERT_EQ(run_routine(0x0077F6), 1);
  EXPECT_EQ(acia_len(), 1) << "one data read";
  EXPECT_EQ(acia_peek(0), 0xBB);
  EXPECT_EQ(g_cpu.d[0], 0x12345600u) << "d0.b keeps the last register read";
  EXPECT_EQ(rd8(0xFFFA11), 0xBFu);
}

} // namespace
