// Reading the mod pack's blob: entry headers, and the runs of pixel changes
// applied to a picture. Nothing here trusts the blob: every read is checked
// against its end.
#include <cstring>

#include "graphics/modpack.h"

namespace {

constexpr size_t fixed_header = 18; // name length byte and the fixed fields
constexpr int longest_varint = 5;

uint32_t le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t le32(const uint8_t* p) { return le16(p) | le16(p + 2) << 16; }

// An unsigned varint at *at, 7 bits a byte, least significant group first.
bool read_varint(const uint8_t* blob, size_t size, size_t* at, uint64_t* value) {
    uint64_t v = 0;
    for (int i = 0; i < longest_varint; i++) {
        if (*at >= size)
            return false;
        const uint8_t b = blob[(*at)++];
        v |= uint64_t(b & 0x7F) << (7 * i);
        if (!(b & 0x80)) {
            *value = v;
            return true;
        }
    }
    return false;
}

// The name must stay inside the dump and pack folders it is joined to.
bool safe_name(const char* name, size_t length) {
    if (length == 0 || name[0] == '/' || std::memchr(name, 0, length))
        return false;
    for (size_t i = 0; i < length;) {
        size_t j = i;
        while (j < length && name[j] != '/')
            j++;
        if (j - i == 2 && name[i] == '.' && name[i + 1] == '.')
            return false;
        i = j + 1;
    }
    return true;
}

}  // namespace

int modpack_read_count(const uint8_t* blob, size_t size, uint32_t* count) {
    if (size < 4)
        return 0;
    *count = le32(blob);
    return 1;
}

int modpack_read_entry(const uint8_t* blob, size_t size, size_t at, modpack_entry* e) {
    if (at >= size)
        return 0;
    const size_t name_length = blob[at];
    if (size - at < name_length + fixed_header)
        return 0;
    const uint8_t* p = blob + at + 1;
    std::memcpy(e->name, p, name_length);
    e->name[name_length] = 0;
    p += name_length;
    e->kind = p[0];
    e->width = int(le16(p + 1));
    e->height = int(le16(p + 3));
    e->crc = le32(p + 5);
    e->run_count = le32(p + 9);
    e->changed = le32(p + 13);
    e->runs_at = at + name_length + fixed_header;
    e->end = e->runs_at;
    // A name that could leave the folders is a broken entry, which the
    // caller finds when the runs are applied.
    if (!safe_name(reinterpret_cast<const char*>(blob + at + 1), name_length))
        e->kind = 0;
    return 1;
}

int modpack_apply(const uint8_t* blob, size_t size, modpack_entry* e, uint8_t* pixels) {
    if (e->kind != 1 && e->kind != 4)
        return 0;
    // The planes follow the run values: find where they begin first.
    size_t at = e->runs_at;
    for (uint32_t i = 0; i < e->run_count; i++) {
        uint64_t ignored;
        if (!read_varint(blob, size, &at, &ignored))
            return 0;
    }
    const size_t planes_at = at;
    const uint64_t plane_bytes = uint64_t(e->changed) * uint64_t(e->kind);
    if (plane_bytes > size - planes_at)
        return 0;
    const uint64_t pixel_count = uint64_t(e->width) * uint64_t(e->height);
    uint64_t position = 0, taken = 0;
    at = e->runs_at;
    for (uint32_t i = 0; i < e->run_count; i++) {
        uint64_t v = 0;
        read_varint(blob, size, &at, &v);
        if (v > pixel_count - position)
            return 0;
        if (i % 2 == 1) {
            if (v > e->changed - taken)
                return 0;
            for (uint64_t k = 0; k < v; k++, taken++, position++)
                for (int c = 0; c < e->kind; c++)
                    pixels[position * e->kind + c] = blob[planes_at + c * uint64_t(e->changed) + taken];
            continue;
        }
        position += v;
    }
    if (taken != e->changed)
        return 0;
    e->end = planes_at + plane_bytes;
    return 1;
}
