// The shaders the game picture is drawn with: built-in presets, external
// shader files and their parameters.
#include "host/shader_text.h"
#include "host/window/video_state.h"
#include "window_fixture.h"

#include <cstring>
#include <filesystem>

namespace {

std::vector<uint8_t> grey_frame(uint8_t level) { return std::vector<uint8_t>(320 * 200 * 3, level); }

TEST_F(window_test, PresetsSetTheFilterAndParameters) {
  struct preset_case {
    const char* name;
    int filter;
    float scan, mask, curv, bright, vig, bloom;
  };
  const preset_case cases[] = {
      {"None", 0, 0, 0, 0, 1.0f, 0, 0},
      {"Scanlines", 1, 0.45f, 0, 0, 1.08f, 0, 0},
      {"Soft CRT", 1, 0.35f, 0.25f, 0.10f, 1.10f, 0.35f, 0.15f},
      {"Full CRT", 1, 0.65f, 0.55f, 0.22f, 1.25f, 0.60f, 0.50f},
  };
  for (const preset_case& c : cases) {
    snprintf(vcfg.external, sizeof vcfg.external, "x");
    vcfg.filter = 2;
    vcfg.p_mask = vcfg.p_curv = vcfg.p_vig = vcfg.p_bloom = 9;
    video_set_preset(c.name);
    EXPECT_STREQ(vcfg.preset, c.name);
    EXPECT_STREQ(vcfg.external, "");
    EXPECT_EQ(vcfg.filter, c.filter) << c.name;
    const float got[6] = {vcfg.p_scan, vcfg.p_mask, vcfg.p_curv, vcfg.p_bright, vcfg.p_vig, vcfg.p_bloom};
    const float want[6] = {c.scan, c.mask, c.curv, c.bright, c.vig, c.bloom};
    for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(got[i], want[i]) << c.name << " parameter " << i;
  }
  video_set_preset("Sepia");  // not a preset: nothing changes
  EXPECT_STREQ(vcfg.preset, "Full CRT");
}

TEST_F(window_test, SharpBilinearSharpensTexelEdges) {
  open(960, 600);
  video_set_preset("None");
  vcfg.aspect = 3;
  std::vector<uint8_t> stripes(320 * 200 * 3);
  for (size_t i = 0; i < stripes.size(); ++i) stripes[i] = (i / 3) % 2 ? 255 : 0;
  video_upload(stripes.data());
  // Pixel 2 is at texel coordinate 0.833: smooth mixes a third of texel 1,
  // sharp bilinear moves the sample to the edge between the two.
  vcfg.filter = 1;
  EXPECT_NEAR(draw_and_read().at(2, 100)[0], 85, 3);
  vcfg.filter = 2;
  EXPECT_NEAR(draw_and_read().at(2, 100)[0], 128, 3);
}

TEST_F(window_test, ScanlinesDarkenTheRowsAtTexelEdges) {
  open(960, 600);
  video_set_preset("Scanlines");
  vcfg.aspect = 3;
  video_upload(grey_frame(160).data());
  rgb_picture shot = draw_and_read();
  // Rows 3k + 1 sit on texel centres, rows 3k next to the texel edges.
  int centre = shot.at(480, 301)[1], edge = shot.at(480, 300)[1];
  EXPECT_GT(centre, edge + 10);
  EXPECT_NEAR(centre, 160 * 1.08, 2);
  EXPECT_EQ(video_take_error(), nullptr);
}

TEST_F(window_test, CrtCurvatureLeavesTheCornersBlack) {
  open(960, 600);
  video_set_preset("Full CRT");
  vcfg.aspect = 3;
  video_upload(grey_frame(200).data());
  rgb_picture shot = draw_and_read();
  for (auto [x, y] : {std::pair{0, 0}, {959, 0}, {0, 599}, {959, 599}})
    EXPECT_EQ(shot.at(x, y)[0] + shot.at(x, y)[1] + shot.at(x, y)[2], 0) << x << "," << y;
  EXPECT_GT(shot.at(480, 301)[1], 100);
  EXPECT_EQ(video_take_error(), nullptr);
  // Without curvature the corners show the picture.
  vcfg.p_curv = 0;
  shot = draw_and_read();
  EXPECT_GT(shot.at(1, 1)[0] + shot.at(1, 1)[1] + shot.at(1, 1)[2], 0);
}

TEST_F(window_test, EveryFilterModeDrawsTheSoftCrtPreset) {
  open(960, 600);
  video_set_preset("Soft CRT");
  vcfg.aspect = 3;
  video_upload(grey_frame(128).data());
  for (int filter : {0, 1, 2}) {
    vcfg.filter = filter;
    rgb_picture shot = draw_and_read();
    EXPECT_GT(shot.at(480, 301)[1], 60) << "filter " << filter;
  }
  EXPECT_EQ(video_take_error(), nullptr);
}

// ---- External shader files ------------------------------------------------

struct test_shader {
  const char* file;
  const char* first_param;
  float first_value;
};

constexpr test_shader test_shaders[] = {
    {"crt-1tap.glsl", "CRT1TAP_SETTINGS", 0.0f},
    {"crt-easymode.glsl", "SHARPNESS_H", 0.5f},
    {"crt-geom-mini.glsl", nullptr, 0},
    {"image-adjustment.glsl", nullptr, 0},
    {"scanline.glsl", "SCANLINE_SINE_COMP_A", 0.15f},
    {"bezel-overlay.glsl", "BEZEL_ON", 1.0f},  // "#version" below a licence header
};

// A one-file program for the tests: the declarations and the colour
// expression of its fragment stage, the picture's coordinate in t.
std::string test_program(const std::string& declarations, const std::string& colour) {
  return "#if defined(VERTEX)\n"
         "in vec4 VertexCoord; in vec4 TexCoord; out vec2 t;\n"
         "uniform mat4 MVPMatrix;\n"
         "void main() { gl_Position = MVPMatrix * VertexCoord; t = TexCoord.xy; }\n"
         "#elif defined(FRAGMENT)\n"
         "in vec2 t; out vec4 o;\n" +
         declarations + "\nvoid main() { o = " + colour + "; }\n#endif\n";
}

// Puts a function of the test's own in place of one of epoxy's GL entry
// points for one scope. The entry point must have been called before, so
// that epoxy's pointer holds the driver's function and not its resolver
// (which would put the driver's function back).
template <typename Fn>
class gl_swap {
 public:
  gl_swap(Fn* slot, Fn with) : slot_(slot), saved_(*slot) { *slot = with; }
  ~gl_swap() { *slot_ = saved_; }
  gl_swap(const gl_swap&) = delete;
  gl_swap& operator=(const gl_swap&) = delete;

