// The shaders the game picture is drawn with: three built-in programs
// driven by six parameters and four presets of them, external shader files
// from the shaders folder, the overlay's pass-through program, and
// screenshots of the drawable.
#include "graphics/png_codec.h"
#include "host/platform.h"
#include "host/window/video_state.h"

#include <cstdio>
#include <cstring>
#include <new>

video_cfg vcfg = {"Soft CRT", 1, 0, "", 0.35f, 0.25f, 0.10f, 1.10f, 0.35f, 0.15f, 0};

namespace {

struct preset {
  const char* name;
  int filter;
  float scan, mask, curv, bright, vig, bloom;
};

constexpr preset presets[] = {
    {"None", 0, 0, 0, 0, 1.0f, 0, 0},
    {"Scanlines", 1, 0.45f, 0, 0, 1.08f, 0, 0},
    {"Soft CRT", 1, 0.35f, 0.25f, 0.10f, 1.10f, 0.35f, 0.15f},
    {"Full CRT", 1, 0.65f, 0.55f, 0.22f, 1.25f, 0.60f, 0.50f},
};

constexpr const char* builtin_vertex = R"(#version 330
in vec2 in_pos;
in vec2 in_uv;
out vec2 uv;
void main() { uv = in_uv; gl_Position = vec4(in_pos, 0.0, 1.0); }
)";

constexpr const char* builtin_header = R"(#version 330
in vec2 uv;
out vec4 frag;
uniform sampler2D tex;
uniform vec2 srcSize, texSize, outSize;
uniform float frame;
uniform int smooth_mode;
uniform float p_scan, p_mask, p_curv, p_bright, p_vig, p_bloom;
vec3 fetch(vec2 c) {
  if (smooth_mode == 0) return texture(tex, (floor(c * texSize) + 0.5) / texSize).rgb;
  if (smooth_mode == 2) {
    vec2 p = c * srcSize;
    vec2 s = clamp((fract(p) - 0.5) * outSize / srcSize + 0.5, 0.0, 1.0);
    return texture(tex, (floor(p) + s) / srcSize).rgb;
  }
  return texture(tex, c).rgb;
}
vec2 curve(vec2 c, float k) {
  c = c * 2.0 - 1.0;
  vec2 o = abs(c.yx) * k * 0.25;
  c = c + c * o * o * 2.0;
  return c * 0.5 + 0.5;
}
float luma(vec3 c) { return dot(c, vec3(0.299, 0.587, 0.114)); }
)";

constexpr const char* plain_body = R"(
void main() { frag = vec4(fetch(uv) * p_bright, 1.0); }
)";

constexpr const char* scanlines_body = R"(
void main() {
  vec3 c = fetch(uv);
  float d = fract(uv.y * 200.0) - 0.5;
  float w = 1.0 - p_scan * smoothstep(0.0, 0.5, abs(d)) * (0.35 + 0.65 * (1.0 - luma(c)));
  frag = vec4(c * w * p_bright, 1.0);
}
)";

constexpr const char* crt_body = R"(
vec3 cover(float a) {
  float f = floor(a / 3.0);
  return f + clamp(vec3(a - 3.0 * f) - vec3(0.0, 1.0, 2.0), 0.0, 1.0);
}
void main() {
  vec2 q = curve(uv, 2.0 * p_curv);
  if (q.x < 0.0 || q.x > 1.0 || q.y < 0.0 || q.y > 1.0) { frag = vec4(0.0, 0.0, 0.0, 1.0); return; }
  vec3 c = fetch(q);
  if (p_bloom > 0.0) {
    vec2 o = 1.5 / srcSize;
    vec3 b = (fetch(q + vec2(o.x, 0.0)) + fetch(q - vec2(o.x, 0.0)) +
              fetch(q + vec2(0.0, o.y)) + fetch(q - vec2(0.0, o.y))) * 0.25;
    c = mix(c, max(c, b), 0.6 * p_bloom) + 0.15 * p_bloom * b;
  }
  float d = fract(q.y * 200.0) - 0.5;
  float beam = mix(0.55, 1.0, luma(c));
  float e = clamp(2.0 * abs(d), 0.0, 1.0);
  float sl = 1.0 - p_scan * e * e * (1.6 - beam);
  float z = max(1.0, outSize.y / 1080.0);
  float a = (gl_FragCoord.x - 0.5) / z, b = (gl_FragCoord.x + 0.5) / z;
  vec3 mask = mix(vec3(0.35), vec3(1.0), (cover(b) - cover(a)) * z);
  vec3 m = mix(vec3(1.0), 1.35 * mask, p_mask);
  c = c * sl * m * p_bright;
  vec2 v = 2.0 * q - 1.0;
  c = c * (1.0 - 0.35 * p_vig * dot(v, v));
  frag = vec4(c, 1.0);
}
)";

