// Screen layers of the graphics dump: the fixed screens the dump saw (the
// intro's jungle, soldier and title, the world map, the weapon shop, the
// side panels of a mission), each cut down to what belongs to that screen
// alone so that a pack can redraw it under what the game draws on top.
#include <algorithm>
#include <array>
#include <cstring>

#include "graphics/dump_work.h"

namespace {

constexpr int W = 320, H = 200;
constexpr size_t N = dump_screen_pixels;
constexpr int panel_width = 64;
constexpr size_t max_mode_members = 2000;
constexpr int min_intro_colours = 12;

constexpr std::array<u16, 16> map_palette = {0x000, 0x777, 0x012, 0x014, 0x025, 0x136, 0x246, 0x356,
                                                                                          0x467, 0x740, 0x630, 0x520, 0x353, 0x242, 0x131, 0x020};
constexpr std::array<u16, 16> shop_palette = {0x000, 0x762, 0x555, 0x443, 0x233, 0x152, 0x520, 0x021,
                                                                                            0x776, 0x122, 0x532, 0x320, 0x131, 0x011, 0x047, 0x542};

// The work pictures, allocated once.
std::vector<uint16_t> counts;  // N x 16
mask_t mode_pic, share_ok;

// Labels the 4-connected regions of pixels equal to `value`; calls fn with
// each region's pixels and whether it touches the picture's edge.
template <class Fn>
void regions(const mask_t& m, u8 value, Fn fn) {
    mask_t seen(N, 0);
    std::vector<int> stack, region;
    for (size_t start = 0; start < N; ++start) {
        if (seen[start] || m[start] != value) continue;
        region.clear();
        stack.assign(1, static_cast<int>(start));
        seen[start] = 1;
        bool edge = false;
        while (!stack.empty()) {
            const int p = stack.back();
            stack.pop_back();
            region.push_back(p);
            const int x = p % W, y = p / W;
            if (x == 0 || y == 0 || x == W - 1 || y == H - 1) edge = true;
            const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
            for (const auto& n : next) {
                if (n[0] < 0 || n[0] >= W || n[1] < 0 || n[1] >= H) continue;
                const int q = n[1] * W + n[0];
                if (seen[q] || m[q] != value) continue;
                seen[q] = 1;
                stack.push_back(q);
            }
        }
        fn(region, edge);
    }
}

mask_t differ(const dump_snap& a, const dump_snap& b) {
    mask_t d(N);
    for (size_t p = 0; p < N; ++p) d[p] = a.idx[p] != b.idx[p];
    return d;
}

size_t count_set(const mask_t& m) { return static_cast<size_t>(std::count(m.begin(), m.end(), 1)); }

int distinct(const dump_snap& s) {
    bool used[16] = {};
    for (u8 v : s.idx) used[v & 15] = true;
    return static_cast<int>(std::count(std::begin(used), std::end(used), true));
}

void write_with_alpha(dump_work& w, const char* name, const dump_snap& s, const mask_t& m, int order,
                                            const char* description) {
    std::vector<u8> rgba;
    to_rgb(s.idx.data(), W, 0, s.zones, s.zone_count, rgba);
    for (size_t p = 0; p < N; ++p) rgba[p * 4 + 3] = m[p] ? 255 : 0;
    layer(w, name, rgba.data(), s.idx.data(), W, 0, order, false, s.zones, s.zone_count, description);
}

void intro_layers(dump_work& w) {
    const dump_snap *jungle = nullptr, *soldier = nullptr, *title = nullptr, *prev = nullptr;
    for (const dump_snap& s : w.snaps) {
        if (s.tag != TAG_INTRO) continue;
        if (distinct(s) >= min_intro_colours) {
            if (!jungle) {
                jungle = &s;
            } else if (!soldier) {
                const size_t d = count_set(differ(s, *jungle));
                if (d >= 2500 && d <= 60000)
                    soldier = &s;
                else
                    jungle = &s;
            } else if (!title && count_set(differ(s, *prev)) >= 8001) {
                title = &s;
            }
        }
        prev = &s;
    }
    if (!jungle || !soldier || !title) {
        dump_say("warning: the whole intro was not found");
        return;
    }
    std::vector<u8> rgba;
    to_rgb(jungle->idx.data(), W, 0, jungle->zones, jungle->zone_count, rgba);
    layer(w, "intro_jungle", rgba.data(), jungle->idx.data(), W, 0, 0, false, jungle->zones, jungle->zone_count,
                "intro background: the jungle (without the soldier)");

    const mask_t d = differ(*jungle, *soldier);
    const mask_t e = erode(dilate(d, 0));
    mask_t outside(N), reached(N, 0);
    for (size_t p = 0; p < N; ++p) outside[p] = !e[p];
    regions(outside, 1, [&](const std::vector<int>& region, bool edge) {
        if (edge)
            for (int p : region) reached[p] = 1;
    });
    mask_t m(N);
    for (size_t p = 0; p < N; ++p) m[p] = e[p] || d[p] || (outside[p] && !reached[p]);
    to_rgb(soldier->idx.data(), W, 0, soldier->zones, soldier->zone_count, rgba);
    refine_mask(m, rgba);
    write_with_alpha(w, "intro_soldier", *soldier, m, 1,
                                      "the intro soldier (resting pose) over the jungle; the mouth and muzzle flash change and are "
                                      "drawn as the game draws them");

    m = differ(*soldier, *title);
    to_rgb(title->idx.data(), W, 0, title->zones, title->zone_count, rgba);
    refine_mask(m, rgba);
    write_with_alpha(w, "title_logo", *title, m, 2, "BRAKMOOR logo, credits and Corvane logo overlaid on the title");
}

bool has_palette(const dump_snap& s, const std::array<u16, 16>& colours) {
    for (int z = 0; z < s.zone_count; ++z) {
        bool same = true;
        for (int i = 0; i < 16 && same; ++i)
            same = (static_cast<u16>(s.zones[z].palette[2 * i] << 8 | s.zones[z].palette[2 * i + 1])) == colours[i];
        if (same) return true;
    }
    return false;
}

// Per pixel the most frequent index of the set (the lowest among equal
// counts) into mode_pic; with shares, share_ok says where it held at least
// 97 % of the set.
void mode_of(const std::vector<const dump_snap*>& set, bool shares) {
    counts.assign(N * 16, 0);
    for (const dump_snap* s : set)
        for (size_t p = 0; p < N; ++p) ++counts[p * 16 + (s->idx[p] & 15)];
    mode_pic.assign(N, 0);
    share_ok.assign(N, 1);
    for (size_t p = 0; p < N; ++p) {
        int best = 0;
        for (int i = 1; i < 16; ++i)
            if (counts[p * 16 + i] > counts[p * 16 + best]) best = i;
        mode_pic[p] = static_cast<u8>(best);
        if (shares) share_ok[p] = counts[p * 16 + best] >= 0.97 * static_cast<double>(set.size());
    }
}

bool same_zones(const dump_snap& a, const dump_snap& b) {
    if (a.zone_count != b.zone_count) return false;
    for (int z = 0; z < a.zone_count; ++z)
        if (a.zones[z].line != b.zones[z].line || std::memcmp(a.zones[z].palette, b.zones[z].palette, 32) != 0)
            return false;
    return true;
}

void menu_layer(dump_work& w, int tag, const std::array<u16, 16>& colours, const char* name, bool shop,
                                const char* description) {
    std::vector<const dump_snap*> set;
    for (const dump_snap& s : w.snaps)
        if (s.tag == tag && set.size() < max_mode_members && has_palette(s, colours)) set.push_back(&s);
    if (set.empty()) return;
    mode_of(set, false);
    const dump_snap* zones_from = set[0];
    size_t best = 0;
    for (const dump_snap* s : set) {
        const size_t sharing = static_cast<size_t>(std::count_if(set.begin(), set.end(), [&](const dump_snap* o) {
            return same_zones(*s, *o);
        }));
        if (sharing > best) best = sharing, zones_from = s;
    }
    std::vector<u8> idx = mode_pic;
    mask_t clear(N, 0);
    if (shop) {
        auto box = [&](int y0, int y1, int x0, int x1) {
            for (int y = y0; y <= y1; ++y)
                for (int x = x0; x <= x1; ++x) clear[y * W + x] = 1;
        };
        box(144, 181, 4, 315);
        box(184, 196, 78, 137);
        box(184, 196, 220, 303);
        for (size_t p = 0; p < N; ++p)
            if (clear[p]) idx[p] = 0;
    }
    std::vector<u8> rgba;
    to_rgb(idx.data(), W, 0, zones_from->zones, zones_from->zone_count, rgba);
    for (size_t p = 0; p < N; ++p)
        if (clear[p]) rgba[p * 4 + 3] = 0;
    layer(w, name, rgba.data(), idx.data(), W, 0, 0, false, zones_from->zones, zones_from->zone_count, description);
}

void hud_layers(dump_work& w) {
    if (w.ingame.size() < 9) return;
    std::vector<const dump_snap*> set;
    for (const dump_snap& s : w.ingame)
        if (set.size() < max_mode_members) set.push_back(&s);
    mode_of(set, true);
    const dump_snap& first = w.ingame[0];
    constexpr int rc[4][4] = {{47, 60, 4, 59}, {78, 123, 8, 57}, {126, 139, 10, 55}, {176, 195, 0, 63}};
    for (const int x0 : {0, 256}) {
        std::vector<u8> idx(size_t(panel_width) * H);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < panel_width; ++x) idx[y * panel_width + x] = mode_pic[y * W + x0 + x];
        std::vector<u8> rgba;
        to_rgb(mode_pic.data(), panel_width, x0, first.zones, first.zone_count, rgba);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < panel_width; ++x) {
                if (share_ok[y * W + x0 + x]) continue;
                for (int dy = -2; dy <= 2; ++dy)
                    for (int dx = -2; dx <= 2; ++dx) {
                        const int px = (x + dx + panel_width) % panel_width, py = (y + dy + H) % H;
                        rgba[(size_t(py) * panel_width + px) * 4 + 3] = 0;
                    }
            }
        for (const auto& r : rc)
            for (int y = r[0]; y <= r[1]; ++y)
                for (int x = r[2]; x <= r[3]; ++x) rgba[(size_t(y) * panel_width + x) * 4 + 3] = 0;
        layer(w, x0 == 0 ? "hud_left" : "hud_right", rgba.data(), idx.data(), panel_width, x0, 0, true, first.zones,
                    first.zone_count, "mission side panel (the changing counters are left transparent and drawn by the game)");
    }
}

} // namespace

