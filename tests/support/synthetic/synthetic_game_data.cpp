#include "support/synthetic/synthetic_game_data.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "machine/boot_state.h"
#include "machine/game_data.h"

namespace {

constexpr u32 sector_size = 512;
constexpr int sectors_per_track = 10;
constexpr int tracks_per_side = 80;
constexpr u32 side_size = sector_size * sectors_per_track * tracks_per_side;

// ---- The standard layout ------------------------------------------------------

enum class place_by { program, sector, offset };

struct standard_region {
  const char* name;
  const char* holds;
  place_by by;
  u32 where; // RAM address, file offset, or side << 16 | track << 8 | sector
  std::vector<u8> (*content)();
};

std::vector<u8> text_bytes(const char* text) { return {text, text + std::strlen(text)}; }

std::vector<u8> program_head() {
  // A BRA.S over the marker text, so a dump shows which block it is.
  std::vector<u8> b = {0x60, 0x1E};
  const std::vector<u8> t = text_bytes("SYNTHETIC BRAKMOOR PROGRAM    ");
  b.insert(b.end(), t.begin(), t.end());
  return b;
}

std::vector<u8> program_tail() { return text_bytes("END OF PROGRAM. "); }

constexpr u32 program_tail_address = boot_program_address + boot_block_size - 16;

const standard_region standard_regions[] = {
    {"program_head", "the first 32 bytes of the program block: a short branch and a marker text", place_by::program,
     boot_program_address, program_head},
    {"program_tail", "the last 16 bytes of the program block: a marker text", place_by::program,
     program_tail_address, program_tail},
};

// ---- Checksums -------------------------------------------------------------------

// One step of the reflected CRC register backwards.
u32 crc_unshift(u32 s) {
  constexpr u32 poly = 0xEDB88320;
  return (s & 0x80000000u) ? ((s ^ poly) << 1) | 1 : s << 1;
}

// Sets the four bytes at `at` (the last four of the data) so that the
// CRC-32 of the whole is `target`: the bytes are XORed into the register
// and shifted through 32 steps, which is linear and can be undone.
void force_crc_tail(std::vector<u8>& data, u32 target) {
  const size_t at = data.size() - 4;
  const u32 state = ~game_data_crc32(data.data(), at);
  u32 want = ~target;
  for (int i = 0; i < 32; ++i) want = crc_unshift(want);
  const u32 x = state ^ want;
  for (int i = 0; i < 4; ++i) data[at + i] = static_cast<u8>(x >> (8 * i));
}

// Which logical bytes the image maps, one flag per byte.
const std::vector<u8>& logical_map() {
  static const std::vector<u8> map = [] {
    std::vector<u8> m(synth_full_size, 0);
    for (const vellicor_extent& e : vellicor_extents()) std::memset(m.data() + e.logical, 1, e.length);
    return m;
  }();
  return map;
}

bool logically_mapped(u32 offset) { return offset < synth_full_size && logical_map()[offset]; }

bool image_byte_mapped(size_t offset) {
  for (const vellicor_extent& e : vellicor_extents())
    if (offset >= e.image_offset && offset < u64{e.image_offset} + e.length) return true;
  return false;
}

u8 image_filler(size_t offset) { return static_cast<u8>((offset * 40503u + 0x1234u) >> 7); }

// Writes logical bytes [from, from + n) into the image through every
// extent that holds them.
void write_through_extents(std::vector<u8>& image, u32 from, const u8* bytes, u32 n) {
  const u64 end = u64{from} + n;
  for (const vellicor_extent& e : vellicor_extents()) {
    const u64 lo = from > e.logical ? from : e.logical;
    const u64 hi = end < u64{e.logical} + e.length ? end : u64{e.logical} + e.length;
    if (lo >= hi) continue;
    std::memcpy(image.data() + e.image_offset + (lo - e.logical), bytes + (lo - from), hi - lo);
  }
}

std::vector<u8> view_through_extents(const std::vector<u8>& image) {
  std::vector<u8> logical(synth_full_size, 0);
  for (const vellicor_extent& e : vellicor_extents())
    std::memcpy(logical.data() + e.logical, image.data() + e.image_offset, e.length);
  return logical;
}

// The image before its CRC is set; empty when a region cannot be carried.
std::vector<u8> build_image(synth_game_data& g) {
  std::vector<u8> image(synth_image_size);
  for (size_t i = 0; i < image.size(); ++i) image[i] = image_filler(i);

  std::vector<u8> filler(synth_full_size);
  for (u32 i = 0; i < synth_full_size; ++i) filler[i] = logically_mapped(i) ? synth_filler(i) : 0;
  write_through_extents(image, 0, filler.data(), synth_full_size);

  for (const synth_region& r : g.regions) {
    for (u32 i = 0; i < r.bytes.size(); ++i)
      if (!logically_mapped(r.offset + i)) {
        g.error = "region " + r.name + " reaches logical byte " + std::to_string(r.offset + i) +
                  ", which the disk image does not map";
        return {};
      }
    write_through_extents(image, r.offset, r.bytes.data(), static_cast<u32>(r.bytes.size()));
  }

  // Regions whose image bytes are shared with another region's differ in
  // the view: the last one written wins.
  const std::vector<u8> view = view_through_extents(image);
  for (const synth_region& r : g.regions)
    if (std::memcmp(view.data() + r.offset, r.bytes.data(), r.bytes.size()) != 0) {
      g.error = "region " + r.name + " shares disk image bytes with another region";
      return {};
    }
  return image;
}

} // namespace

