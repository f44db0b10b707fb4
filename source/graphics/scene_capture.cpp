// The hook handler of the scene capture. A unit is found by watching the
// screen: at a drawing routine's entry the rows the object can touch are
// saved, at its exit (or return point) they are compared, and what changed
// is explained by a known picture (atlas), a picture of the game's tables,
// or a difference image cut from the screen.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "graphics/level.h"
#include "graphics/scene_state.h"
#include "machine/hooks.h"
#include "machine/memory.h"

scene_module g_scene;
scene_frame* cur_frame = nullptr;

const unit_def UNIT_DEFS[unit_kind_count] = {
    {0, "enemy", 1, 0x5BA8, 0, 6},     {1, "player", 1, 0x597A, 0, 4},   {2, "bullet", 0, 0x6848, 0x68B4, 0},
    {3, "bullet2", 0, 0x68DC, 0x6946, 0}, {4, "obj5e32", 0, 0x5E3A, 0x5F10, 6}, {5, "obj5f1a", 0, 0x5F22, 0x5FF4, 6},
    {6, "fx", 0, 0xB6F2, 0xB6F8, 6},   {7, "veh6", 1, 0x61FA, 0, 6},     {8, "veh4", 1, 0x62C0, 0, 6},
    {9, "veh", 1, 0x60F0, 0, 6},       {10, "turret", 0, 0x6E54, 0x6F18, 16}, {11, "boom", 0, 0x6D1A, 0x6D5A, 4},
};

