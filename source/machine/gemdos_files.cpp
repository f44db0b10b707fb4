// GEMDOS files: the handle table, path resolution under the game folder,
// and Fopen, Fclose, Fread, Fseek and Dsetpath. The game folder stands for
// the game's disk: every path is resolved from it downwards, ".." is never
// found, and files open read-only.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/platform.h"
#include "machine/game_data.h"
#include "machine/gemdos.h"
#include "machine/memory.h"
#include "machine/tos.h"

namespace {

constexpr size_t host_path_max = 699;
constexpr size_t virtual_candidate_limit = 300;
constexpr u32 handle_limit = gemdos_handle_count - 1;

FILE* files[gemdos_handle_count];
u8 virtual_files[gemdos_handle_count];
u32 virtual_positions[gemdos_handle_count];
int next_handle = gemdos_first_handle;

bool tracing() { return std::getenv("BKM_FOPEN") != nullptr; }

char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool equal_nocase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (ascii_upper(*a) != ascii_upper(*b)) return false;
  return *a == *b;
}

bool ends_with_nocase(const std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return s.size() >= n && equal_nocase(s.c_str() + s.size() - n, suffix);
}

bool in_use(int h) { return files[h] != nullptr || virtual_files[h] != 0; }

// The next free handle from next_handle on, wrapping to 6 past the top;
// -1 when all are open.
int take_handle() {
  const int span = gemdos_handle_count - gemdos_first_handle;
  for (int i = 0; i < span; ++i) {
    const int h = gemdos_first_handle + (next_handle - gemdos_first_handle + i) % span;
    if (!in_use(h)) {
      next_handle = h + 1 > static_cast<int>(handle_limit) ? gemdos_first_handle : h + 1;
      return h;
    }
  }
  return -1;
}

struct entry_search {
  const char* wanted;
  std::string found;
};

int match_entry(const char* name, void* user) {
  auto* search = static_cast<entry_search*>(user);
  if (!equal_nocase(name, search->wanted)) return 1;
  search->found = name;
  return 0;
}

// The first entry of the folder whose name equals `name` without regard to
// ASCII case, as spelled on disk; empty when there is none.
std::string ci_find_entry(const std::string& folder, const std::string& name) {
  entry_search search{name.c_str(), {}};
  port_list_entries(folder.c_str(), -1, nullptr, match_entry, &search);
  return search.found;
}

// Drops a drive prefix ("A:").
const char* without_drive(const char* name) { return name[0] && name[1] == ':' ? name + 2 : name; }

// The game's name as a host path under game_dir; false when a component is
// missing, the game folder is unset, or the result would be too long.
bool resolve_path(const char* name, std::string& out) {
  if (!tos.game_dir[0]) return false;
  name = without_drive(name);
  std::string rel;
  if (name[0] == '\\' || name[0] == '/' || !tos.path[0])
    rel = name;
  else
    rel = std::string(tos.path) + "/" + name;
  for (char& c : rel)
    if (c == '\\') c = '/';

  std::string host = tos.game_dir;
  size_t i = 0;
  while (i < rel.size()) {
    while (i < rel.size() && rel[i] == '/') ++i;
    size_t end = rel.find('/', i);
    if (end == std::string::npos) end = rel.size();
    const std::string component = rel.substr(i, end - i);
    i = end;
    for (size_t p = 0; p < component.size(); p += gemdos_name_max) {
      const std::string piece = component.substr(p, gemdos_name_max);
      if (piece == ".") continue;
      const std::string found = ci_find_entry(host, piece);
      if (found.empty()) return false;
      host += "/";
      host += found;
      if (host.size() > host_path_max) return false;
    }
  }
  out = host;
  return true;
}

// Whether the game names its data file, in whatever spelling.
bool is_virtual_name(const char* name) {
  name = without_drive(name);
  std::string candidate;
  if (name[0] == '\\' || name[0] == '/' || !tos.path[0])
    candidate = name;
  else
    candidate = std::string(tos.path) + "/" + name;
  if (candidate.size() >= virtual_candidate_limit) return false;
  for (char& c : candidate)
    if (c == '\\') c = '/';
  const size_t start = candidate.find_first_not_of('/');
  if (start == std::string::npos) return false;
  return equal_nocase(candidate.c_str() + start, virtual_game_file);
}

} // namespace

