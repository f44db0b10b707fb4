// Recognising which level a captured frame shows. A cheap key over the
// level table and the start of the section's map spares a parse on every
// frame; a new key parses the map and takes the level's identity. The
// levels met are kept (the last 24) for the picture builder.
#include <deque>

#include "graphics/level.h"
#include "graphics/level_internal.h"
#include "machine/memory.h"

namespace {

constexpr int key_map_bytes = 64;

// Written on the emulation thread, read on the main thread, under the lock.
// Never destroyed: builder threads may still hold levels when the program
// ends, and the kept levels stay reachable until then.
std::deque<parsed_level*>& levs = *new std::deque<parsed_level*>;

port_mutex* levs_mutex() {
    static port_mutex* mutex = port_mutex_new();
    return mutex;
}

// Emulation thread only.
uint32_t last_key = 0;
int32_t last_id = 0;

uint32_t level_key(int section) {
    uint32_t h = fnv_add_u32(fnv_basis, static_cast<uint32_t>(section));
    h = fnv_add(h, ram + level_table_address, level_table_bytes);
    return fnv_add(h, ram + level_map_start(section), key_map_bytes);
}

void keep(parsed_level* level) {
    level_lock guard;
    for (const parsed_level* kept : levs)
        if (kept->id == level->id) {
            level_free(level);
            return;
        }
    if (levs.size() >= level_kept_max) {
        level_free(levs.front());
        levs.pop_front();
    }
    levs.push_back(level);
}

} // namespace

level_lock::level_lock() { port_mutex_lock(levs_mutex()); }
level_lock::~level_lock() { port_mutex_unlock(levs_mutex()); }

void scene_check_level(scene_frame* frame) {
    if (frame->bg_kind != BG_VERTICAL || !frame->bg_captured || frame->section > 32767) return;
    const int section = static_cast<int>(frame->section);
    const uint32_t key = level_key(section);
    if (key == last_key && last_id != 0) {
        frame->level_id = last_id;
        return;
    }
    parsed_level* level = parse_level(section);
    if (!level) return;
    level->id = level_identity(level);
    last_key = key;
    last_id = level->id;
    frame->level_id = level->id;
    keep(level);
}

void level_new_segment() {
    last_key = 0;
    last_id = 0;
}

parsed_level* level_find(int32_t id) {
    level_lock guard;
    for (parsed_level* kept : levs)
        if (kept->id == id) {
            kept->refs.fetch_add(1, std::memory_order_relaxed);
            return kept;
        }
    return nullptr;
}

int32_t level_height_of(int32_t id) {
    level_lock guard;
    for (const parsed_level* kept : levs)
        if (kept->id == id) return kept->height;
    return 0;
}

void level_forget_all() {
    level_lock guard;
    for (parsed_level* kept : levs) level_free(kept);
    levs.clear();
    level_new_segment();
}