namespace {

constexpr uint32_t frame_start_vertical = 0x8EEA, frame_start_horizontal = 0x4752;
constexpr uint32_t frame_end_vertical = 0x8EE2, frame_end_horizontal = 0x474A;
constexpr uint32_t vertical_background = 0x893C, horizontal_background = 0x488C;
// Game variables read at the hooks.
constexpr uint32_t draw_screen = 0x28E;
constexpr uint32_t scroll_pos = 0x280, ring_row_byte = 0x281;
constexpr uint32_t level_section = 0x21A;
constexpr uint32_t hscroll_word = 0x24A;
constexpr uint32_t fx_bank = 0x273;
constexpr uint32_t bg_ring = 0x28000;
constexpr uint32_t last_record_address = 0x3FFFDF;
constexpr int line_bytes = 160;
constexpr int segment_gap_vbls = 60;
constexpr int kind_enemy = 0, kind_fx = 6, kind_veh = 9, kind_turret = 10, kind_boom = 11;

bool band_beyond_ram(uint32_t base, int end_row) {
    return static_cast<uint64_t>(base) + static_cast<uint64_t>(end_row) * line_bytes > ram_size;
}

uint32_t record_address(int reg) {
    switch (reg) {
    case 0: return g_cpu.a[0] & address_mask;
    case 4: return g_cpu.a[4] & address_mask;
    case 16: return (g_cpu.a[6] + (g_cpu.d[6] & 0xFFFF)) & address_mask;
    default: return g_cpu.a[6] & address_mask;
    }
}

// Kind, position, sub-position and key of an object from its record words.
void read_unit(open_unit& u, const unit_def& def) {
    const uint16_t* w = u.words;
    uint32_t id = 0, frame_byte = 0;
    u.sub = 0;
    switch (def.kind) {
    case 0: u.x = w[0] & ~1, u.y = w[1], id = w[4]; break;
    case 1: u.x = w[1], u.y = w[2], id = w[3]; break;
    case 2:
    case 3: u.x = w[0], u.y = w[1], id = static_cast<uint32_t>(w[0] - 36) & 7; break;
    case 4: u.x = w[0], u.y = w[1], id = w[5]; break;
    case 5: u.x = w[1], u.y = w[2], id = w[3]; break;
    case kind_fx:
        u.x = w[0], u.y = w[1];
        id = static_cast<uint32_t>(w[7]) + (ram[fx_bank] & 1u);
        if (id > 11) id = 10;
        break;
    case 7:
    case 8: u.x = w[1], u.y = w[2], id = w[4]; break;
    case kind_veh:
        u.x = w[1], u.y = w[2], id = w[4];
        frame_byte = w[8] > 1 ? 1 : 0;
        break;
    case kind_turret:
        u.x = w[0] & ~0xF, u.sub = w[0] & 0xF, u.y = static_cast<int16_t>(w[1]), id = w[5];
        break;
    case kind_boom: {
        const int v = static_cast<int>(w[0]) - 100;
        u.x = (v & ~0xF) + 100, u.sub = v & 0xF, u.y = w[1], id = w[3];
        break;
    }
    }
    u.key = unit_key(def.kind, id, frame_byte);
}

int active_word(int kind) {
    switch (kind) {
    case 1: case 5: case 7: case 8: case kind_veh: return 0;
    case 2: case 3: case kind_fx: return 4;
    default: return 2;
    }
}

void open_unit_at(const unit_def& def) {
    const uint32_t object = record_address(def.reg);
    uint16_t words[16] = {};
    if (object <= last_record_address)
        for (int i = 0; i < 16; ++i) words[i] = static_cast<uint16_t>(rd16(object + 2 * i));
    if (words[active_word(def.kind)] == 0) return;
    open_unit* slot = nullptr;
    for (open_unit& u : g_scene.open_units)
        if (!u.in_use) {
            slot = &u;
            break;
        }
    if (!slot) return;
    open_unit& u = *slot;
    u.in_use = 1;
    u.kind = def.kind;
    u.object = object;
    std::memcpy(u.words, words, sizeof words);
    read_unit(u, def);
    u.return_address = def.at_return ? ram_rd32(g_cpu.a[7] & address_mask) : 0;
    u.no_atlas_sprite = 0, u.unchecked = 0, u.unstable = 0;

    int first = 0, end = scene_height;
    const atlas_slot* a = afind(g_atlas, u.key, 0);
    if (!a || (!a->unstable && !a->spr)) {
        u.no_atlas_sprite = 1;
    } else if (a->unstable) {
        u.unstable = 1;
        if (a->box_valid) {
            first = std::max(u.y + a->box_y - 16, 0);
            end = std::min(u.y + a->box_y + a->box_h + 16, scene_height);
        }
    } else {
        const sprite* s = a->spr;
        const int top = u.y + s->hot_y;
        first = std::clamp(top - 1, 0, scene_height);
        end = std::clamp(top + s->height + 1, 0, scene_height);
        u.unchecked = !inside_inner_window(u.kind, u.x, u.y, s) && !a->stale;
    }
    first = std::clamp(first, 0, scene_height - 1);
    if (end <= first) end = first + 1;
    u.first_row = first, u.end_row = end;
    const size_t bytes = static_cast<size_t>(end - first) * line_bytes;
    u.saved.assign(bytes, 0);
    const uint32_t base = cur_frame->screen_base;
    if (!band_beyond_ram(base, end)) std::memcpy(u.saved.data(), ram + base + first * line_bytes, bytes);
}

// The picture's drawn pixels over `canvas` (a window `width` wide, `rows`
// high) with its top-left corner at (px, py), clipped.
void paint(uint8_t* canvas, int width, int rows, const sprite* s, int px, int py) {
    for (int j = 0; j < s->height; ++j) {
        const int y = py + j;
        if (y < 0 || y >= rows) continue;
        for (int i = 0; i < s->width; ++i) {
            const int x = px + i;
            if (x < 0 || x >= width || !s->mask[j * s->width + i]) continue;
            canvas[y * width + x] = s->pixels[j * s->width + i];
        }
    }
}

// The table picture cut to what the routine changed on screen: the columns
// of the changed 16-pixel groups and the changed rows.
sprite* cut_to_change(const sprite* table, const uint8_t* before, const uint8_t* after, int rows, int width,
                      int left, int first, int px, int py) {
    int l = width, r = -1, t = rows, b = -1;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < width; ++x)
            if (before[y * width + x] != after[y * width + x]) {
                l = std::min(l, x), r = std::max(r, x), t = std::min(t, y), b = std::max(b, y);
            }
    if (r < 0) return nullptr;
    const int col0 = left + (l & ~15), col1 = left + (r & ~15) + 16;  // screen columns, end exclusive
    const int row0 = first + t, row1 = first + b + 1;
    const int w = table->width, h = table->height;
    std::vector<uint8_t> mask(static_cast<size_t>(w) * h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const int sx = px + i, sy = py + j;
            if (sx >= col0 && sx < col1 && sy >= row0 && sy < row1) mask[j * w + i] = table->mask[j * w + i];
        }
    sprite* cut = crop(table->pixels, mask.data(), h, w, table->hot_x, table->hot_y);
    if (cut) cut->from_screen = 1;
    return cut;
}

