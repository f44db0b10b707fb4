// The presenter: between the emulation thread, which captures frames at the
// game's pace, and the main thread, which shows one picture per display
// refresh. It owns the message queue from the emulation thread, a history of
// the last 40 captured frames, the emulated clock, motion filters for the
// enemies, and chooses for every display deadline the two frames around it
// and the fraction between them for the renderer.
#pragma once

#include <cstdint>

#include "graphics/render.h"
#include "graphics/scene.h"

enum present_msg_kind : uint32_t {
    MSG_CLOCK = 0,
    MSG_FRAME = 1,
    MSG_RESET = 2,
    MSG_SCREEN = 3,
    MSG_KIND = 4,
    MSG_TOAST = 5,
    MSG_STATS = 6,
    MSG_ERROR = 7,
};

struct present_stats {
    double step_ms;        // average step time
    double steps_per_s;
    double longest_ms;
    int32_t slow_steps;
    int32_t stalls;
};

struct present_msg {
    uint32_t kind;
    double wall;   // now_s() seconds
    double vbl;    // machine VBL counter at that wall time
    double rate;   // VBLs per second
    scene_frame* frame;  // reference held by the message
    uint32_t screen_vbl;
    uint8_t* payload;    // 320 x 200 indices, owned by the message
    palette_zone zones[max_palette_zones];
    int32_t zone_count;
    char text[256];
    present_stats stats;
};

constexpr int msg_queue_size = 512;

present_msg* msg_new(uint32_t kind);
void msg_free(present_msg* msg);
// Ordinary messages wait (1 ms at a time) while 511 are queued; a fixed
// screen takes the last slot or is dropped. Returns the message, or null when
// it was dropped (and freed).
present_msg* msgq_push(present_msg* msg);
present_msg* msgq_pop();
void msgq_clear();
int msgq_count();
// Main closes the queue before it joins the emulation thread, so a sender
// never waits for a reader that has stopped: every push then frees its
// message and returns at once.
void msgq_set_closed(int closed);
// The senders waiting for room right now (a test knows by it that a sender
// is blocked).
int msgq_waiting_senders();

// present_flags, written by the options.
enum present_flag_index {
    PF_SCROLL_FIX = 0,
    PF_SUBPIXEL = 1,
    PF_PREDICTION = 2,
    PF_EXTRAPOLATE = 3,
    PF_FILTER_X = 4,
    PF_FILTER_Y = 5,
    PF_TRACKING = 6,
    PF_RESIDUAL = 7,
    PF_INTERPOLATION = 8,
};
extern int32_t pflags[9];

constexpr int motion_filter_slots = 128;
constexpr int filter_history = 25, raw_history = 6;
constexpr int history_frames = 40;

struct motion_filter {
    int32_t used;
    int32_t object;
    double hx[filter_history], hy[filter_history];
    int32_t hcount;
    double rx[raw_history], ry[raw_history];
    int32_t rcount;
    double vx, vy;
    int32_t kick_hold, stop_hold;
    int32_t anchor[2];
    int32_t frames;
    double sx, sy;
    int32_t seen;
};

struct present_state;

// Laid over a fixed screen by the graphics packs; null without one.
extern void (*present_static_cb)(const uint8_t* indices, const palette_zone* zones, int zone_count, int scale,
                                 uint8_t* rgb);

present_state* present_new(int scale);
void present_free(present_state* state);
void present_set_scale(present_state* state, int scale);
int present_scale(const present_state* state);
void present_set_ahead(present_state* state, double vbls);
void present_drain(present_state* state);
const uint8_t* present_frame(present_state* state, int* is_fixed_screen, double deadline);
int present_wait_menu(present_state* state, double timeout_s);
const char* present_screen_kind(const present_state* state);
const char* present_error(const present_state* state);
int present_take_text(present_state* state, char* buffer, int size, double* out_time);
void present_pack_changed(present_state* state);
uint32_t present_last_vbl(const present_state* state);
int present_umode_h(const present_state* state);
int present_stat(const present_state* state, present_stats* out);
int present_menu_cur(const present_state* state, const uint8_t** indices, const palette_zone** zones, int* count);
scene_frame* present_latest(const present_state* state);
double present_tv(const present_state* state, double wall);

// For tests and tools: the history, oldest first.
int present_history_count(const present_state* state);
scene_frame* present_history_frame(const present_state* state, int index);
double present_shown(const present_state* state);
const motion_filter* present_filters(const present_state* state);
void present_last_pair(const present_state* state, const scene_frame** a, const scene_frame** b, double* t);
