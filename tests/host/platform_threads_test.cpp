#include "host/platform.h"
#include "support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct stack_probe {
  size_t stack_size = 0;
  port_event* done = nullptr;
};

void probe_stack(void* p) {
  auto* probe = static_cast<stack_probe*>(p);
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) == 0) {
    pthread_attr_getstacksize(&attr, &probe->stack_size);
    pthread_attr_destroy(&attr);
  }
  port_event_signal(probe->done);
}

TEST(PlatformThreads, JoinableThreadRunsWithTheRequestedStack) {
  stack_probe probe;
  port_thread* t = nullptr;
  ASSERT_EQ(port_thread_start_stack(probe_stack, &probe, &t, 64u << 20), 1);
  ASSERT_NE(t, nullptr);
  port_thread_join(t);
  EXPECT_GE(probe.stack_size, size_t{64} << 20);
}

TEST(PlatformThreads, DetachedThreadRunsWithoutAHandle) {
  stack_probe probe;
  probe.done = port_event_new();
  ASSERT_EQ(port_thread_start(probe_stack, &probe, nullptr), 1);
  EXPECT_EQ(port_event_wait(probe.done, 10000), 1);
  port_event_free(probe.done);
}

TEST(PlatformThreads, RefusedStackSizeFailsTheStart) {
  int ran = 0;
  port_thread* t = nullptr;
  EXPECT_EQ(port_thread_start_stack([](void* p) { *static_cast<int*>(p) = 1; }, &ran, &t, 1), 0);
  EXPECT_EQ(t, nullptr);
  EXPECT_EQ(port_thread_start(nullptr, nullptr, &t), 0);
  EXPECT_EQ(ran, 0);
}

struct counter {
  port_mutex* m;
  long value;
};

TEST(PlatformThreads, MutexKeepsIncrementsWhole) {
  counter c{port_mutex_new(), 0};
  ASSERT_NE(c.m, nullptr);
  auto work = [](void* p) {
    auto* c = static_cast<counter*>(p);
    for (int i = 0; i < 100000; i++) {
      port_mutex_lock(c->m);
      long v = c->value;
      c->value = v + 1;
      port_mutex_unlock(c->m);
    }
  };
  std::vector<port_thread*> threads(4);
  for (auto& t : threads) ASSERT_EQ(port_thread_start(work, &c, &t), 1);
  for (auto* t : threads) port_thread_join(t);
  EXPECT_EQ(c.value, 400000);
  port_mutex_free(c.m);
}

TEST(PlatformThreads, NullHandlesAreHarmless) {
  port_thread_join(nullptr);
  port_mutex_free(nullptr);
  port_mutex_lock(nullptr);
  port_mutex_unlock(nullptr);
  port_event_free(nullptr);
  port_event_signal(nullptr);
  EXPECT_EQ(port_event_wait(nullptr, 10), 0);
  EXPECT_GE(port_cpu_count(), 1);
}

TEST(PlatformEvents, ZeroWaitTestsAndClears) {
  port_event* e = port_event_new();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(port_event_wait(e, 0), 0);
  port_event_signal(e);
  port_event_signal(e);  // an event counts no signals: still one wake
  EXPECT_EQ(port_event_wait(e, 0), 1);
  EXPECT_EQ(port_event_wait(e, 0), 0);
  port_event_free(e);
}

TEST(PlatformEvents, SignalBeforeTheWaitIsNotLost) {
  port_event* e = port_event_new();
  port_event_signal(e);
  double t0 = now_s();
  EXPECT_EQ(port_event_wait(e, 60000), 1);
  EXPECT_LT(now_s() - t0, 30.0);  // returned at once, not at the deadline
  EXPECT_EQ(port_event_wait(e, 0), 0);
  port_event_free(e);
}

TEST(PlatformEvents, TimedOutWaitWaitsItsTimeAndReturnsZero) {
  port_event* e = port_event_new();
  double t0 = now_s();
  EXPECT_EQ(port_event_wait(e, 50), 0);
  EXPECT_GE(now_s() - t0, 0.049);
  port_event_free(e);
}

struct waker {
  port_event* e;
  double delay_ms;
};

TEST(PlatformEvents, SignalFromAnotherThreadWakesTheWaiter) {
  waker w{port_event_new(), 20};
  port_thread* t = nullptr;
  ASSERT_EQ(port_thread_start(
                [](void* p) {
                  auto* w = static_cast<waker*>(p);
                  sleep_ms(w->delay_ms);
                  port_event_signal(w->e);
                },
                &w, &t),
            1);
  double t0 = now_s();
  EXPECT_EQ(port_event_wait(w.e, 60000), 1);
  EXPECT_LT(now_s() - t0, 30.0);
  EXPECT_EQ(port_event_wait(w.e, 0), 0);  // the wake cleared it
  port_thread_join(t);
  port_event_free(w.e);
}

struct two_waiters {
  port_event* e;
  std::atomic<int> woken{0};
};

TEST(PlatformEvents, OneSignalWakesOneWaiter) {
  two_waiters s;
  s.e = port_event_new();
  auto wait = [](void* p) {
    auto* s = static_cast<two_waiters*>(p);
    s->woken += port_event_wait(s->e, 300);
  };
  port_thread* a = nullptr;
  port_thread* b = nullptr;
  ASSERT_EQ(port_thread_start(wait, &s, &a), 1);
  ASSERT_EQ(port_thread_start(wait, &s, &b), 1);
  sleep_ms(30);
  port_event_signal(s.e);
  port_thread_join(a);
  port_thread_join(b);
  EXPECT_EQ(s.woken.load(), 1);
  port_event_free(s.e);
}

