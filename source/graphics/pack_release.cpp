// The pack lock and the deferred release. Level builders look tiles up from
// their own threads and keep drawing with the pictures they were given, so
// while any builder runs, a released picture is parked here rather than
// freed.
#include <vector>

#include "graphics/pack_state.h"
#include "host/platform.h"

namespace {

port_mutex* table_lock() {
    static port_mutex* const m = port_mutex_new();
    return m;
}

port_mutex* release_lock() {
    static port_mutex* const m = port_mutex_new();
    return m;
}

int builders = 0;
std::vector<std::vector<uint8_t>> parked;

}  // namespace

void pack_lock() { port_mutex_lock(table_lock()); }
void pack_unlock() { port_mutex_unlock(table_lock()); }

void pack_release(std::vector<uint8_t>& buffer) {
    std::vector<uint8_t> gone;
    gone.swap(buffer);
    if (gone.empty()) return;
    port_mutex_lock(release_lock());
    if (builders > 0) parked.push_back(std::move(gone));
    port_mutex_unlock(release_lock());
}

void gfxpack_builders(int delta) {
    std::vector<std::vector<uint8_t>> freed;
    port_mutex_lock(release_lock());
    builders += delta;
    if (builders <= 0) {
        builders = 0;
        freed.swap(parked);
    }
    port_mutex_unlock(release_lock());
}
