// Shared between the level-picture files: the lock of the kept levels, the
// cache entry and the builder.
#pragma once

#include <atomic>
#include <cstdint>

#include "graphics/level.h"
#include "host/platform.h"

// Holds the lock of the kept levels for its scope.
struct level_lock {
    level_lock();
    ~level_lock();
    level_lock(const level_lock&) = delete;
    level_lock& operator=(const level_lock&) = delete;
};

// Where section n's map starts (n 0..32767): level_data plus the section's
// signed word of the level table.
uint32_t level_map_start(int section);

// The height in game pixels of the kept level with that id; 0 when none is
// kept.
int32_t level_height_of(int32_t id);
// Drops every kept level and the recognition state.
void level_forget_all();

// One cached picture. The builder writes picture and height, then sets
// ready (release); a lookup reads ready (acquire) before the picture. Only
// ready entries are reused, so no builder writes into a reused entry.
struct level_entry {
    int32_t id;
    uint8_t palette[32];
    int32_t scale;
    uint32_t generation;
    uint8_t* picture;  // malloc'd RGB, 192 x scale wide; null when it could not be made
    int32_t height;    // in output pixels
    std::atomic<int32_t> ready;
    uint32_t stamp;
};

// Draws the level into the entry at its palette and scale, then marks the
// entry ready (with a null picture when the memory could not be had).
void build(level_entry* entry, const parsed_level* level);

// Starts a detached builder thread; the tests replace it to see a failed
// start.
extern int (*level_thread_start)(port_thread_fn fn, void* arg);
