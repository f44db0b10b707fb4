#include "host/window/video_settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "host/options.h"
#include "host/platform.h"
#include "host/settings.h"
#include "host/window/app_state.h"
#include "host/window/video.h"

namespace {

// The built-in shaders' parameters and the range each is made for (the
// options menu's sliders span the same).
struct param_key {
  const char* key;
  float video_cfg::*field;
  double min, max;
};
constexpr param_key param_keys[] = {
    {"params.p_scan", &video_cfg::p_scan, 0, 1},       {"params.p_mask", &video_cfg::p_mask, 0, 1},
    {"params.p_curv", &video_cfg::p_curv, 0, 1},       {"params.p_bright", &video_cfg::p_bright, 0.5, 1.8},
    {"params.p_vig", &video_cfg::p_vig, 0, 1},         {"params.p_bloom", &video_cfg::p_bloom, 0, 1},
};

int in_range(double v, int lo, int hi, int fallback) {
  return v >= lo && v <= hi ? static_cast<int>(v) : fallback;
}

} // namespace

void apply_video_cfg() {
  const char* preset = cfg_str("preset", "Soft CRT");
  if (std::strcmp(preset, "Custom") == 0)
    std::snprintf(vcfg.preset, sizeof vcfg.preset, "Custom");
  else
    video_set_preset(preset);
  video_use_external("");
  vcfg.external[0] = 0;
  vcfg.filter = in_range(cfg_num("filter", vcfg.filter), 0, 2, 1);
  vcfg.source = in_range(cfg_num("shader_source", 0), 0, 2, 0);
  vcfg.aspect = in_range(cfg_num("aspect", 1), 0, 3, 1);
  // A hand-edited value outside its range is brought into it (1e308 would
  // reach the shader as infinity); one that is no number keeps the current.
  // The group is read when it has the scanline weight, as every file the
  // program writes has; a weight that is no number still counts, so that
  // it does not take the other five with it.
  if (cfg_has("params.p_scan") || cfg_not_finite("params.p_scan"))
    for (const param_key& p : param_keys)
      if (const double v = cfg_num(p.key, vcfg.*p.field); std::isfinite(v))
        vcfg.*p.field = static_cast<float>(std::clamp(v, p.min, p.max));
  video_set_glfinish(cfg_bool("gpu_wait", 0));
  video_set_build_marker(shader_marker_path);
  const char* external = cfg_str("external", "");
  for (int i = 0; *external && i < video_external_count(); ++i) {
    if (std::strcmp(video_external_name(i), external) == 0) {
      // A compile that hung or crashed the last run would do so at every
      // start: the stored choice waits until the player makes it again.
      if (std::strcmp(video_interrupted_build(), external) == 0) {
        host_log("External shader %s not used: the last run ended while the graphics driver was "
                 "compiling it; choose it again in Video > CRT effect to try it again",
                 external);
        break;
      }
      video_use_external(external);
      std::snprintf(vcfg.external, sizeof vcfg.external, "%s", external);
      break;
    }
  }
}

void store_video_cfg() {
  cfg_set_str("preset", vcfg.preset);
  cfg_set_str("external", vcfg.external);
  cfg_set_num("shader_source", vcfg.source);
  cfg_set_num("filter", vcfg.filter);
  cfg_set_num("aspect", vcfg.aspect);
  cfg_set_bool("gpu_wait", video_get_glfinish());
  for (const param_key& p : param_keys) cfg_set_num(p.key, vcfg.*p.field);
}

int save_all_options() {
  store_video_cfg();
  cfg_set_bool("fullscreen", fullscreen);
  return save_options();
}
