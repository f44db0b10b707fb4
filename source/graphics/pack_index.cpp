// The dump index read into the few fields a reload needs. The JSON tree is
// freed as soon as they are taken from it, and only sheets that can give a
// pack something are kept, so that what an index costs for the session is
// near what it says, however much else it holds.
#include <cstdio>
#include <cstring>

#include "graphics/json_reader.h"
#include "graphics/pack_state.h"

namespace {

int num(const json_value* object, const char* key, int fallback) {
    int v = fallback;
    return jint(jget(object, key), &v) ? v : fallback;
}

// The first two elements of an array member; 0, 0 when it has fewer.
void pair(const json_value* object, const char* key, int32_t* a, int32_t* b) {
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

// The cells with a hash; the others are never cut.
std::vector<pack_cell> cells_of(const json_value* sheet) {
    std::vector<pack_cell> out;
    const json_value* cells = jget(sheet, "cells");
    if (!cells || cells->type != JSON_ARRAY) return out;
    for (int c = 0; c < cells->count; ++c) {
        const json_value* cell = cells->items[c];
        const char* hash = text(cell, "hash");
        if (!hash || !*hash) continue;
        pack_cell pc{};
        std::snprintf(pc.hash, sizeof pc.hash, "%s", hash);
        pc.i = num(cell, "i", 0);
        pair(cell, "crop", &pc.crop_x, &pc.crop_y);
        out.push_back(pc);
    }
    out.shrink_to_fit();
    return out;
}

void add_sheet(const char* name, const json_value* sheet) {
    pack_sheet s{};
    s.cells = cells_of(sheet);
    const char* kind = text(sheet, "kind");
    s.screen = kind && !std::strcmp(kind, "screen");
    const char* idx = text(sheet, "idx");
    // A sheet without a cell to cut gives nothing, unless it is a screen
    // that stands for itself beside the redrawn ones.
    if (s.cells.empty() && !(s.screen && idx && *idx)) return;
    s.name = name;
    s.width = num(sheet, "width", 0);
    s.height = num(sheet, "height", 0);
    pair(sheet, "cell", &s.cell_w, &s.cell_h);
    s.cols = num(sheet, "cols", 1);
    s.margin = num(sheet, "margin", 0);
    s.kind = kind_of(kind);
    if (idx) s.idx = idx;
    pair(sheet, "pos", &s.x, &s.y);
    s.order = num(sheet, "order", 0);
    s.ingame = num(sheet, "ingame", 0);
    s.palette_sum = num(sheet, "palette_sum", 0);
    pack.sheets.push_back(std::move(s));
}

}  // namespace

bool pack_read_index(const char* text) {
    pack.sheets.clear();
    pack.sheet_names.clear();
    json_value* index = jparse(&text);
    const json_value* format = jget(index, "format");
    const bool usable = format && format->type == JSON_NUMBER && format->number == 2;
    const json_value* sheets = jget(index, "sheets");
    if (usable && sheets && sheets->type == JSON_OBJECT)
        for (int s = 0; s < sheets->count; ++s)
            if (sheets->keys[s]) {
                pack.sheet_names.append(sheets->keys[s]).push_back('\0');
                add_sheet(sheets->keys[s], sheets->items[s]);
            }
    pack.sheets.shrink_to_fit();
    pack.sheet_names.shrink_to_fit();
    jfree(index);
    return usable;
}