mask_t dilate(const mask_t& m, int mode) {
    mask_t out = m;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (!m[y * W + x]) continue;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    if (mode == 0 && dx && dy) continue;
                    const int nx = x + dx, ny = y + dy;
                    if (nx >= 0 && nx < W && ny >= 0 && ny < H) out[ny * W + nx] = 1;
                }
        }
    return out;
}

mask_t erode(const mask_t& m) {
    auto at = [&](int x, int y) { return x < 0 || x >= W || y < 0 || y >= H || m[y * W + x]; };
    mask_t out(N, 0);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            out[y * W + x] = at(x, y) && at(x - 1, y) && at(x + 1, y) && at(x, y - 1) && at(x, y + 1);
    return out;
}

// Closes the mask, fills its small holes and takes in the dark outline
// around it.
void refine_mask(mask_t& m, const std::vector<u8>& rgba) {
    mask_t b = erode(dilate(m, 0));
    regions(b, 0, [&](const std::vector<int>& region, bool edge) {
        if (!edge && region.size() <= 30)
            for (int p : region) b[p] = 1;
    });
    const mask_t grown = dilate(b, 1);
    for (size_t p = 0; p < N; ++p) {
        const u8* c = &rgba[p * 4];
        if (grown[p] && std::max({c[0], c[1], c[2]}) <= 51) b[p] = 1;
    }
    m = b;
}