i32 gemdos_fopen(const char* name) {
  if (!name) return gemdos_file_not_found;
  if (game_data_size() > 0 && is_virtual_name(name)) {
    const int h = take_handle();
    if (h < 0) return gemdos_file_not_found;
    virtual_files[h] = 1;
    virtual_positions[h] = 0;
    if (tracing()) host_log_file("Fopen %s -> h%d (selected original data, vbl %u)", name, h, tos.vbl);
    return h;
  }

  std::string host;
  if (!resolve_path(name, host) || !file_exists(host.c_str())) return gemdos_file_not_found;
  if (host.size() > 3 && ends_with_nocase(host, ".HST")) return gemdos_file_not_found;
  const int h = take_handle();
  if (h < 0) return gemdos_file_not_found;
  FILE* f = std::fopen(host.c_str(), "rb");
  if (!f) return gemdos_file_not_found;
  files[h] = f;
  if (tracing()) host_log_file("Fopen %s -> h%d (vbl %u)", host.c_str(), h, tos.vbl);
  return h;
}

i32 gemdos_fclose(u32 handle) {
  if (tracing()) host_log_file("Fclose h%u (vbl %u)", handle, tos.vbl);
  if (handle > handle_limit) return 0;
  if (files[handle]) std::fclose(files[handle]);
  files[handle] = nullptr;
  virtual_files[handle] = 0;
  virtual_positions[handle] = 0;
  return 0;
}

i32 gemdos_fread(u32 handle, u32 count, u32 buffer) {
  if (handle > handle_limit || !in_use(static_cast<int>(handle))) return gemdos_file_not_found;
  u32 n = 0;
  if (u64{buffer} + count <= ram_size)
    n = count;
  else if (buffer < ram_size)
    n = ram_size - buffer;

  u32 got = 0;
  if (virtual_files[handle]) {
    u8* destination = n > 0 ? ram + buffer : ram;
    got = static_cast<u32>(game_data_read(virtual_positions[handle], destination, n));
    virtual_positions[handle] += got;
  } else if (n > 0) {
    got = static_cast<u32>(std::fread(ram + buffer, 1, n, files[handle]));
  }
  if (tracing()) host_log_file("Fread h%u n=%u -> $%X got=%u (vbl %u)", handle, n, buffer, got, tos.vbl);
  return static_cast<i32>(got);
}

i32 gemdos_fseek(i32 offset, u32 handle, u32 mode) {
  if (handle > handle_limit) return gemdos_file_not_found;
  if (virtual_files[handle]) {
    i64 base = 0;
    if (mode == 1)
      base = virtual_positions[handle];
    else if (mode != 0)
      base = static_cast<i64>(game_data_size());
    const i64 target = base + offset;
    if (target < 0 || target >= (i64{1} << 32)) return gemdos_error;
    virtual_positions[handle] = static_cast<u32>(target);
    return static_cast<i32>(static_cast<u32>(target));
  }
  if (FILE* f = files[handle]) {
    const int whence = mode == 0 ? SEEK_SET : mode == 1 ? SEEK_CUR : SEEK_END;
    if (std::fseek(f, offset, whence) != 0) return gemdos_error;
    const long pos = std::ftell(f);
    if (pos < 0) return gemdos_error;
    return static_cast<i32>(static_cast<u32>(pos));
  }
  return gemdos_file_not_found;
}

i32 gemdos_dsetpath(const char* name) {
  std::string host;
  if (!name || !resolve_path(name, host) || !dir_exists(host.c_str())) return gemdos_path_not_found;
  size_t start = std::strlen(tos.game_dir);
  while (start < host.size() && (host[start] == '/' || host[start] == '\\')) ++start;
  const std::string rel = host.substr(start);
  // A cut path would name another folder: refuse it instead.
  if (rel.size() > static_cast<size_t>(tos_path_size - 1)) return gemdos_path_not_found;
  std::memcpy(tos.path, rel.c_str(), rel.size() + 1);
  return 0;
}

void gemdos_close_all() {
  for (int h = 0; h < gemdos_handle_count; ++h) {
    if (files[h]) std::fclose(files[h]);
    files[h] = nullptr;
    virtual_files[h] = 0;
    virtual_positions[h] = 0;
  }
  next_handle = gemdos_first_handle;
}
