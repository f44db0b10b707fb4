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

// Pictures larger than the caller takes are refused before they are
// decoded.
picture read_rgba(const std::string& path, int most_w, int most_h) {
    picture p;
    p.px.reset(png_read_rgba(path.c_str(), &p.w, &p.h, most_w, most_h));
    return p;
}

picture read_indexed(const std::string& path, int most_w, int most_h) {
    picture p;
    p.px.reset(png_read_indexed(path.c_str(), &p.w, &p.h, most_w, most_h));
    return p;
}

size_t mb(size_t bytes) { return bytes >> 20; }

// Whether the pack's pictures can hold that many more bytes.
bool affordable(size_t bytes) { return bytes <= pack.budget && pack.held <= pack.budget - bytes; }

// A layer's indices, mask and picture at the output scale.
size_t layer_cost(int w, int h, bool with_picture) {
    const size_t area = static_cast<size_t>(w) * static_cast<size_t>(h);
    const size_t s = static_cast<size_t>(pack.scale);
    return area * 2 + (with_picture ? area * s * s * 4 : 0);
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
pack_layer screen_layer(const pack_sheet& sheet, const picture& idx, const picture& dump) {
    pack_layer l{};
    l.x = sheet.x, l.y = sheet.y;
    l.width = idx.w, l.height = idx.h;
    l.order = sheet.order;
    const size_t n = static_cast<size_t>(idx.w) * idx.h;
    l.indices.assign(idx.px.get(), idx.px.get() + n);
    l.mask.resize(n);
    for (size_t i = 0; i < n; ++i) {
        l.mask[i] = dump.px.get()[i * 4 + 3] ? 1 : 0;
        l.mask_count += l.mask[i];
    }
    l.name = sheet.name.substr(0, pack_name_limit);
    return l;
}

// The pack sheet's header, judged before any of its pixels is decoded: its
// format, its size against the dump sheet's, and what it could add to the
// pack's pictures. True, with the header in info, when it may be read.
bool sheet_acceptable(const pack_sheet& sheet, const std::string& path, png_header_info* info) {
    if (!png_read_header(path.c_str(), info) || info->width < 1 || info->height < 1) {
        host_log("Could not read the sheet %s", path.c_str());
        return false;
    }
    if (const char* why = png_format_refusal(*info)) {
        host_log("Could not read the sheet %s (%s)", path.c_str(), why);
        return false;
    }
    const char* name = sheet.name.c_str();
    const int w = std::max(0, sheet.width), h = sheet.height;
    const int W = info->width, H = info->height;
    const int k = w > 0 ? W / w : 0;
    if (w <= 0 || W % w != 0 || H / k != h) {
        host_log("Sheet ignored (%s: %dx%d, it must be %dx%d or an integer multiple)", name, W, H, w, h);
        return false;
    }
    if (k > pack_largest_multiple) {
        host_log("Sheet ignored (%s: %dx%d is %d times the dump's %dx%d, more than the %d times a pack may use)", name,
                 W, H, k, w, h, pack_largest_multiple);
        return false;
    }
    if (!affordable(static_cast<size_t>(W) * static_cast<size_t>(H) * 4)) {
        host_log("Sheet skipped (%s: %dx%d would take the pack's pictures past %zu MB)", name, W, H, mb(pack.budget));
        return false;
    }
    return true;
}

void load_sheet(const pack_sheet& sheet) {
    const char* name = sheet.name.c_str();
    const std::string path = pack.assets + "/" + pack.current + "/" + sheet.name + ".png";
    if (!file_exists(path.c_str())) return;
    png_header_info info{};
    if (!sheet_acceptable(sheet, path, &info)) return;
    const picture art = read_rgba(path, info.width, info.height);
    if (!art) {
        host_log("Could not read the sheet %s", path.c_str());
        return;
    }
    const int k = art.w / sheet.width;
    const picture dump = read_rgba(pack.assets + "/original/" + sheet.name + ".png", sheet.width, sheet.height);
    const int cell_w = sheet.cell_w, cell_h = sheet.cell_h;
    const int cols = std::max(1, sheet.cols);
    const int margin = sheet.margin;
    const char kind = sheet.kind;
    // No sprite or tile of the game is larger than twice its screen: such a
    // cell is no drawing of one, and its copy at the output scale could take
    // gigabytes.
    if (kind != 'c' && (cell_w > 2 * scene_width || cell_h > 2 * scene_height)) return;
    bool kept = false;
    // Each spot of the sheet is cut once, so what a sheet adds to the pack
    // is at most the sheet itself, however many cells an index places on
    // one spot.
    std::unordered_set<int> cut_spots;
    for (const pack_cell& cell : sheet.cells) {
        const int i = cell.i;
        const block b{int64_t(i % cols) * cell_w * k, int64_t(i / cols) * cell_h * k, int64_t(cell_w) * k,
                      int64_t(cell_h) * k};
        // A cell the sheet does not hold whole is no drawing of the pack.
        if (b.w <= 0 || b.h <= 0 || !b.inside(art) || !cut_spots.insert(i).second) continue;
        std::vector<uint8_t> pixels = cut(art, b);
        if (transparent(pixels)) continue;
        if (k == 1 && dump && b.inside(dump) && as_dumped(pixels, dump, b)) continue;
        if (rep_find(kind, cell.hash) >= 0) continue;
        pack_record r{};
        r.kind = kind;
        std::memcpy(r.hash, cell.hash, sizeof r.hash);
        r.cell_w = cell_w, r.cell_h = cell_h, r.k = k, r.margin = margin;
        r.crop_x = cell.crop_x, r.crop_y = cell.crop_y;
        r.pixels = std::move(pixels);
        pack.held += r.pixels.size();
        const pack_record& added = rep_add(std::move(r));
        kept = true;
        // A screen sheet is one screen: it gives one layer.
        if (kind != 'c' || !dump || has_layer(sheet.name.substr(0, pack_name_limit))) continue;
        if (!affordable(layer_cost(dump.w, dump.h, true))) {
            host_log("Layer skipped (%s: it would take the pack's pictures past %zu MB)", name, mb(pack.budget));
            continue;
        }
        // Indices of another size than the dump's sheet give no layer; they
        // are not decoded.
        const std::string idx_path = pack.assets + "/original/" + sheet.idx;
        png_header_info idx_info{};
        const bool named = !sheet.idx.empty() && png_read_header(idx_path.c_str(), &idx_info);
        if (named && (idx_info.width != dump.w || idx_info.height != dump.h)) continue;
        const picture idx = named ? read_indexed(idx_path, dump.w, dump.h) : picture{};
        if (!idx) {
            host_log("Layer without indices (%s)", name);
            continue;
        }
        pack_layer l = screen_layer(sheet, idx, dump);
        l.ingame = sheet.ingame != 0;
        l.palette_sum = sheet.palette_sum;
        l.picture = to_scale(added.pixels.data(), static_cast<int>(b.w), static_cast<int>(b.h), idx.h, idx.w,
                             pack.scale);
        pack.held += layer_cost(idx.w, idx.h, true);
        pack.layers.push_back(std::move(l));
    }
    if (kept && (kind == 'g' || kind == 'o')) pack.has_tiles = 1;
}

// The dumped screens the pack leaves alone still decide, in the layer
// drawing, which screen is shown.
void add_unreplaced_screens() {
    for (const pack_sheet& sheet : pack.sheets) {
        if (!sheet.screen || sheet.idx.empty()) continue;
        if (has_layer(sheet.name.substr(0, pack_name_limit))) continue;
        // The dump's own screen is the size its index gives.
        if (sheet.width <= 0 || sheet.height <= 0) continue;
        if (!affordable(layer_cost(sheet.width, sheet.height, false))) {
            host_log("Layer skipped (%s: it would take the pack's pictures past %zu MB)", sheet.name.c_str(),
                     mb(pack.budget));
            continue;
        }
        const picture idx = read_indexed(pack.assets + "/original/" + sheet.idx, sheet.width, sheet.height);
        const picture dump = read_rgba(pack.assets + "/original/" + sheet.name + ".png", sheet.width, sheet.height);
        if (!idx || !dump || idx.w != dump.w || idx.h != dump.h) continue;
        pack.held += layer_cost(idx.w, idx.h, false);
        pack.layers.push_back(screen_layer(sheet, idx, dump));
    }
}

}  // namespace

void rescan_locked() {
    rep_clear();
    for (pack_layer& l : pack.layers) pack_release(l.picture);
    pack.layers.clear();
    pack.held = 0;
    pack_gen += 1;
    pack.has_tiles = 0;
    if (!pack.indexed || pack.current.empty() || pack.current == "original") return;
    for (const pack_sheet& sheet : pack.sheets) load_sheet(sheet);
    if (pack.layers.empty()) return;
    add_unreplaced_screens();
    std::stable_sort(pack.layers.begin(), pack.layers.end(),
                     [](const pack_layer& a, const pack_layer& b) { return a.order < b.order; });
}