void record(const open_unit& u, sprite* s, int unchecked) { push_unit(&u, s, unchecked); }

// The difference image of the window; the slot keeps its box for the next
// unit of the key.
void record_difference(const open_unit& u, const uint8_t* before, const uint8_t* after, int rows, int width,
                       int left) {
    sprite* diff = from_diff(before, after, rows, width, u.first_row, u.x, u.y, left);
    if (!diff) return;
    if (atlas_slot* slot = afind(g_atlas, u.key, 1)) {
        slot->box_valid = 1;
        slot->box_x = diff->hot_x, slot->box_y = diff->hot_y;
        slot->box_w = diff->width, slot->box_h = diff->height;
    }
    record(u, diff, 0);
    sprite_unref(diff);
}

void unit_finish(open_unit& u) {
    u.in_use = 0;
    std::vector<uint8_t> saved;
    saved.swap(u.saved);
    if (!cur_frame) return;
    const uint32_t base = cur_frame->screen_base;
    if (band_beyond_ram(base, u.end_row)) return;
    const uint8_t* now = ram + base + u.first_row * line_bytes;
    const int rows = u.end_row - u.first_row;
    if (std::memcmp(now, saved.data(), saved.size()) == 0) return;

    atlas_slot* slot = afind(g_atlas, u.key, 0);
    sprite* held = slot ? slot->spr : nullptr;
    if (held && u.unchecked) {
        record(u, held, 1);
        return;
    }

    // The window of 16-pixel groups around the expected picture.
    int g0 = 0, g1 = 19;
    bool whole = true;
    int offset = 0, span = 0;
    if (held && !u.no_atlas_sprite) {
        offset = held->hot_x, span = held->width, whole = false;
    } else if (!held && slot && slot->box_valid && !u.no_atlas_sprite) {
        offset = slot->box_x, span = slot->box_w, whole = false;
    }
    if (!whole) {
        const int v = u.x + offset;
        const int a = std::max((v - floor_mod(v, 16)) / 16 - 1, 0);
        const int b = std::min((v + span) / 16 + 1, 19);
        if (a <= b) g0 = a, g1 = b;
    }
    const int groups = g1 - g0 + 1, width = 16 * groups, left = 16 * g0;
    std::vector<uint8_t> st(static_cast<size_t>(rows) * groups * 8);
    std::vector<uint8_t> before(static_cast<size_t>(rows) * width), after(before.size());
    for (int y = 0; y < rows; ++y) std::memcpy(&st[y * groups * 8], saved.data() + y * line_bytes + g0 * 8, groups * 8);
    planes_to_idx(st.data(), rows, groups, before.data());
    for (int y = 0; y < rows; ++y) std::memcpy(&st[y * groups * 8], now + y * line_bytes + g0 * 8, groups * 8);
    planes_to_idx(st.data(), rows, groups, after.data());

    if (u.unstable) {
        record_difference(u, before.data(), after.data(), rows, width, left);
        return;
    }
    sprite* table = nullptr;
    if (u.no_atlas_sprite) {
        table = rom_sprite(u.kind, static_cast<int>(u.key >> 8 & 0xFFFF), static_cast<int>(u.key & 0xFF));
        if (!table) {
            record_difference(u, before.data(), after.data(), rows, width, left);
            return;
        }
        if (!inside_inner_window(u.kind, u.x, u.y, table)) {
            const int px = u.x + table->hot_x, py = u.y + table->hot_y;
            sprite* cut = cut_to_change(table, before.data(), after.data(), rows, width, left, u.first_row, px, py);
            sprite_unref(table);
            if (cut) {
                std::vector<uint8_t> test = before;
                paint(test.data(), width, rows, cut, u.x + cut->hot_x - left, u.y + cut->hot_y - u.first_row);
                if (test == after) {
                    record(u, cut, 0);
                    sprite_unref(cut);
                    return;
                }
                sprite_unref(cut);
            }
            record_difference(u, before.data(), after.data(), rows, width, left);
            return;
        }
    }
    sprite* picture = table ? table : held;
    if (!picture) {
        record_difference(u, before.data(), after.data(), rows, width, left);
        return;
    }
    std::vector<uint8_t> test = before;
    paint(test.data(), width, rows, picture, u.x + picture->hot_x - left, u.y + picture->hot_y - u.first_row);
    if (test == after) {
        if (table) {
            atlas_slot* claimed = afind(g_atlas, u.key, 1);
            if (claimed && !claimed->spr) atlas_put(g_atlas, u.key, table);
        } else {
            slot->stale = 0;
        }
        record(u, picture, 0);
        sprite_unref(table);
        return;
    }
    if (table) {
        sprite_unref(table);
    } else {
        // A stale picture may belong to an older segment's level: try the
        // tables again next time instead of giving the key up.
        if (slot->stale)
            slot->stale = 0;
        else
            slot->unstable = 1;
        atlas_drop(g_atlas, u.key);
    }
    record_difference(u, before.data(), after.data(), rows, width, left);
}

