// Synthetic game data for tests. We never have the game's own data, so the
// tests build a stand-in: a logical game data file of invented content
// laid out where the game expects its parts, written either as "BKM"
// (minimal or full size) or as a Vellicor-style ".st" disk image that maps
// the same logical file through the image's extents and carries the
// expected CRC-32.
//
// Content is placed as regions: by 68k RAM address inside the program block
// (which the boot state copies to $2C00), by side/track/sector on the
// logical disk (the game loader's geometry), or by plain file offset. Every
// region names what it holds; regions may not overlap, and every region
// must lie in bytes that the disk image carries. Bytes outside the regions
// hold a filler that differs from offset to offset (see synth_filler), so a
// read from a wrong place shows.
//
// The standard layout (synth_standard) is a table in the .cpp; later
// features add rows there or place their own regions in their tests.
#pragma once
#include <span>
#include <string>
#include <vector>

#include "machine/types.h"

constexpr size_t synth_minimal_size = 392828; // just the program block's end
constexpr size_t synth_full_size = 819200;    // the whole logical disk
constexpr size_t synth_image_size = 829440;

struct synth_region {
  std::string name;  // short name for messages
  std::string holds; // what the region holds, for the reader of a test
  u32 offset;        // in the logical game data file
  std::vector<u8> bytes;
};

struct synth_game_data {
  std::vector<synth_region> regions;
  std::string error; // why the last placement or build was refused
};

// Where places lie in the logical file.
// A 68k address inside the program block ($2C00 .. $2C00 + 60,000).
bool synth_program_offset(u32 ram_address, u32 length, u32& offset);
// Side 0/1, track 0-79, sector 1-10, 512-byte sectors.
bool synth_sector_offset(int side, int track, int sector, u32& offset);

// Each returns false, with error set and nothing placed, when the region
// lies outside its area, overlaps a region already placed, or is empty.
bool synth_place(synth_game_data& g, const std::string& name, const std::string& holds, u32 offset,
                 std::span<const u8> bytes);
bool synth_place_at_program(synth_game_data& g, const std::string& name, const std::string& holds,
                            u32 ram_address, std::span<const u8> bytes);
bool synth_place_at_sector(synth_game_data& g, const std::string& name, const std::string& holds, int side,
                           int track, int sector, std::span<const u8> bytes);

// The regions every synthetic data file carries.
synth_game_data synth_standard();
const synth_region* synth_find(const synth_game_data& g, const std::string& name);

// The filler byte at a logical offset that no region covers.
u8 synth_filler(u32 offset);

// The logical file (819,200 bytes) exactly as the disk image gives it:
// unmapped bytes are 0. Empty, with error set, when a region is not carried
// by the image (unmapped, or sharing image bytes with different content).
std::vector<u8> synth_logical_file(synth_game_data& g);
// "BKM": the first `size` bytes of the logical file (size at most 819,200).
std::vector<u8> synth_bkm(synth_game_data& g, size_t size = synth_full_size);
// The disk image with CRC-32 $F6E84D7A; four bytes that no extent maps are
// chosen to give it.
std::vector<u8> synth_image(synth_game_data& g);

// Sets the last four bytes so that the CRC-32 of the whole is `crc`.
void synth_force_crc(std::vector<u8>& bytes, u32 crc);

// Writes the bytes to a file; false when it cannot.
bool synth_write(const std::string& path, const std::vector<u8>& bytes);
