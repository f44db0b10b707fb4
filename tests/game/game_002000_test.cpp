// Page $2000: the typed keys at the end of the keyboard path (F1's restart,
// the developer access sequence and the developer keys) and the way back
// from the resident monitor into them. Keys arrive through the keyboard
// interrupt, which must come back as it found the game.
#include <gtest/gtest.h>

#include <vector>

#include "game/game_ram.h"
#include "game_harness.h"
#include "machine/io_devices.h"
#include "support/machine/interrupt_check.h"

namespace {

constexpr u32 sequence_pos = 0x000256;
constexpr u32 sequence = 0x008258;
constexpr u32 freerun = 0x000254;
constexpr u32 sync_mode = 0xFF820A;

// Scan codes of the access sequence: its third byte repeats its first, so
// a wrong key there is the case that must not count as a first byte.
const std::vector<u8> access = {0x23, 0x12, 0x23, 0x26};

class TypedKeys : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    g_cpu.sr_sys = 0x2300;
    g_cpu.pc = 0x004000;
    fill_register_patterns();
    u32 at = sequence;
    for (u8 b : access) wr8(at++, b);
    wr8(at, 0);
    wr32(sequence_pos, sequence);
  }
  void keys(std::initializer_list<u8> codes) {
    for (u8 c : codes) {
      acia_push(c);
      ASSERT_TRUE(interrupt_returns(0x0079EC, 6)) << "key $" << std::hex << int(c);
    }
  }
  bool developer() { return rd16(dev_mode) != 0; }
};

TEST_F(TypedKeys, TheAccessSequenceIsTypedPressByPressInOrder) {
  struct road {
    const char* what;
    std::vector<u8> codes;
    bool on;
  };
  const std::vector<road> roads = {
      {"the sequence", {0x23, 0x12, 0x23, 0x26}, true},
      {"releases between its presses", {0x23, 0xA3, 0x12, 0x92, 0x23, 0xA3, 0x26}, true},
      {"a release code of each byte instead", {0xA3, 0x92, 0xA3, 0xA6}, false},
      {"one byte short", {0x23, 0x12, 0x23}, false},
      {"another press between", {0x23, 0x12, 0x39, 0x23, 0x26}, false},
      {"after a wrong key, all of it again", {0x23, 0x12, 0x39, 0x23, 0x12, 0x23, 0x26}, true},
      // The second $23 breaks the match where $12 was due; though it equals
      // the first byte it is not taken as one.
      {"a wrong key equal to the first byte", {0x23, 0x23, 0x12, 0x23, 0x26}, false},
      {"the wrong key's successor starts it", {0x23, 0x23, 0x23, 0x12, 0x23, 0x26}, true},
  };
  for (const road& r : roads) {
    SetUp();
    for (u8 c : r.codes) keys({c});
    EXPECT_EQ(developer(), r.on) << r.what;
    if (r.on) {
      EXPECT_EQ(rd8(dev_mode), 0xFFu) << r.what;
    }
  }
}

TEST_F(TypedKeys, AWrongKeyPutsThePositionBackAtTheStart) {
  keys({0x23, 0x12});
  EXPECT_EQ(rd32(sequence_pos), sequence + 2);
  keys({0x92});
  EXPECT_EQ(rd32(sequence_pos), sequence + 2) << "a release is no key";
  keys({0x12});
  EXPECT_EQ(rd32(sequence_pos), sequence) << "wrong press";
}

TEST_F(TypedKeys, AnEmptySequenceTurnsDeveloperModeOnAtAnyPress) {
  wr8(sequence, 0);
  keys({0xB9});
  EXPECT_FALSE(developer()) << "a release ends the call first";
  keys({0x39});
  EXPECT_TRUE(developer());
}