void discard_open_units() {
    for (open_unit& u : g_scene.open_units) {
        u.in_use = 0;
        std::vector<uint8_t>().swap(u.saved);
    }
}

void frame_start() {
    if (cur_frame) scene_close();
    if (tos.vbl - g_scene.last_vbl > static_cast<uint32_t>(segment_gap_vbls)) scene_new_segment();
    g_scene.last_vbl = tos.vbl;
    cur_frame = frame_new();
    if (!cur_frame) return;
    cur_frame->vbl = tos.vbl;
    cur_frame->ring_row = -1;
    cur_frame->screen_base = ram_rd32(draw_screen);
    cur_frame->segment_start = g_scene.nframes_since == 0;
}

void capture_vertical_background() {
    scene_frame* f = cur_frame;
    g_scene.hs_previous_valid = 0;
    f->bg_kind = BG_VERTICAL;
    f->bg_captured = 1;
    f->ring_row = ram[ring_row_byte];
    if (!f->ring) f->ring = static_cast<uint8_t*>(std::malloc(ring_rows * ring_width));
    if (f->ring) planes_to_idx(ram + bg_ring, ring_rows, ring_width / 16, f->ring);
    f->scroll_word = rd16(scroll_pos);
    f->section = rd16(level_section);
}

void capture_horizontal_background() {
    scene_frame* f = cur_frame;
    const int s = static_cast<int>(rd16(hscroll_word) & 0x1E);
    // A change of more than 16 pixels is a wrap of the 32-pixel pattern.
    if (g_scene.hs_previous_valid)
        g_scene.hs_unwrapped += (s - g_scene.hs_previous + 272) % 32 - 16;
    else
        g_scene.hs_unwrapped = s;
    g_scene.hs_previous = s;
    g_scene.hs_previous_valid = 1;
    uint8_t band[strip_size * 64];
    planes_to_idx(ram + bg_ring, strip_size, 4, band);
    for (int j = 0; j < strip_size; ++j) std::memcpy(f->strip[j], band + 64 * j, strip_size);
    f->bg_kind = BG_HORIZONTAL;
    f->ring_row = 0;
    f->bg_captured = 1;
    f->hscroll = g_scene.hs_unwrapped;
}

} // namespace

const char* unit_name(int kind) { return kind >= 0 && kind < unit_kind_count ? UNIT_DEFS[kind].name : "?"; }

uint64_t unit_key(int kind, uint32_t id, uint32_t frame_byte) {
    return static_cast<uint64_t>(kind) << 40 | static_cast<uint64_t>(id & 0xFFFF) << 8 | (frame_byte & 0xFF);
}

bool inside_inner_window(int kind, int x, int y, const sprite* s) {
    const int left = x + s->hot_x, top = y + s->hot_y;
    if (left < playfield_left || left + s->width > playfield_right || top < 0 || top + s->height > scene_height)
        return false;
    if (kind == kind_enemy && (x < 100 || x > 276 || y < 100 || y > 278)) return false;
    return true;
}

