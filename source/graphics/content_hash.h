// Content hash of pictures: BLAKE2b (RFC 7693) with a 6-byte digest over the
// picture's size and palette indices, printed as 12 lower-case hex digits.
// The graphics dump writes these hashes into its index and the graphics packs
// compute them again at run time, so the exact bytes hashed are part of the
// file format.
#pragma once

#include <cstddef>
#include <cstdint>

struct sprite;

// Printed hash: 12 hex digits and a NUL.
inline constexpr size_t GFX_HASH_TEXT = 13;

struct b2_state {
    uint64_t h[8];
    uint64_t t[2];   // bytes compressed so far
    uint8_t buf[128];
    size_t buflen;
};

void b2_init(b2_state* s);
void b2_update(b2_state* s, const void* bytes, size_t length);
// Finishes the hash and writes 12 hex digits and a NUL into out.
void b2_hex(b2_state* s, char* out);
void b2_compress(b2_state* s, const uint8_t* block, int last);

// Hash of a sprite: height and width (16-bit little-endian), the indices,
// then the mask.
void gfx_sprite_hash(const sprite* spr, char* out);
// Hash of rows x row_length index bytes: row count and row length (32-bit
// little-endian), then the bytes.
void gfx_array_hash(const uint8_t* data, int rows, int row_length, char* out);
