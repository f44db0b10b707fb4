// The command ring between the other threads and the emulation thread.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "host/emu_events.h"

namespace {

class EventRing : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(evq_open(), 1); }
  void TearDown() override { evq_close(); }

  std::vector<emu_event> drain() {
    std::vector<emu_event> out;
    emu_event ev;
    while (ev_pop(&ev)) out.push_back(ev);
    return out;
  }
};

TEST_F(EventRing, KeepsOrderAndLosesTheEventBeyondTheRing) {
  for (int i = 0; i < evq_capacity + 1; ++i) emu_post(EV_TICK, i, 0);
  const auto got = drain();
  ASSERT_EQ(got.size(), static_cast<size_t>(evq_capacity));
  for (int i = 0; i < evq_capacity; ++i) ASSERT_EQ(got[i].a, i) << "event " << i;
}

TEST_F(EventRing, AFullRingStillTakesAReleaseAndAQuit) {
  emu_post(EV_KEY, 30, 1);
  for (int i = 1; i < evq_capacity; ++i) emu_post(EV_TICK, i, 0);
  emu_post(EV_KEY, 30, 0);
  emu_post(EV_QUIT, 0, 0);
  const auto got = drain();
  ASSERT_EQ(got.size(), static_cast<size_t>(evq_capacity));
  EXPECT_EQ(got.front().kind, EV_KEY);
  EXPECT_EQ(got.front().b, 1);
  EXPECT_EQ(got[got.size() - 2].kind, EV_KEY);
  EXPECT_EQ(got[got.size() - 2].b, 0);
  EXPECT_EQ(got.back().kind, EV_QUIT);
  // The newest ticks made the room.
  EXPECT_EQ(got[got.size() - 3].a, evq_capacity - 3);
}

TEST_F(EventRing, PressesAreRefusedFirst) {
  for (int i = 0; i < evq_press_limit; ++i) emu_post(EV_TICK, i, 0);
  emu_post(EV_KEY, 57, 1);  // refused: no room kept for its release
  emu_post(EV_KEY, 57, 0);
  emu_post(EV_JOY1, 0x80, 0);
  const auto got = drain();
  ASSERT_EQ(got.size(), static_cast<size_t>(evq_press_limit + 2));
  EXPECT_EQ(got[evq_press_limit].kind, EV_KEY);
  EXPECT_EQ(got[evq_press_limit].b, 0);
  EXPECT_EQ(got[evq_press_limit + 1].kind, EV_JOY1);
}

TEST(EventRingLife, PostsBeforeOpenAndAfterCloseDoNothing) {
  evq_close();
  emu_post(EV_TICK, 1, 0);
  emu_event ev;
  EXPECT_EQ(ev_pop(&ev), 0);
  ASSERT_EQ(evq_open(), 1);
  EXPECT_EQ(evq_count(), 0);
  emu_post(EV_TICK, 2, 0);
  evq_close();
  emu_post(EV_TICK, 3, 0);
  EXPECT_EQ(ev_pop(&ev), 0);
  ASSERT_EQ(evq_open(), 1);
  EXPECT_EQ(evq_count(), 0) << "a reopened ring starts empty";
  evq_close();
}

TEST(EventRingLife, PostsFromSeveralThreadsAllArriveInEachThreadsOrder) {
  ASSERT_EQ(evq_open(), 1);
  constexpr int per_thread = 200;
  std::vector<std::thread> posters;
  for (int t = 0; t < 4; ++t)
    posters.emplace_back([t] {
      for (int i = 0; i < per_thread; ++i) emu_post(EV_TICK, t, i);
    });
  int next[4] = {};
  int seen = 0;
  while (seen < 4 * per_thread) {
    emu_event ev;
    if (!ev_pop(&ev)) {
      ev_wait(1);
      continue;
    }
    const int t = static_cast<int>(ev.a);
    ASSERT_EQ(ev.b, next[t]);
    ++next[t];
    ++seen;
  }
  for (auto& p : posters) p.join();
  evq_close();
}

} // namespace
