// The video options of options.json read into the video settings: the
// preset, the ranges of the choices, the custom parameters, the GPU wait
// and the external shader.
#include "host/window/video_settings.h"

#include "host/options.h"
#include "host/settings.h"
#include "host/window/video_state.h"
#include "window_fixture.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

class video_settings_test : public window_test {
 protected:
  void TearDown() override {
    cfg_clear();
    video_set_glfinish(0);
    window_test::TearDown();
  }
  // The options as the file holds them, read into the video settings.
  void apply(const std::string& json) {
    cfg_clear();
    ASSERT_EQ(cfg_load_text(json.c_str()), 1) << json;
    apply_video_cfg();
  }
};

struct choices_case {
  const char* json;
  const char* preset;
  int filter, source, aspect;
};

TEST_F(video_settings_test, ChoicesOutsideTheirRangesFallBack) {
  open(320, 200);
  const choices_case cases[] = {
      {"{}", "Soft CRT", 1, 0, 1},
      {R"({"preset": "None", "shader_source": 2, "aspect": 3})", "None", 0, 2, 3},
      {R"({"preset": "None", "filter": 2, "aspect": 0})", "None", 2, 0, 0},
      {R"({"preset": "Full CRT", "filter": 0, "shader_source": 1})", "Full CRT", 0, 1, 1},
      {R"({"preset": "None", "filter": 0, "aspect": 4})", "None", 0, 0, 1},
      {R"({"preset": "None", "filter": -1, "shader_source": 3, "aspect": 7})", "None", 1, 0, 1},
      {R"({"preset": "None", "filter": 3, "shader_source": -1, "aspect": -1})", "None", 1, 0, 1},
      // An unknown name keeps the preset and the filter in force (the last
      // case's).
      {R"({"preset": "Nonesuch"})", "None", 1, 0, 1},
  };
  for (const choices_case& c : cases) {
    apply(c.json);
    EXPECT_STREQ(vcfg.preset, c.preset) << c.json;
    EXPECT_EQ(vcfg.filter, c.filter) << c.json;
    EXPECT_EQ(vcfg.source, c.source) << c.json;
    EXPECT_EQ(vcfg.aspect, c.aspect) << c.json;
  }
}

TEST_F(video_settings_test, CustomParametersAreReadOnlyWithTheScanlineWeight) {
  open(320, 200);
  apply(R"({"preset": "Soft CRT"})");
  apply(R"({"preset": "Custom", "params": {"p_scan": 0.8}})");
  EXPECT_STREQ(vcfg.preset, "Custom");
  EXPECT_FLOAT_EQ(vcfg.p_scan, 0.8f);
  // The others keep Soft CRT's values.
  EXPECT_FLOAT_EQ(vcfg.p_mask, 0.25f);
  EXPECT_FLOAT_EQ(vcfg.p_curv, 0.10f);
  EXPECT_FLOAT_EQ(vcfg.p_bright, 1.10f);
  EXPECT_FLOAT_EQ(vcfg.p_vig, 0.35f);
  EXPECT_FLOAT_EQ(vcfg.p_bloom, 0.15f);
  apply(R"({"preset": "Custom", "params": {"p_scan": 0.1, "p_mask": 0.2, "p_curv": 0.3, "p_bright": 1.4,)"
        R"( "p_vig": 0.5, "p_bloom": 0.6}})");
  const float want[6] = {0.1f, 0.2f, 0.3f, 1.4f, 0.5f, 0.6f};
  const float got[6] = {vcfg.p_scan, vcfg.p_mask, vcfg.p_curv, vcfg.p_bright, vcfg.p_vig, vcfg.p_bloom};
  for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(got[i], want[i]) << i;
  // Without the scanline weight the parameters are the preset's.
  apply(R"({"preset": "Full CRT", "params": {"p_mask": 0.9, "p_bloom": 0.1}})");
  EXPECT_FLOAT_EQ(vcfg.p_mask, 0.55f);
  EXPECT_FLOAT_EQ(vcfg.p_bloom, 0.50f);
}

// Hand-edited shader parameters are brought into the range the built-in
// shaders are made for (1e308 would reach the shader as infinity); one that
// is no number keeps the preset's value.
TEST_F(video_settings_test, ShaderParametersStayInTheirRange) {
  struct {
    const char* options;
    float video_cfg::*field;
    float want;
  } rows[] = {
      {R"({"preset": "Custom", "params.p_scan": 1e308})", &video_cfg::p_scan, 1.0f},
      {R"({"preset": "Custom", "params": {"p_scan": 0.8, "p_mask": -3}})", &video_cfg::p_mask, 0.0f},
      {R"({"preset": "Custom", "params": {"p_scan": 0.8, "p_bright": 1e308}})", &video_cfg::p_bright, 1.8f},
      {R"({"preset": "Custom", "params": {"p_scan": 0.8, "p_bright": 0.1}})", &video_cfg::p_bright, 0.5f},
      {R"({"preset": "Custom", "params": {"p_scan": 0.8, "p_bright": 1.5}})", &video_cfg::p_bright, 1.5f},
      {R"({"preset": "Custom", "params": {"p_scan": 0.8, "p_vig": 2}})", &video_cfg::p_vig, 1.0f},
      {R"({"preset": "Custom", "params": {"p_scan": 0.8, "p_bloom": -1e308}})", &video_cfg::p_bloom, 0.0f},
      {R"({"preset": "Custom", "params": {"p_scan": 0.8, "p_curv": 1e999}})", &video_cfg::p_curv, 0.10f},
  };
  for (const auto& r : rows) {
    video_set_preset("Soft CRT");
    apply(r.options);
    EXPECT_FLOAT_EQ(vcfg.*r.field, r.want) << r.options;
  }
}

