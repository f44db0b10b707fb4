// The program's one window and everything drawn into it: an SDL2 window
// with an OpenGL 3.3 context, the game picture drawn through a shader into
// the output rectangle, an RGBA overlay (menus, start-up screens) blended
// over it, screenshots, and the window's events turned into Windows-style
// virtual-key codes. Main thread only, except video_key_down and
// video_has_focus, which the fast input thread may call.
#pragma once

#include <cstdint>

// ---- Window and video output ---------------------------------------------

enum video_event_kind {
  VIDEO_EV_QUIT = 0,
  VIDEO_EV_KEY = 1,
  VIDEO_EV_FOCUS = 3,
  VIDEO_EV_RESIZED = 4,
};

enum video_modifier {
  VIDEO_MOD_SHIFT = 1,
  VIDEO_MOD_CTRL = 2,
  VIDEO_MOD_ALT = 4,
};

// Keypad Enter gets a code of its own so that it can be told from Return.
inline constexpr int VK_KEYPAD_ENTER = 256 + 13;

struct video_event {
  int kind = 0;       // video_event_kind
  int key = 0;        // virtual-key code (key events)
  int down = 0;       // key: 1 pressed, 0 released; focus: 1 gained, 0 lost
  int modifiers = 0;  // video_modifier bits, either side
  int repeat = 0;     // 1 for a key repeat
};

// Opens the window (window_w x window_h), its GL context and the textures
// for a game picture of game_w x game_h, and lists the ".glsl" files of
// shader_folder (empty: none). Returns 1, or 0 with the error text set.
int video_open(int window_w, int window_h, int game_w, int game_h, const char* shader_folder);
// Releases everything video_open made. Safe to call twice.
void video_close();
// On X11 a lost display ends the program at once; fn (null: none) runs
// first, on the thread that found the loss, and must not use the display.
void video_on_display_lost(void (*fn)());

// One game frame of game_w x game_h RGB bytes, rows top first.
void video_upload(const uint8_t* rgb);
// An RGBA picture (not premultiplied) laid over the output rectangle; null
// or a zero size removes it.
void video_overlay(const uint8_t* rgba, int w, int h);
// The output rectangle in drawable pixels, y from the top, for the window's
// size as it is now.
void video_rect(int* x, int* y, int* w, int* h);
// Draws one frame and swaps. Returns 1 when it swapped, 0 when nothing was
// drawn (no window, or a minimised one with no drawable), so that a loop
// that relies on the swap to pace itself knows to sleep instead.
int video_draw();

// The next event of interest: 1 with the event filled, 0 when none is left.
int video_poll(video_event* event);
// 1 while the key with that virtual-key code is held (any code of the
// scancode table, and 17 for either Ctrl).
int video_key_down(int vk);
// The virtual-key code of an SDL scancode, 0 for keys without one.
int video_vk_of_scancode(int scancode);

void video_set_fullscreen(int on);
int video_is_fullscreen();
int video_has_focus();
void video_title(const char* text);
// The refresh rate of the window's display; without a window, of the first
// display. 60 when none is reported.
int video_refresh_hz();
// Asks for a PNG of the whole drawable at the next video_draw. Returns 1.
int video_screenshot(const char* path);
void video_set_glfinish(int on);
int video_get_glfinish();
// 1 when there is no GL context.
int video_is_software();

// The last error text, moved out (null when there is none). The text stays
// valid until the next call.
const char* video_take_error();

// ---- Shaders and presets ---------------------------------------------------

// What the game picture is drawn with.
struct video_cfg {
  char preset[24];    // "None", "Scanlines", "Soft CRT", "Full CRT" or "Custom"
  int filter;         // 0 sharp, 1 smooth, 2 sharp bilinear
  int aspect;         // 0 "Original 4:3", 1 "Square pixels 16:10", 2 "Stretch", 3 "Integer"
  char external[64];  // the chosen external shader's display name, "" = none
  float p_scan, p_mask, p_curv, p_bright, p_vig, p_bloom;
  int source;         // for pictures >= 640 wide: 0 whole, 1 averaged, 2 sampled to 320 x 200
};
extern video_cfg vcfg;

// Selects one of the four named presets (filter and parameters); any other
// name changes nothing.
void video_set_preset(const char* name);
// Chooses an external shader by display name ("" = none); it is built at the
// next draw.
void video_use_external(const char* name);
int video_external_count();
const char* video_external_name(int i);  // "" out of range

// The file written before an external shader goes to the driver's
// compiler and removed when the compiler returns ("" = none); the program
// cannot bound the compile, but a run lost inside it leaves the file.
void video_set_build_marker(const char* path);
// The display name of the shader whose compile a run left unfinished, read
// from the marker; "" when there is none. Valid until the next call.
const char* video_interrupted_build();

// The "#pragma parameter" values of the external shader last built.
int video_external_param_count();
const char* video_external_param_name(int i);  // "" out of range
float video_external_param_value(int i);       // 0 out of range
