// The boot state built from synthetic game data: the program block in RAM,
// the loader's patches, the hardware and the CPU as the loader leaves them.
#include "machine/boot_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "machine/coroutine.h"
#include "machine/game_data.h"
#include "machine/hooks.h"
#include "machine/io_devices.h"
#include "support/log_capture.h"
#include "support/machine/machine_fixture.h"
#include "support/synthetic/synthetic_game_data.h"

namespace {

u32 state_rd16(const machine_state& s, u32 a) { return static_cast<u32>(s.ram[a]) << 8 | s.ram[a + 1]; }
u32 state_rd32(const machine_state& s, u32 a) { return state_rd16(s, a) << 16 | state_rd16(s, a + 2); }
u32 io_byte(const machine_state& s, u32 a) { return s.io[a & 0x7FFF]; }

class BootState : public MachineTest {
 protected:
  void TearDown() override {
    game_data_release();
    MachineTest::TearDown();
  }
  // Selects a minimal synthetic "BKM" in the folder.
  void select_bkm() {
    bkm = synth_bkm(data, synth_minimal_size);
    ASSERT_TRUE(synth_write(folder / "BKM", bkm));
    ASSERT_EQ(game_data_init(folder.path.c_str()), 1);
  }
  temp_dir folder;
  log_capture log;
  synth_game_data data = synth_standard();
  std::vector<u8> bkm;
};

TEST_F(BootState, HoldsTheProgramBlockAndTheLoadersPatches) {
  select_bkm();
  state_ptr s(boot_state_make(folder.path.c_str()));
  ASSERT_TRUE(s);

  // The block comes from file offset $5141C = 332,828: the last bytes of the
  // minimal file are the last bytes of the program.
  const std::vector<u8> block(bkm.begin() + 0x5141C, bkm.end());
  ASSERT_EQ(block.size(), 60000u);
  EXPECT_EQ(std::memcmp(s->ram + 0x81000, block.data(), block.size()), 0) << "the disk cache copy";
  const synth_region* tail = synth_find(data, "program_tail");
  ASSERT_NE(tail, nullptr);
  EXPECT_EQ(std::memcmp(s->ram + 0x2C00 + 60000 - 16, tail->bytes.data(), 16), 0);
  EXPECT_EQ(state_rd16(*s, 0x2C00), 0x601Eu) << "the program's first word";

  // Every loader patch lies outside the block ($20EA and $217A below $2C00,
  // the rest above $3F8000), so the block stands whole at $2C00 too.
  EXPECT_EQ(std::memcmp(s->ram + 0x2C00, block.data(), block.size()), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(s->ram + 0x20EA)), "BKM");
  struct long_at {
    u32 address, value;
  };
  const long_at longs[] = {
      {0x20EE, 0xFFFFFFFF}, {0x20F2, 0},          {0x20F6, 0x000C8000}, {0x20FA, 0x00081000},
      {0x20FE, 0x000C8000}, {0x217A, 0x003F8000}, {0x3F8094, 0x003E20B4}, {0x3F8098, 0x074CFF00},
      {0x3F809C, 0x003CC168}, {0x3F80A0, 0x003F7F24}, {0x462, 13},     {0x466, 13},
      {0x4BA, 0x34},        {0x70, 0x00E00870},   {0x5A0, 0x00004F80},
  };
  for (const long_at& l : longs) EXPECT_EQ(state_rd32(*s, l.address), l.value) << std::hex << l.address;
  EXPECT_EQ(state_rd16(*s, 0x2102), 0xFF00u);
  EXPECT_EQ(state_rd16(*s, 0x3F8008), 0x0FCEu);
  EXPECT_EQ(s->ram[0x3F8083], 0x03);
  EXPECT_EQ(s->ram[0x3F80AF], 0x00);
  for (u32 trap : {0x3F902Au, 0x3F904Eu, 0x3F90B4u, 0x3F90DEu, 0x3F9116u, 0x3F9128u, 0x3F96DAu, 0x3F96EEu, 0x3F973Au})
    EXPECT_EQ(state_rd16(*s, trap), 0x4E41u) << "every GEMDOS call site holds its trap: " << std::hex << trap;
  EXPECT_EQ(std::memcmp(s->ram + 0x3E20B4, s->ram + 8, 20472), 0) << "the copy of low memory";
  EXPECT_EQ(state_rd32(*s, 0x3E20B4 + 0x70 - 8), 0x00E00870u) << "taken after the vectors were laid";
}

