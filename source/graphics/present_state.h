// The presenter's record; main thread only.
#pragma once

#include <vector>

#include "graphics/present.h"

struct present_state {
    int32_t scale;
    scene_frame* history[history_frames];  // oldest first
    int32_t history_count;
    bool clock_valid;
    double clock_wall, clock_vbl, clock_rate;
    double shown;
    int32_t last_bg_kind;
    bool bg_known;
    double vscroll;  // accumulated vertical scroll, lines
    int32_t last_ring_row;
    bool ring_valid;
    motion_filter filters[motion_filter_slots];
    unit_track tracker[unit_track_slots];
    uint32_t fixed_vbl;
    std::vector<uint8_t> fixed_indices;
    palette_zone fixed_zones[max_palette_zones];
    int32_t fixed_zone_count;
    bool fixed_valid;
    uint32_t last_vbl;
    char screen_kind[16];
    char toast[256];
    double toast_time;
    bool toast_pending;
    present_stats stats;
    bool stats_valid;
    char error[256];
    bool error_set;
    double ahead;
    bool hs_running;
    double hs_smoothed;
    int32_t hs_direction;
    std::vector<uint8_t> game_rgb, fixed_rgb;
    uint32_t fixed_picture_vbl;
    bool fixed_picture_valid;
    // The pair and fraction last drawn.
    const scene_frame* last_a;
    const scene_frame* last_b;
    double last_t;
    // Fixed-screen rebuild timing for BKM_PROFLAYERS.
    int32_t static_rebuilds;
    double static_ms_total, layers_ms_total, static_ms_max;
};

constexpr double shown_reset = -1e18;
constexpr float no_prediction = 1e30f;

// Scroll bookkeeping and motion filters of an arriving frame.
void present_track_frame(present_state* state, scene_frame* frame);
void clear_motion(present_state* state);
