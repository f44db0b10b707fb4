// The scripted test mode frame by frame: scripted keys, hold, aim, god
// mode and menu commands become the events and menu moves a person's
// input would, at their times, and only under BKM_TEST.
#include "host/window/devtest.h"

#include "host/emu_events.h"
#include "host/input_bindings.h"
#include "host/language.h"
#include "host/window/app_state.h"
#include "host/window/menu_layer.h"
#include "host/window/menu_options.h"
#include "host/window/video_state.h"
#include "posted_events.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr const char* script_vars[] = {"BKM_JOYSEQ", "BKM_KEYS",   "BKM_MSEQ", "BKM_HOLD",
                                       "BKM_AIM",    "BKM_AIM_FROM", "BKM_AIM_TO", "BKM_GOD_AT",
                                       "BKM_PUSH",   "BKM_NOINPUT",  "BKM_SHOTS"};

class devtest_test : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("BKM_TEST", "1", 1);
    for (const char* v : script_vars) unsetenv(v);
    lang_init(BKM_TEST_LANGUAGES);
    lang_set("en");
    input_defaults();
    menu_build(0, 1, 0);
    devtest_reset();
    god_mode = 0;
    ASSERT_EQ(evq_open(), 1);
  }
  void TearDown() override {
    close_menu();
    evq_close();
    devtest_reset();
    for (const char* v : script_vars) unsetenv(v);
    god_mode = 0;
  }
  posts at(double t, const char* kind = "other") {
    shot_asked = devtest_frame(t, kind);
    posts out;
    emu_event e;
    while (ev_pop(&e)) out.push_back({e.kind, e.a, e.b});
    return out;
  }
  // The lines the menu script logged, in their order.
  static std::vector<std::string> menu_lines(const std::string& log) {
    std::vector<std::string> out;
    size_t at = 0;
    while ((at = log.find("menu script: ", at)) != std::string::npos) {
      const size_t end = log.find('\n', at);
      out.push_back(log.substr(at + 13, end - at - 13));
      at = end;
    }
    return out;
  }
  bool shot_asked = false;
};

TEST_F(devtest_test, KeysArePressedAtTheirTimeAndReleasedAQuarterSecondLater) {
  setenv("BKM_KEYS", "0.5:2,0.6:3,0.7:200", 1);
  EXPECT_EQ(at(0.4), posts{});
  EXPECT_EQ(at(0.5), (posts{{EV_KEY, 2, 1}}));
  EXPECT_EQ(at(0.6), (posts{{EV_KEY, 3, 1}}));
  EXPECT_EQ(at(0.74), posts{});
  EXPECT_EQ(at(0.75), (posts{{EV_KEY, 2, 0}}));
  EXPECT_EQ(at(0.9), (posts{{EV_KEY, 3, 0}}));
  EXPECT_EQ(at(5), posts{});
}

TEST_F(devtest_test, HoldAimAndGodModeOnChange) {
  setenv("BKM_HOLD", "1:2", 1);
  setenv("BKM_AIM", "8", 1);
  setenv("BKM_AIM_FROM", "1.5", 1);
  setenv("BKM_AIM_TO", "3", 1);
  setenv("BKM_GOD_AT", "2.5", 1);
  pad_aim_autofire = 1;
  EXPECT_EQ(at(0.5), posts{});
  EXPECT_EQ(at(1.0), (posts{{EV_HOLD, 0, 1}}));
  EXPECT_EQ(at(1.2), posts{});
  EXPECT_EQ(at(1.5), (posts{{EV_AIM, 0, 8 | JOY_FIRE}}));
  EXPECT_EQ(at(2.0), (posts{{EV_HOLD, 0, 0}}));
  EXPECT_EQ(at(2.5), posts{});
  EXPECT_EQ(at(2.6), (posts{{EV_GOD, 1, 0}}));
  EXPECT_EQ(god_mode, 1);
  EXPECT_EQ(at(3.0), (posts{{EV_AIM, 0, 0}}));
  EXPECT_EQ(at(4.0), posts{});
}

TEST_F(devtest_test, MenuCommandsRunOnceEachAtTheirTime) {
  setenv("BKM_MSEQ", "0:open,0.1:tabnext,0.2:down,0.3:up,0.35:up,0.4:enter,0.5:close", 1);
  EXPECT_EQ(at(0).back(), (posted{EV_PAUSE, 1, 0}));
  EXPECT_TRUE(menu_open);
  EXPECT_EQ(menu_options->tab, 0);
  at(0.1);
  EXPECT_EQ(menu_options->tab, 1);
  const int first = menu_options->cursor;
  at(0.15);
  EXPECT_EQ(menu_options->cursor, first);  // nothing due yet
  at(0.2);
  EXPECT_GT(menu_options->cursor, first);
  at(0.35);  // both "up" are due: back to the first item, then the tab bar
  EXPECT_EQ(menu_options->tab_focus, 1);
  at(0.4);
  EXPECT_EQ(menu_options->tab_focus, 0);
  EXPECT_EQ(menu_options->cursor, first);
  EXPECT_EQ(at(0.5).back(), (posted{EV_PAUSE, 0, 0}));
  EXPECT_FALSE(menu_open);
  at(0.6);
  EXPECT_FALSE(menu_open);
  EXPECT_EQ(menu_options->tab, 1);
}