TEST_F(TypedKeys, DeveloperKeys) {
  wr16(dev_mode, 0xFF00);
  wr8(freerun, 0x5A);
  wr8(sync_mode, 0x02);
  keys({0x44});
  EXPECT_EQ(rd16(dev_timing), 0xFF00u) << "F10 held";
  keys({0xC4});
  EXPECT_EQ(rd16(dev_timing), 0u) << "F10 released";
  keys({0x3F});
  EXPECT_EQ(rd8(freerun), 0xA5u) << "F5";
  keys({0x3F});
  EXPECT_EQ(rd8(freerun), 0x5Au) << "F5 twice";
  keys({0x3E});
  EXPECT_EQ(rd8(sync_mode), 0x00u) << "F4: 60 Hz";
  keys({0x3E});
  EXPECT_EQ(rd8(sync_mode), 0x02u) << "F4 again: 50 Hz";

  // F7 and every other key change nothing, nor is the sequence compared.
  // (The game's variables, $100-$2400; the stack lies elsewhere.)
  const std::vector<u8> before(ram + 0x100, ram + 0x2400);
  keys({0x41, 0xC1, 0x23, 0x12, 0x23, 0x26, 0x3D, 0xBF});
  wr8(last_key, before[last_key - 0x100]);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), ram + 0x100));
  EXPECT_EQ(rd8(freerun), 0x5Au);
  EXPECT_EQ(rd8(sync_mode), 0x02u);
  EXPECT_EQ(rd32(sequence_pos), sequence);
}

TEST_F(TypedKeys, WithoutDeveloperModeTheDeveloperKeysDoNothing) {
  wr8(sync_mode, 0x02);
  wr8(freerun, 0x01); // beside the developer word: no part of it
  keys({0x44, 0x3F, 0x3E, 0x41});
  EXPECT_EQ(rd16(dev_timing), 0u);
  EXPECT_EQ(rd8(freerun), 0x01u);
  EXPECT_EQ(rd8(sync_mode), 0x02u);
}

// F1 restarts in every state: the key path goes on into the restart,
// which clears the work area (developer mode with it), and the game start
// puts the sequence position back; the key path never returns.
TEST_F(TypedKeys, F1RestartsWithOrWithoutDeveloperMode) {
  for (bool dev : {false, true}) {
    SetUp();
    keys({0x23, 0x12}); // half the sequence typed
    if (dev) wr16(dev_mode, 0xFF00);
    wr16(dev_timing, 0xFF00);
    g_cpu.d[0] = 0xBB;
    EXPECT_EQ(run_routine(0x002110), 1) << "F1's release returns";
    EXPECT_EQ(rd32(sequence_pos), sequence + 2);
    EXPECT_EQ(rd16(dev_timing), 0xFF00u);
    g_cpu.d[0] = 0x3B;
    run_routine(0x002110, 3);
    EXPECT_FALSE(driver_finished()) << dev;
    EXPECT_EQ(rd16(dev_mode), 0u) << dev;
    EXPECT_EQ(rd16(dev_timing), 0u) << dev;
    EXPECT_EQ(rd32(sequence_pos), sequence) << dev;
  }
}

TEST_F(TypedKeys, TheWayBackFromTheMonitorPutsTheCacheTagBack) {
  struct road {
    u32 marker;
    u32 tag_after;
  };
  for (road r : {road{0x6356616C, 0x12345678}, road{0x6356616D, 0xCAFEF00D}}) {
    SetUp();
    wr32(0x0020FA, 0x030008);
    wr32(0x030000, r.marker);
    wr32(0x030004, 0x12345678);
    wr32(0x0020EE, 0xCAFEF00D);
    g_cpu.a[0] = 0x11111111;
    g_cpu.a[1] = 0x22222222;
    g_cpu.d[0] = 0x23;
    EXPECT_EQ(run_routine(0x002120), 1);
    EXPECT_EQ(rd32(0x0020EE), r.tag_after);
    EXPECT_EQ(g_cpu.a[0], 0x11111111u);
    EXPECT_EQ(g_cpu.a[1], 0x22222222u);
    EXPECT_EQ(rd32(sequence_pos), sequence + 1) << "on into the typed keys";
  }
}

}  // namespace