 private:
  Fn* slot_;
  Fn saved_;
};

class external_shader_test : public window_test {
 protected:
  void SetUp() override {
    for (const test_shader& s : test_shaders)
      std::filesystem::copy_file(std::string(BKM_TEST_SHADERS) + "/" + s.file, dir / s.file);
    spit(dir / "notes.txt", "not a shader");
    spit(dir / "BROKEN.GLSL", "void main() { this is not glsl }\n");
  }
  static std::string display(const char* file) {
    std::string name = file;
    return name.substr(0, name.rfind('.'));
  }
};

TEST_F(external_shader_test, ShaderFolderListsTheGlslFiles) {
  open(960, 600, 320, 200, dir.path.c_str());
  EXPECT_EQ(video_external_count(), 7);
  std::vector<std::string> names;
  for (int i = 0; i < video_external_count(); ++i) names.push_back(video_external_name(i));
  for (const test_shader& s : test_shaders)
    EXPECT_NE(std::find(names.begin(), names.end(), display(s.file)), names.end()) << s.file;
  EXPECT_NE(std::find(names.begin(), names.end(), "BROKEN"), names.end());
  EXPECT_STREQ(video_external_name(7), "");
  EXPECT_STREQ(video_external_name(-1), "");
}

TEST_F(external_shader_test, EachTestShaderBuildsAndDrawsWithItsParameters) {
  open(960, 600, 320, 200, dir.path.c_str());
  vcfg.aspect = 3;
  auto frame = coordinate_pattern(320, 200);
  video_upload(frame.data());
  for (const test_shader& s : test_shaders) {
    SCOPED_TRACE(s.file);
    video_use_external(display(s.file).c_str());
    while (glGetError() != GL_NO_ERROR) {
    }
    rgb_picture shot = draw_and_read();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(video_take_error(), nullptr);
    EXPECT_STREQ(vcfg.external, display(s.file).c_str());
    long sum = 0;
    for (int y = 50; y < 550; y += 7)
      for (int x = 0; x < 960; x += 5) sum += shot.at(x, y)[0] + shot.at(x, y)[1];
    EXPECT_GT(sum, 1000) << "black picture";
    std::string text = shader_prepare_text(slurp(dir / s.file));
    shader_param want[SHADER_PARAM_MAX];
    int count = shader_read_params(text, want, SHADER_PARAM_MAX);
    ASSERT_EQ(video_external_param_count(), count);
    for (int i = 0; i < count; ++i) {
      EXPECT_STREQ(video_external_param_name(i), want[i].name);
      EXPECT_EQ(video_external_param_value(i), want[i].value);
    }
    if (s.first_param) {
      ASSERT_GT(count, 0);
      EXPECT_STREQ(video_external_param_name(0), s.first_param);
      EXPECT_FLOAT_EQ(video_external_param_value(0), s.first_value);
    }
  }
}

TEST_F(external_shader_test, ParameterDefaultsReachTheirUniforms) {
  spit(dir / "tint.glsl",
       "#version 120\r\n"
       "#pragma parameter TINT \"Tint\" 0.25 0.0 1.0 0.05\r\n"
       "#pragma parameter GAIN \"Gain\" 3\r\n"
       "#if defined(VERTEX)\n"
       "in vec4 VertexCoord; in vec4 TexCoord; out vec2 t;\n"
       "uniform mat4 MVPMatrix;\n"
       "void main() { gl_Position = MVPMatrix * VertexCoord; t = TexCoord.xy; }\n"
       "#elif defined(FRAGMENT)\n"
       "in vec2 t; out vec4 o; uniform float TINT; uniform int GAIN; uniform int FrameCount;\n"
       "uniform vec2 OutputSize;\n"
       "void main() { o = vec4(TINT, float(GAIN) / 10.0, OutputSize.x / 1000.0, 1.0); }\n"
       "#endif\n");
  open(960, 600, 320, 200, dir.path.c_str());
  vcfg.aspect = 3;
  video_upload(coordinate_pattern(320, 200).data());
  video_use_external("tint");
  rgb_picture shot = draw_and_read();
  EXPECT_EQ(video_take_error(), nullptr);
  EXPECT_NEAR(shot.at(480, 300)[0], 64, 1);
  EXPECT_NEAR(shot.at(480, 300)[1], 77, 1);
  EXPECT_NEAR(shot.at(480, 300)[2], 245, 1);
}

TEST_F(external_shader_test, BrokenShaderIsTriedOnceAndThePresetDraws) {
  open(960, 600, 320, 200, dir.path.c_str());
  video_set_preset("None");
  vcfg.aspect = 3;
  std::vector<uint8_t> frame(320 * 200 * 3, 90);
  video_upload(frame.data());
  video_use_external("BROKEN");
  rgb_picture shot = draw_and_read();
  const char* error = video_take_error();
  ASSERT_NE(error, nullptr);
  EXPECT_STREQ(error, "External shader BROKEN failed");
  EXPECT_STREQ(vcfg.external, "");
  EXPECT_EQ(shot.at(480, 300)[0], 90);
  draw_and_read();
  EXPECT_EQ(video_take_error(), nullptr);
  EXPECT_NE(log.text().find("Shader compilation failed"), std::string::npos);
  // A name that is not in the folder fails the same way.
  video_use_external("missing");
  draw_and_read();
  EXPECT_STREQ(video_take_error(), "External shader missing failed");
}

// A file that samples a picture this program does not supply (a bezel)
// reads a transparent one instead of the game's texture, which would lay a
// dimmed copy of the game over the whole picture; the uniforms left unset
// are logged once for the file.
TEST_F(external_shader_test, SamplersTheProgramLacksReadATransparentPicture) {
  open(960, 600, 320, 200, dir.path.c_str());
  vcfg.aspect = 3;
  video_upload(grey_frame(90).data());
  video_use_external("bezel-overlay");
  while (glGetError() != GL_NO_ERROR) {
  }
  rgb_picture shot = draw_and_read();
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  EXPECT_EQ(video_take_error(), nullptr);
  EXPECT_STREQ(vcfg.external, "bezel-overlay");
  for (auto [x, y] : {std::pair{480, 300}, {5, 5}, {950, 590}})
    EXPECT_NEAR(shot.at(x, y)[1], 90, 1) << x << "," << y;
  // Chosen again, and drawn again: still one line.
  video_use_external("scanline");
  draw_and_read();
  video_use_external("bezel-overlay");
  draw_and_read();
  const std::string text = log.text();
  const std::string line = "External shader bezel-overlay: not provided by this program: ";
  const size_t at = text.find(line);
  ASSERT_NE(at, std::string::npos) << text;
  EXPECT_EQ(text.find(line, at + 1), std::string::npos) << "logged twice";
  const std::string names = text.substr(at + line.size(), text.find('\n', at) - at - line.size());
  EXPECT_TRUE(names == "BezelTexture, OrigInputSize" || names == "OrigInputSize, BezelTexture") << names;
  // A file that uses only what the program gives says nothing.
  EXPECT_EQ(text.find("External shader scanline: not provided"), std::string::npos);
}

// Files written for other programs call the game picture otherwise
// ("Source"). Their one plain 2D sampler then gets it; with several, which
// one is meant cannot be known and the preset draws.
TEST_F(external_shader_test, WithoutTextureTheOneOtherSamplerGetsTheGamePicture) {
  struct sampler_case {
    const char* file;
    const char* declarations;
    const char* colour;
    bool used;
    int centre;         // green at the centre
    const char* line;   // logged
  } cases[] = {
      {"source", "uniform sampler2D Source;", "texture(Source, t)", true, 90,
       "External shader source: no sampler is named Texture; the game picture goes to Source"},
      {"source-and-lut", "uniform sampler2D Source; uniform sampler3D Lut;",
       "texture(Source, t) + texture(Lut, vec3(t, 0.5))", true, 90,
       "External shader source-and-lut: no sampler is named Texture; the game picture goes to Source"},
      {"two-inputs", "uniform sampler2D Source; uniform sampler2D Previous;",
       "texture(Source, t) * 0.5 + texture(Previous, t) * 0.25", false, 90, nullptr},
      {"frames", "uniform sampler2D Frames[2];", "texture(Frames[0], t) + texture(Frames[1], t)", false, 90,
       "External shader frames: no sampler is named Texture, and it is not known which of Frames should get "
       "the game picture; not used"},
      {"no-picture", "", "vec4(0.2, 0.4, 0.6, 1.0)", true, 102, nullptr},
  };
  for (const sampler_case& c : cases)
    spit(dir / (std::string(c.file) + ".glsl"), test_program(c.declarations, c.colour));
  open(960, 600, 320, 200, dir.path.c_str());
  vcfg.aspect = 3;
  video_upload(grey_frame(90).data());
  for (const sampler_case& c : cases) {
    SCOPED_TRACE(c.file);
    video_set_preset("None");
    video_use_external(c.file);
    while (glGetError() != GL_NO_ERROR) {
    }
    rgb_picture shot = draw_and_read();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_NEAR(shot.at(480, 300)[1], c.centre, 1);
    if (c.used) {
      EXPECT_EQ(video_take_error(), nullptr);
      EXPECT_STREQ(vcfg.external, c.file);
    } else {
      EXPECT_EQ(video_take_error(), "External shader " + std::string(c.file) + " failed");
      EXPECT_STREQ(vcfg.external, "");
    }
    if (c.line) {
      EXPECT_TRUE(log.has(c.line)) << log.text();
    }
  }
  // The refusal names every candidate.
  const std::string text = log.text();
  const size_t at = text.find("External shader two-inputs: no sampler is named Texture, and it is not known which of ");
  ASSERT_NE(at, std::string::npos) << text;
  const std::string line = text.substr(at, text.find('\n', at) - at);
  EXPECT_NE(line.find("Source"), std::string::npos) << line;
  EXPECT_NE(line.find("Previous"), std::string::npos) << line;
  EXPECT_TRUE(line.ends_with("should get the game picture; not used")) << line;
  // The one that takes the picture is not listed as missing.
  EXPECT_EQ(text.find("External shader source: not provided"), std::string::npos);
  EXPECT_TRUE(log.has("External shader source-and-lut: not provided by this program: Lut")) << text;
  // Chosen again: drawn the same, and not logged again.
  video_use_external("source");
  EXPECT_EQ(draw_and_read().at(480, 300)[1], 90);
  const std::string line_once = "External shader source: no sampler is named Texture";
  EXPECT_EQ(log.text().find(line_once, log.text().find(line_once) + 1), std::string::npos) << log.text();
}

// Samplers of every type, each element of an array and any number of them
// get units of their own: one left on unit 0 reads the game picture, or,
// being of another type than Texture, makes the draw fail.
TEST_F(external_shader_test, EverySamplerTheProgramLacksGetsAUnitOfItsOwn) {
  std::string many_declarations = "uniform sampler2D Texture;", many_colour = "texture(Texture, t)";
  for (int i = 0; i < 20; ++i) {
    many_declarations += " uniform sampler2D s" + std::to_string(i) + ";";
    many_colour += " + texture(s" + std::to_string(i) + ", t)";
  }
  many_declarations += " uniform isampler3D late3d;";
  many_colour += " + vec4(texture(late3d, vec3(t, 0.5))) * 0.001";
  struct unit_case {
    const char* file;
    std::string declarations, colour;
    int centre;
  } cases[] = {
      {"types",
       "uniform sampler2D Texture; uniform isampler3D volume; uniform usampler2DArray layers;"
       " uniform isampler2DRect rect; uniform usamplerCube cube; uniform isampler1DArray rows;"
       " uniform samplerBuffer list; uniform int FrameCount;",
       "texture(Texture, t) + (FrameCount < 0 ? vec4(texture(volume, vec3(t, 0.0))) +"
       " vec4(texture(layers, vec3(t, 0.0))) + vec4(texelFetch(rect, ivec2(0))) +"
       " vec4(texture(cube, vec3(t, 1.0))) + vec4(texture(rows, t)) + texelFetch(list, 0) : vec4(0.0))",
       90},
      {"array", "uniform sampler2D Texture; uniform sampler2D Prev[4];",
       "texture(Texture, t) * 0.5 + texture(Prev[1], t) + texture(Prev[3], t)", 45},
      {"many", many_declarations, many_colour, 90},
  };
  for (const unit_case& c : cases) spit(dir / (std::string(c.file) + ".glsl"), test_program(c.declarations, c.colour));
  open(960, 600, 320, 200, dir.path.c_str());
  vcfg.aspect = 3;
  video_upload(grey_frame(90).data());
  for (const unit_case& c : cases) {
    SCOPED_TRACE(c.file);
    video_use_external(c.file);
    while (glGetError() != GL_NO_ERROR) {
    }
    rgb_picture shot = draw_and_read();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(video_take_error(), nullptr);
    EXPECT_STREQ(vcfg.external, c.file);
    EXPECT_NEAR(shot.at(480, 300)[1], c.centre, 1);
  }
}

// A driver with fewer units than the file's samplers need: the file would
// draw wrongly, so the preset draws, and the log says why.
TEST_F(external_shader_test, SamplersBeyondTheDriversUnitsAreNotUsed) {
  spit(dir / "four.glsl", test_program("uniform sampler2D Texture, a, b, c;",
                                       "texture(Texture, t) + texture(a, t) + texture(b, t) + texture(c, t)"));
  open(960, 600, 320, 200, dir.path.c_str());
  video_set_preset("None");
  vcfg.aspect = 3;
  video_upload(grey_frame(90).data());
  GLint units = 0;
  glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &units);
  ASSERT_GE(units, 4);
  static PFNGLGETINTEGERVPROC driver;
  driver = epoxy_glGetIntegerv;
  for (GLint limit : {4, 3}) {
    SCOPED_TRACE(limit);
    static GLint reported;
    reported = limit;
    gl_swap<PFNGLGETINTEGERVPROC> swap(&epoxy_glGetIntegerv, [](GLenum name, GLint* value) {
      driver(name, value);
      if (name == GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS) *value = reported;
    });
    video_use_external("four");
    rgb_picture shot = draw_and_read();
    EXPECT_EQ(shot.at(480, 300)[1], 90);
    if (limit == 4) {
      EXPECT_EQ(video_take_error(), nullptr);
      EXPECT_STREQ(vcfg.external, "four");
    } else {
      EXPECT_STREQ(video_take_error(), "External shader four failed");
      EXPECT_STREQ(vcfg.external, "");
      EXPECT_TRUE(log.has("External shader four: its samplers need 4 texture units, the driver has 3; not used"))
          << log.text();
    }
  }
}