const palette_zone& zone_for_line(const palette_zone* zones, int count, int line) {
    int z = 0;
    for (int i = 0; i < count; ++i)
        if (zones[i].line <= static_cast<u32>(line)) z = i;
    return zones[z];
}

void to_rgb(const u8* idx, int width, int x0, const palette_zone* zones, int zone_count, std::vector<u8>& rgba) {
    rgba.assign(size_t(width) * H * 4, 255);
    for (int y = 0; y < H; ++y) {
        u8 rgb[48];
        pal_cols(zone_for_line(zones, zone_count, y).palette, 16, rgb);
        for (int x = 0; x < width; ++x)
            std::memcpy(&rgba[(size_t(y) * width + x) * 4], rgb + 3 * (idx[y * W + x0 + x] & 15), 3);
    }
}

void layer(dump_work& w, const char* name, const u8* rgba, const u8* indices, int width, int x, int order,
                      bool ingame, const palette_zone* zones, int zone_count, const char* description) {
    const std::string base = std::string("screens/") + name;
    save_rgba(w, base + ".png", rgba, width, H);
    save_indexed(w, base + ".idx.png", indices, width, H);
    u8 rgb[48];
    pal_cols(zone_for_line(zones, zone_count, 100).palette, 16, rgb);
    int sum = 0;
    for (u8 c : rgb) sum += c;
    sheet_member(w, base.c_str());
    sb_add(w.sheets,
                  ":{\"kind\":\"screen\",\"width\":%d,\"height\":%d,\"cell\":[%d,%d],\"cols\":1,\"margin\":0,\"pos\":[%d,%d],"
                  "\"order\":%d,\"ingame\":%s,\"idx\":\"screens/%s.idx.png\",\"palette_sum\":%d,\"description\":",
                  width, H, width, H, x, 0, order, ingame ? "true" : "false", name, sum);
    sb_str(w.sheets, description);
    sb_add(w.sheets,
                  ",\"cells\":[{\"i\":0,\"hash\":\"%s\",\"frame\":[%d,%d],\"crop\":[0,0,%d,%d]}],\"missions\":[],\"memory\":{"
                  "\"note\":\"fixed picture: 320x200 screen in 4 bitplanes (ST format) in the screen RAM\"}}",
                  name, width, H, width, H);
    dump_say("screens/%s", name);
}

void dump_screens(dump_work& w) {
    intro_layers(w);
    menu_layer(w, TAG_MAP, map_palette, "map", false, "world map (without cursor or mission dots)");
    menu_layer(w, TAG_SHOP, shop_palette, "shop", true, "the weapon shop (without the text box or the cursor)");
    hud_layers(w);
}