TEST_F(BootState, HardwareAndCpuStandAsTheLoaderLeavesThem) {
  select_bkm();
  state_ptr s(boot_state_make(folder.path.c_str()));
  ASSERT_TRUE(s);
  struct io_case {
    u32 address, value;
  };
  const io_case ios[] = {{0xFF8201, 0x07}, {0xFF8203, 0x80}, {0xFF820D, 0x00}, {0xFF8240, 0x05},
                         {0xFF8241, 0x62}, {0xFF8242, 0x00}, {0xFF8243, 0x07}, {0xFF825E, 0x00},
                         {0xFF825F, 0x07}, {0xFF8E21, 0xFC}, {0xFFFC00, 0x02}, {0xFFFC02, 0x13}};
  for (const io_case& c : ios) EXPECT_EQ(io_byte(*s, c.address), c.value) << std::hex << c.address;

  EXPECT_EQ(s->sr, 0x2700u);
  EXPECT_EQ(s->ssp, 0x2400u);
  EXPECT_EQ(s->a7, 0x2400u);
  EXPECT_EQ(s->usp, 0u);
  EXPECT_EQ(s->pc, 0x2C00u);
  const u32 d[8] = {0, 0x4E00, 0x0030FFFF, 0x00100000, 0x00070007, 0x00070007, 0x00070007, 0x00080007};
  const u32 a[7] = {0x001492A0, 0x00007A68, 0x000022BC, 0x00149204, 0x003F98E0, 0, 0x003F7F24};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(s->d[i], d[i]) << "d" << i;
  for (int i = 0; i < 7; ++i) EXPECT_EQ(s->a[i], a[i]) << "a" << i;
  EXPECT_EQ(s->vbl, 13u);
  EXPECT_EQ(s->screen_base, 0x78000u);
  EXPECT_EQ(s->mem_top, 0x100000u);
  EXPECT_STREQ(s->path, "FILES");
  EXPECT_EQ(s->song, -1);
  EXPECT_EQ(s->acia_count, 0);
  EXPECT_EQ(s->zone_count, 0);

  // The live machine is left in the same condition.
  EXPECT_EQ(g_cpu.pc, 0x2C00u);
  EXPECT_EQ(g_cpu.sr_sys, 0x2700);
  EXPECT_EQ(g_cpu.other_sp, 0u);
  EXPECT_EQ(std::memcmp(g_ram, s->ram, ram_size), 0);
  EXPECT_STREQ(tos.game_dir, folder.path.c_str());
}

TEST_F(BootState, WhatNothingWritesIsZero) {
  select_bkm();
  // Left-overs of an earlier run everywhere.
  std::memset(g_ram, 0x5A, ram_size);
  std::memset(g_io, 0x5A, io_size);
  g_cpu.other_sp = 0x5A5A;
  g_cpu.fc = g_cpu.fz = 1;
  state_ptr s(boot_state_make(folder.path.c_str()));
  ASSERT_TRUE(s);
  for (u32 a : {0x000000u, 0x1FFFFFu, 0x200000u, 0x3E0000u, 0x3FFFFFu})
    EXPECT_EQ(s->ram[a], 0) << "RAM " << std::hex << a;
  for (u32 a : {0xFFFA07u, 0xFFFA09u, 0xFFFA13u, 0xFFFA15u, 0xFF8260u, 0xFF8800u, 0xFF8204u})
    EXPECT_EQ(io_byte(*s, a), 0u) << "I/O " << std::hex << a;
  EXPECT_EQ(s->usp, 0u);
  EXPECT_EQ(s->sr, 0x2700u) << "no flag left over";
}

TEST_F(BootState, HookEnablesSurviveMakingAndLoading) {
  select_bkm();
  hook_register(0x9306, [](u32) {});
  hook_register(0x41BCC, [](u32) {});
  g_cpu.patch_flags[1] = 1;
  g_cpu.hook_on[100] = 1;
  state_ptr s(boot_state_make(folder.path.c_str()));
  ASSERT_TRUE(s);
  EXPECT_EQ(g_cpu.patch_flags[1], 0) << "the callers set the patch switches again";
  tos_load_state(s.get());
  EXPECT_EQ(g_cpu.hook_on[game_hook_slot(0x9306)], 1);
  EXPECT_EQ(g_cpu.hook_on[game_hook_slot(0x41BCC)], 1);
  EXPECT_EQ(g_cpu.hook_on[100], 1);
  EXPECT_EQ(g_cpu.hook_on[game_hook_slot(0x474A)], 0);
  EXPECT_FALSE(core_active());
  EXPECT_EQ(g_cpu.pc, 0x2C00u);
}

TEST_F(BootState, TheImageGivesTheSameBootState) {
  select_bkm();
  state_ptr from_bkm(boot_state_make(folder.path.c_str()));
  temp_dir image_folder;
  ASSERT_TRUE(synth_write(image_folder / "game.st", synth_image(data)));
  ASSERT_EQ(game_data_init(image_folder.path.c_str()), 1);
  state_ptr from_image(boot_state_make(image_folder.path.c_str()));
  ASSERT_TRUE(from_bkm && from_image);
  EXPECT_EQ(std::memcmp(from_bkm->ram, from_image->ram, ram_size), 0);
}

TEST_F(BootState, ShortDataChangesNothing) {
  // One byte short of the program block's end: the data is not taken.
  ASSERT_TRUE(synth_write(folder / "BKM", synth_bkm(data, synth_minimal_size - 1)));
  EXPECT_EQ(game_data_init(folder.path.c_str()), 0);
  std::memset(g_ram, 0x5A, ram_size);
  g_cpu.pc = 0x1234;
  g_cpu.d[3] = 77;
  tos.vbl = 999;
  std::strcpy(tos.path, "KEEP");
  acia_push(0x39);
  testing::internal::CaptureStderr();
  EXPECT_EQ(boot_state_make(folder.path.c_str()), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "[bkm] Boot: the required game data block is unavailable\n");
  EXPECT_TRUE(log.has("Boot: the required game data block is unavailable"));
  EXPECT_EQ(g_ram[0], 0x5A);
  EXPECT_EQ(g_ram[ram_size - 1], 0x5A);
  EXPECT_EQ(g_ram[0x2C00], 0x5A);
  EXPECT_EQ(g_cpu.pc, 0x1234u);
  EXPECT_EQ(g_cpu.d[3], 77u);
  EXPECT_EQ(tos.vbl, 999u);
  EXPECT_STREQ(tos.path, "KEEP");
  EXPECT_EQ(acia_len(), 1);
}

} // namespace
