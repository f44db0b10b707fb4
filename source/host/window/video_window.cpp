// Opening and closing the window with its GL context, its events, the
// fullscreen switch, the title and the refresh rate.
#include "host/platform.h"
#include "host/window/video_state.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

video_state g_video;

namespace {

constexpr Uint32 sdl_systems = SDL_INIT_VIDEO | SDL_INIT_GAMECONTROLLER | SDL_INIT_EVENTS;

char error_text[256];
char taken_error[256];

// The built-in quad (x, y, u, v) as a strip, then the external shaders'
// layout of the same corners: (x, y, 0, 1) and (u, v, 0, 1).
constexpr float quad_vertices[] = {
    -1, -1, 0, 1,  1, -1, 1, 1,  -1, 1, 0, 0,  1, 1, 1, 0,
    -1, -1, 0, 1, 0, 1, 0, 1,  1, -1, 0, 1, 1, 1, 0, 1,
    -1, 1, 0, 1, 0, 0, 0, 1,   1, 1, 0, 1, 1, 0, 0, 1,
};

// WSLg offers Wayland with a D3D12 GL driver; X11 there is much slower.
bool select_wslg() {
  if (!getenv("WSL2_GUI_APPS_ENABLED") || !getenv("WAYLAND_DISPLAY") ||
      !getenv("XDG_RUNTIME_DIR"))
    return true;
  if (setenv("SDL_VIDEODRIVER", "wayland", 0) != 0) {
    video_set_error("Could not select WSLg Wayland video: %s", strerror(errno));
    return false;
  }
  if (setenv("GALLIUM_DRIVER", "d3d12", 0) != 0) {
    video_set_error("Could not select WSLg D3D12 renderer: %s", strerror(errno));
    return false;
  }
  return true;
}

// The start-up opens the video twice: what the display offers is logged
// when it differs from what was logged before, not at every opening.
void log_display_line(char (&last)[300], const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void log_display_line(char (&last)[300], const char* fmt, ...) {
  char line[300];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(line, sizeof line, fmt, ap);
  va_end(ap);
  if (strcmp(line, last) == 0) return;
  memcpy(last, line, sizeof line);
  host_log("%s", line);
}

char vsync_logged[300];
char gl_logged[300];

GLuint make_texture() {
  GLuint tex = 0;
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  return tex;
}

// SDL stays started from its first use to the program's end: its X11
// driver, stopped and started again in one process, may fail to find the
// display (the refresh rate is read before the window opens, and the
// start-up opens the video twice), upon which SDL falls back to drawing
// off-screen, into a window nobody sees.
bool start_sdl() {
  static bool started = false;
  if (started) return true;
  if (SDL_InitSubSystem(sdl_systems) != 0) return false;
  started = true;
  std::atexit([] { SDL_QuitSubSystem(sdl_systems); });
  video_x11_watch_display();
  return true;
}

bool open_window(int window_w, int window_h) {
  if (!start_sdl()) {
    video_set_error("SDL initialization failed: %s", SDL_GetError());
    return false;
  }
  g_video.sdl_started = true;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  g_video.window = SDL_CreateWindow("Brakmoor", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                    window_w, window_h,
                                    SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE |
                                        SDL_WINDOW_ALLOW_HIGHDPI);
  if (!g_video.window) {
    video_set_error("SDL OpenGL window creation failed: %s", SDL_GetError());
    return false;
  }
  g_video.context = SDL_GL_CreateContext(g_video.window);
  if (!g_video.context) {
    video_set_error("OpenGL 3.3 context creation failed: %s", SDL_GetError());
    return false;
  }
  if (SDL_GL_MakeCurrent(g_video.window, g_video.context) != 0) {
    video_set_error("Could not activate OpenGL context: %s", SDL_GetError());
    return false;
  }
  // Some servers (Xvfb among them) refuse vsync; the loop then paces itself.
  if (SDL_GL_SetSwapInterval(1) != 0) log_display_line(vsync_logged, "vsync not available: %s", SDL_GetError());
  return true;
}

bool make_gl_objects() {
  // Program 0 is the fallback of every other choice: without it nothing draws.
  if (!video_builtin_program(0)) return false;
  log_display_line(gl_logged, "OpenGL %s: %s", reinterpret_cast<const char*>(glGetString(GL_VERSION)),
                   reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  g_video.game_tex = make_texture();
  g_video.overlay_tex = make_texture();
  glGenVertexArrays(1, &g_video.vao);
  glGenBuffers(1, &g_video.vbo);
  glBindVertexArray(g_video.vao);
  glBindBuffer(GL_ARRAY_BUFFER, g_video.vbo);
  glBufferData(GL_ARRAY_BUFFER, sizeof quad_vertices, quad_vertices, GL_STATIC_DRAW);
  return glGetError() == GL_NO_ERROR;
}

}  // namespace

void video_read_drawable_size() {
  if (!g_video.window) return;
  // On X11 the window's own size, windowed too: without a window manager
  // SDL reports the desktop's size for a fullscreen request nobody carried
  // out, and keeps reporting it after fullscreen is left, since the window,
  // which never changed, sends no event that would correct it.
  if (video_x11_size(g_video.window, &g_video.window_w, &g_video.window_h)) return;
  SDL_GL_GetDrawableSize(g_video.window, &g_video.window_w, &g_video.window_h);
}

void video_set_error(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  vsnprintf(error_text, sizeof error_text, fmt, args);
  va_end(args);
}

bool video_has_error() { return error_text[0] != 0; }

const char* video_take_error() {
  if (!error_text[0]) return nullptr;
  memcpy(taken_error, error_text, sizeof taken_error);
  error_text[0] = 0;
  return taken_error;
}

int video_open(int window_w, int window_h, int game_w, int game_h, const char* shader_folder) {
  video_close();
  error_text[0] = 0;
  g_video.game_w = game_w;
  g_video.game_h = game_h;
  bool ok = select_wslg() && open_window(window_w, window_h) && make_gl_objects();
  if (!ok) {
    if (!error_text[0]) video_set_error("OpenGL 3.3 is required for Linux video output");
    std::string keep = error_text;
    video_close();
    snprintf(error_text, sizeof error_text, "%s", keep.c_str());
    return 0;
  }
  video_list_shaders(shader_folder);
  video_read_drawable_size();
  g_video.fullscreen = false;
  return 1;
}

void video_close() {
  if (g_video.context) {
    video_delete_programs();
    glDeleteTextures(1, &g_video.game_tex);
    glDeleteTextures(1, &g_video.overlay_tex);
    if (g_video.blank_tex) glDeleteTextures(1, &g_video.blank_tex);
    glDeleteBuffers(1, &g_video.vbo);
    glDeleteVertexArrays(1, &g_video.vao);
    SDL_GL_DeleteContext(g_video.context);
  }
  if (g_video.window) SDL_DestroyWindow(g_video.window);
  bool gpu_wait = g_video.gpu_wait;
  g_video = video_state{};
  g_video.gpu_wait = gpu_wait;
}

int video_poll(video_event* event) {
  if (!g_video.sdl_started) return 0;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    *event = video_event{};
    switch (e.type) {
      case SDL_QUIT:
        event->kind = VIDEO_EV_QUIT;
        return 1;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_RESIZED ||
            e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
          video_read_drawable_size();
          event->kind = VIDEO_EV_RESIZED;
          return 1;
        }
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED ||
            e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
          event->kind = VIDEO_EV_FOCUS;
          event->down = e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED;
          return 1;
        }
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        int vk = video_vk_of_scancode(e.key.keysym.scancode);
        if (!vk) break;
        event->kind = VIDEO_EV_KEY;
        event->key = vk;
        event->down = e.type == SDL_KEYDOWN;
        event->repeat = e.key.repeat != 0;
        Uint16 mod = e.key.keysym.mod;
        event->modifiers = ((mod & KMOD_SHIFT) ? VIDEO_MOD_SHIFT : 0) |
                           ((mod & KMOD_CTRL) ? VIDEO_MOD_CTRL : 0) |
                           ((mod & KMOD_ALT) ? VIDEO_MOD_ALT : 0);
        return 1;
      }
      default:
        break;
    }
  }
  return 0;
}

