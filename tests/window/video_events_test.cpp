// Window events: SDL events become the host's event records, and the keys
// the fast input thread asks about are read from SDL's keyboard state.
#include "host/window/video_state.h"
#include "test_guards.h"
#include "window_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

void push_key(SDL_Scancode scancode, bool down, Uint16 mod = 0, bool repeat = false) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.repeat = repeat;
  e.key.keysym.scancode = scancode;
  e.key.keysym.mod = mod;
  e.key.windowID = SDL_GetWindowID(g_video.window);
  ASSERT_EQ(SDL_PushEvent(&e), 1);
}

void push_window_event(Uint8 kind, int w = 0, int h = 0) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = kind;
  e.window.data1 = w;
  e.window.data2 = h;
  e.window.windowID = SDL_GetWindowID(g_video.window);
  ASSERT_EQ(SDL_PushEvent(&e), 1);
}

// Events the window system sends by itself (exposure, focus on opening)
// are drained first.
void drain() {
  video_event e;
  while (video_poll(&e)) {
  }
}

struct scancode_case {
  SDL_Scancode scancode;
  int vk;  // 0: no event
};

constexpr scancode_case scancode_cases[] = {
    {SDL_SCANCODE_A, 65},          {SDL_SCANCODE_Z, 90},        {SDL_SCANCODE_1, 49},
    {SDL_SCANCODE_0, 48},          {SDL_SCANCODE_RETURN, 13},   {SDL_SCANCODE_KP_ENTER, 269},
    {SDL_SCANCODE_ESCAPE, 27},     {SDL_SCANCODE_BACKSPACE, 8}, {SDL_SCANCODE_TAB, 9},
    {SDL_SCANCODE_SPACE, 32},      {SDL_SCANCODE_MINUS, 189},   {SDL_SCANCODE_GRAVE, 192},
    {SDL_SCANCODE_SLASH, 191},     {SDL_SCANCODE_F1, 112},      {SDL_SCANCODE_F12, 123},
    {SDL_SCANCODE_F13, 124},       {SDL_SCANCODE_F24, 135},     {SDL_SCANCODE_PRINTSCREEN, 44},
    {SDL_SCANCODE_PAUSE, 19},      {SDL_SCANCODE_PAGEUP, 33},   {SDL_SCANCODE_PAGEDOWN, 34},
    {SDL_SCANCODE_UP, 38},         {SDL_SCANCODE_LEFT, 37},     {SDL_SCANCODE_NUMLOCKCLEAR, 144},
    {SDL_SCANCODE_KP_DIVIDE, 111}, {SDL_SCANCODE_KP_0, 96},     {SDL_SCANCODE_KP_9, 105},
    {SDL_SCANCODE_KP_PERIOD, 110}, {SDL_SCANCODE_APPLICATION, 93},
    {SDL_SCANCODE_LCTRL, 162},     {SDL_SCANCODE_RCTRL, 163},   {SDL_SCANCODE_LSHIFT, 160},
    {SDL_SCANCODE_RSHIFT, 161},    {SDL_SCANCODE_LALT, 164},    {SDL_SCANCODE_RALT, 165},
    {SDL_SCANCODE_LGUI, 0},        {SDL_SCANCODE_RGUI, 0},      {SDL_SCANCODE_NONUSHASH, 0},
    {SDL_SCANCODE_NONUSBACKSLASH, 0}, {SDL_SCANCODE_VOLUMEUP, 0},
};

TEST_F(window_test, KeyEventsCarryVirtualKeyCodes) {
  open(320, 200);
  drain();
  for (const scancode_case& c : scancode_cases) {
    SCOPED_TRACE(SDL_GetScancodeName(c.scancode));
    push_key(c.scancode, true);
    push_key(c.scancode, false);
    video_event e;
    if (!c.vk) {
      EXPECT_EQ(video_poll(&e), 0);
      continue;
    }
    ASSERT_EQ(video_poll(&e), 1);
    EXPECT_EQ(e.kind, VIDEO_EV_KEY);
    EXPECT_EQ(e.key, c.vk);
    EXPECT_EQ(e.down, 1);
    ASSERT_EQ(video_poll(&e), 1);
    EXPECT_EQ(e.key, c.vk);
    EXPECT_EQ(e.down, 0);
    EXPECT_EQ(video_poll(&e), 0);
  }
}

