// Loading the current pack: every sheet of the dump index that the pack
// redraws is cut into cells, and the cells that differ from the dump go
// into the replacement table; redrawn screens also become layers.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_set>

#include "graphics/pack_scale.h"
#include "graphics/pack_state.h"
#include "graphics/png_codec.h"
#include "graphics/scene.h"
#include "host/platform.h"

namespace {

struct picture {
    std::unique_ptr<uint8_t, decltype(&std::free)> px{nullptr, &std::free};
    int w = 0, h = 0;
    explicit operator bool() const { return px != nullptr; }
};

picture read_rgba(const std::string& path) {
    picture p;
    p.px.reset(png_read_rgba(path.c_str(), &p.w, &p.h));
    return p;
}

picture read_indexed(const std::string& path) {
    picture p;
    p.px.reset(png_read_indexed(path.c_str(), &p.w, &p.h));
    return p;
}

int num(const json_value* object, const char* key, int fallback) {
    int v = fallback;
    return jint(jget(object, key), &v) ? v : fallback;
}

// The first two elements of an array member; 0, 0 when it has fewer.
void pair(const json_value* object, const char* key, int* a, int* b) {
    *a = *b = 0;
    const json_value* v = jget(object, key);
    if (!v || v->type != JSON_ARRAY || v->count < 2) return;
    jint(v->items[0], a);
    jint(v->items[1], b);
}

const char* text(const json_value* object, const char* key) {
    const json_value* v = jget(object, key);
    return v && v->type == JSON_STRING ? v->text : nullptr;
}

char kind_of(const char* kind) {
    if (kind && !std::strcmp(kind, "sprite")) return 's';
    if (kind && !std::strcmp(kind, "ground")) return 'g';
    if (kind && !std::strcmp(kind, "object")) return 'o';
    return 'c';
}

struct block {
    int64_t x, y, w, h;
    bool inside(const picture& p) const { return x >= 0 && y >= 0 && x + w <= p.w && y + h <= p.h; }
};

std::vector<uint8_t> cut(const picture& p, const block& b) {
    std::vector<uint8_t> out(static_cast<size_t>(b.w * b.h * 4));
    for (int64_t row = 0; row < b.h; ++row)
        std::memcpy(&out[static_cast<size_t>(row * b.w * 4)], p.px.get() + ((b.y + row) * p.w + b.x) * 4,
                    static_cast<size_t>(b.w * 4));
    return out;
}

bool transparent(const std::vector<uint8_t>& rgba) {
    for (size_t i = 3; i < rgba.size(); i += 4)
        if (rgba[i]) return false;
    return true;
}

// A block the pack left as dumped: same alpha everywhere and, where
// opaque at all, the same colour.
bool as_dumped(const std::vector<uint8_t>& rgba, const picture& dump, const block& b) {
    for (int64_t row = 0; row < b.h; ++row)
        for (int64_t col = 0; col < b.w; ++col) {
            const uint8_t* p = &rgba[static_cast<size_t>((row * b.w + col) * 4)];
            const uint8_t* d = dump.px.get() + ((b.y + row) * dump.w + b.x + col) * 4;
            if (p[3] != d[3] || (p[3] && std::memcmp(p, d, 4) != 0)) return false;
        }
    return true;
}

bool has_layer(const std::string& name) {
    return std::any_of(pack.layers.begin(), pack.layers.end(), [&](const pack_layer& l) { return l.name == name; });
}

// A layer from the dump's screen: its indices and, as the mask, the
// dump sheet's opaque pixels.
pack_layer screen_layer(const char* sheet_name, const json_value* sheet, const picture& idx, const picture& dump) {
    pack_layer l{};
    pair(sheet, "pos", &l.x, &l.y);
    l.width = idx.w, l.height = idx.h;
    l.order = num(sheet, "order", 0);
    const size_t n = static_cast<size_t>(idx.w) * idx.h;
    l.indices.assign(idx.px.get(), idx.px.get() + n);
    l.mask.resize(n);
    for (size_t i = 0; i < n; ++i) {
        l.mask[i] = dump.px.get()[i * 4 + 3] ? 1 : 0;
        l.mask_count += l.mask[i];
    }
    l.name = std::string(sheet_name).substr(0, pack_name_limit);
    return l;
}

void load_sheet(const char* name, const json_value* sheet) {
    const std::string path = pack.assets + "/" + pack.current + "/" + name + ".png";
    if (!file_exists(path.c_str())) return;
    const picture art = read_rgba(path);
    if (!art) {
        host_log("Could not read the sheet %s", path.c_str());
        return;
    }
    const int w = std::max(0, num(sheet, "width", 0)), h = num(sheet, "height", 0);
    const int k = w > 0 ? art.w / w : 0;
    if (w <= 0 || art.w % w != 0 || art.h / k != h) {
        host_log("Sheet ignored (%s: %dx%d, it must be %dx%d or an integer multiple)", name, art.w, art.h, w, h);
        return;
    }
    const picture dump = read_rgba(pack.assets + "/original/" + name + ".png");
    int cell_w = 0, cell_h = 0;
    pair(sheet, "cell", &cell_w, &cell_h);
    const int cols = std::max(1, num(sheet, "cols", 1));
    const int margin = num(sheet, "margin", 0);
    const char kind = kind_of(text(sheet, "kind"));
    // No sprite or tile of the game is larger than twice its screen: such a
    // cell is no drawing of one, and its copy at the output scale could take
    // gigabytes.
    if (kind != 'c' && (cell_w > 2 * scene_width || cell_h > 2 * scene_height)) return;
    const json_value* cells = jget(sheet, "cells");
    const int count = cells && cells->type == JSON_ARRAY ? cells->count : 0;
    bool kept = false;
    // Each spot of the sheet is cut once, so what a sheet adds to the pack
    // is at most the sheet itself, however many cells an index places on
    // one spot.
    std::unordered_set<int> cut_spots;
    for (int c = 0; c < count; ++c) {
        const json_value* cell = cells->items[c];
        const char* hash = text(cell, "hash");
        if (!hash || !*hash) continue;
        const int i = num(cell, "i", 0);
        const block b{int64_t(i % cols) * cell_w * k, int64_t(i / cols) * cell_h * k, int64_t(cell_w) * k,
                      int64_t(cell_h) * k};
        // A cell the sheet does not hold whole is no drawing of the pack.
        if (b.w <= 0 || b.h <= 0 || !b.inside(art) || !cut_spots.insert(i).second) continue;
        std::vector<uint8_t> pixels = cut(art, b);
        if (transparent(pixels)) continue;
        if (k == 1 && dump && b.inside(dump) && as_dumped(pixels, dump, b)) continue;
        char key[16] = {};
        std::snprintf(key, sizeof key, "%s", hash);
        if (rep_find(kind, key) >= 0) continue;
        pack_record r{};
        r.kind = kind;
        std::memcpy(r.hash, key, sizeof key);
        r.cell_w = cell_w, r.cell_h = cell_h, r.k = k, r.margin = margin;
        pair(cell, "crop", &r.crop_x, &r.crop_y);
        r.pixels = std::move(pixels);
        const pack_record& added = rep_add(std::move(r));
        kept = true;
        // A screen sheet is one screen: it gives one layer.
        if (kind != 'c' || !dump || has_layer(std::string(name).substr(0, pack_name_limit))) continue;
        const char* idx_name = text(sheet, "idx");
        const picture idx = idx_name ? read_indexed(pack.assets + "/original/" + idx_name) : picture{};
        if (!idx) {
            host_log("Layer without indices (%s)", name);
            continue;
        }
        if (idx.w != dump.w || idx.h != dump.h) continue;
        pack_layer l = screen_layer(name, sheet, idx, dump);
        l.ingame = num(sheet, "ingame", 0) != 0;
        l.palette_sum = num(sheet, "palette_sum", 0);
        l.picture = to_scale(added.pixels.data(), static_cast<int>(b.w), static_cast<int>(b.h), idx.h, idx.w,
                             pack.scale);
        pack.layers.push_back(std::move(l));
    }
    if (kept && (kind == 'g' || kind == 'o')) pack.has_tiles = 1;
}

// The dumped screens the pack leaves alone still decide, in the layer
// drawing, which screen is shown.
void add_unreplaced_screens(const json_value* sheets) {
    for (int s = 0; s < sheets->count; ++s) {
        const char* name = sheets->keys[s];
        const json_value* sheet = sheets->items[s];
        const char* kind = text(sheet, "kind");
        if (!name || !kind || std::strcmp(kind, "screen") != 0) continue;
        if (has_layer(std::string(name).substr(0, pack_name_limit))) continue;
        const char* idx_name = text(sheet, "idx");
        if (!idx_name) continue;
        const picture idx = read_indexed(pack.assets + "/original/" + idx_name);
        const picture dump = read_rgba(pack.assets + "/original/" + name + ".png");
        if (!idx || !dump || idx.w != dump.w || idx.h != dump.h) continue;
        pack.layers.push_back(screen_layer(name, sheet, idx, dump));
    }
}

}  // namespace

void rescan_locked() {
    rep_clear();
    for (pack_layer& l : pack.layers) pack_release(l.picture);
    pack.layers.clear();
    pack_gen += 1;
    pack.has_tiles = 0;
    const json_value* sheets = jget(pack.index, "sheets");
    if (!pack.index || pack.current.empty() || pack.current == "original" || !sheets ||
        sheets->type != JSON_OBJECT)
        return;
    for (int s = 0; s < sheets->count; ++s)
        if (sheets->keys[s]) load_sheet(sheets->keys[s], sheets->items[s]);
    if (pack.layers.empty()) return;
    add_unreplaced_screens(sheets);
    std::stable_sort(pack.layers.begin(), pack.layers.end(),
                     [](const pack_layer& a, const pack_layer& b) { return a.order < b.order; });
}
