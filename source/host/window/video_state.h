// The video output's state, shared by the files of the window module
// (opening and events, drawing, shaders). Not for the rest of the program.
#pragma once

#include "host/shader_text.h"
#include "host/window/video.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <set>
#include <string>
#include <vector>

inline constexpr int VIDEO_EXTERNAL_MAX = 64;
struct video_external_entry {
  std::string path;  // folder + "/" + file name (cut to 255 characters)
  std::string name;  // display name: file name without its extension
};

// A uniform of an external program and the type it was declared with, so
// that values go through the matching glUniform call.
struct video_uniform {
  std::string name;
  GLenum type = 0;
  GLint size = 1;       // elements of an array
  GLint location = -1;  // looked up once, when the program is built
};

// A texture unit given to a sampler of an external program that the
// program does not supply: plain 2D samplers read a transparent picture,
// the others no texture.
struct video_unit {
  GLint unit = 0;
  bool blank = false;
};

struct video_state {
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  bool sdl_started = false;
  int window_w = 0, window_h = 0;  // drawable size
  int game_w = 0, game_h = 0;
  int tex_w = 0, tex_h = 0;        // game texture size
  int overlay_w = 0, overlay_h = 0;        // 0: no overlay
  int overlay_tex_w = 0, overlay_tex_h = 0;  // its texture keeps its storage when removed
  bool fullscreen = false;
  unsigned frame = 0;
  bool gpu_wait = false;
  char shot_path[600] = {};

  GLuint game_tex = 0, overlay_tex = 0, vao = 0, vbo = 0;
  GLuint builtin[3] = {};
  bool builtin_failed[3] = {};  // reported once; cleared when the preset changes
  GLuint overlay_prog = 0;
  bool overlay_failed = false;
  GLuint enabled_attribs[2] = {};
  int enabled_attrib_count = 0;

  std::string shader_folder;
  std::vector<video_external_entry> externals;
  GLuint external_prog = 0;
  std::string external_built;  // name of the program in external_prog
  std::vector<video_uniform> external_uniforms;
  std::vector<video_unit> external_units;     // units 1, 2, ... of its other samplers
  GLuint blank_tex = 0;                       // 1 x 1, transparent
  std::set<std::string> externals_reported;   // files whose missing uniforms were logged
  shader_param params[SHADER_PARAM_MAX] = {};
  int param_count = 0;

  std::vector<uint8_t> reduced;  // 320 x 200 shader input, kept for reuse
  int texture_specs = 0;         // how often the game texture was re-specified
};

extern video_state g_video;

void video_set_error(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// The drawable's size into window_w and window_h: on X11 the window's own
// (video_x11_size.cpp), as SDL's answer can be the desktop's for a
// fullscreen request nobody carried out, before and after leaving it;
// SDL's elsewhere.
void video_read_drawable_size();
bool video_x11_size(SDL_Window* window, int* w, int* h);
// On X11: a lost display ends the program at once with status 1 and a log
// line (video_x11_lost.cpp).
void video_x11_watch_display();
bool video_has_error();

// External shaders (video_external.cpp).
// Draws the game texture with the chosen external shader, building it when
// the choice changed; false when none is chosen or it cannot be built (the
// choice is then cleared and the error text set).
bool video_draw_external(int out_w, int out_h);
// Deletes the program built for the external shader.
void video_forget_external();
void video_list_shaders(const char* folder);

// Shader side of drawing (video_shaders.cpp).
// The built-in program (0 plain, 1 scanlines, 2 CRT), built on first use; 0
// when it does not build.
GLuint video_builtin_program(int index);
GLuint video_compile_program(const char* vertex, const char* fragment);
// Draws the game texture into the current viewport with the chosen shader.
void video_draw_game(int out_w, int out_h);
void video_draw_overlay();
void video_delete_programs();
// Binds the quad for a program: the built-in layout or the external one.
void video_bind_quad(GLuint program, bool external);
// Writes the pending screenshot of the whole drawable.
void video_take_screenshot();
