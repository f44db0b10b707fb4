// The program's own graphics pack "mod": a few of the game's pictures
// retouched, carried as pixel changes against the graphics dump, since the
// pictures themselves come from the user's copy of the game. On a start
// with a dump and no assets/mod, the dump folder is copied to assets/mod
// and the changed pictures are written over their copies, provided every
// patched picture has the CRC it was made to have.
#pragma once
#include <cstddef>
#include <cstdint>

// The blob of changes as the build carries it: raw DEFLATE of `size` bytes
// that inflates to `raw_size` bytes; null data when the build carries none.
struct modpack_source {
    const uint8_t* data;
    size_t size;
    size_t raw_size;
};
extern const modpack_source modpack_builtin;

// One entry of the inflated blob (little-endian): name length L, name,
// kind (bytes per pixel: 1 indexed, 4 RGBA), width, height, the CRC-32 of
// the patched pixels, the count of run values, the count m of changed
// pixels, the run values (varints, a gap then a run, alternating), then
// `kind` planes of m bytes.
constexpr int modpack_name_max = 256;
struct modpack_entry {
    char name[modpack_name_max];
    int kind;
    int width;
    int height;
    uint32_t crc;
    uint32_t run_count;
    uint32_t changed;
    size_t runs_at; // offset of the first run value
    size_t end;     // offset just past the planes, once the runs are read
};

// The entry count at the blob's start: 1, or 0 when the blob is shorter.
int modpack_read_count(const uint8_t* blob, size_t size, uint32_t* count);
// Reads the header of the entry at `at`: 1, or 0 when fewer than L + 18
// bytes are left (the blob has ended).
int modpack_read_entry(const uint8_t* blob, size_t size, size_t at, modpack_entry* entry);
// Applies the entry's runs to the picture (width x height x kind bytes)
// and sets entry->end: 1, or 0 when the runs or planes break a rule.
int modpack_apply(const uint8_t* blob, size_t size, modpack_entry* entry, uint8_t* pixels);

// Builds assets/mod from assets/original with the built-in blob: 1 when
// the pack was made now, else 0.
int modpack_make_if_missing(const char* assets);
// The same with a given blob.
int modpack_make_from(const char* assets, const modpack_source& blob);

// Copies a folder's files and sub-folders, except those whose names begin
// with ".", into destination (created): 1, or 0 at the first failure.
int copy_dir(const char* source, const char* destination);
