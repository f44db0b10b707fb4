// The shaders the game picture is drawn with: three built-in programs
// driven by six parameters and four presets of them, the compiling of every
// program (external ones in video_external.cpp), the overlay's
// pass-through program, and screenshots of the drawable.
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

// The driver's log without the line break that ends it: the text becomes
// one line of error.log, which adds its own.
void trim_log(char* log) {
  size_t n = strlen(log);
  while (n > 0 && (log[n - 1] == '\n' || log[n - 1] == '\r' || log[n - 1] == ' ')) log[--n] = 0;
}

GLuint compile_stage(GLenum kind, const char* source) {
  GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok) return shader;
  char log[1024] = {};
  glGetShaderInfoLog(shader, sizeof log, nullptr, log);
  trim_log(log);
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
  trim_log(log);
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
  if (video_draw_external(out_w, out_h)) return;
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
  video_forget_external();
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
