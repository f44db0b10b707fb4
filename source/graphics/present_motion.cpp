// Per-object motion filters of the enemies: the game moves them in steps that
// jitter against the display's refresh; the filters keep a velocity, predict
// the next position, and smooth the path so interpolation looks steady.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/present_state.h"

namespace {

constexpr double reset_distance = 24;
constexpr int kind_enemy = 0;

template <typename T, int N>
void append(T (&xs)[N], T (&ys)[N], int32_t& n, T x, T y) {
    if (n == N) {
        std::memmove(xs, xs + 1, sizeof(T) * (N - 1));
        std::memmove(ys, ys + 1, sizeof(T) * (N - 1));
        n -= 1;
    }
    xs[n] = x, ys[n] = y;
    n += 1;
}

motion_filter* find_filter(present_state* st, uint32_t object) {
    for (motion_filter& f : st->filters)
        if (f.used && f.object == static_cast<int32_t>(object)) return &f;
    return nullptr;
}

void start_filter(motion_filter& f, uint32_t object) {
    const double sx = f.sx, sy = f.sy;
    f = motion_filter{};
    f.sx = sx, f.sy = sy;
    f.used = 1;
    f.object = static_cast<int32_t>(object);
}

const scene_unit* previous_enemy(const scene_frame* prev, uint32_t object) {
    if (!prev) return nullptr;
    for (int i = 0; i < prev->unit_count; ++i)
        if (prev->units[i].kind == kind_enemy && prev->units[i].object == object) return &prev->units[i];
    return nullptr;
}

// One axis of the smoothed position: a short and a long slope over the
// filtered history; a disagreement between them re-anchors the axis.
double smooth_axis(motion_filter& f, const double* h, int axis, double old) {
    const int k = f.hcount, n = f.frames;
    const double u = h[k - 1];
    const int p = std::min(k - 1, 4);
    const int y = std::clamp(n - f.anchor[axis], p, std::min(k - 1, 24));
    const double vs = (u - h[k - 1 - p]) / p, vl = (u - h[k - 1 - y]) / y;
    double gain, slope;
    if (f.stop_hold == 0) {
        if (std::fabs(vs - vl) > std::max(0.5 * std::fabs(vl), 0.5)) {
            f.anchor[axis] = n, gain = 0.5, slope = vs;
        } else {
            gain = 0.05, slope = vl;
        }
    } else {
        f.anchor[axis] = n, gain = 0.7, slope = vs;
    }
    const double guess = old + slope;
    return std::clamp(guess + gain * (u - guess), u - 5, u + 5);
}

void filter_unit(present_state* st, scene_unit& u, const scene_frame* prev, double cam_x, double cam_y) {
    const double mx = u.raw_x - cam_x, my = u.raw_y - cam_y;
    motion_filter* f = find_filter(st, u.object);
    double decay = 0.85;
    if (f) {
        if (f->hcount > 0 && (std::fabs(f->hx[f->hcount - 1] - mx) > reset_distance ||
                              std::fabs(f->hy[f->hcount - 1] - my) > reset_distance)) {
            start_filter(*f, u.object);
        } else {
            if (f->stop_hold > 0) decay = 0.4;
            f->kick_hold = std::max(f->kick_hold - 1, 0);
            f->stop_hold = std::max(f->stop_hold - 1, 0);
        }
    } else {
        for (motion_filter& free_slot : st->filters)
            if (!free_slot.used) {
                f = &free_slot;
                break;
            }
        if (!f) return;
        start_filter(*f, u.object);
    }
    f->seen = 1;
    f->vx *= decay, f->vy *= decay;
    append(f->rx, f->ry, f->rcount, mx, my);

    bool stopped_now = false;
    if (f->rcount == raw_history) {
        double dx[5], dy[5];
        for (int i = 0; i < 5; ++i) dx[i] = f->rx[i + 1] - f->rx[i], dy[i] = f->ry[i + 1] - f->ry[i];
        const double ex = (dx[0] + dx[1] + dx[2]) * 2 / 3, ey = (dy[0] + dy[1] + dy[2]) * 2 / 3;
        const double j = std::hypot(ex, ey);
        if (j >= 2) {
            const double rx = dx[3] + dx[4], ry = dy[3] + dy[4];
            const double wd = std::hypot(rx, ry);
            if (wd <= 0.5) {
                // A sudden stop: stop following the old velocity.
                f->kick_hold = 2, f->stop_hold = 4;
                f->vx *= 0.2, f->vy *= 0.2;
                stopped_now = true;
            } else if (pflags[PF_PREDICTION] && f->kick_hold == 0 && wd < 0.75 * j &&
                       0.525 * j > std::fabs(dx[4]) + std::fabs(dy[4])) {
                f->vx = std::clamp(f->vx + ex - rx, -4.0, 4.0);
                f->vy = std::clamp(f->vy + ey - ry, -4.0, 4.0);
                f->kick_hold = 2;
            }
        }
    }
    const double px = mx + f->vx, py = my + f->vy;
    u.pred_x = static_cast<float>(px), u.pred_y = static_cast<float>(py);

    double hx = px, hy = py;
    const scene_unit* before = previous_enemy(prev, u.object);
    if (before && before->pred_x != no_prediction && std::fabs(before->pred_x - px) <= reset_distance &&
        std::fabs(before->pred_y - py) <= reset_distance) {
        hx = (px + before->pred_x) / 2, hy = (py + before->pred_y) / 2;
    }
    append(f->hx, f->hy, f->hcount, hx, hy);
    f->frames += 1;
    if (f->hcount >= 2) {
        f->sx = smooth_axis(*f, f->hx, 0, f->sx);
        f->sy = smooth_axis(*f, f->hy, 1, f->sy);
    } else {
        f->sx = hx, f->sy = hy;
    }
    if (stopped_now) f->sx += 0.75 * (px - f->sx), f->sy += 0.75 * (py - f->sy);

    const bool smoothed = pflags[PF_FILTER_Y] != 0;
    u.filt_x = static_cast<float>((smoothed ? f->sx : hx) + cam_x);
    u.filt_y = static_cast<float>((smoothed ? f->sy : hy) + cam_y);
    u.draw_x = static_cast<float>(px + cam_x);
    u.draw_y = static_cast<float>(py + cam_y);
}

} // namespace

