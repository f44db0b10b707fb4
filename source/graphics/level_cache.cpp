// The level pictures the renderer asks for: the sixteen most recently used
// are kept; a miss starts a build on a detached thread and the renderer
// draws the game's own background until the picture is ready. Lookups run
// on the main thread only.
#include <cstdlib>
#include <cstring>

#include "graphics/level_internal.h"
#include "graphics/level_pack.h"
#include "graphics/render.h"

namespace {

level_entry lr[level_cache_entries];
int lr_used = 0;
uint32_t lr_stamp = 0;

// Builders still running, and the event each one signals when it ends.
std::atomic<int32_t> running{0};

port_event* builder_ended() {
    static port_event* event = port_event_new();
    return event;
}

struct build_job {
    level_entry* entry;
    parsed_level* level;
};

void build_thread(void* arg) {
    auto* job = static_cast<build_job*>(arg);
    build(job->entry, job->level);
    level_free(job->level);
    delete job;
    if (level_pack.builders_add) level_pack.builders_add(-1);
    running.fetch_sub(1, std::memory_order_acq_rel);
    port_event_signal(builder_ended());
}

int start_detached(port_thread_fn fn, void* arg) { return port_thread_start(fn, arg, nullptr); }

// A free entry, or the least recently used ready one with its picture
// released; null when every entry is still building.
level_entry* claim_entry() {
    if (lr_used < level_cache_entries) return &lr[lr_used++];
    level_entry* oldest = nullptr;
    for (level_entry& e : lr)
        if (e.ready.load(std::memory_order_acquire) && (!oldest || e.stamp < oldest->stamp)) oldest = &e;
    if (oldest) {
        std::free(oldest->picture);
        oldest->picture = nullptr;
    }
    return oldest;
}

} // namespace

int (*level_thread_start)(port_thread_fn fn, void* arg) = start_detached;

const uint8_t* level_rgb(int32_t id, const uint8_t* palette, int scale, int* out_height) {
    for (int i = 0; i < lr_used; ++i) {
        level_entry& e = lr[i];
        if (e.id != id || e.scale != scale || e.generation != pack_gen || std::memcmp(e.palette, palette, 32) != 0)
            continue;
        e.stamp = ++lr_stamp;
        if (!e.ready.load(std::memory_order_acquire) || !e.picture) return nullptr;
        if (out_height) *out_height = e.height;
        return e.picture;
    }
    parsed_level* level = level_find(id);
    if (!level) return nullptr;
    level_entry* e = claim_entry();
    if (!e) {
        level_free(level);
        return nullptr;
    }
    e->id = id;
    std::memcpy(e->palette, palette, sizeof e->palette);
    e->scale = scale;
    e->generation = pack_gen;
    e->picture = nullptr;
    e->height = 0;
    e->ready.store(0, std::memory_order_relaxed);
    e->stamp = ++lr_stamp;
    if (level_pack.builders_add) level_pack.builders_add(1);
    running.fetch_add(1, std::memory_order_acq_rel);
    auto* job = new build_job{e, level};
    // Without a thread the build is done here: slow, but the picture comes.
    if (!level_thread_start(build_thread, job)) build_thread(job);
    return nullptr;
}

int cb_level(int32_t id, const uint8_t* palette, int scale, const uint8_t** out_rgb, int* out_height,
             int* out_level_height) {
    if (!level_pack.has_tiles || !level_pack.has_tiles()) return 0;
    int height = 0;
    const uint8_t* picture = level_rgb(id, palette, scale, &height);
    if (!picture) return 0;
    const int32_t level_height = level_height_of(id);
    if (level_height == 0) return 0;
    *out_rgb = picture;
    *out_height = height;
    *out_level_height = level_height;
    return 1;
}

void level_wait_builders() {
    // The timeout only guards against a signal that fell between the test
    // and the wait.
    while (running.load(std::memory_order_acquire) > 0) port_event_wait(builder_ended(), 100);
}

void level_clear() {
    level_wait_builders();
    for (int i = 0; i < lr_used; ++i) {
        std::free(lr[i].picture);
        lr[i].picture = nullptr;
    }
    lr_used = 0;
    lr_stamp = 0;
    level_forget_all();
}
