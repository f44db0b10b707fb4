#include "host/input_bindings.h"
#include "host/pads.h"

#include <SDL.h>

#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

class PadState : public ::testing::Test {
 protected:
  void SetUp() override {
    input_defaults();
    pad_dual_stick = 1;
  }
  void TearDown() override {
    input_defaults();
    pad_dual_stick = 1;
  }
};

pad_reading centred() { return pad_reading{}; }

TEST_F(PadState, Directions) {
  struct row {
    const char* what;
    int dpad, lx, ly;
    int joy;
  } rows[] = {
      {"nothing", 0, 0, 0, 0},
      {"d-pad up", JOY_UP, 0, 0, JOY_UP},
      {"stick just past the threshold left", 0, -11469, 0, JOY_LEFT},
      {"stick on the threshold", 0, -11468, 11468, 0},
      {"stick down right", 0, 11469, 11469, JOY_DOWN | JOY_RIGHT},
      {"d-pad left, stick right", JOY_LEFT, 20000, 0, 0},
      {"d-pad up, stick down", JOY_UP, 0, 32767, 0},
      {"full diagonal", 0, -32768, -32768, JOY_UP | JOY_LEFT},
  };
  for (const row& r : rows) {
    pad_reading p = centred();
    p.dpad = r.dpad;
    p.left_x = r.lx;
    p.left_y = r.ly;
    EXPECT_EQ(pad_state_from(p).joy, r.joy) << r.what;
  }
}

TEST_F(PadState, TriggersAndFire) {
  pad_reading p = centred();
  p.left_trigger = 9830;
  p.right_trigger = 9830;
  EXPECT_EQ(pad_state_from(p).buttons, 0);
  EXPECT_EQ(pad_state_from(p).joy, 0);
  p.right_trigger = 9831;  // RT is the second fire
  EXPECT_EQ(pad_state_from(p).buttons, PAD_BTN_RT);
  EXPECT_EQ(pad_state_from(p).joy, JOY_FIRE);
  p.left_trigger = 9831;  // LT holds
  EXPECT_EQ(pad_state_from(p).hold, 1);

  pad_set_bind(PAD_FIRE2, 0);
  EXPECT_EQ(pad_state_from(p).joy, 0);
  p.buttons = PAD_BTN_A;
  EXPECT_EQ(pad_state_from(p).joy, JOY_FIRE);
  pad_set_bind(PAD_FIRE, 0);
  EXPECT_EQ(pad_state_from(p).joy, 0);  // an unbound fire never fires
  EXPECT_EQ(pad_state_from(p).buttons, PAD_BTN_A | PAD_BTN_LT | PAD_BTN_RT);
}

TEST_F(PadState, ActionsFollowTheBindings) {
  struct row {
    int buttons;
    int wnext, hold, actions;
  } rows[] = {
      {PAD_BTN_RB, 1, 0, 0},
      {PAD_BTN_LB, 0, 0, PAD_ACT_WPREV},
      {PAD_BTN_B | PAD_BTN_X, 0, 0, PAD_ACT_ROCKET | PAD_ACT_GRENADE},
      {PAD_BTN_START | PAD_BTN_BACK, 0, 0, PAD_ACT_MENU | PAD_ACT_EXIT},
      {PAD_BTN_Y | PAD_BTN_L3 | PAD_BTN_R3, 0, 0, 0},
  };
  for (const row& r : rows) {
    pad_reading p = centred();
    p.buttons = r.buttons;
    pad_state s = pad_state_from(p);
    EXPECT_EQ(s.wnext, r.wnext) << r.buttons;
    EXPECT_EQ(s.hold, r.hold) << r.buttons;
    EXPECT_EQ(s.actions, r.actions) << r.buttons;
    EXPECT_EQ(s.buttons, r.buttons);
  }
  pad_set_bind(PAD_EXIT, PAD_BTN_Y);
  pad_reading p = centred();
  p.buttons = PAD_BTN_Y | PAD_BTN_BACK;
  EXPECT_EQ(pad_state_from(p).actions, PAD_ACT_EXIT);
}

// The right stick at an angle (degrees, counter-clockwise from right) and radius.
pad_reading right_stick(double degrees, double radius) {
  pad_reading p{};
  double a = degrees * M_PI / 180.0;
  p.right_x = static_cast<int>(std::lround(std::cos(a) * radius));
  p.right_y = static_cast<int>(std::lround(-std::sin(a) * radius));  // SDL's y grows downwards
  return p;
}

TEST_F(PadState, AimSectors) {
  struct row {
    double degrees, radius;
    int aim;
  } rows[] = {
      {20, 32767, JOY_RIGHT},           {30, 32767, JOY_UP | JOY_RIGHT},
      {0, 32767, JOY_RIGHT},            {90, 32767, JOY_UP},
      {180, 32767, JOY_LEFT},           {270, 32767, JOY_DOWN},
      {160, 32767, JOY_LEFT},           {200, 32767, JOY_LEFT},
      {225, 32767, JOY_DOWN | JOY_LEFT}, {66, 32767, JOY_UP | JOY_RIGHT},
      {70, 32767, JOY_UP},              {45, 13000, 0},
      {45, 13200, JOY_UP | JOY_RIGHT},
  };
  for (const row& r : rows) EXPECT_EQ(pad_state_from(right_stick(r.degrees, r.radius)).aim, r.aim) << r.degrees;

  // The full diagonals: the squared radius passes 2^31.
  struct corner {
    int x, y, aim;
  } corners[] = {{-32768, 32767, JOY_DOWN | JOY_LEFT},
                 {-32768, -32768, JOY_UP | JOY_LEFT},
                 {32767, 32767, JOY_DOWN | JOY_RIGHT},
                 {32767, -32768, JOY_UP | JOY_RIGHT}};
  for (const corner& c : corners) {
    pad_reading p{};
    p.right_x = c.x;
    p.right_y = c.y;
    EXPECT_EQ(pad_state_from(p).aim, c.aim) << c.x << "," << c.y;
  }

  pad_dual_stick = 0;
  EXPECT_EQ(pad_state_from(right_stick(90, 32767)).aim, 0);
}