// The locations are the program's: looked up once when it is built, not
// for every frame.
TEST_F(external_shader_test, UniformLocationsAreLookedUpOnceWhenTheProgramIsBuilt) {
  open(960, 600, 320, 200, dir.path.c_str());
  vcfg.aspect = 3;
  video_upload(grey_frame(90).data());
  video_use_external("bezel-overlay");
  draw_and_read();
  ASSERT_STREQ(vcfg.external, "bezel-overlay");
  static int lookups;
  static PFNGLGETUNIFORMLOCATIONPROC driver;
  lookups = 0;
  driver = epoxy_glGetUniformLocation;
  gl_swap<PFNGLGETUNIFORMLOCATIONPROC> swap(&epoxy_glGetUniformLocation, [](GLuint program, const GLchar* name) {
    ++lookups;
    return driver(program, name);
  });
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(draw_and_read().at(480, 300)[1], 90, 1);
  EXPECT_EQ(lookups, 0);
  EXPECT_EQ(video_take_error(), nullptr);
}

// Windows editors start a file with a byte-order mark.
TEST_F(external_shader_test, AFileWithAByteOrderMarkBuilds) {
  spit(dir / "marked.glsl",
       "\xEF\xBB\xBF#version 120\r\n" + test_program("uniform sampler2D Texture;", "texture(Texture, t)"));
  open(960, 600, 320, 200, dir.path.c_str());
  vcfg.aspect = 3;
  video_upload(grey_frame(90).data());
  video_use_external("marked");
  rgb_picture shot = draw_and_read();
  EXPECT_EQ(video_take_error(), nullptr);
  EXPECT_STREQ(vcfg.external, "marked");
  EXPECT_EQ(shot.at(480, 300)[1], 90);
}