void scene_init(const scene_ops* ops) {
    scene_clear_frames();
    if (g_atlas)
        for (atlas_slot& slot : g_atlas->slots) sprite_unref(slot.spr);
    delete g_atlas;
    g_atlas = new scene_atlas{};
    g_scene.callbacks = ops ? *ops : scene_ops{};
    g_scene.last_vbl = static_cast<uint32_t>(-9999);
    g_scene.nframes_since = 0;
    g_scene.hs_previous = -1;
    g_scene.hs_previous_valid = 0;
    g_scene.hs_unwrapped = 0;
}

void scene_install_hooks() {
    for (int slot = 0; slot < hook_count(); ++slot) {
        const uint32_t address = game_hook_addr(slot);
        if (address != 0 && !hook_registered(address)) hook_register(address, scene_hook);
    }
}

void scene_hook(uint32_t address) {
    if (address == frame_start_vertical || address == frame_start_horizontal) {
        frame_start();
        return;
    }
    if (address == frame_end_vertical || address == frame_end_horizontal) {
        if (cur_frame && cur_frame->bg_captured) scene_close();
        return;
    }
    if (address == vertical_background) {
        if (cur_frame) capture_vertical_background();
        return;
    }
    if (address == horizontal_background) {
        if (cur_frame) capture_horizontal_background();
        return;
    }
    for (const unit_def& def : UNIT_DEFS)
        if (def.entry == address) {
            if (cur_frame) open_unit_at(def);
            break;
        }
    for (const unit_def& def : UNIT_DEFS) {
        if (def.at_return || def.exit != address) continue;
        for (open_unit& u : g_scene.open_units)
            if (u.in_use && u.kind == def.kind) unit_finish(u);
    }
    for (open_unit& u : g_scene.open_units)
        if (u.in_use && UNIT_DEFS[u.kind].at_return && u.return_address == address) unit_finish(u);
}

void push_unit(const open_unit* open, sprite* spr, int unchecked) {
    scene_frame* f = cur_frame;
    if (!f || f->unit_count >= max_frame_units) return;
    scene_unit& unit = f->units[f->unit_count];
    unit = scene_unit{};
    unit.kind = open->kind;
    unit.key = open->key;
    unit.object = open->object;
    unit.x = open->x, unit.y = open->y, unit.sub = open->sub;
    unit.order = f->unit_count;
    unit.unchecked = unchecked;
    unit.spr = sprite_ref(spr);
    unit.id = static_cast<uint32_t>(open->key >> 8 & 0xFFFF);
    unit.frame_byte = static_cast<uint32_t>(open->key & 0xFF);
    f->unit_count += 1;
}

sprite* from_diff(const uint8_t* before, const uint8_t* after, int rows, int width, int first_row, int x, int y,
                  int left) {
    int l = width, r = -1, t = rows, b = -1;
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < width; ++i)
            if (before[j * width + i] != after[j * width + i])
                l = std::min(l, i), r = std::max(r, i), t = std::min(t, j), b = std::max(b, j);
    if (r < 0) return nullptr;
    sprite* s = sprite_new(r - l + 1, b - t + 1);
    if (!s) return nullptr;
    for (int j = t; j <= b; ++j)
        for (int i = l; i <= r; ++i) {
            const int at = (j - t) * s->width + (i - l);
            s->pixels[at] = after[j * width + i];
            s->mask[at] = before[j * width + i] != after[j * width + i];
        }
    s->from_screen = 1;
    s->hot_x = left + l - x;
    s->hot_y = first_row + t - y;
    return s;
}

void scene_clear_frames() {
    discard_open_units();
    frame_unref(cur_frame);
    cur_frame = nullptr;
}

void scene_new_segment() {
    if (g_atlas)
        for (atlas_slot& slot : g_atlas->slots)
            if (slot.used && slot.spr) slot.stale = 1;
    level_new_segment();
    g_scene.nframes_since = 0;
    if (g_scene.callbacks.new_segment) g_scene.callbacks.new_segment();
}