// One parameter that is no number (the store leaves it out) keeps its
// value; the others are still read, and the log names each one left out.
TEST_F(video_settings_test, AParameterThatIsNoNumberKeepsTheOthers) {
  open(320, 200);
  video_set_preset("Soft CRT");
  apply(R"({"preset": "Custom", "params": {"p_scan": 1e999, "p_mask": 0.2, "p_curv": nan, "p_bright": 1.4,)"
        R"( "p_vig": 0.5, "p_bloom": 0.6}})");
  const float want[6] = {0.35f, 0.2f, 0.10f, 1.4f, 0.5f, 0.6f};
  const float got[6] = {vcfg.p_scan, vcfg.p_mask, vcfg.p_curv, vcfg.p_bright, vcfg.p_vig, vcfg.p_bloom};
  for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(got[i], want[i]) << i;
  for (const char* key : {"params.p_scan", "params.p_curv"})
    EXPECT_TRUE(log.has(std::string("Options: the value of \"") + key +
                        "\" is not a finite number; its default is used"))
        << log.text();
  // Without the scanline weight the group is not read, also when another
  // of its values is no number.
  video_set_preset("Soft CRT");
  apply(R"({"preset": "Custom", "params": {"p_mask": 0.9}})");
  EXPECT_FLOAT_EQ(vcfg.p_mask, 0.25f);
  apply(R"({"preset": "Custom", "params": {"p_mask": nan, "p_bright": 1.4}})");
  EXPECT_FLOAT_EQ(vcfg.p_bright, 1.10f);
}

// A run that ended inside the driver's compile of the stored shader (the
// marker file still there) would end so at every start: the stored choice
// is left for the player to make again, and the preset draws.
TEST_F(video_settings_test, AShaderWhoseCompileALostRunLeftIsNotBuiltAtTheStart) {
  spit(dir / "spin.glsl", slurp(std::string(BKM_TEST_SHADERS) + "/scanline.glsl"));
  spit(dir / "calm.glsl", slurp(std::string(BKM_TEST_SHADERS) + "/scanline.glsl"));
  const std::string marker = log.dir / "shader_building.txt";
  std::snprintf(shader_marker_path, sizeof shader_marker_path, "%s", marker.c_str());
  open(960, 600, 320, 200, dir.path.c_str());
  vcfg.aspect = 3;
  std::vector<uint8_t> grey(320 * 200 * 3, 90);
  video_upload(grey.data());
  struct marker_case {
    const char* marker;  // null: none
    const char* stored;
    const char* chosen;
  } cases[] = {
      {"spin\n", "spin", ""},
      {"spin", "spin", ""},
      {"spin\n", "calm", "calm"},
      {"", "spin", "spin"},
      {nullptr, "spin", "spin"},
  };
  for (const marker_case& c : cases) {
    SCOPED_TRACE(c.marker ? c.marker : "no marker");
    std::filesystem::remove(marker);
    if (c.marker) spit(marker, c.marker);
    apply(std::string(R"({"preset": "None", "external": ")") + c.stored + "\"}");
    EXPECT_STREQ(vcfg.external, c.chosen);
  }
  EXPECT_TRUE(log.has("External shader spin not used: the last run ended while the graphics driver was compiling "
                      "it; choose it again in Video > CRT effect to try it again"))
      << log.text();
  // The preset draws; the marker stays until a compile ends.
  spit(marker, "spin\n");
  apply(R"({"preset": "None", "external": "spin"})");
  EXPECT_EQ(draw_and_read().at(480, 300)[1], 90);
  EXPECT_EQ(video_take_error(), nullptr);
  EXPECT_TRUE(std::filesystem::exists(marker));
  // Chosen again by the player, it is built, and the marker goes.
  video_use_external("spin");
  draw_and_read();
  EXPECT_EQ(video_take_error(), nullptr);
  EXPECT_STREQ(vcfg.external, "spin");
  EXPECT_FALSE(std::filesystem::exists(marker));
  shader_marker_path[0] = 0;
  video_set_build_marker("");
}

TEST_F(video_settings_test, TheGpuWaitAndAnExternalShaderThatExists) {
  open(320, 200, 320, 200, BKM_TEST_SHADERS);
  ASSERT_GT(video_external_count(), 0);
  const std::string name = video_external_name(0);
  apply(R"({"gpu_wait": true, "external": ")" + name + R"("})");
  EXPECT_EQ(video_get_glfinish(), 1);
  EXPECT_EQ(std::string(vcfg.external), name);
  apply(R"({"external": "no such shader"})");
  EXPECT_EQ(video_get_glfinish(), 0);
  EXPECT_STREQ(vcfg.external, "");
}

}  // namespace