// The driver's compile cannot be bounded: a marker file stands while it
// runs, so that a run lost inside it (a compile that never ends, a crash)
// is known at the next start. Built-in programs need none.
TEST_F(external_shader_test, AMarkerFileStandsWhileTheDriverCompilesAnExternalShader) {
  spit(dir / "plain.glsl", test_program("uniform sampler2D Texture;", "texture(Texture, t)"));
  const std::string marker = log.dir / "shader_building.txt";
  video_set_build_marker(marker.c_str());
  open(960, 600, 320, 200, dir.path.c_str());
  static std::vector<std::string>* seen;
  static const std::string* marker_path;
  static PFNGLCOMPILESHADERPROC driver;
  std::vector<std::string> compiles;
  seen = &compiles;
  marker_path = &marker;
  driver = epoxy_glCompileShader;
  {
    gl_swap<PFNGLCOMPILESHADERPROC> swap(&epoxy_glCompileShader, [](GLuint shader) {
      seen->push_back(std::filesystem::exists(*marker_path) ? slurp(*marker_path) : "(none)");
      driver(shader);
    });
    video_set_preset("Full CRT");
    draw_and_read();
    video_use_external("plain");
    draw_and_read();
    video_use_external("BROKEN");
    draw_and_read();
  }
  video_set_build_marker("");
  // Each program has two stages; the broken file fails at its first.
  const std::vector<std::string> want = {"(none)", "(none)", "plain\n", "plain\n", "BROKEN\n"};
  EXPECT_EQ(compiles, want);
  EXPECT_FALSE(std::filesystem::exists(marker)) << "left after the compile";
}

