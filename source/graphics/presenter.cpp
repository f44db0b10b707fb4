// The presenter's main-thread side: applying queued messages, keeping the
// history and the clock, and choosing for a display deadline the frame pair
// and fraction the renderer draws.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "graphics/present_queue.h"
#include "graphics/present_state.h"
#include "host/platform.h"

int32_t pflags[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
void (*present_static_cb)(const uint8_t* indices, const palette_zone* zones, int zone_count, int scale,
                          uint8_t* rgb) = nullptr;

namespace {

constexpr int drain_limit = 200;
constexpr double clock_back_limit = 40;
constexpr int fixed_screen_lead = 7;
constexpr double hs_jump = 8, hs_hold = 1.6, hs_step = 1.079;

size_t rgb_bytes(int scale) { return static_cast<size_t>(scale) * scale * scene_pixels * 3; }

// Texts are cut to the field; a message's text may lack its terminator.
void copy_text(char* to, size_t size, const char* from) {
    size_t n = 0;
    while (n + 1 < size && n < 255 && from[n]) ++n;
    std::memcpy(to, from, n);
    to[n] = 0;
}

void drop_history(present_state* st) {
    for (int i = 0; i < st->history_count; ++i) frame_unref(st->history[i]);
    st->history_count = 0;
}

void apply_clock(present_state* st, const present_msg& m) {
    if (st->clock_valid) {
        const double now = now_s();
        const double old_pos = (now - st->clock_wall) * st->clock_rate + st->clock_vbl;
        const double new_pos = (now - m.wall) * m.rate + m.vbl;
        const double back = old_pos - new_pos;
        // A small step back keeps the picture from going backwards; a large
        // one (a loaded state) lets it.
        if (!(back > 0 && back < clock_back_limit)) st->shown = shown_reset;
    }
    st->clock_wall = m.wall, st->clock_vbl = m.vbl, st->clock_rate = m.rate;
    st->clock_valid = true;
}

void apply_frame(present_state* st, scene_frame* frame) {
    if (!frame) return;
    present_track_frame(st, frame);
    if (st->history_count == history_frames) {
        frame_unref(st->history[0]);
        std::memmove(st->history, st->history + 1, sizeof(scene_frame*) * (history_frames - 1));
        st->history_count -= 1;
    }
    st->history[st->history_count++] = frame_ref(frame);
    st->last_vbl = frame->vbl;
}

void apply_reset(present_state* st) {
    st->shown = shown_reset;
    drop_history(st);
    clear_motion(st);
    st->ring_valid = false;
    st->vscroll = 0;
}

void apply_screen(present_state* st, const present_msg& m) {
    st->fixed_vbl = m.screen_vbl;
    st->last_vbl = m.screen_vbl;
    if (m.payload) std::memcpy(st->fixed_indices.data(), m.payload, scene_pixels);
    std::memcpy(st->fixed_zones, m.zones, sizeof st->fixed_zones);
    st->fixed_zone_count = std::clamp(m.zone_count, 0, max_palette_zones);
    st->fixed_valid = true;
    st->fixed_picture_valid = false;
}

void apply(present_state* st, present_msg& m) {
    switch (m.kind) {
    case MSG_CLOCK: apply_clock(st, m); break;
    case MSG_FRAME: apply_frame(st, m.frame); break;
    case MSG_RESET: apply_reset(st); break;
    case MSG_SCREEN: apply_screen(st, m); break;
    case MSG_KIND: copy_text(st->screen_kind, sizeof st->screen_kind, m.text); break;
    case MSG_TOAST:
        copy_text(st->toast, sizeof st->toast, m.text);
        st->toast_time = now_s();
        st->toast_pending = true;
        break;
    case MSG_ERROR:
        copy_text(st->error, sizeof st->error, m.text);
        st->error_set = true;
        break;
    case MSG_STATS:
        st->stats = m.stats;
        st->stats_valid = true;
        break;
    default: break;
    }
}

// The playfield band moved k pixels right (k > 0) or left; uncovered pixels
// repeat the last moved one.
void shift_band(uint8_t* rgb, int scale, int k) {
    if (k == 0) return;
    const int x0 = playfield_left * scale, x1 = playfield_right * scale, w = x1 - x0;
    k = std::clamp(k, -w, w);
    const size_t stride = static_cast<size_t>(scene_width) * scale * 3;
    for (int y = 0; y < scene_height * scale; ++y) {
        uint8_t* band = rgb + y * stride + x0 * 3;
        if (k > 0) {
            std::memmove(band + 3 * k, band, 3 * static_cast<size_t>(w - k));
            for (int x = 0; x < k; ++x) std::memcpy(band + 3 * x, band + 3 * k, 3);
        } else {
            const int m = -k;
            std::memmove(band, band + 3 * m, 3 * static_cast<size_t>(w - m));
            for (int x = w - m; x < w; ++x) std::memcpy(band + 3 * x, band + 3 * (w - m - 1), 3);
        }
    }
}

const uint8_t* fixed_screen(present_state* st, int* is_fixed) {
    *is_fixed = 1;
    if (!st->fixed_valid) {
        std::fill(st->fixed_rgb.begin(), st->fixed_rgb.end(), 0);
        return st->fixed_rgb.data();
    }
    if (st->fixed_picture_valid && st->fixed_picture_vbl == st->fixed_vbl) return st->fixed_rgb.data();
    const double t0 = now_s();
    std::fill(st->fixed_rgb.begin(), st->fixed_rgb.end(), 0);
    render_static(st->fixed_indices.data(), st->fixed_zones, st->fixed_zone_count, st->scale, st->fixed_rgb.data());
    const double t1 = now_s();
    if (present_static_cb)
        present_static_cb(st->fixed_indices.data(), st->fixed_zones, st->fixed_zone_count, st->scale,
                          st->fixed_rgb.data());
    const double t2 = now_s();
    st->fixed_picture_vbl = st->fixed_vbl;
    st->fixed_picture_valid = true;
    if (std::getenv("BKM_PROFLAYERS")) {
        st->static_rebuilds += 1;
        st->static_ms_total += (t1 - t0) * 1000;
        st->layers_ms_total += (t2 - t1) * 1000;
        st->static_ms_max = std::max(st->static_ms_max, (t2 - t0) * 1000);
        if (st->static_rebuilds % 20 == 0)
            host_log_file("static: %d rebuilds, render_static %.2f ms, layers %.2f ms on average, maximum %.2f ms",
                          st->static_rebuilds, st->static_ms_total / st->static_rebuilds,
                          st->layers_ms_total / st->static_rebuilds, st->static_ms_max);
    }
    return st->fixed_rgb.data();
}

void draw(present_state* st, scene_frame* a, scene_frame* b, const render_params& p, double t) {
    st->last_a = a, st->last_b = b, st->last_t = t;
    render(a, b, &p, st->game_rgb.data(), t);
}

render_params params_of(present_state* st, int interpolate) {
    render_params p{};
    p.scale = st->scale;
    p.interpolate = interpolate;
    p.residual_layer = pflags[PF_RESIDUAL];
    p.subpixel = pflags[PF_SUBPIXEL];
    p.tracker = pflags[PF_TRACKING] ? st->tracker : nullptr;
    p.tracker_decay = 0.8f;
    p.reserved = 0;
    return p;
}

const uint8_t* single_frame(present_state* st, scene_frame* frame) {
    const render_params p = params_of(st, 0);
    st->hs_running = false;
    st->shown = frame->vbl;
    draw(st, frame, frame, p, 0);
    return st->game_rgb.data();
}

} // namespace

present_state* present_new(int scale) {
    if (!msgq_ready()) return nullptr;
    auto* st = new present_state{};
    st->scale = std::clamp(scale, 1, 4);
    copy_text(st->screen_kind, sizeof st->screen_kind, "other");
    st->shown = shown_reset;
    st->game_rgb.assign(rgb_bytes(st->scale), 0);
    st->fixed_rgb.assign(rgb_bytes(st->scale), 0);
    st->fixed_indices.assign(scene_pixels, 0);
    return st;
}

void present_free(present_state* st) {
    if (!st) return;
    drop_history(st);
    delete st;
}

void present_set_scale(present_state* st, int scale) {
    scale = std::clamp(scale, 1, 4);
    if (scale == st->scale) return;
    st->scale = scale;
    st->game_rgb.assign(rgb_bytes(scale), 0);
    st->fixed_rgb.assign(rgb_bytes(scale), 0);
    st->fixed_picture_valid = false;
}

int present_scale(const present_state* st) { return st->scale; }
void present_set_ahead(present_state* st, double vbls) { st->ahead = vbls; }

void present_drain(present_state* st) {
    for (int i = 0; i < drain_limit; ++i) {
        present_msg* m = msgq_pop();
        if (!m) return;
        apply(st, *m);
        msg_free(m);
    }
}

const uint8_t* present_frame(present_state* st, int* is_fixed, double deadline) {
    int unused = 0;
    if (!is_fixed) is_fixed = &unused;
    *is_fixed = 0;
    present_drain(st);
    if (!st->clock_valid) {
        std::fill(st->game_rgb.begin(), st->game_rgb.end(), 0);
        return st->game_rgb.data();
    }
    double f = std::max(st->shown, (deadline - st->clock_wall) * st->clock_rate + st->clock_vbl + st->ahead);

    const int n = st->history_count;
    for (int i = std::max(n - 3, 0); i < n; ++i) {
        scene_frame* fr = st->history[i];
        for (int k = 0; k < fr->unit_count; ++k) {
            scene_unit& u = fr->units[k];
            u.draw_x = pflags[PF_FILTER_X] ? u.filt_x : u.raw_x;
            u.draw_y = pflags[PF_FILTER_X] ? u.filt_y : u.raw_y;
        }
    }
    if (n == 0) return fixed_screen(st, is_fixed);
    scene_frame* newest = st->history[n - 1];
    if (static_cast<int64_t>(st->last_vbl) - newest->vbl > fixed_screen_lead ||
        (st->fixed_valid && st->fixed_vbl > newest->vbl))
        return fixed_screen(st, is_fixed);

    const bool interpolation = pflags[PF_INTERPOLATION] != 0;
    if (!pflags[PF_EXTRAPOLATE] && interpolation) f -= st->ahead + 2;
    if (n == 1) {
        if (!interpolation) return single_frame(st, newest);
        const render_params p = params_of(st, 0);
        draw(st, newest, newest, p, 0);
        return st->game_rgb.data();
    }
    int i = n - 1;
    while (i >= 0 && f < st->history[i]->vbl) --i;
    if (!interpolation) return single_frame(st, st->history[std::max(i, 0)]);
    int ia;
    if (i >= n - 1)
        ia = n - 2;
    else if (i < 0)
        ia = 0;
    else
        ia = i;
    scene_frame* a = st->history[ia];
    scene_frame* b = st->history[ia + 1];
    const double span = std::max<double>(static_cast<double>(b->vbl) - a->vbl, 1);
    const double t = std::clamp((f - a->vbl) / span, 0.0, 3.0);
    st->shown = a->vbl + t * span;

    const render_params p = params_of(st, 1);
    const bool ha = a->bg_kind == BG_HORIZONTAL, hb = b->bg_kind == BG_HORIZONTAL;
    if (ha && hb && pflags[PF_SCROLL_FIX]) {
        const double w = a->cam_x + (b->cam_x - a->cam_x) * t;
        if (!st->hs_running || std::fabs(w - st->hs_smoothed) > hs_jump) {
            st->hs_smoothed = w;
            st->hs_direction = 0;
            st->hs_running = true;
            draw(st, a, b, p, t);
            return st->game_rgb.data();
        }
        const double step = w - st->hs_smoothed;
        // A small step against the last direction is jitter: hold still.
        if (!(st->hs_direction * step < 0 && std::fabs(step) < hs_hold)) {
            const double moved = std::clamp(step, -hs_step, hs_step);
            st->hs_smoothed += moved;
            if (std::fabs(moved) > 1e-6) st->hs_direction = moved > 0 ? 1 : -1;
        }
        draw(st, a, b, p, t);
        shift_band(st->game_rgb.data(), st->scale, static_cast<int>(std::lrint((st->hs_smoothed - w) * st->scale)));
        return st->game_rgb.data();
    }
    if (ha != hb) st->hs_running = false;
    draw(st, a, b, p, t);
    return st->game_rgb.data();
}

int present_wait_menu(present_state* st, double timeout_s) {
    auto fixed_id = [st]() -> int64_t { return st->fixed_valid ? static_cast<int64_t>(st->fixed_vbl) : -1; };
    const int64_t before = fixed_id();
    present_drain(st);
    if (fixed_id() != before) return 1;
    const double end = now_s() + timeout_s;
    for (;;) {
        const double remaining = end - now_s();
        if (remaining <= 0) return 0;
        const double ms = std::ceil(remaining * 1000);
        port_event_wait(msgq_event(), ms >= INT_MAX ? INT_MAX : static_cast<int>(ms));
        present_drain(st);
        if (fixed_id() != before) return 1;
    }
}

const char* present_screen_kind(const present_state* st) { return st->screen_kind; }
const char* present_error(const present_state* st) { return st->error_set ? st->error : nullptr; }

int present_take_text(present_state* st, char* buffer, int size, double* out_time) {
    if (!st->toast_pending) return 0;
    if (buffer && size > 0) std::snprintf(buffer, static_cast<size_t>(size), "%s", st->toast);
    if (out_time) *out_time = st->toast_time;
    st->toast_pending = false;
    return 1;
}

void present_pack_changed(present_state* st) { st->fixed_picture_valid = false; }
uint32_t present_last_vbl(const present_state* st) { return st->last_vbl; }
int present_umode_h(const present_state* st) { return st->last_bg_kind; }

int present_stat(const present_state* st, present_stats* out) {
    if (out) *out = st->stats;
    return st->stats_valid ? 1 : 0;
}

int present_menu_cur(const present_state* st, const uint8_t** indices, const palette_zone** zones, int* count) {
    if (indices) *indices = st->fixed_indices.data();
    if (zones) *zones = st->fixed_zones;
    if (count) *count = st->fixed_zone_count;
    return st->fixed_valid ? 1 : 0;
}

scene_frame* present_latest(const present_state* st) {
    return st->history_count ? frame_ref(st->history[st->history_count - 1]) : nullptr;
}

double present_tv(const present_state* st, double wall) {
    return (wall - st->clock_wall) * st->clock_rate + st->clock_vbl;
}

int present_history_count(const present_state* st) { return st->history_count; }
scene_frame* present_history_frame(const present_state* st, int index) {
    return index >= 0 && index < st->history_count ? st->history[index] : nullptr;
}
double present_shown(const present_state* st) { return st->shown; }
const motion_filter* present_filters(const present_state* st) { return st->filters; }
void present_last_pair(const present_state* st, const scene_frame** a, const scene_frame** b, double* t) {
    *a = st->last_a, *b = st->last_b, *t = st->last_t;
}
