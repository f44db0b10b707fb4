// The video options of options.json ("preset", "filter", "aspect",
// "shader_source", "params.*", "external") to and from the video output.
// Main thread only.
#pragma once

// Reads the stored video options into vcfg and the video output.
void apply_video_cfg();
// Puts vcfg into the options store (saved with the other options).
void store_video_cfg();
// Puts the video settings and the fullscreen choice into the store and
// writes every option (nothing under BKM_TEST). 1 when written.
int save_all_options();