bool synth_program_offset(u32 ram_address, u32 length, u32& offset) {
  if (ram_address < boot_program_address || length > boot_block_size ||
      ram_address - boot_program_address > boot_block_size - length)
    return false;
  offset = boot_block_offset + (ram_address - boot_program_address);
  return true;
}

bool synth_sector_offset(int side, int track, int sector, u32& offset) {
  if (side < 0 || side > 1 || track < 0 || track >= tracks_per_side || sector < 1 || sector > sectors_per_track)
    return false;
  offset = static_cast<u32>(side) * side_size + static_cast<u32>(track) * sector_size * sectors_per_track +
           static_cast<u32>(sector - 1) * sector_size;
  return true;
}

bool synth_place(synth_game_data& g, const std::string& name, const std::string& holds, u32 offset,
                 std::span<const u8> bytes) {
  if (bytes.empty()) {
    g.error = "region " + name + " is empty";
    return false;
  }
  if (offset >= synth_full_size || bytes.size() > synth_full_size - offset) {
    g.error = "region " + name + " runs past the end of the logical file";
    return false;
  }
  const u64 end = u64{offset} + bytes.size();
  for (const synth_region& r : g.regions)
    if (offset < r.offset + r.bytes.size() && r.offset < end) {
      g.error = "region " + name + " overlaps region " + r.name;
      return false;
    }
  g.regions.push_back({name, holds, offset, {bytes.begin(), bytes.end()}});
  return true;
}

bool synth_place_at_program(synth_game_data& g, const std::string& name, const std::string& holds,
                            u32 ram_address, std::span<const u8> bytes) {
  u32 offset = 0;
  if (!synth_program_offset(ram_address, static_cast<u32>(bytes.size()), offset)) {
    g.error = "region " + name + " does not lie inside the program block";
    return false;
  }
  return synth_place(g, name, holds, offset, bytes);
}

bool synth_place_at_sector(synth_game_data& g, const std::string& name, const std::string& holds, int side,
                           int track, int sector, std::span<const u8> bytes) {
  u32 offset = 0;
  if (!synth_sector_offset(side, track, sector, offset)) {
    g.error = "region " + name + " names no sector of the disk";
    return false;
  }
  return synth_place(g, name, holds, offset, bytes);
}

synth_game_data synth_standard() {
  synth_game_data g;
  for (const standard_region& s : standard_regions) {
    const std::vector<u8> bytes = s.content();
    bool ok = false;
    switch (s.by) {
      case place_by::program: ok = synth_place_at_program(g, s.name, s.holds, s.where, bytes); break;
      case place_by::sector:
        ok = synth_place_at_sector(g, s.name, s.holds, static_cast<int>(s.where >> 16),
                                   static_cast<int>((s.where >> 8) & 0xFF), static_cast<int>(s.where & 0xFF), bytes);
        break;
      case place_by::offset: ok = synth_place(g, s.name, s.holds, s.where, bytes); break;
    }
    if (!ok) {
      std::fprintf(stderr, "synthetic game data: %s\n", g.error.c_str());
      std::abort();
    }
  }
  return g;
}

const synth_region* synth_find(const synth_game_data& g, const std::string& name) {
  for (const synth_region& r : g.regions)
    if (r.name == name) return &r;
  return nullptr;
}

u8 synth_filler(u32 offset) { return static_cast<u8>((offset * 2654435761u) >> 24); }

std::vector<u8> synth_logical_file(synth_game_data& g) {
  const std::vector<u8> image = build_image(g);
  if (image.empty()) return {};
  return view_through_extents(image);
}

std::vector<u8> synth_bkm(synth_game_data& g, size_t size) {
  std::vector<u8> logical = synth_logical_file(g);
  if (logical.empty()) return {};
  if (size < logical.size()) logical.resize(size);
  return logical;
}

std::vector<u8> synth_image(synth_game_data& g) {
  std::vector<u8> image = build_image(g);
  if (image.empty()) return {};
  for (size_t i = image.size() - 4; i < image.size(); ++i)
    if (image_byte_mapped(i)) {
      g.error = "the bytes that set the image's CRC are mapped";
      return {};
    }
  force_crc_tail(image, vellicor_image_crc);
  return image;
}

void synth_force_crc(std::vector<u8>& bytes, u32 crc) {
  if (bytes.size() >= 4) force_crc_tail(bytes, crc);
}

bool synth_write(const std::string& path, const std::vector<u8>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();  // a write that fails only when the buffer goes out fails here
  return static_cast<bool>(out);
}
