// Page $7000 on the emulated ST: the game's handlers installed at their
// vectors and run by the host's slices and VBL delivery, as the host runs
// the game: raster palette zones, joystick reports, the black-delay skip
// after the loader screen, and an ILLEGAL instruction ending in the game's
// exception report.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "game/game_ram.h"
#include "game_harness.h"
#include "machine/ikbd.h"
#include "machine/slice_runner.h"
#include "machine/vbl_delivery.h"
#include "support/machine/st_machine.h"

namespace {

class GameOnSt : public StMachineTest {
 protected:
  void SetUp() override {
    StMachineTest::SetUp();
    stub_reset();
    stub_returns({0x00EAD8, 0x00E7C0, 0x008648, 0x00765A, typed_keys});
    // The game's variables, cleared by its cold start (TOS left its own
    // values there); the trap vectors below stay the ROM's.
    for (u32 a = 0x100; a < 0x1E0C; a += 4) wr32(a, 0);
    // The vectors and MFP enables as the game's interrupt set-up leaves them.
    set_vector(0x70, 0x0078A8);
    set_vector(0x120, 0x007932);
    set_vector(0x114, 0x007896);
    set_vector(0x118, 0x0079EC);
    for (u32 v = 2; v < 12; ++v) set_vector(4 * v, 0x007B3C + 10 * (v - 2));
    mfp_enable(mfp_iera, mfp_imra, mfp_bit_timer_b);
    mfp_enable(mfp_ierb, mfp_imrb, mfp_bit_acia);
  }

  static constexpr u32 typed_keys = 0x002110;