constexpr const char* overlay_fragment = R"(#version 330
in vec2 uv;
out vec4 frag;
uniform sampler2D tex;
void main() { frag = texture(tex, uv); }
)";

GLuint compile_stage(GLenum kind, const char* source) {
  GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok) return shader;
  char log[1024] = {};
  glGetShaderInfoLog(shader, sizeof log, nullptr, log);
  video_set_error("Shader compilation failed: %.190s", log);
  glDeleteShader(shader);
  return 0;
}

const preset* find_preset(const char* name) {
  for (const preset& p : presets)
    if (name && strcmp(p.name, name) == 0) return &p;
  return nullptr;
}

void set_builtin_uniforms(GLuint program, int out_w, int out_h) {
  auto loc = [&](const char* name) { return glGetUniformLocation(program, name); };
  glUniform1i(loc("tex"), 0);
  glUniform2f(loc("srcSize"), 320, 200);
  glUniform2f(loc("texSize"), float(g_video.tex_w), float(g_video.tex_h));
  glUniform2f(loc("outSize"), float(out_w), float(out_h));
  glUniform1f(loc("frame"), float(g_video.frame));
  glUniform1i(loc("smooth_mode"), vcfg.filter);
  glUniform1f(loc("p_scan"), vcfg.p_scan);
  glUniform1f(loc("p_mask"), vcfg.p_mask);
  glUniform1f(loc("p_curv"), vcfg.p_curv);
  glUniform1f(loc("p_bright"), vcfg.p_bright);
  glUniform1f(loc("p_vig"), vcfg.p_vig);
  glUniform1f(loc("p_bloom"), vcfg.p_bloom);
}

// ---- External shaders ----------------------------------------------------

void forget_external_program() {
  if (g_video.external_prog) glDeleteProgram(g_video.external_prog);
  g_video.external_prog = 0;
  g_video.external_built.clear();
  g_video.external_uniforms.clear();
  g_video.blank_samplers.clear();
  g_video.param_count = 0;
}

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

void read_uniform_types(GLuint program) {
  GLint count = 0;
  glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
  for (GLint i = 0; i < count; ++i) {
    char name[256];
    GLint size = 0;
    GLenum type = 0;
    glGetActiveUniform(program, GLuint(i), sizeof name, nullptr, &size, &type, name);
    // An array is listed by its first element.
    if (char* bracket = strchr(name, '[')) *bracket = 0;
    g_video.external_uniforms.push_back({name, type});
  }
}

