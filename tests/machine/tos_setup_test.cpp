// The ST as TOS leaves it: ROM header and vector stubs, low-RAM layout,
// what tos_init resets and keeps, the patch switches and the status register
// of the suspended CPU.
#include <string>

#include "support/machine/st_machine.h"

namespace {

class TosSetup : public StMachineTest {};

TEST_F(TosSetup, RomHeaderAndVectorStubs) {
  EXPECT_EQ(rd16(0xE00000), 0x6030u);
  EXPECT_EQ(rd16(0xE00002), 0x0206u);
  EXPECT_EQ(rd32(0xE00008), 0x00E00000u);
  EXPECT_EQ(rd16(0xE0001A), 0x1989u);
  EXPECT_EQ(rd16(0xE00800), 0x4E73u);
  EXPECT_EQ(rd16(0xE00904), 0x4E73u);
  EXPECT_EQ(rd16(0xE00BFE), 0x4E73u);
  EXPECT_EQ(rd16(0xE00C00), 0u);
  EXPECT_EQ(rd16(0xE00C0E), 0u) << "the batch sentinel is a zero word past the stubs";
  EXPECT_EQ(rd16(0xE00004), 0u);
}

TEST_F(TosSetup, LowRamLayout) {
  EXPECT_EQ(rd32(0x70), 0x00E00870u);
  EXPECT_EQ(rd32(0x118), 0x00E00918u);
  EXPECT_EQ(rd32(0x000), 0x00E00800u);
  EXPECT_EQ(rd32(0x3FC), 0x00E00BFCu);
  EXPECT_EQ(rd32(0x5A0), 0x00004F80u);
  EXPECT_EQ(rd32(0x4F04), 0x00E00904u);
  EXPECT_EQ(rd32(0x4F24), 0x00E00924u);
  EXPECT_EQ(rd32(0x4F40), 0u);

  struct { u32 address, value; } vars[] = {
      {0x42E, 0x00400000}, {0x432, 0x00000800}, {0x436, 0x003F8000}, {0x44E, 0x003F8000},
      {0x456, 0x00004F40}, {0x4F2, 0x00E00000}, {0x4A6, 2},
      {0x426, 0x752019F3}, {0x42A, 0x237698AA}, {0x43A, 0x31415926}, {0x4C2, 4},
      {0x472, 0},          {0x4A2, 0},          {0x4C6, 0},          {0x4F28, 0}, // past the 10 keyboard vectors
  };
  for (auto v : vars) EXPECT_EQ(rd32(v.address), v.value) << std::hex << v.address;
  EXPECT_EQ(rd8(0x424), 10u);
  EXPECT_EQ(rd16(0x454), 0u) << "the long at $456 is written after the long 8 at $454";

  struct { const char* id; u32 value; } jar[] = {
      {"_CPU", 0}, {"_VDO", 0x00010000}, {"_MCH", 0x00010000}, {"_SND", 2}, {"_FPU", 0}};
  u32 at = 0x4F80;
  for (auto c : jar) {
    std::string id;
    for (int i = 0; i < 4; ++i) id += static_cast<char>(rd8(at + i));
    EXPECT_EQ(id, c.id);
    EXPECT_EQ(rd32(at + 4), c.value) << c.id;
    at += 8;
  }
  EXPECT_EQ(rd32(at), 0u) << "end of the jar";
  EXPECT_EQ(rd32(at + 4), 0u);

  EXPECT_EQ(io_read(0xFF8201, 1), 0x3Fu);
  EXPECT_EQ(io_read(0xFF8203, 1), 0x80u);
  EXPECT_EQ(io_read(0xFF820D, 1), 0x00u);
  EXPECT_EQ(tos.screen_base, 0x3F8000u);
  EXPECT_EQ(tos.kbdvbase, 0x4F00u);
}

TEST_F(TosSetup, InitResetsTheStAndKeepsTheHostsSettings) {
  wr32(0x1000, 0xDEADBEEF);
  io_write(0xFF8240, 2, 0x777);
  io_write(0xFF8800, 1, 8);
  io_write(0xFF8802, 1, 15);
  acia_push(0x39);
  tos.vbl = 77;
  tos.terminated = 1;
  tos.timer_c_carry = 0.5;
  g_cpu.patch_flags[1] = 1;
  g_cpu.hook_on[5] = 1;
  g_cpu.sr_sys = 0x0000;
  tos_ilog('P', 1, 2);

  const std::string long_dir(300, 'd');
  tos_init(long_dir.c_str());
  EXPECT_EQ(std::string(tos.game_dir), long_dir.substr(0, 259));
  EXPECT_EQ(rd32(0x1000), 0u);
  EXPECT_EQ(rd32(0x70), 0u) << "low RAM is laid out by tos_machine_init only";
  EXPECT_EQ(io_read(0xFF8240, 2), 0u);
  EXPECT_EQ(ym_pending(), 0);
  EXPECT_EQ(get_ym_regs()[8], 0);
  EXPECT_EQ(acia_len(), 0);
  EXPECT_EQ(rd16(0xE00002), 0x0206u);
  EXPECT_EQ(tos.vbl, 0u);
  EXPECT_EQ(tos.terminated, 0);
  EXPECT_EQ(tos.timer_c_carry, 0.0);
  EXPECT_EQ(tos.vbl_rate, 50.0);
  EXPECT_EQ(tos.mem_top, 0x100000u);
  EXPECT_EQ(tos.song, -1);
  EXPECT_EQ(tos.wait_vbl_at[0], -99);
  EXPECT_EQ(tos.wait_vbl_at[2], -99);
  EXPECT_EQ(g_cpu.sr_sys, 0x2700);
  EXPECT_EQ(g_cpu.patch_flags[1], 1) << "patch switches are kept";
  EXPECT_EQ(g_cpu.hook_on[5], 1) << "hook enables are kept";
  EXPECT_EQ(tos_ilog_count(), 1) << "the input log is kept";

  tos_init(nullptr);
  EXPECT_EQ(tos.game_dir[0], 0);
}

TEST_F(TosSetup, PatchSwitchesAreLoggedAndOnlyInRangeOnesChange) {
  struct { int index, on; u8 flag1_after; } cases[] = {
      {8, 1, 0}, {-1, 1, 0}, {1, 5, 1}, {1, 0, 0},
  };
  tos.vbl = 9;
  int logged = 0;
  for (auto c : cases) {
    tos_set_patch(c.index, c.on);
    ++logged;
    ASSERT_EQ(tos_ilog_count(), logged);
    const input_log_entry& e = tos_ilog_entries()[logged - 1];
    EXPECT_EQ(e.type, 'F');
    EXPECT_EQ(e.a, c.index);
    EXPECT_EQ(e.b, c.on) << "the value is logged as given";
    EXPECT_EQ(e.vbl, 9u);
    EXPECT_EQ(g_cpu.patch_flags[1], c.flag1_after) << c.index << "," << c.on;
    for (int i = 2; i < 8; ++i) EXPECT_EQ(g_cpu.patch_flags[i], 0);
  }
  tos_set_patch(7, 1);
  EXPECT_EQ(g_cpu.patch_flags[7], 1);
}

TEST_F(TosSetup, CpuSetSrSwapsStacksOnlyWhenSupervisorChanges) {
  g_cpu.sr_sys = 0x0000;
  g_cpu.a[7] = 0x1111;
  g_cpu.other_sp = 0x2222;
  d0 = 0x55; // the live registers are not touched
  cpu_set_sr(0x2700);
  EXPECT_EQ(g_cpu.a[7], 0x2222u);
  EXPECT_EQ(g_cpu.other_sp, 0x1111u);
  EXPECT_EQ(g_cpu.sr_sys, 0x2700);
  EXPECT_EQ(g_cpu.fz, 0);

  cpu_set_sr(0x2704);
  EXPECT_EQ(g_cpu.a[7], 0x2222u);
  EXPECT_EQ(g_cpu.fz, 1);
  EXPECT_EQ(g_cpu.fx + g_cpu.fn + g_cpu.fv + g_cpu.fc, 0);

  cpu_set_sr(0x0319);
  EXPECT_EQ(g_cpu.a[7], 0x1111u);
  EXPECT_EQ(g_cpu.sr_sys, 0x0300);
  EXPECT_EQ(g_cpu.fx, 1);
  EXPECT_EQ(g_cpu.fn, 1);
  EXPECT_EQ(g_cpu.fc, 1);
  EXPECT_EQ(g_cpu.fz, 0);
  EXPECT_EQ(d0, 0x55u);
}

TEST_F(TosSetup, CpuSetSrTakesEachFlagFromItsOwnBit) {
  struct sr_case {
    u32 before, sr;
    bool swapped;
    i32 sr_sys;
    int x, n, z, v, c;
  };
  const sr_case cases[] = {
      {0x2700, 0x2701, false, 0x2700, 0, 0, 0, 0, 1}, {0x2700, 0x2702, false, 0x2700, 0, 0, 0, 1, 0},
      {0x2700, 0x2704, false, 0x2700, 0, 0, 1, 0, 0}, {0x2700, 0x2708, false, 0x2700, 0, 1, 0, 0, 0},
      {0x2700, 0x2710, false, 0x2700, 1, 0, 0, 0, 0}, {0x2700, 0x271F, false, 0x2700, 1, 1, 1, 1, 1},
      {0x2700, 0x0702, true, 0x0700, 0, 0, 0, 1, 0},  {0x2700, 0xA700, false, 0xA700, 0, 0, 0, 0, 0},
      {0x2700, 0x8300, true, 0x8300, 0, 0, 0, 0, 0},  {0x0000, 0x2000, true, 0x2000, 0, 0, 0, 0, 0},
      {0x0000, 0x1F00, false, 0x1F00, 0, 0, 0, 0, 0},
  };
  for (const sr_case& c : cases) {
    g_cpu.sr_sys = static_cast<i32>(c.before);
    g_cpu.fx = g_cpu.fn = g_cpu.fz = g_cpu.fv = g_cpu.fc = 0;
    g_cpu.a[7] = 0x1111;
    g_cpu.other_sp = 0x2222;
    cpu_set_sr(c.sr);
    SCOPED_TRACE(testing::Message() << std::hex << c.before << " -> " << c.sr);
    EXPECT_EQ(g_cpu.a[7], c.swapped ? 0x2222u : 0x1111u);
    EXPECT_EQ(g_cpu.other_sp, c.swapped ? 0x1111u : 0x2222u);
    EXPECT_EQ(g_cpu.sr_sys, c.sr_sys);
    EXPECT_EQ(g_cpu.fx, c.x);
    EXPECT_EQ(g_cpu.fn, c.n);
    EXPECT_EQ(g_cpu.fz, c.z);
    EXPECT_EQ(g_cpu.fv, c.v);
    EXPECT_EQ(g_cpu.fc, c.c);
  }
}

} // namespace