  // One VBL of the host: a slice of the game, then the VBL delivery.
  static void host_vbl() {
    ASSERT_EQ(tos_run_slice(2000000), 1);
    tos_vbl();
  }
  // Runs the routine at entry as the host runs the game; VBLs it took, or
  // -1 when it had not returned after max_vbls.
  static int host_run(u32 entry, int max_vbls) {
    driver_start(entry);
    for (int n = 1; n <= max_vbls; ++n) {
      host_vbl();
      if (driver_finished()) return n;
    }
    return -1;
  }
};

void fill_palette(u32 at, u16 base) {
  for (u32 i = 0; i < 16; ++i) wr16(at + 2 * i, base + i);
}

u32 zone_colour0(int zone) { return static_cast<u32>(tos.zones[zone].palette[0]) << 8 | tos.zones[zone].palette[1]; }

TEST_F(GameOnSt, RasterModesGivePaletteZones) {
  struct {
    u32 word;
    std::vector<u32> lines;
    std::vector<u32> colours;
  } cases[] = {
      {split_map, {0, 48}, {0x100, 0x200}},
      {split_title, {0, 150}, {0x300, 0x400}},
      {title_mode, {0, 144, 184}, {0x300, 0x500, 0x300}},
  };
  for (const auto& c : cases) {
    SetUp();
    fill_palette(0x00C72E, 0x100);
    fill_palette(0x00C70E, 0x200);
    fill_palette(0x00EB76, 0x300);
    fill_palette(0x00EBB6, 0x400);
    fill_palette(0x00EBD6, 0x500);
    wr16(c.word, 1);
    for (int vbl = 0; vbl < 3; ++vbl) {
      tos_vbl();
      ASSERT_EQ(tos.zone_count, static_cast<int>(c.lines.size())) << "VBL " << vbl;
      for (size_t z = 0; z < c.lines.size(); ++z) {
        EXPECT_EQ(tos.zones[z].line, c.lines[z]) << "zone " << z;
        EXPECT_EQ(zone_colour0(static_cast<int>(z)), c.colours[z]) << "zone " << z;
      }
      EXPECT_EQ(rd32(0x120), 0x007932u) << "Timer B's vector after the frame";
    }
  }

  SetUp();
  wr16(0xFF8240, 0x0777);
  tos_vbl();
  EXPECT_EQ(tos.zone_count, 1) << "no mode: one palette for the frame";
  EXPECT_EQ(zone_colour0(0), 0x0777u);
}

TEST_F(GameOnSt, HostJoystickAndKeysReachTheGame) {
  tos_joystick(1, 0x81);
  tos_joystick(0, 0x04);
  tos_key(0xC2);
  tos_deliver_keys();
  tos_deliver_keys();
  EXPECT_EQ(rd8(player1 + player_record::fire), 0xFFu);
  EXPECT_EQ(rd8(player1 + player_record::up), 0xFFu);
  EXPECT_EQ(rd8(player2 + player_record::left), 0xFFu);
  EXPECT_EQ(rd8(player2 + player_record::fire), 0x00u);
  EXPECT_EQ(rd8(last_key), 0xC2u);
  EXPECT_EQ(rd8(ikbd_state), 0u);
}

TEST_F(GameOnSt, BlackDelayLasts81VblsUnlessTheLoaderScreenEndedIt) {
  g_cpu.d[7] = 500000;
  load_regs();
  EXPECT_EQ(host_run(0x0075A4, 200), 82) << "81 waits, then the last 797 counts at once";

  // The loader screen held for 1 s, faded out and ended: the next black
  // delay ends at its first pass, once.
  g_load_seconds = 1;
  ASSERT_EQ(hold_loader_text(), 1);
  tos_vbl();
  st_clock_now += 2;
  tos_vbl();
  st_clock_now += 3.5;
  tos_vbl();
  st_clock_now += 1.5;
  g_cpu.d[7] = 500000;
  EXPECT_EQ(host_run(0x0075A4, 200), 1);
  EXPECT_EQ(g_cpu.d[7], 0u);
  g_cpu.d[7] = 500000;
  EXPECT_EQ(host_run(0x0075A4, 200), 82) << "the skip is used up";
}

// A routine in RAM that sets its registers and meets an ILLEGAL.
constexpr u32 toy_at = 0x060000;
constexpr u32 illegal_at = 0x060010;

ROUTINE(toy_illegal, 0x060000)
  for (int i = 0; i < 8; ++i) *cpu_reg[i] = 0xD0D00000u + i;
  for (int i = 0; i < 7; ++i) *cpu_reg[8 + i] = 0xA0A00000u + i;
  push32(0x51AC0001);
  push32(0x51AC0000);
  TRAP(0x060010, 0x060012)
  RTS();
END_ROUTINE

std::string hex(u32 v) {
  char s[9];
  std::snprintf(s, sizeof s, "%08X", v);
  return s;
}

TEST_F(GameOnSt, IllegalInstructionEndsInTheExceptionReport) {
  register_routine(toy_at, toy_illegal, {illegal_at, illegal_at + 2});
  wr16(illegal_at, 0x4AFC);
  load_test_font();
  g_cpu.a[7] = 0x9000;
  load_regs();
  driver_start(toy_at);
  for (int i = 0; i < 300 && g_cpu.pc != 0x007D04; ++i) host_vbl();
  EXPECT_EQ(g_cpu.pc, 0x007D04u) << "the report idles";
  EXPECT_EQ(g_cpu.sr_sys & 0x0700, 0x0300) << "with interrupts running";
  EXPECT_EQ(rd32(0x380), 0x4F524E2Eu);
  EXPECT_EQ(rd16(0x3C4), 4u);
  EXPECT_EQ(rd32(0x3C6), illegal_at) << "an ILLEGAL stacks its own address";
  for (u32 i = 0; i < 8; ++i) EXPECT_EQ(rd32(0x384 + 4 * i), 0xD0D00000u + i);
  EXPECT_EQ(rd32(0x3D0), 0x000051ACu) << "the rest of the toy's longs, then the stack";
  EXPECT_EQ(rd32(0x3D4), 0x000100C0u);

  // The registers and the stack longs on screen; the VBLs go on meanwhile.
  for (u32 i = 0; i < 8; ++i) EXPECT_EQ(screen_text(0x020000, (1 + i) * 1440, 0, 8), hex(0xD0D00000u + i));
  for (u32 i = 0; i < 7; ++i) EXPECT_EQ(screen_text(0x020000, (11 + i) * 1440, 0, 8), hex(0xA0A00000u + i));
  EXPECT_EQ(screen_text(0x020000, 0, 22, 8), hex(rd32(0x3C4)));
  EXPECT_EQ(screen_text(0x020000, 3 * 1440, 22, 8), "000051AC");
  EXPECT_EQ(screen_text(0x020000, 4 * 1440, 22, 8), "000100C0");
  const u16 before = rd16(vbl_counter);
  host_vbl();
  EXPECT_EQ(rd16(vbl_counter), static_cast<u16>(before + 1));
  EXPECT_EQ(g_cpu.pc, 0x007D04u);
}

} // namespace