bool is_sampler(GLenum type) {
  switch (type) {
    case GL_SAMPLER_1D: case GL_SAMPLER_2D: case GL_SAMPLER_3D: case GL_SAMPLER_CUBE:
    case GL_SAMPLER_1D_SHADOW: case GL_SAMPLER_2D_SHADOW: case GL_SAMPLER_1D_ARRAY:
    case GL_SAMPLER_2D_ARRAY: case GL_SAMPLER_1D_ARRAY_SHADOW: case GL_SAMPLER_2D_ARRAY_SHADOW:
    case GL_SAMPLER_CUBE_SHADOW: case GL_SAMPLER_2D_RECT: case GL_SAMPLER_2D_RECT_SHADOW:
    case GL_SAMPLER_BUFFER: case GL_SAMPLER_2D_MULTISAMPLE: case GL_SAMPLER_2D_MULTISAMPLE_ARRAY:
    case GL_INT_SAMPLER_2D: case GL_UNSIGNED_INT_SAMPLER_2D:
      return true;
    default:
      return false;
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

// Files written for other programs declare inputs this one has not got (a
// bezel picture, earlier frames, the original size). Each extra sampler
// gets a texture unit of its own with a transparent picture: left unset it
// would read unit 0, the game's texture. The file's list is logged once.
void find_unprovided(const char* file) {
  g_video.blank_samplers.clear();
  std::string missing;
  for (const video_uniform& u : g_video.external_uniforms) {
    if (provided(u.name)) continue;
    missing += (missing.empty() ? "" : ", ") + u.name;
    if (is_sampler(u.type) && g_video.blank_samplers.size() < VIDEO_BLANK_UNITS)
      g_video.blank_samplers.push_back(u);
  }
  if (missing.empty() || g_video.externals_reported.contains(file)) return;
  g_video.externals_reported.insert(file);
  host_log("External shader %s: not provided by this program: %s", file, missing.c_str());
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

void bind_blank_samplers(GLuint program) {
  for (size_t i = 0; i < g_video.blank_samplers.size(); ++i) {
    const video_uniform& u = g_video.blank_samplers[i];
    const GLint unit = GLint(i) + 1;
    glUniform1i(glGetUniformLocation(program, u.name.c_str()), unit);
    if (u.type != GL_SAMPLER_2D) continue;
    glActiveTexture(GLenum(GL_TEXTURE0 + unit));
    glBindTexture(GL_TEXTURE_2D, blank_texture());
  }
  glActiveTexture(GL_TEXTURE0);
}

bool build_external(const char* name) {
  const video_external_entry* entry = find_external(name);
  std::string text;
  if (!entry || !read_external(*entry, &text)) return false;
  std::string vertex = shader_stage_source(text, true);
  std::string fragment = shader_stage_source(text, false);
  GLuint program = video_compile_program(vertex.c_str(), fragment.c_str());
  if (!program) {
    if (const char* why = video_take_error()) host_log("External shader %s: %s", name, why);
    return false;
  }
  g_video.external_prog = program;
  g_video.external_built = name;
  read_uniform_types(program);
  g_video.param_count = shader_read_params(text, g_video.params, SHADER_PARAM_MAX);
  find_unprovided(name);
  return true;
}

// Sets a uniform through the call its declared type needs: a float given
// to an int uniform (FrameCount is often declared int) would be refused.
void set_external(const char* name, const float* v, int n) {
  GLuint program = g_video.external_prog;
  for (const video_uniform& u : g_video.external_uniforms) {
    if (u.name != name) continue;
    GLint loc = glGetUniformLocation(program, name);
    if (loc < 0) return;
    float f[4] = {};
    for (int i = 0; i < n && i < 4; ++i) f[i] = v[i];
    switch (u.type) {
      case GL_FLOAT: glUniform1f(loc, f[0]); break;
      case GL_FLOAT_VEC2: glUniform2f(loc, f[0], f[1]); break;
      case GL_FLOAT_VEC3: glUniform3f(loc, f[0], f[1], f[2]); break;
      case GL_FLOAT_VEC4: glUniform4f(loc, f[0], f[1], f[2], f[3]); break;
      case GL_INT:
      case GL_BOOL:
      case GL_SAMPLER_2D: glUniform1i(loc, int(f[0])); break;
      case GL_INT_VEC2: glUniform2i(loc, int(f[0]), int(f[1])); break;
      case GL_FLOAT_MAT4:
        if (n == 16) glUniformMatrix4fv(loc, 1, GL_FALSE, v);
        break;
      default: break;
    }
    return;
  }
}

void draw_external(int out_w, int out_h) {
  GLuint program = g_video.external_prog;
  glUseProgram(program);
  static constexpr float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const float zero = 0, one = 1, frame = float(g_video.frame);
  const float source[2] = {320, 200};
  const float out[2] = {float(out_w), float(out_h)};
  set_external("MVPMatrix", identity, 16);
  set_external("Texture", &zero, 1);
  set_external("InputSize", source, 2);
  set_external("TextureSize", source, 2);
  set_external("OutputSize", out, 2);
  set_external("FrameCount", &frame, 1);
  set_external("FrameDirection", &one, 1);
  for (int i = 0; i < g_video.param_count; ++i)
    set_external(g_video.params[i].name, &g_video.params[i].value, 1);
  bind_blank_samplers(program);
  video_bind_quad(program, true);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

// Builds the chosen external program when the choice changed. A file that
// does not build is tried once: the choice is cleared and the built-in
// program draws.
bool external_ready() {
  if (!vcfg.external[0]) return false;
  if (g_video.external_prog && g_video.external_built == vcfg.external) return true;
  forget_external_program();
  if (build_external(vcfg.external)) return true;
  video_set_error("External shader %.100s failed", vcfg.external);
  vcfg.external[0] = 0;
  return false;
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

GLuint video_compile_program(const char* vertex, const char* fragment) {
  GLuint vs = compile_stage(GL_VERTEX_SHADER, vertex);
  if (!vs) return 0;
  GLuint fs = compile_stage(GL_FRAGMENT_SHADER, fragment);
  if (!fs) {
    glDeleteShader(vs);
    return 0;
  }
  GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  glLinkProgram(program);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (ok) return program;
  char log[1024] = {};
  glGetProgramInfoLog(program, sizeof log, nullptr, log);
  video_set_error("Shader link failed: %.190s", log);
  glDeleteProgram(program);
  return 0;
}

GLuint video_builtin_program(int index) {
  if (index < 0 || index > 2) return 0;
  GLuint& program = g_video.builtin[index];
  if (program || g_video.builtin_failed[index]) return program;
  static const char* const bodies[] = {plain_body, scanlines_body, crt_body};
  std::string fragment;
  try {
    fragment = std::string(builtin_header) + bodies[index];
  } catch (const std::bad_alloc&) {
    video_set_error("Not enough memory to build video shader");
    g_video.builtin_failed[index] = true;
    return 0;
  }
  program = video_compile_program(builtin_vertex, fragment.c_str());
  // Reported once; trying again every frame would only fill the log.
  if (!program) g_video.builtin_failed[index] = true;
  return program;
}

void video_bind_quad(GLuint program, bool external) {
  glBindVertexArray(g_video.vao);
  glBindBuffer(GL_ARRAY_BUFFER, g_video.vbo);
  for (int i = 0; i < g_video.enabled_attrib_count; ++i)
    glDisableVertexAttribArray(g_video.enabled_attribs[i]);
  g_video.enabled_attrib_count = 0;
  struct attrib {
    const char* name;
    GLint size;
    GLsizei stride;
    size_t offset;
  };
  // The external layout follows the built-in quad's 4 vertices of 4 floats.
  constexpr size_t external_base = 16 * sizeof(float);
  const attrib builtin_attribs[2] = {{"in_pos", 2, 16, 0}, {"in_uv", 2, 16, 8}};
  const attrib external_attribs[2] = {{"VertexCoord", 4, 32, external_base},
                                      {"TexCoord", 4, 32, external_base + 16}};
  for (const attrib& a : external ? external_attribs : builtin_attribs) {
    GLint loc = glGetAttribLocation(program, a.name);
    if (loc < 0) continue;
    glEnableVertexAttribArray(GLuint(loc));
    glVertexAttribPointer(GLuint(loc), a.size, GL_FLOAT, GL_FALSE, a.stride,
                          reinterpret_cast<const void*>(a.offset));
    g_video.enabled_attribs[g_video.enabled_attrib_count++] = GLuint(loc);
  }
}

void video_draw_game(int out_w, int out_h) {
  if (external_ready()) {
    draw_external(out_w, out_h);
    return;
  }
  int index = strcmp(vcfg.preset, "None") == 0 ? 0 : strcmp(vcfg.preset, "Scanlines") == 0 ? 1 : 2;
  GLuint program = video_builtin_program(index);
  if (!program) program = video_builtin_program(0);
  if (!program) return;
  glUseProgram(program);
  set_builtin_uniforms(program, out_w, out_h);
  video_bind_quad(program, false);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void video_draw_overlay() {
  if (!g_video.overlay_prog && !g_video.overlay_failed) {
    g_video.overlay_prog = video_compile_program(builtin_vertex, overlay_fragment);
    g_video.overlay_failed = g_video.overlay_prog == 0;
  }
  if (!g_video.overlay_prog) return;
  glUseProgram(g_video.overlay_prog);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, g_video.overlay_tex);
  glUniform1i(glGetUniformLocation(g_video.overlay_prog, "tex"), 0);
  video_bind_quad(g_video.overlay_prog, false);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void video_delete_programs() {
  for (GLuint& p : g_video.builtin) {
    if (p) glDeleteProgram(p);
    p = 0;
  }
  if (g_video.overlay_prog) glDeleteProgram(g_video.overlay_prog);
  g_video.overlay_prog = 0;
  forget_external_program();
}

void video_list_shaders(const char* folder) {
  g_video.externals.clear();
  g_video.shader_folder = folder ? folder : "";
  if (g_video.shader_folder.empty()) return;
  port_list_files(folder, ".glsl", listed, nullptr);
}

void video_take_screenshot() {
  std::string path = g_video.shot_path;
  g_video.shot_path[0] = 0;
  int w = g_video.window_w, h = g_video.window_h;
  std::vector<uint8_t> pixels, flipped;
  try {
    pixels.resize(size_t(w) * h * 3);
    flipped.resize(pixels.size());
  } catch (const std::bad_alloc&) {
    host_log("Screenshot failed: not enough memory");
    return;
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  size_t row = size_t(w) * 3;
  for (int y = 0; y < h; ++y)
    memcpy(flipped.data() + size_t(y) * row, pixels.data() + size_t(h - 1 - y) * row, row);
  if (!png_write(path.c_str(), flipped.data(), w, h, 3))
    host_log("Screenshot could not be written: %s", path.c_str());
}

// ---- Choices ---------------------------------------------------------------

void video_set_preset(const char* name) {
  const preset* p = find_preset(name);
  if (!p) return;
  snprintf(vcfg.preset, sizeof vcfg.preset, "%s", p->name);
  vcfg.external[0] = 0;
  vcfg.filter = p->filter;
  vcfg.p_scan = p->scan;
  vcfg.p_mask = p->mask;
  vcfg.p_curv = p->curv;
  vcfg.p_bright = p->bright;
  vcfg.p_vig = p->vig;
  vcfg.p_bloom = p->bloom;
  // A new choice may be tried again (after a driver update, say).
  for (bool& failed : g_video.builtin_failed) failed = false;
}

void video_use_external(const char* name) {
  snprintf(vcfg.external, sizeof vcfg.external, "%s", name ? name : "");
  if (g_video.context) forget_external_program();
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