// Virtual controllers through SDL's joystick layer; no window needed.
class VirtualPads : public ::testing::Test {
 protected:
  void SetUp() override {
    input_defaults();
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    ASSERT_EQ(SDL_Init(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
  }
  void TearDown() override {
    pads_close();
    for (int index : attached_) SDL_JoystickDetachVirtual(index);
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    SDL_Quit();
  }

  // Attaches a controller and returns its joystick for setting its inputs.
  SDL_Joystick* attach() {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    int index = SDL_JoystickAttachVirtualEx(&desc);
    EXPECT_GE(index, 0) << SDL_GetError();
    SDL_Joystick* j = SDL_JoystickOpen(index);
    EXPECT_NE(j, nullptr) << SDL_GetError();
    joysticks_.push_back(j);
    attached_.push_back(index);
    return j;
  }
  void detach(SDL_Joystick* j) {
    SDL_JoystickID id = SDL_JoystickInstanceID(j);
    for (size_t i = 0; i < joysticks_.size(); i++) {
      if (joysticks_[i] != j) continue;
      for (int d = 0; d < SDL_NumJoysticks(); d++)
        if (SDL_JoystickGetDeviceInstanceID(d) == id) SDL_JoystickDetachVirtual(d);
      SDL_JoystickClose(j);
      joysticks_.erase(joysticks_.begin() + static_cast<long>(i));
      attached_.clear();  // indices shift on a detach; the rest go at teardown by id
      return;
    }
  }
  std::vector<SDL_Joystick*> joysticks_;
  std::vector<int> attached_;
};

TEST_F(VirtualPads, ButtonsSticksAndTriggers) {
  SDL_Joystick* j = attach();
  pad_state s[2];
  ASSERT_EQ(pads_read(s), 1);
  EXPECT_EQ(s[0].buttons, 0);

  SDL_JoystickSetVirtualButton(j, SDL_CONTROLLER_BUTTON_A, 1);
  SDL_JoystickSetVirtualButton(j, SDL_CONTROLLER_BUTTON_BACK, 1);
  SDL_JoystickSetVirtualButton(j, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1);
  SDL_JoystickSetVirtualAxis(j, SDL_CONTROLLER_AXIS_LEFTX, 20000);  // stick right
  SDL_JoystickSetVirtualAxis(j, SDL_CONTROLLER_AXIS_LEFTY, -20000);
  SDL_JoystickSetVirtualAxis(j, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 9831);
  SDL_JoystickSetVirtualAxis(j, SDL_CONTROLLER_AXIS_RIGHTX, 32767);
  ASSERT_EQ(pads_read(s), 1);
  EXPECT_EQ(s[0].buttons, PAD_BTN_A | PAD_BTN_BACK | PAD_BTN_RT);
  EXPECT_EQ(s[0].joy, JOY_UP | JOY_FIRE);  // d-pad left and stick right cancel
  EXPECT_EQ(s[0].actions, PAD_ACT_EXIT);
  EXPECT_EQ(s[0].aim, JOY_RIGHT);
}

TEST_F(VirtualPads, SlotsFollowPlugging) {
  SDL_Joystick* first = attach();
  SDL_Joystick* second = attach();
  SDL_JoystickSetVirtualButton(first, SDL_CONTROLLER_BUTTON_X, 1);
  SDL_JoystickSetVirtualButton(second, SDL_CONTROLLER_BUTTON_Y, 1);
  pad_state s[2];
  ASSERT_EQ(pads_read(s), 2);
  EXPECT_EQ(s[0].buttons, PAD_BTN_X);
  EXPECT_EQ(s[1].buttons, PAD_BTN_Y);

  SDL_Joystick* third = attach();
  SDL_JoystickSetVirtualButton(third, SDL_CONTROLLER_BUTTON_B, 1);
  ASSERT_EQ(pads_read(s), 2);  // only the first two attached are read
  EXPECT_EQ(s[0].buttons, PAD_BTN_X);
  EXPECT_EQ(s[1].buttons, PAD_BTN_Y);

  detach(first);
  ASSERT_EQ(pads_read(s), 2);
  EXPECT_EQ(s[0].buttons, PAD_BTN_Y);
  EXPECT_EQ(s[1].buttons, PAD_BTN_B);

  detach(second);
  detach(third);
  EXPECT_EQ(pads_read(s), 0);
}

TEST_F(VirtualPads, TwoReadersAtOnce) {
  SDL_Joystick* j = attach();
  SDL_JoystickSetVirtualButton(j, SDL_CONTROLLER_BUTTON_START, 1);
  std::atomic<int> wrong{0};
  auto reader = [&] {
    pad_state s[2];
    for (int i = 0; i < 500; i++)
      if (pads_read(s) != 1 || s[0].buttons != PAD_BTN_START) wrong++;
  };
  std::thread other(reader);
  reader();
  other.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
