// External shader files: the list of the shaders folder, building the chosen
// file into a program (its text checked first, and a marker file around the
// driver's compile), giving its samplers their texture units, and drawing
// with it.
#include "host/platform.h"
#include "host/shader_macros.h"
#include "host/window/video_state.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

// The marker file's path; kept across video_close, as the program opens the
// video more than once.
std::string build_marker;
// What video_interrupted_build read.
std::string interrupted;

const video_external_entry* find_external(const char* name) {
  for (const video_external_entry& e : g_video.externals)
    if (e.name == name) return &e;
  return nullptr;
}

bool read_external(const video_external_entry& entry, std::string* text) {
  size_t got = 0;
  char* data = read_file(entry.path.c_str(), &got, SHADER_FILE_MAX);
  if (!data) {
    host_log("External shader %s: cannot be read", entry.path.c_str());
    return false;
  }
  try {
    *text = shader_prepare_text(std::string_view(data, got));
  } catch (const std::bad_alloc&) {
    free(data);
    video_set_error("Not enough memory to prepare external shader");
    return false;
  }
  free(data);
  return true;
}

// Every sampler type of GLSL: the float, integer and unsigned ones of each
// dimension, with their shadow, array, rectangle, buffer and multisample
// forms.
bool is_sampler(GLenum type) {
  switch (type) {
    case GL_SAMPLER_1D: case GL_SAMPLER_2D: case GL_SAMPLER_3D: case GL_SAMPLER_CUBE:
    case GL_SAMPLER_1D_SHADOW: case GL_SAMPLER_2D_SHADOW: case GL_SAMPLER_1D_ARRAY:
    case GL_SAMPLER_2D_ARRAY: case GL_SAMPLER_1D_ARRAY_SHADOW: case GL_SAMPLER_2D_ARRAY_SHADOW:
    case GL_SAMPLER_CUBE_SHADOW: case GL_SAMPLER_2D_RECT: case GL_SAMPLER_2D_RECT_SHADOW:
    case GL_SAMPLER_BUFFER: case GL_SAMPLER_2D_MULTISAMPLE: case GL_SAMPLER_2D_MULTISAMPLE_ARRAY:
    case GL_SAMPLER_CUBE_MAP_ARRAY: case GL_SAMPLER_CUBE_MAP_ARRAY_SHADOW:
    case GL_INT_SAMPLER_1D: case GL_INT_SAMPLER_2D: case GL_INT_SAMPLER_3D: case GL_INT_SAMPLER_CUBE:
    case GL_INT_SAMPLER_1D_ARRAY: case GL_INT_SAMPLER_2D_ARRAY: case GL_INT_SAMPLER_2D_RECT:
    case GL_INT_SAMPLER_BUFFER: case GL_INT_SAMPLER_2D_MULTISAMPLE:
    case GL_INT_SAMPLER_2D_MULTISAMPLE_ARRAY: case GL_INT_SAMPLER_CUBE_MAP_ARRAY:
    case GL_UNSIGNED_INT_SAMPLER_1D: case GL_UNSIGNED_INT_SAMPLER_2D:
    case GL_UNSIGNED_INT_SAMPLER_3D: case GL_UNSIGNED_INT_SAMPLER_CUBE:
    case GL_UNSIGNED_INT_SAMPLER_1D_ARRAY: case GL_UNSIGNED_INT_SAMPLER_2D_ARRAY:
    case GL_UNSIGNED_INT_SAMPLER_2D_RECT: case GL_UNSIGNED_INT_SAMPLER_BUFFER:
    case GL_UNSIGNED_INT_SAMPLER_2D_MULTISAMPLE: case GL_UNSIGNED_INT_SAMPLER_2D_MULTISAMPLE_ARRAY:
    case GL_UNSIGNED_INT_SAMPLER_CUBE_MAP_ARRAY:
      return true;
    default:
      return false;
  }
}

// The active uniforms with their types, element counts and locations, read
// once: the drawing sets values through these locations.
void read_uniforms(GLuint program) {
  GLint count = 0;
  glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
  for (GLint i = 0; i < count; ++i) {
    char name[256] = {};
    GLint size = 0;
    GLenum type = 0;
    glGetActiveUniform(program, GLuint(i), sizeof name, nullptr, &size, &type, name);
    // An array is listed by its first element; its name locates the array.
    if (char* bracket = strchr(name, '[')) *bracket = 0;
    g_video.external_uniforms.push_back({name, type, size, glGetUniformLocation(program, name)});
  }
}

// The uniforms the drawing sets: the fixed ones and the file's parameters.
bool provided(const std::string& name) {
  static constexpr const char* fixed[] = {"MVPMatrix",  "Texture",    "InputSize",     "TextureSize",
                                          "OutputSize", "FrameCount", "FrameDirection"};
  for (const char* f : fixed)
    if (name == f) return true;
  for (int i = 0; i < g_video.param_count; ++i)
    if (name == g_video.params[i].name) return true;
  return name.starts_with("gl_");
}

