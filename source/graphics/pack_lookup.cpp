// The renderer's and the level builders' lookups: a picture the game draws
// is hashed as the dump hashed it, and a replacement of its kind is scaled
// once per output scale.
#include <algorithm>
#include <cstring>

#include "graphics/content_hash.h"
#include "graphics/pack_scale.h"
#include "graphics/pack_state.h"
#include "graphics/sprite.h"

namespace {

pack_record* find(char kind, const char* hash) {
    const int32_t n = rep_find(kind, hash);
    return n < 0 ? nullptr : &pack.reps[static_cast<size_t>(n)];
}

// Where the picture starts from the sprite's corner: before the crop and
// the margin, in 64 bits as a hand-edited index may hold any two ints.
int32_t offset(int32_t crop, int32_t margin) {
    const int64_t at = -(int64_t{crop} + margin);
    return static_cast<int32_t>(std::clamp<int64_t>(at, -pack_offset_limit, pack_offset_limit));
}

void make_scaled(pack_record& r, int s) {
    pack_release(r.scaled);
    r.scaled = to_scale(r.pixels.data(), r.cell_w * r.k, r.cell_h * r.k, r.cell_h, r.cell_w, s);
    r.scaled_for = s;
}

// A ground or object tile for a level builder on another thread.
const uint8_t* tile(char kind, const uint8_t* indices, int rows, int row_length, int s) {
    char hash[GFX_HASH_TEXT];
    gfx_array_hash(indices, rows, row_length, hash);
    pack_lock();
    const uint8_t* out = nullptr;
    pack_record* r = pack.reps.empty() ? nullptr : find(kind, hash);
    // The builder reads a tile's whole size: a cell of another size is no tile.
    if (r && r->cell_w == row_length && r->cell_h == rows) {
        if (r->scaled.empty() || r->scaled_for != s) make_scaled(*r, s);
        out = r->scaled.empty() ? nullptr : r->scaled.data();
    }
    pack_unlock();
    return out;
}

}  // namespace

int cb_sprite(const sprite* spr, int scale, pack_picture* out, int /*line*/) {
    if (pack.reps.empty() || !spr) return 0;
    // The hash is the one thing the pack writes into a shared sprite, and
    // only from the main thread.
    sprite* own = const_cast<sprite*>(spr);
    if (!own->hash_valid) {
        gfx_sprite_hash(own, own->hash);
        own->hash_valid = 1;
    }
    pack_record* r = find('s', spr->hash);
    if (!r) return 0;
    if (r->scaled.empty() || r->scaled_for != scale) {
        make_scaled(*r, scale);
        r->answer = {r->scaled.data(), r->cell_w, r->cell_h, offset(r->crop_x, r->margin), offset(r->crop_y, r->margin)};
    }
    if (r->scaled.empty()) return 0;
    *out = r->answer;
    return 1;
}

int cb_texture(const uint8_t (*strip)[strip_size], int scale, const uint8_t** out_rgb) {
    if (pack.reps.empty() || !strip) return 0;
    // The dump hashed the 64-pixel ground block whose left half the
    // horizontal sections repeat.
    uint8_t block[strip_size][2 * strip_size];
    for (int y = 0; y < strip_size; ++y) {
        std::memcpy(block[y], strip[y], strip_size);
        std::memcpy(block[y] + strip_size, strip[y], strip_size);
    }
    char hash[GFX_HASH_TEXT];
    gfx_array_hash(&block[0][0], strip_size, 2 * strip_size, hash);
    pack_record* r = find('g', hash);
    if (!r) return 0;
    if (r->texture.empty() || r->texture_for != scale) {
        r->texture.clear();
        const std::vector<uint8_t> whole =
            to_scale(r->pixels.data(), r->cell_w * r->k, r->cell_h * r->k, strip_size, 2 * strip_size, scale);
        if (whole.empty()) return 0;
        const size_t side = static_cast<size_t>(strip_size) * scale;
        r->texture.resize(side * side * 3);
        for (size_t y = 0; y < side; ++y)
            for (size_t x = 0; x < side; ++x)
                std::memcpy(&r->texture[(y * side + x) * 3], &whole[(y * 2 * side + x) * 4], 3);
        r->texture_for = scale;
    }
    *out_rgb = r->texture.data();
    return 1;
}

const uint8_t* gfxpack_ground_rgba(const uint8_t* indices, int scale) {
    return tile('g', indices, 32, 64, scale);
}

const uint8_t* gfxpack_object_rgba(const uint8_t* indices, int scale) {
    return tile('o', indices, 16, 16, scale);
}