void clear_motion(present_state* st) {
    std::memset(st->filters, 0, sizeof st->filters);
    std::memset(st->tracker, 0, sizeof st->tracker);
}

void present_track_frame(present_state* st, scene_frame* frame) {
    if (!st->bg_known || frame->bg_kind != st->last_bg_kind) {
        st->last_bg_kind = frame->bg_kind;
        st->bg_known = true;
        st->vscroll = 0;
        st->ring_valid = false;
        clear_motion(st);
    }
    double cam_x = 0, cam_y = 0;
    if (frame->bg_kind == BG_HORIZONTAL) {
        cam_x = -frame->hscroll;
    } else {
        if (st->ring_valid) st->vscroll += static_cast<int8_t>(frame->ring_row - st->last_ring_row);
        st->last_ring_row = frame->ring_row;
        st->ring_valid = true;
        cam_y = st->vscroll;
    }
    frame->cam_x = static_cast<float>(cam_x);
    frame->cam_y = static_cast<float>(cam_y);

    const scene_frame* prev = st->history_count ? st->history[st->history_count - 1] : nullptr;
    for (motion_filter& f : st->filters) f.seen = 0;
    for (int i = 0; i < frame->unit_count; ++i) {
        scene_unit& u = frame->units[i];
        u.raw_x = static_cast<float>(u.x + (frame->bg_kind == BG_HORIZONTAL ? u.sub : 0));
        u.raw_y = static_cast<float>(u.y);
        u.filt_x = u.raw2_x = u.draw_x = u.raw_x;
        u.filt_y = u.raw2_y = u.draw_y = u.raw_y;
        u.pred_x = u.pred_y = no_prediction;
        if (u.kind == kind_enemy) filter_unit(st, u, prev, cam_x, cam_y);
    }
    for (motion_filter& f : st->filters)
        if (f.used && !f.seen) f = motion_filter{};
}
