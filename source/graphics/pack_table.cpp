// The index over the replacement records: open addressing with linear
// probing, kept at most half full, keyed by the hash text and the kind.
#include <cstring>

#include "graphics/pack_state.h"

namespace {

uint32_t slot_of(char kind, const char* hash, size_t size) {
    uint32_t h = 0x811c9dc5u;
    for (const char* c = hash; *c; ++c) {
        h ^= static_cast<uint8_t>(*c);
        h *= 16777619u;
    }
    h ^= static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(kind)) * 7919);
    return static_cast<uint32_t>(h % size);
}

void insert(int32_t record) {
    const pack_record& r = pack.reps[static_cast<size_t>(record)];
    const size_t size = pack.table.size();
    size_t at = slot_of(r.kind, r.hash, size);
    while (pack.table[at] != -1) at = (at + 1) % size;
    pack.table[at] = record;
}

}  // namespace

int32_t rep_find(char kind, const char* hash) {
    const size_t size = pack.table.size();
    if (size == 0) return -1;
    size_t at = slot_of(kind, hash, size);
    for (size_t probe = 0; probe < size; ++probe, at = (at + 1) % size) {
        const int32_t n = pack.table[at];
        if (n == -1) return -1;
        const pack_record& r = pack.reps[static_cast<size_t>(n)];
        if (r.kind == kind && std::strcmp(r.hash, hash) == 0) return n;
    }
    return -1;
}

pack_record& rep_add(pack_record&& record) {
    const size_t before = pack.reps.size();
    pack.reps.push_back(std::move(record));
    if (2 * pack.reps.size() > pack.table.size()) {
        pack.table.assign(4 * before + 68, -1);
        for (size_t n = 0; n < pack.reps.size(); ++n) insert(static_cast<int32_t>(n));
    } else {
        insert(static_cast<int32_t>(before));
    }
    return pack.reps.back();
}

void rep_clear() {
    for (pack_record& r : pack.reps) {
        pack_release(r.pixels);
        pack_release(r.scaled);
        pack_release(r.texture);
    }
    pack.reps.clear();
    pack.table.clear();
    pack.table.shrink_to_fit();
}
