// Game data source: selection of "BKM" or a Vellicor disk image in the
// game-data folder, identification by CRC-32, and reads of the logical
// game data file through the image's table of extents.
#include "machine/game_data.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/platform.h"

namespace {

// The extents as runs: within a run each further entry lies $1400 further
// in the logical file and $2800 further in the image (the image interleaves
// the two sides track by track), with the same length.
struct extent_run {
  u32 logical;
  u32 image_offset;
  u32 length;
  int count;
};
constexpr u32 run_logical_step = 0x1400;
constexpr u32 run_image_step = 0x2800;

constexpr extent_run extent_runs[] = {
    {0x00400, 0x003FE, 0x0E00, 1},  {0x01200, 0x01200, 0x0200, 1},  {0x01400, 0x02800, 0x1400, 45},
    {0x39800, 0x70A00, 0x0C00, 1},  {0x3A400, 0x73C00, 0x0800, 1},  {0x3AC00, 0x75800, 0x1400, 14},
    {0x4C400, 0x98800, 0x0800, 1},  {0x4CE00, 0x99200, 0x0A00, 1},  {0x4D800, 0x9B000, 0x1400, 2},
    {0x50000, 0x003FE, 0x0E00, 1},  {0x50E00, 0x003FE, 0x0600, 1},  {0x51400, 0xA2800, 0x1400, 12},
    {0x60400, 0x003FE, 0x0E00, 1},  {0x61200, 0x003FE, 0x0E00, 1},  {0x62000, 0x003FE, 0x0C00, 1},
    {0x62C00, 0x01400, 0x0A00, 1},  {0x63600, 0x003FE, 0x0200, 1},  {0x63800, 0x01400, 0x0600, 1},
    {0x65400, 0x03C00, 0x1400, 15}, {0xC7600, 0x003FE, 0x0A00, 1},
};

constexpr std::array<vellicor_extent, vellicor_extent_count> expand_extents() {
  std::array<vellicor_extent, vellicor_extent_count> out{};
  int n = 0;
  for (const extent_run& r : extent_runs)
    for (int i = 0; i < r.count; ++i)
      out[n++] = {r.logical + static_cast<u32>(i) * run_logical_step,
                  r.image_offset + static_cast<u32>(i) * run_image_step, r.length};
  return out;
}
constexpr auto extents = expand_extents();

constexpr u64 mapped_bytes() {
  u64 sum = 0;
  for (const vellicor_extent& e : extents) sum += e.length;
  return sum;
}
static_assert(mapped_bytes() == vellicor_mapped_size);
static_assert(extents[vellicor_extent_count - 1].logical + extents[vellicor_extent_count - 1].length ==
              vellicor_logical_size);
constexpr bool extents_inside_image() {
  for (const vellicor_extent& e : extents)
    if (u64{e.image_offset} + e.length > vellicor_image_size) return false;
  return true;
}
static_assert(extents_inside_image());

constexpr std::array<u32, 256> make_crc_table() {
  std::array<u32, 256> t{};
  for (u32 i = 0; i < 256; ++i) {
    u32 c = i;
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ ((c & 1) ? 0xEDB88320u : 0u);
    t[i] = c;
  }
  return t;
}
constexpr auto crc_table = make_crc_table();

constexpr size_t desc_size = 400;
constexpr size_t error_size = 256;
constexpr size_t path_size = 1024;
constexpr const char* not_selected = "Game data has not been selected";

struct free_deleter {
  void operator()(char* p) const { std::free(p); }
};
using file_bytes = std::unique_ptr<char, free_deleter>;

struct selection {
  file_bytes data;
  u64 size = 0;
  bool is_vellicor = false;
  char desc[desc_size] = "";
  char error[error_size] = "";
  long long short_bkm = -1;  // a "BKM" too short to be the game's, its size
};
selection source = [] {
  selection s;
  std::snprintf(s.error, sizeof s.error, "%s", not_selected);
  return s;
}();

// The size of a regular file at path; -1 for anything else (missing, a
// folder, a pipe or a device, whose reading could block for ever).
long long regular_file_size(const char* path) {
  struct stat info;
  if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return static_cast<long long>(info.st_size);
}

int collect_name(const char* name, void* user) {
  static_cast<std::vector<std::string>*>(user)->emplace_back(name);
  return 1;
}

// The accepted image: its bytes, its path and its name.
struct image_found {
  file_bytes data;
  char path[path_size] = "";
  char name[path_size] = "";
};

// Accepts a ".st" file of the right size and CRC.
bool inspect_vellicor_image(const char* directory, const char* name, image_found& found) {
  char path[path_size];
  if (!path_join(path, sizeof path, directory, name)) return false;
  // The size decides before anything is read: a large file in the folder is
  // passed over without being loaded into memory.
  if (regular_file_size(path) != static_cast<long long>(vellicor_image_size)) return false;
  size_t size = 0;
  file_bytes bytes(read_file(path, &size, vellicor_image_size));
  if (!bytes || size != vellicor_image_size) return false;
  if (game_data_crc32(bytes.get(), size) != vellicor_image_crc) return false;
  found.data = std::move(bytes);
  std::snprintf(found.path, sizeof found.path, "%s", path);
  std::snprintf(found.name, sizeof found.name, "%s", name);
  return true;
}

// Takes the images in name order, so that the same folder gives the same
// choice on every file system.
bool find_vellicor_image(const char* directory, image_found& found) {
  std::vector<std::string> names;
  port_list_files(directory, ".st", collect_name, &names);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names)
    if (inspect_vellicor_image(directory, name.c_str(), found)) return true;
  return false;
}

