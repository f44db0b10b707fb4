// Composing one output picture from frames A and B at fraction t: base
// picture, background, residual pixels, then every unit at its interpolated
// position in drawing order.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "graphics/render_cache.h"
#include "graphics/render_internal.h"

namespace {

constexpr double pair_distance = 24;
constexpr double correction_limit = 8;
constexpr double exact_fraction = 0.04;
constexpr int kind_enemy = 0;

struct draw_item {
    int depth;
    const scene_unit* unit;
    double px, py;  // picture position (hot spot + position)
    double ux, uy;  // unit position
};

size_t stride_of(int s) { return static_cast<size_t>(scene_width) * s * 3; }

const std::vector<uint8_t>& base_picture(const scene_frame* base, int s) {
    render_cache* cache = fcache(const_cast<scene_frame*>(base), s);
    if (cache->base.empty()) {
        cache->base.assign(static_cast<size_t>(s) * s * scene_pixels * 3, 0);
        render_static(base->screen, base->zones, base->zone_count, s, cache->base.data());
        if (pack_hud_cb) pack_hud_cb(cache->base.data(), base->screen, base->zones, base->zone_count, s);
    }
    return cache->base;
}

void draw_residual(const frame_pair& fp, const render_params* params, uint8_t* output) {
    if (!params->residual_layer) return;
    const scene_frame* r = nullptr;
    if (fp.b->residual_mask)
        r = fp.b;
    else if (!fp.interpolate && fp.a->residual_mask)
        r = fp.a;
    if (!r) return;
    const int s = fp.scale;
    render_cache* cache = fcache(const_cast<scene_frame*>(r), s);
    if (!cache->residual_built) {
        uint8_t rgb[48];
        pal_to_rgb(r->zones[std::max(r->zone_count - 1, 0)].palette, rgb);
        cache->residual.clear();
        for (int y = 0; y < scene_height; ++y)
            for (int x = 0; x < scene_width; ++x) {
                const int at = y * scene_width + x;
                if (!r->residual_mask[at]) continue;
                const uint8_t* c = rgb + 3 * r->residual_screen[at];
                cache->residual.push_back({static_cast<int16_t>(y), static_cast<int16_t>(x), {c[0], c[1], c[2]}});
            }
        cache->residual_built = true;
    }
    int dx = 0, dy = 0;
    if (r == fp.b && fp.interpolate) {
        const bool vertical = fp.a->bg_kind == BG_VERTICAL;
        const double ring_step = vertical ? static_cast<int8_t>(static_cast<uint8_t>(fp.a->ring_row - fp.b->ring_row)) : 0;
        const double scroll_step = vertical ? 0 : static_cast<double>(fp.b->hscroll) - fp.a->hscroll;
        dy = static_cast<int>(std::lrint(ring_step * (1 - fp.t) * s));
        dx = static_cast<int>(std::lrint(scroll_step * (1 - fp.t) * s));
    }
    const size_t stride = stride_of(s);
    for (const residual_pixel& p : cache->residual)
        for (int j = 0; j < s; ++j) {
            const int y = p.line * s + dy + j;
            if (y < 0 || y >= scene_height * s) continue;
            for (int i = 0; i < s; ++i) {
                const int x = p.column * s + dx + i;
                if (x < playfield_left * s || x >= playfield_right * s) continue;
                std::memcpy(output + y * stride + 3 * x, p.rgb, 3);
            }
        }
}

const palette_zone& zone_at(const scene_frame* f, double line) {
    const int l = std::clamp(static_cast<int>(std::floor(line)), 0, scene_height - 1);
    int pick = 0;
    for (int z = 0; z < f->zone_count; ++z)
        if (f->zones[z].line <= static_cast<uint32_t>(l)) pick = z;
    return f->zones[pick];
}

// An RGBA source at output scale: either a pack picture or the indexed
// picture enlarged s times in the palette's colours.
struct picture_source {
    const uint8_t* rgba = nullptr;  // pack picture, or null
    const sprite* spr = nullptr;
    const uint8_t* rgb = nullptr;   // palette for the indexed picture
    int w = 0, h = 0;               // output pixels
    int s = 1;
    // Premultiplied colour and alpha (0..255) of source pixel (i, j), which
    // lies inside the picture.
    void at(int i, int j, float* c, float& a) const {
        if (rgba) {
            const uint8_t* p = rgba + (static_cast<size_t>(j) * w + i) * 4;
            a = p[3];
            const float k = a / 255.0f;
            c[0] = p[0] * k, c[1] = p[1] * k, c[2] = p[2] * k;
            return;
        }
        const int at = (j / s) * spr->width + i / s;
        if (!spr->mask[at]) {
            c[0] = c[1] = c[2] = 0, a = 0;
            return;
        }
        const uint8_t* p = rgb + 3 * spr->pixels[at];
        c[0] = p[0], c[1] = p[1], c[2] = p[2], a = 255;
    }
};

// The picture at a fractional position: each output pixel of its box,
// widened by one pixel right and down, mixes the four source pixels around
// it (premultiplied), with the source padded by a transparent border.
void bilinear(const picture_source& src, double fx, double fy, int ox, int oy, int s, uint8_t* output) {
    struct px4 {
        float c[3], a;
    };
    // Source pixels and how many output pixels each spans.
    const int k = src.rgba ? 1 : s;
    const int sw = src.w / k, sh = src.h / k, pw = sw + 2;
    std::vector<px4> pad(static_cast<size_t>(pw) * (sh + 2), px4{{0, 0, 0}, 0});
    for (int j = 0; j < sh; ++j)
        for (int i = 0; i < sw; ++i) {
            px4& p = pad[static_cast<size_t>(j + 1) * pw + i + 1];
            src.at(i * k, j * k, p.c, p.a);
        }
    std::vector<int> cur(static_cast<size_t>(src.w) + 1), prev(cur.size());
    for (int i = 0; i <= src.w; ++i) {
        cur[static_cast<size_t>(i)] = i / k + 1;
        prev[static_cast<size_t>(i)] = i == 0 ? 0 : (i - 1) / k + 1;
    }
    const float w00 = static_cast<float>((1 - fx) * (1 - fy)), w10 = static_cast<float>(fx * (1 - fy));
    const float w01 = static_cast<float>((1 - fx) * fy), w11 = static_cast<float>(fx * fy);
    const int clip_l = playfield_left * s, clip_r = playfield_right * s, clip_b = scene_height * s;
    const size_t stride = stride_of(s);
    const int i0 = std::max(0, clip_l - ox), i1 = std::min(src.w, clip_r - 1 - ox);
    for (int j = std::max(0, -oy); j <= src.h && oy + j < clip_b; ++j) {
        const px4* row = pad.data() + static_cast<size_t>(j / k + 1) * pw;
        const px4* above = pad.data() + static_cast<size_t>(j == 0 ? 0 : (j - 1) / k + 1) * pw;
        uint8_t* o = output + (oy + j) * stride + 3 * static_cast<size_t>(ox);
        for (int i = i0; i <= i1; ++i) {
            const px4& p00 = row[cur[i]];
            const px4& p10 = row[prev[i]];
            const px4& p01 = above[cur[i]];
            const px4& p11 = above[prev[i]];
            const float a = w00 * p00.a + w10 * p10.a + w01 * p01.a + w11 * p11.a;
            if (a <= 0) continue;
            const float keep = 1 - a / 255.0f;
            uint8_t* q = o + 3 * i;
            for (int c = 0; c < 3; ++c) {
                const float v = q[c] * keep + w00 * p00.c[c] + w10 * p10.c[c] + w01 * p01.c[c] + w11 * p11.c[c];
                q[c] = static_cast<uint8_t>(std::clamp(v + 0.5f, 0.0f, 255.0f));
            }
        }
    }
}

void draw_item_picture(const draw_item& item, const frame_pair& fp, const render_params* params, uint8_t* output) {
    const int s = fp.scale;
    const sprite* spr = item.unit->spr;
    if (!spr || spr->width <= 0 || spr->height <= 0) return;
    uint8_t rgb[48];
    const palette_zone& zone = zone_at(fp.base, item.py + spr->height / 2);
    pal_to_rgb(zone.palette, rgb);
    picture_source src;
    src.s = s;
    double px = item.px, py = item.py;
    pack_picture pack{};
    if (!spr->from_screen && pack_sprite_cb && pack_sprite_cb(spr, s, &pack, static_cast<int>(py + spr->height / 2)) &&
        pack.rgba) {
        src.rgba = pack.rgba;
        src.w = pack.width * s, src.h = pack.height * s;
        px += pack.x_offset, py += pack.y_offset;
    } else {
        src.spr = spr, src.rgb = rgb;
        src.w = spr->width * s, src.h = spr->height * s;
    }
    px *= s, py *= s;
    if (!params->subpixel) px = std::round(px), py = std::round(py);
    const double x0 = std::floor(px), y0 = std::floor(py);
    const double fx = px - x0, fy = py - y0;
    const int ox = static_cast<int>(x0), oy = static_cast<int>(y0);
    const int clip_l = playfield_left * s, clip_r = playfield_right * s, clip_b = scene_height * s;
    const size_t stride = stride_of(s);
    if (fx < exact_fraction && fy < exact_fraction) {
        for (int j = 0; j < src.h; ++j) {
            const int y = oy + j;
            if (y < 0 || y >= clip_b) continue;
            for (int i = 0; i < src.w; ++i) {
                const int x = ox + i;
                if (x < clip_l || x >= clip_r) continue;
                uint8_t* o = output + y * stride + 3 * x;
                if (src.rgba) {
                    const uint8_t* p = src.rgba + (static_cast<size_t>(j) * src.w + i) * 4;
                    const float a = p[3] / 255.0f;
                    for (int k = 0; k < 3; ++k)
                        o[k] = static_cast<uint8_t>(std::clamp(std::lrint(o[k] * (1 - a) + p[k] * a), 0L, 255L));
                } else {
                    const int at = (j / s) * spr->width + i / s;
                    if (spr->mask[at]) std::memcpy(o, rgb + 3 * spr->pixels[at], 3);
                }
            }
        }
        return;
    }
    bilinear(src, fx, fy, ox, oy, s, output);
}

bool apart(const scene_unit& a, const scene_unit& b) {
    return std::fabs(a.draw_x - b.draw_x) > pair_distance || std::fabs(a.draw_y - b.draw_y) > pair_distance;
}

const scene_unit* first_match(const scene_frame* f, const scene_unit& u) {
    for (int i = 0; i < f->unit_count; ++i)
        if (f->units[i].kind == u.kind && f->units[i].object == u.object) return &f->units[i];
    return nullptr;
}

// Moves the enemy's position by the tracker's correction, so a change of
// frame pair does not make it jump.
void track(unit_track* tracker, float decay, const frame_pair& fp, const scene_unit& ua, const scene_unit& ub,
           double& x, double& y, std::vector<uint8_t>& seen) {
    unit_track* slot = ust_find(tracker, kind_enemy, ua.object, 0);
    const bool fresh = !slot;
    if (fresh) slot = ust_find(tracker, kind_enemy, ua.object, 1);
    if (!slot) return;
    seen[static_cast<size_t>(slot - tracker)] = 1;
    double cx = fresh ? 0 : slot->cx * decay, cy = fresh ? 0 : slot->cy * decay;
    if (!fresh && (slot->vbl_a != fp.a->vbl || slot->vbl_b != fp.b->vbl)) {
        double q = (static_cast<double>(fp.b->vbl) - fp.a->vbl) * fp.t + fp.a->vbl - static_cast<double>(slot->vbl_a);
        const double span = static_cast<double>(slot->vbl_b) - slot->vbl_a;
        if (span != 1 && span != 0) q /= span;
        cx += slot->ax + (slot->bx - slot->ax) * q - x;
        cy += slot->ay + (slot->by - slot->ay) * q - y;
        if (std::fabs(cx) > correction_limit || std::fabs(cy) > correction_limit) cx = cy = 0;
    }
    slot->vbl_a = fp.a->vbl, slot->vbl_b = fp.b->vbl;
    slot->ax = ua.draw_x, slot->ay = ua.draw_y, slot->bx = ub.draw_x, slot->by = ub.draw_y;
    slot->cx = static_cast<float>(cx), slot->cy = static_cast<float>(cy);
    x += cx, y += cy;
}

void add_item(std::vector<draw_item>& items, const scene_unit& u, double x, double y) {
    const sprite* s = u.spr;
    items.push_back({u.order, &u, x + (s ? s->hot_x : 0), y + (s ? s->hot_y : 0), x, y});
}

} // namespace

