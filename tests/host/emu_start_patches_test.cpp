// The game's two patch switches as the start sets them from the options:
// the enemy-script fix in its own switch, invulnerability only when asked.
#include <gtest/gtest.h>

#include "host/emu_fixture.h"
#include "host/platform.h"
#include "support/temp_dir.h"

namespace {

class EmuStartPatches : public EmuTest {
 protected:
  void SetUp() override {
    EmuTest::SetUp();
    emu_set_clock(nullptr);
    emu_set_sleep(nullptr);
    state_ptr s(state_new());
    tos_save_state(s.get());
    ASSERT_EQ(state_write_file(s.get(), (dir / "toy.bkms").c_str()), 1);
    evq_close();
  }
  void TearDown() override {
    emu_join();
    EmuTest::TearDown();
  }
  temp_dir dir;
};

TEST_F(EmuStartPatches, TheFixAndInvulnerabilityOptionsEachSetTheirOwnSwitch) {
  struct {
    int fix, god;
  } rows[] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  const std::string state = dir / "toy.bkms";
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "fix " << r.fix << " god " << r.god);
    tos_set_patch(0, 0);
    tos_set_patch(1, 0);
    emu_config config;
    config.state_file = state.c_str();
    config.save_dir = dir.path.c_str();
    config.start_time = now_s();
    config.fix = r.fix;
    config.god = r.god;
    ASSERT_EQ(emu_start(&config), 1);
    ASSERT_EQ(emu_join(), 1);
    EXPECT_EQ(g_cpu.patch_flags[1], r.fix) << "enemy-script fix";
    EXPECT_EQ(g_cpu.patch_flags[0], r.god) << "invulnerability";
    EXPECT_EQ(emu.fix_on, r.fix);
    EXPECT_EQ(emu.god_on, r.god);
  }
}

} // namespace