// Selects "BKM" when it is a regular file long enough to hold the program
// block. Anything else of that name is passed over with a log line; the
// type and size are looked at first, as reading a pipe or a device could
// block the start-up for ever.
bool select_bkm(const char* path) {
  const long long on_disk = regular_file_size(path);
  if (on_disk < 0) {
    if (access(path, F_OK) == 0) host_log("Game data: original/BKM is not a regular file");
    return false;
  }
  size_t size = static_cast<size_t>(on_disk);
  file_bytes bytes;
  if (size >= bkm_min_size) {
    bytes.reset(read_file(path, &size, bkm_largest));
    if (!bytes) {
      host_log("Game data: original/BKM cannot be read");
      return false;
    }
  }
  // Checked again after the read: the file may have shrunk meanwhile.
  if (size < bkm_min_size) {
    host_log("Game data: original/BKM is too short (%u bytes)", static_cast<unsigned>(size));
    source.short_bkm = static_cast<long long>(size);
    return false;
  }
  const u32 crc = game_data_crc32(bytes.get(), size);
  const bool usual = crc == bkm_usual_crc;
  std::snprintf(source.desc, sizeof source.desc, "BKM  (CRC32 %08X%s)", crc, usual ? "" : ", not the usual one");
  if (usual)
    host_log("Game data: original/BKM (CRC32 %08X)", crc);
  else
    host_log("Game data: original/BKM (CRC32 %08X; keeping legacy size-based compatibility)", crc);
  source.data = std::move(bytes);
  source.size = size;
  return true;
}

} // namespace

std::span<const vellicor_extent> vellicor_extents() { return extents; }

u32 game_data_crc32(const void* data, size_t size) {
  const u8* p = static_cast<const u8*>(data);
  u32 c = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) c = crc_table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void game_data_release() {
  source.data.reset();
  source.size = 0;
  source.is_vellicor = false;
  source.desc[0] = 0;
  source.error[0] = 0;
  source.short_bkm = -1;
}

int game_data_init(const char* directory) {
  game_data_release();
  if (!directory) directory = "";

  char path[path_size];
  if (path_join(path, sizeof path, directory, "BKM") && select_bkm(path)) return 1;

  image_found image;
  if (find_vellicor_image(directory, image)) {
    source.data = std::move(image.data);
    source.size = vellicor_image_size;
    source.is_vellicor = true;
    std::snprintf(source.desc, sizeof source.desc, "%.380s  (CRC32 %08X)", image.name, vellicor_image_crc);
    host_log("Game data: direct Vellicor image %s (CRC32 %08X; %u/%u logical bytes mapped)", image.path,
             vellicor_image_crc, static_cast<unsigned>(vellicor_mapped_size),
             static_cast<unsigned>(vellicor_logical_size));
    return 1;
  }

  std::snprintf(source.error, sizeof source.error,
                "No supported game data found. Expected original/BKM or a Vellicor .st image (CRC32 %08X) "
                "in original/.",
                vellicor_image_crc);
  return 0;
}

const char* game_data_description() { return source.desc; }

long long game_data_short_bkm() { return source.short_bkm; }

const char* game_data_error() { return source.error[0] ? source.error : "Game data is unavailable"; }

u64 game_data_size() {
  if (!source.data) return 0;
  return source.is_vellicor ? vellicor_logical_size : source.size;
}

u64 game_data_read(u64 offset, void* destination, u64 length) {
  if (!source.data || !destination) return 0;
  const u64 size = game_data_size();
  if (offset >= size) return 0;
  if (length > size - offset) length = size - offset;
  u8* out = static_cast<u8*>(destination);
  const u8* bytes = reinterpret_cast<const u8*>(source.data.get());
  if (!source.is_vellicor) {
    std::memcpy(out, bytes + offset, length);
    return length;
  }
  std::memset(out, 0, length);
  const u64 end = offset + length;
  for (const vellicor_extent& e : extents) {
    const u64 from = offset > e.logical ? offset : e.logical;
    const u64 to = end < u64{e.logical} + e.length ? end : u64{e.logical} + e.length;
    if (from >= to) continue;
    std::memcpy(out + (from - offset), bytes + e.image_offset + (from - e.logical), to - from);
  }
  return length;
}