std::string joined(const std::vector<const video_uniform*>& uniforms) {
  std::string text;
  for (const video_uniform* u : uniforms) text += (text.empty() ? "" : ", ") + u->name;
  return text;
}

// The sampler that gets the game picture: the one named Texture. A file
// written for another program may call its input otherwise ("Source"): its
// one plain 2D sampler is then taken; with several, which one is meant
// cannot be known and the file is not used. Null when the file samples no
// picture, or on that failure (*ok false). The choice is logged when
// report is set.
const video_uniform* game_sampler(const char* file, bool report, bool* ok) {
  *ok = true;
  std::vector<const video_uniform*> candidates;
  for (const video_uniform& u : g_video.external_uniforms) {
    if (!is_sampler(u.type)) continue;
    if (u.name == "Texture") return &u;
    if (u.type == GL_SAMPLER_2D) candidates.push_back(&u);
  }
  if (candidates.size() == 1 && candidates[0]->size == 1) {
    if (report)
      host_log("External shader %s: no sampler is named Texture; the game picture goes to %s", file,
               candidates[0]->name.c_str());
    return candidates[0];
  }
  if (!candidates.empty()) {
    host_log("External shader %s: no sampler is named Texture, and it is not known which of %s "
             "should get the game picture; not used",
             file, joined(candidates).c_str());
    *ok = false;
  }
  return nullptr;
}

// Gives the game sampler unit 0 and every other sampler, each element of
// an array, a unit of its own: left at 0 it would read the game picture,
// and two sampler types on one unit make every draw fail. The others read
// nothing: a transparent 1 x 1 picture for a plain 2D sampler, no texture
// for the rest. The log tells of what a file does not get once a run, not
// each time it is chosen.
bool give_units(GLuint program, const char* file) {
  const bool report = !g_video.externals_reported.contains(file);
  bool ok = true;
  const video_uniform* game = game_sampler(file, report, &ok);
  if (!ok) return false;
  GLint limit = 0;
  glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &limit);
  glUseProgram(program);
  std::vector<const video_uniform*> missing;
  GLint next = 1;
  for (const video_uniform& u : g_video.external_uniforms) {
    if (&u == game) {
      glUniform1i(u.location, 0);
      continue;
    }
    if (!provided(u.name)) missing.push_back(&u);
    if (!is_sampler(u.type)) continue;
    std::vector<GLint> units;
    for (GLint i = 0; i < u.size; ++i) {
      units.push_back(next);
      g_video.external_units.push_back({next++, u.type == GL_SAMPLER_2D});
    }
    glUniform1iv(u.location, u.size, units.data());
  }
  if (next > limit) {
    host_log("External shader %s: its samplers need %d texture units, the driver has %d; not used", file,
             int(next), int(limit));
    return false;
  }
  if (!missing.empty() && report)
    host_log("External shader %s: not provided by this program: %s", file, joined(missing).c_str());
  g_video.externals_reported.insert(file);
  return true;
}

GLuint blank_texture() {
  if (!g_video.blank_tex) {
    static constexpr uint8_t clear_pixel[4] = {0, 0, 0, 0};
    glGenTextures(1, &g_video.blank_tex);
    glBindTexture(GL_TEXTURE_2D, g_video.blank_tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, clear_pixel);
  }
  return g_video.blank_tex;
}

void bind_units() {
  for (const video_unit& u : g_video.external_units) {
    glActiveTexture(GLenum(GL_TEXTURE0 + u.unit));
    glBindTexture(GL_TEXTURE_2D, u.blank ? blank_texture() : 0);
  }
  glActiveTexture(GL_TEXTURE0);
}

// The marker holds the display name of the shader being compiled. Written
// before the driver gets the text and removed after: a run that ends inside
// the driver (a compile that never finishes, a crash) leaves it behind.
void mark_build(const char* name) {
  if (build_marker.empty()) return;
  const std::string line = std::string(name) + "\n";
  write_file(build_marker.c_str(), line.data(), line.size());
}

void unmark_build() {
  if (!build_marker.empty()) remove(build_marker.c_str());
}

bool build_external(const char* name) {
  const video_external_entry* entry = find_external(name);
  std::string text;
  if (!entry || !read_external(*entry, &text)) return false;
  std::string largest;
  if (!shader_macros_fit(text, &largest)) {
    host_log("External shader %s: its macros make more than %zu words (%s makes the most); not built",
             name, SHADER_MACRO_WORDS_MAX, largest.c_str());
    return false;
  }
  std::string vertex = shader_stage_source(text, true);
  std::string fragment = shader_stage_source(text, false);
  mark_build(name);
  GLuint program = video_compile_program(vertex.c_str(), fragment.c_str());
  unmark_build();
  if (!program) {
    if (const char* why = video_take_error()) host_log("External shader %s: %s", name, why);
    return false;
  }
  g_video.external_prog = program;
  g_video.external_built = name;
  read_uniforms(program);
  g_video.param_count = shader_read_params(text, g_video.params, SHADER_PARAM_MAX);
  return give_units(program, name);
}