// Thirty lines that each name the one before twice would make the driver's
// preprocessor expand 2^30 copies; such a text never reaches it.
TEST_F(external_shader_test, MacrosThatExpandTooFarAreNotCompiled) {
  std::string bomb = "#define A0 y += x;\n";
  for (int i = 1; i <= 30; ++i)
    bomb += "#define A" + std::to_string(i) + " A" + std::to_string(i - 1) + " A" + std::to_string(i - 1) + "\n";
  bomb += test_program("uniform sampler2D Texture;", "texture(Texture, t)");
  bomb += "#ifdef FRAGMENT\nvoid f() { float y = 0.0, x = 1.0; A30 }\n#endif\n";
  spit(dir / "bomb.glsl", bomb);
  open(960, 600, 320, 200, dir.path.c_str());
  video_set_preset("None");
  vcfg.aspect = 3;
  video_upload(grey_frame(90).data());
  static int compiles;
  static PFNGLCOMPILESHADERPROC driver;
  compiles = 0;
  driver = epoxy_glCompileShader;
  gl_swap<PFNGLCOMPILESHADERPROC> swap(&epoxy_glCompileShader, [](GLuint shader) {
    ++compiles;
    driver(shader);
  });
  video_use_external("bomb");
  rgb_picture shot = draw_and_read();
  EXPECT_EQ(compiles, 0);
  EXPECT_STREQ(video_take_error(), "External shader bomb failed");
  EXPECT_STREQ(vcfg.external, "");
  EXPECT_EQ(shot.at(480, 300)[1], 90);
  EXPECT_TRUE(log.has("External shader bomb: its macros make more than 262144 words (A30 makes the most); not built"))
      << log.text();
}