TEST_F(window_test, KeyEventsCarryModifiersAndRepeats) {
  open(320, 200);
  drain();
  struct mod_case {
    Uint16 mod;
    int want;
  };
  const mod_case cases[] = {
      {KMOD_LSHIFT, VIDEO_MOD_SHIFT}, {KMOD_RSHIFT, VIDEO_MOD_SHIFT},
      {KMOD_LCTRL, VIDEO_MOD_CTRL},   {KMOD_RCTRL, VIDEO_MOD_CTRL},
      {KMOD_LALT, VIDEO_MOD_ALT},     {KMOD_RALT, VIDEO_MOD_ALT},
      {KMOD_LSHIFT | KMOD_RCTRL | KMOD_LALT, 7},
      {KMOD_NUM | KMOD_CAPS | KMOD_GUI, 0},
  };
  for (const mod_case& c : cases) {
    for (bool repeat : {false, true}) {
      push_key(SDL_SCANCODE_S, true, c.mod, repeat);
      video_event e;
      ASSERT_EQ(video_poll(&e), 1) << c.mod << " repeat " << repeat;
      EXPECT_EQ(e.modifiers, c.want) << c.mod;
      EXPECT_EQ(e.repeat, repeat);
      EXPECT_EQ(video_poll(&e), 0);
    }
  }
}

TEST_F(window_test, QuitFocusAndResizeEvents) {
  open(320, 200);
  drain();
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  push_window_event(SDL_WINDOWEVENT_FOCUS_LOST);
  push_window_event(SDL_WINDOWEVENT_FOCUS_GAINED);
  push_window_event(SDL_WINDOWEVENT_MOVED, 5, 5);
  push_window_event(SDL_WINDOWEVENT_RESIZED, 400, 300);
  push_window_event(SDL_WINDOWEVENT_SIZE_CHANGED, 400, 300);
  const std::pair<int, int> want[] = {{VIDEO_EV_QUIT, 0},
                                      {VIDEO_EV_FOCUS, 0},
                                      {VIDEO_EV_FOCUS, 1},
                                      {VIDEO_EV_RESIZED, 0},
                                      {VIDEO_EV_RESIZED, 0}};
  for (auto [kind, down] : want) {
    video_event e;
    ASSERT_EQ(video_poll(&e), 1);
    EXPECT_EQ(e.kind, kind);
    EXPECT_EQ(e.down, down);
  }
  video_event e;
  EXPECT_EQ(video_poll(&e), 0);
  EXPECT_EQ(video_poll(&e), 0);
}

TEST_F(window_test, WindowResizeChangesTheOutputRectangle) {
  open(320, 200);
  vcfg.aspect = 2;
  SDL_SetWindowSize(g_video.window, 640, 480);
  bool resized = false;
  for (int i = 0; i < 100 && !resized; ++i) {
    video_event e;
    while (video_poll(&e)) resized |= e.kind == VIDEO_EV_RESIZED;
    if (!resized) SDL_Delay(10);
  }
  ASSERT_TRUE(resized);
  int x, y, w, h;
  video_rect(&x, &y, &w, &h);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(640, 480));
}

// X key names of the scancode table's keys, pressed through the X server so
// that SDL's keyboard state changes as it does for a real keyboard.
struct x_key {
  const char* name;
  int vk;
};