// Sets a uniform through the call its declared type needs: a float given
// to an int uniform (FrameCount is often declared int) would be refused.
// Samplers keep the units they were given.
void set_external(const char* name, const float* v, int n) {
  for (const video_uniform& u : g_video.external_uniforms) {
    if (u.name != name) continue;
    if (u.location < 0) return;
    float f[4] = {};
    for (int i = 0; i < n && i < 4; ++i) f[i] = v[i];
    switch (u.type) {
      case GL_FLOAT: glUniform1f(u.location, f[0]); break;
      case GL_FLOAT_VEC2: glUniform2f(u.location, f[0], f[1]); break;
      case GL_FLOAT_VEC3: glUniform3f(u.location, f[0], f[1], f[2]); break;
      case GL_FLOAT_VEC4: glUniform4f(u.location, f[0], f[1], f[2], f[3]); break;
      case GL_INT:
      case GL_BOOL: glUniform1i(u.location, int(f[0])); break;
      case GL_INT_VEC2: glUniform2i(u.location, int(f[0]), int(f[1])); break;
      case GL_FLOAT_MAT4:
        if (n == 16) glUniformMatrix4fv(u.location, 1, GL_FALSE, v);
        break;
      default: break;
    }
    return;
  }
}

void draw_external(int out_w, int out_h) {
  glUseProgram(g_video.external_prog);
  static constexpr float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const float one = 1, frame = float(g_video.frame);
  const float source[2] = {320, 200};
  const float out[2] = {float(out_w), float(out_h)};
  set_external("MVPMatrix", identity, 16);
  set_external("InputSize", source, 2);
  set_external("TextureSize", source, 2);
  set_external("OutputSize", out, 2);
  set_external("FrameCount", &frame, 1);
  set_external("FrameDirection", &one, 1);
  for (int i = 0; i < g_video.param_count; ++i)
    set_external(g_video.params[i].name, &g_video.params[i].value, 1);
  bind_units();
  video_bind_quad(g_video.external_prog, true);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

int listed(const char* name, void*) {
  if (g_video.externals.size() >= VIDEO_EXTERNAL_MAX) return 0;
  video_external_entry entry;
  entry.path = std::string(g_video.shader_folder) + "/" + name;
  if (entry.path.size() > 255) entry.path.resize(255);
  std::string display = name;
  size_t dot = display.rfind('.');
  if (dot != std::string::npos) display.resize(dot);
  if (display.size() > 63) display.resize(63);
  entry.name = display;
  g_video.externals.push_back(std::move(entry));
  return 1;
}

}  // namespace

void video_forget_external() {
  if (g_video.external_prog) glDeleteProgram(g_video.external_prog);
  g_video.external_prog = 0;
  g_video.external_built.clear();
  g_video.external_uniforms.clear();
  g_video.external_units.clear();
  g_video.param_count = 0;
}

// Builds the chosen program when the choice changed. A file that does not
// build is tried once: the choice is cleared and the built-in program draws.
bool video_draw_external(int out_w, int out_h) {
  if (!vcfg.external[0]) return false;
  if (!g_video.external_prog || g_video.external_built != vcfg.external) {
    video_forget_external();
    if (!build_external(vcfg.external)) {
      video_forget_external();
      video_set_error("External shader %.100s failed", vcfg.external);
      vcfg.external[0] = 0;
      return false;
    }
  }
  draw_external(out_w, out_h);
  return true;
}

void video_list_shaders(const char* folder) {
  g_video.externals.clear();
  g_video.shader_folder = folder ? folder : "";
  if (g_video.shader_folder.empty()) return;
  port_list_files(folder, ".glsl", listed, nullptr);
}

void video_use_external(const char* name) {
  snprintf(vcfg.external, sizeof vcfg.external, "%s", name ? name : "");
  if (g_video.context) video_forget_external();
}

int video_external_count() { return int(g_video.externals.size()); }

const char* video_external_name(int i) {
  if (i < 0 || i >= video_external_count()) return "";
  return g_video.externals[size_t(i)].name.c_str();
}

int video_external_param_count() { return g_video.param_count; }

const char* video_external_param_name(int i) {
  return i >= 0 && i < g_video.param_count ? g_video.params[i].name : "";
}

float video_external_param_value(int i) {
  return i >= 0 && i < g_video.param_count ? g_video.params[i].value : 0.0f;
}

void video_set_build_marker(const char* path) { build_marker = path ? path : ""; }

const char* video_interrupted_build() {
  interrupted.clear();
  if (build_marker.empty() || !file_exists(build_marker.c_str())) return "";
  size_t size = 0;
  char* data = read_file(build_marker.c_str(), &size, 256);
  if (!data) return "";
  interrupted.assign(data, size);
  free(data);
  while (!interrupted.empty() && (interrupted.back() == '\n' || interrupted.back() == '\r'))
    interrupted.pop_back();
  return interrupted.c_str();
}