// The compiler's messages name lines of the file, not of the text the
// program puts before it.
TEST_F(external_shader_test, CompileErrorsNameLinesOfTheFile) {
  spit(dir / "typo.glsl",
       "// Licence: free to copy.\n"
       "\n"
       "#version 120\n"
       "#if defined(VERTEX)\n"
       "void main() { gl_Position = vec4(0.0); }\n"
       "#elif defined(FRAGMENT)\n"
       "out vec4 o;\n"
       "void main() { o = vec4(1.0) }\n"
       "#endif\n");
  open(960, 600, 320, 200, dir.path.c_str());
  video_use_external("typo");
  draw_and_read();
  EXPECT_STREQ(video_take_error(), "External shader typo failed");
  // Mesa's form: source 0, line 8, column.
  EXPECT_NE(log.text().find("External shader typo: Shader compilation failed: 0:8("), std::string::npos) << log.text();
  // The driver's text ends in a line break; the log's lines are not doubled.
  EXPECT_EQ(log.text().find("\n\n"), std::string::npos) << log.text();
}

TEST_F(external_shader_test, OversizedShaderFileIsRefused) {
  std::string big = slurp(dir / "scanline.glsl");
  big.append(SHADER_FILE_MAX, ' ');
  spit(dir / "huge.glsl", big);
  open(960, 600, 320, 200, dir.path.c_str());
  video_use_external("huge");
  draw_and_read();
  EXPECT_STREQ(video_take_error(), "External shader huge failed");
}