constexpr x_key x_keys[] = {
    {"a", 65}, {"b", 66}, {"c", 67}, {"d", 68}, {"e", 69}, {"f", 70}, {"g", 71}, {"h", 72},
    {"i", 73}, {"j", 74}, {"k", 75}, {"l", 76}, {"m", 77}, {"n", 78}, {"o", 79}, {"p", 80},
    {"q", 81}, {"r", 82}, {"s", 83}, {"t", 84}, {"u", 85}, {"v", 86}, {"w", 87}, {"x", 88},
    {"y", 89}, {"z", 90}, {"1", 49}, {"2", 50}, {"3", 51}, {"4", 52}, {"5", 53}, {"6", 54},
    {"7", 55}, {"8", 56}, {"9", 57}, {"0", 48},
    {"Return", 13}, {"Escape", 27}, {"BackSpace", 8}, {"Tab", 9}, {"space", 32},
    {"minus", 189}, {"equal", 187}, {"bracketleft", 219}, {"bracketright", 221},
    {"backslash", 220}, {"semicolon", 186}, {"apostrophe", 222}, {"grave", 192},
    {"comma", 188}, {"period", 190}, {"slash", 191},
    {"F1", 112}, {"F2", 113}, {"F3", 114}, {"F4", 115}, {"F5", 116}, {"F6", 117},
    {"F7", 118}, {"F8", 119}, {"F9", 120}, {"F10", 121}, {"F11", 122}, {"F12", 123},
    {"Print", 44}, {"Scroll_Lock", 145}, {"Pause", 19},
    {"Insert", 45}, {"Home", 36}, {"Prior", 33}, {"Delete", 46}, {"End", 35}, {"Next", 34},
    {"Right", 39}, {"Left", 37}, {"Down", 40}, {"Up", 38},
    {"KP_Divide", 111}, {"KP_Multiply", 106}, {"KP_Subtract", 109}, {"KP_Add", 107},
    {"KP_Enter", 269}, {"KP_1", 97}, {"KP_2", 98}, {"KP_3", 99}, {"KP_4", 100},
    {"KP_5", 101}, {"KP_6", 102}, {"KP_7", 103}, {"KP_8", 104}, {"KP_9", 105},
    {"KP_0", 96}, {"KP_Decimal", 110}, {"Menu", 93},
    {"Control_L", 162}, {"Shift_L", 160}, {"Alt_L", 164}, {"Control_R", 163},
    {"Shift_R", 161},
};

bool xdotool(const char* action, const char* key) {
  char command[160];
  snprintf(command, sizeof command, "xdotool %s %s", action, key);
  // xdotool now and then fails to reach a busy X server: a second try does.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (system(command) == 0) return true;
    SDL_Delay(100);
  }
  return false;
}

// Real key events arrive through the X connection: pump until the state
// shows them. The patience is by the clock and generous, since a loaded
// machine can hold the X server back for seconds; a passing key leaves at once.
bool wait_for_key(int vk, int want) {
  const Uint64 give_up = SDL_GetTicks64() + 10000;
  while (SDL_GetTicks64() < give_up) {
    drain();
    if (video_key_down(vk) == want) return true;
    SDL_Delay(2);
  }
  return false;
}

TEST_F(window_test, HeldKeysAreSeenForEveryCodeOfTheTable) {
  open(320, 200);
  SDL_RaiseWindow(g_video.window);
  SDL_SetWindowInputFocus(g_video.window);
  ASSERT_TRUE(xdotool("mousemove", "640 512"));
  drain();
  // Keys pressed on the X server are let go of however the test ends.
  pressed_keys keys(xdotool);
  for (const x_key& k : x_keys) {
    SCOPED_TRACE(k.name);
    EXPECT_EQ(video_key_down(k.vk), 0);
    ASSERT_TRUE(keys.down(k.name));
    EXPECT_TRUE(wait_for_key(k.vk, 1));
    // Either Ctrl answers for the bindings' single Ctrl code.
    EXPECT_EQ(video_key_down(17), k.vk == 162 || k.vk == 163);
    ASSERT_TRUE(keys.up(k.name));
    EXPECT_TRUE(wait_for_key(k.vk, 0));
  }
  EXPECT_EQ(video_key_down(0), 0);
  EXPECT_EQ(video_key_down(-5), 0);
  EXPECT_EQ(video_key_down(100000), 0);
}

TEST_F(window_test, FullscreenSetTwiceSwitchesOnce) {
  open(320, 200);
  drain();
  video_set_fullscreen(1);
  EXPECT_EQ(video_is_fullscreen(), 1);
  SDL_Delay(50);
  drain();
  video_set_fullscreen(1);
  SDL_PumpEvents();
  EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT), 0);
  EXPECT_EQ(video_is_fullscreen(), 1);
  video_set_fullscreen(0);
  EXPECT_EQ(video_is_fullscreen(), 0);
  EXPECT_EQ(video_take_error(), nullptr);
}

TEST_F(window_test, TitleAndFocus) {
  open(320, 200);
  video_title("Brakmoor - 60 fps");
  EXPECT_STREQ(SDL_GetWindowTitle(g_video.window), "Brakmoor - 60 fps");
  video_title(nullptr);
  EXPECT_STREQ(SDL_GetWindowTitle(g_video.window), "");
  video_close();
  EXPECT_EQ(video_has_focus(), 0);
}

}  // namespace
