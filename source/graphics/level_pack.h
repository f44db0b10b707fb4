// What the level pictures need of the graphics pack. All null while no pack
// is attached: levels are then drawn from the game's own tiles, and cb_level
// answers 0 (a pack without tiles has no use for a whole-level picture).
// The pack fills these when it attaches.
#pragma once

#include <cstdint>

struct level_pack_ops {
    // 1 when the current pack replaced a ground or object tile.
    int (*has_tiles)();
    // The pack's RGBA replacement of a ground tile (64 x 32 indices) at
    // scale s, (64 s) x (32 s) pixels, or null. Called from builder threads;
    // the pixels stay valid while the builder count is above 0.
    const uint8_t* (*ground_rgba)(const uint8_t* indices, int scale);
    // The same for an object block (16 x 16 indices), (16 s) x (16 s).
    const uint8_t* (*object_rgba)(const uint8_t* indices, int scale);
    // Raises (+1) or lowers (-1) the pack's count of running builders, which
    // holds back the release of tile pictures a builder may be reading.
    void (*builders_add)(int delta);
};

extern level_pack_ops level_pack;
