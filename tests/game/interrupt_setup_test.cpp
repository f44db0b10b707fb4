// The interrupt set-up at $765A: the vectors and MFP registers every later
// routine relies on, and the keyboard processor's reset.
#include <gtest/gtest.h>

#include <vector>

#include "machine/io_devices.h"
#include "support/machine/dispatch_check.h"
#include "support/machine/gemdos_double.h"
#include "support/machine/machine_fixture.h"

namespace {

std::vector<u8> keyboard_commands() {
  u8 sent[256];
  const int n = ikbd_take(sent, 256);
  return {sent, sent + n};
}

class InterruptSetup : public MachineTest {
 protected:
  void run_setup() {
    for (int i = 2; i < 7; ++i) g_cpu.d[i] = 0xD0D0D000u + static_cast<u32>(i);
    for (int i = 0; i < 7; ++i) g_cpu.a[i] = 0x000A0000u + static_cast<u32>(i);
    g_cpu.sr_sys = 0x2300;
    driver_start(0x00765A);
    gemdos_double none;
    ASSERT_GT(run_with_gemdos(none, 400), 0) << std::hex << "stopped at " << g_cpu.fault_pc;
    for (int i = 2; i < 7; ++i) EXPECT_EQ(g_cpu.d[i], 0xD0D0D000u + static_cast<u32>(i)) << "d" << i;
    for (int i = 0; i < 7; ++i) EXPECT_EQ(g_cpu.a[i], 0x000A0000u + static_cast<u32>(i)) << "a" << i;
    EXPECT_EQ(g_cpu.sr_sys, 0x2500);
  }
};

TEST_F(InterruptSetup, InstallsTheGamesVectorsAndProgramsTheMfp) {
  // What TOS and an earlier tune may have left.
  for (u32 v = 0x08; v < 0x400; v += 4) wr32(v, 0x00E00800 + v);
  wr8(0xFFFA07, 0x21);
  wr8(0xFFFA19, 0x01);
  wr8(0xFFFA1D, 0x05); // Timer D's bits stay
  wr8(0xFFFA05, 0xFF);
  wr8(0xFFFA0B, 0xFF);
  wr8(0xFFFA11, 0xFF);
  run_setup();

  const u32 stubs[10] = {0x007B3C, 0x007B46, 0x007B50, 0x007B5A, 0x007B64,
                         0x007B6E, 0x007B78, 0x007B82, 0x007B8C, 0x007B96};
  for (u32 i = 0; i < 10; ++i) EXPECT_EQ(rd32(0x08 + 4 * i), stubs[i]) << "vector " << i + 2;
  EXPECT_EQ(rd32(0x70), 0x0078A8u);
  EXPECT_EQ(rd32(0x78), 0x0079ECu);
  EXPECT_EQ(rd32(0x114), 0x007896u);
  EXPECT_EQ(rd32(0x118), 0x0079ECu);
  EXPECT_EQ(rd32(0x120), 0x007932u);
  EXPECT_EQ(rd32(0x134), 0x00E660u);
  EXPECT_EQ(rd32(0x30), 0x00E00830u) << "vector 12 is not the game's";

  struct reg {
    u32 address;
    u32 value;
    const char* name;
  };
  const reg regs[] = {
      {0xFFFA07, 0x01, "IERA"}, {0xFFFA13, 0x01, "IMRA"}, {0xFFFA09, 0x60, "IERB"}, {0xFFFA15, 0x60, "IMRB"},
      {0xFFFA0B, 0x00, "IPRA"}, {0xFFFA0D, 0x00, "IPRB"}, {0xFFFA0F, 0x00, "ISRA"}, {0xFFFA11, 0x00, "ISRB"},
      {0xFFFA19, 0x00, "TACR"}, {0xFFFA1F, 34, "TADR"},   {0xFFFA1B, 0x08, "TBCR"}, {0xFFFA21, 54, "TBDR"},
      {0xFFFA23, 253, "TCDR"},  {0xFFFA1D, 0x75, "TCDCR"}, {0xFFFA05, 0xFE, "DDR"},
  };
  for (const reg& r : regs) EXPECT_EQ(rd8(r.address), r.value) << r.name;
  EXPECT_EQ(keyboard_commands(), (std::vector<u8>{0x80, 0x01, 0x14}));
}

TEST_F(InterruptSetup, ASecondRunUndoesTheTitlesTimers) {
  run_setup();
  keyboard_commands();
  // The sampled tune and the title's raster as they leave the MFP.
  wr32(0x134, 0x00E700);
  wr32(0x120, 0x0079B2);
  wr8(0xFFFA19, 0x02);
  wr8(0xFFFA07, 0x21);
  wr8(0xFFFA13, 0x21);
  run_setup();
  EXPECT_EQ(rd32(0x134), 0x00E660u);
  EXPECT_EQ(rd32(0x120), 0x007932u);
  EXPECT_EQ(rd8(0xFFFA19), 0u);
  EXPECT_EQ(rd8(0xFFFA07), 0x01u);
  EXPECT_EQ(rd8(0xFFFA13), 0x01u);
  EXPECT_EQ(keyboard_commands(), (std::vector<u8>{0x80, 0x01, 0x14}));
}

TEST(InterruptSetupTable, NamedAddresses) {
  expect_named_rows({{0x00765A, routine_entry, "sub_00765A"}});
}

} // namespace
