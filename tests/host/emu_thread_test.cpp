// The emulation thread itself (real clock): start from a state file, the
// events it takes, and the join, also when its ring or the presenter's
// queue is full. Also run under ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "host/emu_fixture.h"
#include "host/platform.h"
#include "machine/input_log.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

class EmuThread : public EmuTest {
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
  int start() {
    state = dir / "toy.bkms";
    config.state_file = state.c_str();
    config.data_dir = "";
    config.save_dir = dir.path.c_str();
    config.start_time = now_s();
    return emu_start(&config);
  }
  // Waits (up to 5 s) until the thread has run its first step.
  bool wait_first_step() {
    for (int i = 0; i < 2500 && emu_kind()[0] == 0; ++i) {
      emu_post(EV_TICK, 0, 0);
      sleep_ms(2);
    }
    return emu_kind()[0] != 0;
  }
  temp_dir dir;
  std::string state;
  emu_config config;
};

TEST_F(EmuThread, RunsFromAStateFileTakesInputAndStops) {
  ASSERT_EQ(start(), 1);
  EXPECT_EQ(emu_running.load(), 1);
  ASSERT_TRUE(wait_first_step());
  emu_post(EV_JOY1, 0x81, 0);
  for (int i = 0; i < 50; ++i) sleep_ms(2);
  EXPECT_EQ(emu_join(), 1);
  EXPECT_EQ(emu_running.load(), 0);
  bool joystick = false;
  for (int i = 0; i < tos_ilog_count(); ++i)
    joystick |= tos_ilog_entries()[i].type == 'J' && tos_ilog_entries()[i].b == 0x81;
  EXPECT_TRUE(joystick);
  // After the join the ring is gone: posts do nothing.
  emu_post(EV_TICK, 0, 0);
  EXPECT_EQ(evq_count(), 0);
}

TEST_F(EmuThread, AnUnreadableStateFileFailsTheStart) {
  spit(dir / "toy.bkms", "damaged");
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(emu_running.load(), 0);
}

// The start takes the lead that was chosen as a change in play would,
// also the least one of 0; only without a choice it is 3.6.
TEST_F(EmuThread, TheStartTakesTheChosenLead) {
  struct {
    double chosen, lead;
  } rows[] = {{0, 0}, {0.5, 0.5}, {2.5, 2.5}, {-1, 3.6}};
  for (const auto& r : rows) {
    config.lead = r.chosen;
    ASSERT_EQ(start(), 1);
    ASSERT_EQ(emu_join(), 1);
    EXPECT_EQ(emu.lead, r.lead) << r.chosen;
  }
}

TEST_F(EmuThread, WithoutBootDataTheStartFails) {
  config.state_file = nullptr;
  config.data_dir = dir.path.c_str();  // no game data there
  config.save_dir = dir.path.c_str();
  EXPECT_EQ(emu_start(&config), 0);
  EXPECT_EQ(emu_running.load(), 0);
  emu_post(EV_TICK, 0, 0);
  EXPECT_EQ(evq_count(), 0) << "no queue without a thread";
}

// A thread that does not stop within 3 s is left behind: the join says so
// and reports it, so that nothing the thread uses is freed under it.
TEST_F(EmuThread, AJoinThatTimesOutLeavesTheThreadAndSaysSo) {
  log_capture log;
  ASSERT_EQ(start(), 1);
  ASSERT_TRUE(wait_first_step());
  toy_stuck = true;  // the next slice hangs
  for (int i = 0; i < 2500 && !toy_hanging.load(); ++i) {
    emu_post(EV_TICK, 0, 0);
    sleep_ms(2);
  }
  ASSERT_TRUE(toy_hanging.load());
  EXPECT_EQ(emu_join(), 0);
  EXPECT_EQ(emu_running.load(), 1);
  EXPECT_NE(log.text().find("The emulation thread did not stop within 3 s; leaving it behind"), std::string::npos);
  toy_stuck = false;  // it ends by itself now, unjoined
  for (int i = 0; i < 2500 && emu_running.load(); ++i) sleep_ms(2);
  EXPECT_EQ(emu_running.load(), 0);
}

TEST_F(EmuThread, StopsWithAFullRing) {
  ASSERT_EQ(start(), 1);
  ASSERT_TRUE(wait_first_step());
  emu_post(EV_PAUSE, 1, 0);
  for (int i = 0; i < 5000; ++i) emu_post(EV_TICK, 0, 0);
  const double t0 = now_s();
  EXPECT_EQ(emu_join(), 1);
  EXPECT_LT(now_s() - t0, 2.0);
}

TEST_F(EmuThread, StopsWhileBlockedOnAFullPresenterQueue) {
  toy_frames = true;  // one message per VBL that nobody reads
  ASSERT_EQ(start(), 1);
  emu_post(EV_GAME_RATE, 2000, 0);
  // The join must free a sender that is already waiting, not one that
  // would stop before its next push anyway.
  for (int i = 0; i < 2500 && msgq_waiting_senders() == 0; ++i) sleep_ms(2);
  ASSERT_GE(msgq_count(), msg_queue_size - 1) << "the thread should have filled the queue";
  ASSERT_EQ(msgq_waiting_senders(), 1) << "the thread should wait for room";
  EXPECT_EQ(emu_join(), 1);
  EXPECT_EQ(msgq_waiting_senders(), 0);
}

// The game's two patch switches as the start sets them from the options:
// the enemy-script fix in its own switch, invulnerability only when asked.
TEST_F(EmuThread, TheFixAndInvulnerabilityOptionsEachSetTheirOwnSwitch) {
  struct {
    int fix, god;
  } rows[] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "fix " << r.fix << " god " << r.god);
    tos_set_patch(0, 0);
    tos_set_patch(1, 0);
    config = emu_config{};
    config.fix = r.fix;
    config.god = r.god;
    ASSERT_EQ(start(), 1);
    ASSERT_EQ(emu_join(), 1);
    EXPECT_EQ(g_cpu.patch_flags[1], r.fix) << "enemy-script fix";
    EXPECT_EQ(g_cpu.patch_flags[0], r.god) << "invulnerability";
    EXPECT_EQ(emu.fix_on, r.fix);
    EXPECT_EQ(emu.god_on, r.god);
  }
}

} // namespace