// ---- The text preparation -------------------------------------------------

TEST(shader_text, VersionLineAndCarriageReturnsAreRemoved) {
  // The version line is emptied, its line kept: line numbers stay the file's.
  struct {
    const char* file;
    const char* prepared;
  } rows[] = {
      {"#version 110\r\nvoid main() {}\r\n", "\nvoid main() {}\n"},
      {"#version 130", ""},
      {"// x\n#version 110\n", "// x\n\n"},
      {"/* licence\n   text */\n\n  #version 330 core\r\nx\n", "/* licence\n   text */\n\n  \nx\n"},
      {"// a\n/* b */ // c\n\t\n#version 120\nx", "// a\n/* b */ // c\n\t\n\nx"},
      {"x\n#version 110\n", "x\n#version 110\n"},          // after code: the compiler's to refuse
      {"/* never closed\n#version 110\n", "/* never closed\n#version 110\n"},
      {"// only a comment", "// only a comment"},
      // Byte-order marks go as the carriage returns do, before the version.
      {"\xEF\xBB\xBF#version 120\r\nx\n", "\nx\n"},
      {"\xEF\xBB\xBF// x\n#version 120\nx", "// x\n\nx"},
      {"a\xEF\xBB\xBF" "b\xEF\xBB\n\xBF", "ab\xEF\xBB\n\xBF"},
  };
  for (const auto& r : rows) EXPECT_EQ(shader_prepare_text(r.file), r.prepared) << r.file;
  EXPECT_EQ(shader_prepare_text(std::string_view("a\0#pragma parameter B \"b\" 1", 30)), "a");
  EXPECT_EQ(shader_stage_source("body", true),
            "#version 330 compatibility\n#define VERTEX\n#define PARAMETER_UNIFORM\n#line 1\nbody");
  EXPECT_EQ(shader_stage_source("body", false),
            "#version 330 compatibility\n#define FRAGMENT\n#define PARAMETER_UNIFORM\n#line 1\nbody");
}