// A step waits for every step before it, whatever its own time, and each
// step is logged once as it is played.
TEST_F(devtest_test, MenuStepsRunInTheirOrderAndAreLogged) {
  log_capture log;
  setenv("BKM_MSEQ", "1:open,0:tabnext,0:down,2:close", 1);
  at(0.5);
  EXPECT_FALSE(menu_open);
  EXPECT_EQ(menu_options->tab, 0) << "tabnext waits for the open before it";
  EXPECT_EQ(menu_lines(log.text()), std::vector<std::string>{});
  at(1);
  EXPECT_TRUE(menu_open);
  EXPECT_EQ(menu_options->tab, 1);
  EXPECT_EQ(menu_lines(log.text()), (std::vector<std::string>{"open", "tabnext", "down"}));
  at(2);
  at(3);
  EXPECT_FALSE(menu_open);
  EXPECT_EQ(menu_lines(log.text()), (std::vector<std::string>{"open", "tabnext", "down", "close", "finished"}));
}

// "shot": the frame drawn after the steps before it is written to
// BKM_SHOTS/mNN.png, and the steps after it wait for that frame; without
// BKM_SHOTS the shot is skipped and logged.
TEST_F(devtest_test, AMenuShotIsOfTheFrameAfterTheStepsBeforeIt) {
  struct row {
    const char* shots;
    std::vector<std::string> first_frame, lines;
  } rows[] = {
      {"/tmp/bkm_shots", {"open"}, {"open", "shot m00.png", "tabnext", "shot m01.png", "finished"}},
      {nullptr,
       {"open", "shot skipped (no BKM_SHOTS)", "tabnext", "shot skipped (no BKM_SHOTS)", "finished"},
       {"open", "shot skipped (no BKM_SHOTS)", "tabnext", "shot skipped (no BKM_SHOTS)", "finished"}},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.shots ? r.shots : "no BKM_SHOTS");
    log_capture log;
    devtest_reset();
    close_menu();
    menu_options->tab = 0;
    g_video.shot_path[0] = 0;
    r.shots ? setenv("BKM_SHOTS", r.shots, 1) : unsetenv("BKM_SHOTS");
    setenv("BKM_MSEQ", "0:open,0:shot,0:tabnext,0:shot", 1);
    at(0);
    EXPECT_EQ(menu_lines(log.text()), r.first_frame);
    EXPECT_EQ(shot_asked, r.shots != nullptr);
    EXPECT_STREQ(g_video.shot_path, r.shots ? "/tmp/bkm_shots/m00.png" : "");
    if (r.shots) {
      EXPECT_EQ(menu_options->tab, 0) << "the tab changes only after the shot";
      g_video.shot_path[0] = 0;  // drawn
      at(0.01);
      EXPECT_TRUE(shot_asked);
      EXPECT_STREQ(g_video.shot_path, "/tmp/bkm_shots/m01.png");
      EXPECT_EQ(menu_options->tab, 1);
      g_video.shot_path[0] = 0;
      at(0.02);
      EXPECT_FALSE(shot_asked);
      at(0.03);
    }
    EXPECT_EQ(menu_options->tab, 1);
    EXPECT_EQ(menu_lines(log.text()), r.lines);
    EXPECT_STREQ(g_video.shot_path, "");
  }
}

TEST_F(devtest_test, EntriesTimedFromAScreenWaitForIt) {
  setenv("BKM_KEYS", "players+0.5:2,1:3", 1);
  setenv("BKM_MSEQ", "map+0.2:open", 1);
  EXPECT_EQ(at(0.5), posts{});
  EXPECT_EQ(at(1.0), (posts{{EV_KEY, 3, 1}}));
  EXPECT_EQ(at(20, "players"), (posts{{EV_KEY, 3, 0}}));
  EXPECT_EQ(at(20.4, "players"), posts{});
  EXPECT_EQ(at(20.5, "map"), (posts{{EV_KEY, 2, 1}}));
  EXPECT_FALSE(menu_open);
  EXPECT_EQ(at(20.6, "map"), posts{});
  EXPECT_EQ(at(20.7, "map").back(), (posted{EV_PAUSE, 1, 0}));
  EXPECT_TRUE(menu_open);
}

TEST_F(devtest_test, NothingWithoutTestMode) {
  unsetenv("BKM_TEST");
  setenv("BKM_KEYS", "0:2", 1);
  setenv("BKM_MSEQ", "0:open", 1);
  EXPECT_EQ(at(1), posts{});
  EXPECT_FALSE(menu_open);
}

}  // namespace
