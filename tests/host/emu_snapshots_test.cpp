// Map snapshots (the way back to the map and what a save in a mission
// writes) and the title song on the player-count screen.
#include <gtest/gtest.h>

#include <cstring>

#include "host/emu_fixture.h"
#include "machine/memory.h"
#include "sound/audio_assembly.h"

namespace {

constexpr u8 map_palette[32] = {0x00, 0x00, 0x07, 0x77, 0x00, 0x12, 0x00, 0x14, 0x00, 0x25, 0x01,
                                0x36, 0x02, 0x46, 0x03, 0x56, 0x04, 0x67, 0x07, 0x40, 0x06, 0x30,
                                0x05, 0x20, 0x03, 0x53, 0x02, 0x42, 0x01, 0x31, 0x00, 0x20};
constexpr u8 shop_palette[32] = {0x00, 0x00, 0x07, 0x62, 0x05, 0x55, 0x04, 0x43, 0x02, 0x33, 0x01,
                                 0x52, 0x05, 0x20, 0x00, 0x21, 0x07, 0x76, 0x01, 0x22, 0x05, 0x32,
                                 0x03, 0x20, 0x01, 0x31, 0x00, 0x11, 0x00, 0x47, 0x05, 0x42};
constexpr u32 marker = 0x1000;

using Snapshots = EmuTest;

TEST_F(Snapshots, TheMapIsSnapshottedWhileQuietAndItsNewestIsTheWayBack) {
  std::memcpy(io + 0x240, map_palette, 32);
  wr32(marker, 1);
  steps(1);
  EXPECT_EQ(emu.nmap_hist, 1) << "the first at once";
  ASSERT_EQ(emu.have_premap, 1) << "and it is the way back while none is held";
  EXPECT_EQ(rd32(static_cast<u32>(marker)), 1u);
  wr32(marker, 2);
  steps(24);
  EXPECT_EQ(emu.nmap_hist, 1) << "not within 25 VBLs";
  steps(1);
  EXPECT_EQ(emu.nmap_hist, 2);
  // Fire on the map: no snapshot for the next 50 VBLs.
  emu.wanted_joy[1] = 0x80;
  steps(1);
  emu.wanted_joy[1] = 0;
  wr32(marker, 3);
  steps(50);  // fire is held 3 VBLs, then 50 quiet ones
  EXPECT_EQ(emu.nmap_hist, 2);
  steps(1);
  EXPECT_EQ(emu.nmap_hist, 3);
  // Leaving the map: the newest snapshot becomes the way back.
  wr32(marker, 4);
  io[0x240] = 0x07;
  steps(1);
  EXPECT_EQ(emu.nmap_hist, 0);
  ASSERT_NE(emu.pre_map, nullptr);
  EXPECT_EQ(emu.pre_map->ram[marker + 3], 3);
}

TEST_F(Snapshots, TheShopIsSnapshottedEveryFiftyVblsAndAtOnceAfterARestore) {
  std::memcpy(io + 0x240, shop_palette, 32);
  wr32(marker, 1);
  steps(1);
  ASSERT_STREQ(emu.kind_now, "shop");
  ASSERT_NE(emu.snap_shop, nullptr) << "the first at once";
  EXPECT_EQ(emu.snap_shop->ram[marker + 3], 1);
  wr32(marker, 2);
  steps(49);
  EXPECT_EQ(emu.snap_shop->ram[marker + 3], 1) << "not within 50 VBLs";
  steps(1);
  EXPECT_EQ(emu.snap_shop->ram[marker + 3], 2);
  // A restored state (here the shop's own) gets its snapshot at once.
  state_ptr copy(state_new());
  tos_save_state(copy.get());
  restore_state(copy.get());
  wr32(marker, 3);
  steps(1);
  EXPECT_EQ(emu.snap_shop->ram[marker + 3], 3);
}

// The game's own song start ($74F4) runs and reaches the driver's song
// start hook with tune 0.
TEST_F(Snapshots, TheTitleSongStartsOnceOnThePlayerCountScreen) {
  song0 = 0;
  tos.wait_vbl_at[2] = static_cast<i32>(tos.vbl);
  steps(3);
  EXPECT_EQ(song0, 0) << "not without the expected code";
  emu_reset_controller();
  wr32(0x41BCC, 0x48E7FFFE);
  wr32(0x43368, 0x47FAE1C0);
  wr32(0x74F4, 0x51ED01E8);
  tos.wait_vbl_at[2] = static_cast<i32>(tos.vbl);
  steps(1);
  EXPECT_EQ(song0, 0) << "the screen is seen first";
  EXPECT_EQ(emu.want_song, 1);
  tos.wait_vbl_at[2] = static_cast<i32>(tos.vbl);
  steps(1);
  EXPECT_EQ(song0, 1);
  EXPECT_EQ(tos.song, 0);
  EXPECT_EQ(emu.want_song, 0) << "once";
}

} // namespace