void video_set_fullscreen(int on) {
  bool want = on != 0;
  if (!g_video.window || want == g_video.fullscreen) return;
  if (SDL_SetWindowFullscreen(g_video.window, want ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
    video_set_error("Could not change fullscreen mode: %s", SDL_GetError());
    return;
  }
  g_video.fullscreen = want;
  video_read_drawable_size();
}

int video_is_fullscreen() { return g_video.fullscreen ? 1 : 0; }

int video_has_focus() {
  SDL_Window* window = g_video.window;
  return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS) ? 1 : 0;
}

void video_title(const char* text) {
  if (g_video.window) SDL_SetWindowTitle(g_video.window, text ? text : "");
}

// Start-up asks before the window exists (the output scale depends on it),
// so without a window the first display's desktop mode answers.
int video_refresh_hz() {
  SDL_DisplayMode mode{};
  int got = -1;
  if (g_video.window) {
    int display = SDL_GetWindowDisplayIndex(g_video.window);
    if (display >= 0) got = SDL_GetDesktopDisplayMode(display, &mode);
  } else if (start_sdl()) {
    got = SDL_GetDesktopDisplayMode(0, &mode);
  }
  return got == 0 && mode.refresh_rate > 0 ? mode.refresh_rate : 60;
}

int video_screenshot(const char* path) {
  snprintf(g_video.shot_path, sizeof g_video.shot_path, "%s", path ? path : "");
  return 1;
}

void video_set_glfinish(int on) { g_video.gpu_wait = on != 0; }
int video_get_glfinish() { return g_video.gpu_wait ? 1 : 0; }
int video_is_software() { return g_video.context ? 0 : 1; }