struct param_case {
  const char* text;
  const char* name;  // null: no parameter read
  float value;
};

TEST(shader_text, PragmaParameterLines) {
  const param_case cases[] = {
      {"#pragma parameter CURV \"Curvature\" 0.25 0.0 1.0 0.05", "CURV", 0.25f},
      {"#pragma parameter  X\t\"a b c\"   -1.5", "X", -1.5f},
      {"#pragma parameter E \"\" 2e1", "E", 20.0f},
      {"#pragma parameter T \"tight\"0.5", "T", 0.5f},
      {"#pragma parameter N \"no number\"", nullptr, 0},
      {"#pragma parameter N \"unclosed 0.5", nullptr, 0},
      {"#pragma parameter N no_quotes 0.5", nullptr, 0},
      {"#pragma parameter N \"nan\" nan", nullptr, 0},
      {"#pragma parameter N \"word\" abc", nullptr, 0},
      {"#pragma parameter", nullptr, 0},
      {"#pragma parameter ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTU \"47\" 1",
       "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTU", 1.0f},
      {"#pragma parameter ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUV \"48\" 1", nullptr, 0},
      {"#pragma param X \"x\" 1", nullptr, 0},
  };
  for (const param_case& c : cases) {
    SCOPED_TRACE(c.text);
    shader_param out[2] = {};
    int n = shader_read_params(c.text, out, 2);
    if (!c.name) {
      EXPECT_EQ(n, 0);
      continue;
    }
    ASSERT_EQ(n, 1);
    EXPECT_STREQ(out[0].name, c.name);
    EXPECT_FLOAT_EQ(out[0].value, c.value);
  }
}

TEST(shader_text, ParametersAreReadInOrderUpToTheLimit) {
  std::string text;
  for (int i = 0; i < 70; ++i)
    text += "#pragma parameter P" + std::to_string(i) + " \"p\" " + std::to_string(i) + "\n";
  std::vector<shader_param> out(SHADER_PARAM_MAX + 1);
  EXPECT_EQ(shader_read_params(text, out.data(), SHADER_PARAM_MAX), SHADER_PARAM_MAX);
  EXPECT_STREQ(out[63].name, "P63");
  EXPECT_EQ(out[63].value, 63.0f);
  EXPECT_STREQ(out[64].name, "");
  // A line that does not match is skipped and the next still read.
  shader_param two[2];
  EXPECT_EQ(shader_read_params("#pragma parameter A 1\n#pragma parameter B \"b\" 2\n", two, 2), 1);
  EXPECT_STREQ(two[0].name, "B");
}

}  // namespace