TEST(PlatformTime, ClockAdvancesAcrossASleep) {
  double t0 = now_s();
  EXPECT_GT(t0, 0.0);
  sleep_ms(0);
  sleep_ms(-5);
  sleep_ms(20);
  EXPECT_GE(now_s() - t0, 0.019);
}

// Runs fn on its own thread and waits at most `limit` for it; a thread that
// never ends is left behind (detached), so the test fails instead of hanging.
bool finishes_within(std::chrono::seconds limit, std::function<void()> fn) {
  struct shared {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
  };
  auto s = std::make_shared<shared>();
  std::thread t([s, fn] {
    fn();
    std::lock_guard<std::mutex> lock(s->m);
    s->done = true;
    s->cv.notify_all();
  });
  std::unique_lock<std::mutex> lock(s->m);
  const bool done = s->cv.wait_for(lock, limit, [&] { return s->done; });
  lock.unlock();
  if (done)
    t.join();
  else
    t.detach();
  return done;
}

TEST(PlatformEvents, TimedWaitsWhoseDeadlineCarriesIntoTheNextSecond) {
  // 25 waits of 50 ms span more than a second, so the deadline's
  // nanoseconds carry into the seconds at least once (and the emulation
  // thread's 2 ms waits take that path all the time).
  auto durations = std::make_shared<std::vector<double>>();
  port_event* e = port_event_new();
  ASSERT_NE(e, nullptr);
  const bool ended = finishes_within(std::chrono::seconds(20), [e, durations] {
    for (int i = 0; i < 25; i++) {
      double t0 = now_s();
      port_event_wait(e, 50);
      durations->push_back(now_s() - t0);
    }
  });
  ASSERT_TRUE(ended) << "a timed wait never ended";
  ASSERT_EQ(durations->size(), 25u);
  for (size_t i = 0; i < durations->size(); i++) {
    EXPECT_GE((*durations)[i], 0.049) << i;
    EXPECT_LT((*durations)[i], 1.0) << i;
  }
  port_event_free(e);
}

TEST(PlatformEvents, TheShortestWaitsReallyWait) {
  port_event* e = port_event_new();
  double t0 = now_s();
  EXPECT_EQ(port_event_wait(e, 1), 0);
  EXPECT_GE(now_s() - t0, 0.00099);
  t0 = now_s();
  sleep_ms(1);
  EXPECT_GE(now_s() - t0, 0.00099);
  t0 = now_s();
  sleep_ms(0.5);
  EXPECT_GE(now_s() - t0, 0.00049) << "fractions of a millisecond count";
  port_event_free(e);
}

TEST(PlatformTime, NowIsTheMonotonicClockInSeconds) {
  for (int i = 0; i < 100; i++) {
    timespec a{}, b{};
    clock_gettime(CLOCK_MONOTONIC, &a);
    const double now = now_s();
    clock_gettime(CLOCK_MONOTONIC, &b);
    const double before = static_cast<double>(a.tv_sec) + static_cast<double>(a.tv_nsec) / 1e9;
    const double after = static_cast<double>(b.tv_sec) + static_cast<double>(b.tv_nsec) / 1e9;
    ASSERT_GE(now, before - 1e-6) << i;
    ASSERT_LE(now, after + 1e-6) << i;
  }
}

void ignore_signal(int) {}

TEST(PlatformTime, ASignalDoesNotCutASleepShort) {
  struct sigaction quiet {}, old {};
  quiet.sa_handler = ignore_signal;
  sigemptyset(&quiet.sa_mask);
  quiet.sa_flags = 0;  // no restart: the signal interrupts nanosleep
  ASSERT_EQ(sigaction(SIGUSR1, &quiet, &old), 0);
  const pthread_t sleeper = pthread_self();
  std::atomic<int> sent{0};
  std::thread poker([&] {
    for (int i = 0; i < 5; i++) {
      std::this_thread::sleep_for(std::chrono::milliseconds(15));
      pthread_kill(sleeper, SIGUSR1);
      sent++;
    }
  });
  const double t0 = now_s();
  sleep_ms(150);
  const double slept = now_s() - t0;
  poker.join();
  sigaction(SIGUSR1, &old, nullptr);
  EXPECT_GE(sent.load(), 1);
  EXPECT_GE(slept, 0.149);
}

// A process that ends while a thread of its may still run: what it wrote
// to its standard streams goes out, the exit-time clean-up does not run.
TEST(PlatformExit, EndsAtOnceAfterFlushingTheStandardStreams) {
  temp_dir dir;
  static std::string out_path, ran_path;
  out_path = dir / "out.txt";
  ran_path = dir / "ran";
  const pid_t pid = fork();
  if (pid == 0) {
    if (!std::freopen(out_path.c_str(), "w", stdout)) _exit(98);
    std::setvbuf(stdout, nullptr, _IOFBF, 4096);
    std::printf("written before the end");
    std::atexit([] { spit(ran_path, "the exit handlers ran"); });
    port_exit_now(7);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 7);
  EXPECT_EQ(slurp(out_path), "written before the end");
  EXPECT_FALSE(std::filesystem::exists(ran_path));
}

}  // namespace