unit_track* ust_find(unit_track* tracker, int kind, uint32_t object, int create) {
    if (!tracker) return nullptr;
    for (int i = 0; i < unit_track_slots; ++i)
        if (tracker[i].used && tracker[i].kind == kind && tracker[i].object == static_cast<int32_t>(object))
            return &tracker[i];
    if (!create) return nullptr;
    for (int i = 0; i < unit_track_slots; ++i)
        if (!tracker[i].used) {
            tracker[i] = unit_track{};
            tracker[i].used = 1;
            tracker[i].kind = kind;
            tracker[i].object = static_cast<int32_t>(object);
            return &tracker[i];
        }
    return nullptr;
}

void render(scene_frame* a, scene_frame* b, const render_params* params, uint8_t* output, double t) {
    if (!a || !output) return;
    if (!b) b = a;
    const int s = std::clamp(params->scale, 1, 4);
    frame_pair fp{};
    fp.scale = s;
    fp.interpolate = params->interpolate != 0;
    if (fp.interpolate) {
        fp.base = t >= 0.5 ? b : a;
        if (a->bg_kind != b->bg_kind) {
            if (t >= 0.5)
                a = b;
            else
                b = a;
            t = 0;
        }
    } else {
        b = a, t = 0;
        fp.base = a;
    }
    fp.a = a, fp.b = b, fp.t = t;

    const std::vector<uint8_t>& base = base_picture(fp.base, s);
    std::memcpy(output, base.data(), base.size());
    if (fp.base->bg_kind == BG_HORIZONTAL)
        render_horizontal_band(fp, output);
    else
        render_vertical_band(fp, output);
    draw_residual(fp, params, output);

    // Pairing: B's units in B's order, then A's units left unpaired.
    std::vector<uint8_t> paired(static_cast<size_t>(a->unit_count), 0);
    std::vector<uint8_t> seen(unit_track_slots, 0);
    std::vector<draw_item> items;
    items.reserve(static_cast<size_t>(a->unit_count + b->unit_count));
    unit_track* tracker = params->tracker;
    for (int i = 0; i < b->unit_count; ++i) {
        const scene_unit& ub = b->units[i];
        const scene_unit* ua = first_match(a, ub);
        if (ua && apart(*ua, ub)) ua = nullptr;
        if (ua) paired[static_cast<size_t>(ua - a->units)] = 1;
        if (!fp.interpolate) {
            add_item(items, ub, ub.draw_x, ub.draw_y);
            continue;
        }
        if (!ua) {
            if (t >= 0.5) add_item(items, ub, ub.draw_x, ub.draw_y);
            continue;
        }
        double x = ua->draw_x + (static_cast<double>(ub.draw_x) - ua->draw_x) * t;
        double y = ua->draw_y + (static_cast<double>(ub.draw_y) - ua->draw_y) * t;
        if (ub.kind == kind_enemy && tracker) track(tracker, params->tracker_decay, fp, *ua, ub, x, y, seen);
        const scene_unit& shown = t < 0.5 ? *ua : ub;
        add_item(items, shown, x, y);
    }
    for (int i = 0; i < a->unit_count; ++i) {
        if (paired[static_cast<size_t>(i)]) continue;
        const scene_unit& ua = a->units[i];
        if (t >= 1) continue;
        double x = ua.draw_x, y = ua.draw_y;
        bool drawn = t < 0.5;
        if (fp.interpolate && ua.kind == kind_enemy && tracker && ua.spr) {
            if (unit_track* slot = ust_find(tracker, kind_enemy, ua.object, 0)) {
                seen[static_cast<size_t>(slot - tracker)] = 1;
                // An enemy leaving at a side keeps moving until the frame
                // that no longer holds it is reached.
                const double step = static_cast<double>(slot->bx) - slot->ax;
                const double left = x + ua.spr->hot_x, right = left + ua.spr->width;
                if ((left < 84 && step < -0.5) || (right > 236 && step > 0.5)) {
                    x += step * t;
                    drawn = true;
                }
            }
        }
        if (drawn) add_item(items, ua, x, y);
    }
    if (tracker)
        for (int i = 0; i < unit_track_slots; ++i)
            if (tracker[i].used && !seen[static_cast<size_t>(i)]) tracker[i] = unit_track{};

    std::stable_sort(items.begin(), items.end(),
                     [](const draw_item& l, const draw_item& r) { return l.depth < r.depth; });
    for (const draw_item& item : items) draw_item_picture(item, fp, params, output);
}
