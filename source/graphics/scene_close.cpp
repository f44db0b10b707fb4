// Closing a captured frame: its palette zones and finished screen, and the
// residual mask of the playfield pixels that the background and the units do
// not explain (what the renderer must still draw from the screen).
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "graphics/level.h"
#include "graphics/scene_state.h"
#include "machine/memory.h"
#include "machine/vbl_delivery.h"

namespace {

constexpr int screen_bytes = 32000;

void take_zones(scene_frame* f) {
    if (tos.zone_count > 0) {
        const int n = std::min<int>(tos.zone_count, max_palette_zones);
        std::memcpy(f->zones, tos.zones, sizeof(palette_zone) * n);
        f->zone_count = n;
        return;
    }
    f->zones[0].line = 0;
    tos_pal16(f->zones[0].palette);
    f->zone_count = 1;
}

void take_screen(scene_frame* f) {
    if (static_cast<uint64_t>(f->screen_base) + screen_bytes > ram_size) {
        std::memset(f->screen, 0, scene_pixels);
        return;
    }
    planes_to_idx(ram + f->screen_base, scene_height, scene_width / 16, f->screen);
}

// The frame as background and units alone would draw it.
void rebuild(const scene_frame* f, uint8_t* out) {
    std::memcpy(out, f->screen, scene_pixels);
    for (int j = 0; j < scene_height; ++j) {
        uint8_t* line = out + j * scene_width + playfield_left;
        if (f->bg_kind == BG_VERTICAL) {
            const int row = floor_mod(255 - f->ring_row + j, ring_rows);
            if (f->ring)
                std::memcpy(line, f->ring + row * ring_width, ring_width);
            else
                std::memset(line, 0, ring_width);
        } else {
            const uint8_t* strip_row = f->strip[j % strip_size];
            for (int c = 0; c < ring_width; ++c) line[c] = strip_row[floor_mod(f->hscroll + c, strip_size)];
        }
    }
    for (int i = 0; i < f->unit_count; ++i) {
        const scene_unit& u = f->units[i];
        const sprite* s = u.spr;
        if (!s) continue;
        const int px = u.x + s->hot_x, py = u.y + s->hot_y;
        for (int j = 0; j < s->height; ++j) {
            const int y = py + j;
            if (y < 0 || y >= scene_height) continue;
            for (int k = 0; k < s->width; ++k) {
                const int x = px + k;
                if (x < playfield_left || x >= playfield_right || !s->mask[j * s->width + k]) continue;
                out[y * scene_width + x] = s->pixels[j * s->width + k];
            }
        }
    }
}

void take_residual(scene_frame* f, const uint8_t* rebuilt) {
    auto* mask = static_cast<uint8_t*>(std::calloc(scene_pixels, 1));
    if (!mask) return;
    int count = 0;
    for (int j = 0; j < scene_height; ++j)
        for (int x = playfield_left; x < playfield_right; ++x) {
            const int at = j * scene_width + x;
            if (f->screen[at] != rebuilt[at]) mask[at] = 1, ++count;
        }
    // An unchecked unit may sit a little off its picture: the game clipped
    // it, so its neighbourhood is not counted as unexplained.
    for (int i = 0; i < f->unit_count && count > 0; ++i) {
        const scene_unit& u = f->units[i];
        if (!u.unchecked || !u.spr) continue;
        const sprite* s = u.spr;
        const int top = std::max(u.y + s->hot_y - 1, 0), bottom = std::min(u.y + s->hot_y + s->height, scene_height - 1);
        const int left = std::max(u.x + s->hot_x, 16) - 16, right = std::min(u.x + s->hot_x + s->width, 304) + 16;
        for (int j = top; j <= bottom; ++j)
            for (int x = left; x < right; ++x) {
                uint8_t& m = mask[j * scene_width + x];
                if (m) m = 0, --count;
            }
    }
    if (count < 1) {
        std::free(mask);
        return;
    }
    f->residual_screen = static_cast<uint8_t*>(std::malloc(scene_pixels));
    if (!f->residual_screen) {
        std::free(mask);
        return;
    }
    std::memcpy(f->residual_screen, f->screen, scene_pixels);
    f->residual_mask = mask;
    f->residual_count = count;
}

} // namespace

void scene_close() {
    scene_frame* f = cur_frame;
    cur_frame = nullptr;
    if (!f) return;
    take_zones(f);
    take_screen(f);
    rebuild(f, g_scene.rebuild.data());
    take_residual(f, g_scene.rebuild.data());
    scene_check_level(f);
    g_scene.nframes_since += 1;
    if (g_scene.callbacks.frame_done) g_scene.callbacks.frame_done(f);
    frame_unref(f);
}
