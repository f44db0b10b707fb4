// The music-pack list. A folder under the music root counts as a pack when
// it holds a file that looks like a song, also one of a kind the loader
// cannot decode (such a pack plays the chip music).
#include "sound/music_pack.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "host/platform.h"
#include "sound/music_entries.h"

char music_pack[pack_name_size] = "arrange";

namespace {

// A struct, so that the list can be sorted.
struct pack_entry {
  char name[pack_name_size];
};
pack_entry packs[max_packs];
int npacks;

constexpr const char* song_extensions[] = {"mp3", "ogg", "wav", "wma", "m4a"};

bool looks_like_song(const char* file) {
  const char* dot = std::strrchr(file, '.');
  if (!dot) return false;
  for (const char* ext : song_extensions)
    if (strcasecmp(dot + 1, ext) == 0) return true;
  return false;
}

int find_song(const char* name, void* found) {
  if (!looks_like_song(name)) return 1;
  *static_cast<bool*>(found) = true;
  return 0;
}

bool holds_songs(const char* folder) {
  bool found = false;
  port_list_files(folder, "", find_song, &found);
  return found;
}

void add(const char* name) {
  if (npacks < max_packs) std::snprintf(packs[npacks++].name, pack_name_size, "%s", name);
}

struct folder_scan {
  const char* root;
};

int add_folder(const char* name, void* user) {
  if (npacks >= max_packs) return 0;
  // A name that does not fit the list could not be found again.
  if (name[0] == '.' || std::strlen(name) >= pack_name_size) return 1;
  char path[1024];
  if (!path_join(path, sizeof path, static_cast<folder_scan*>(user)->root, name)) return 1;
  if (holds_songs(path)) add(name);
  return 1;
}

bool before(const char* a, const char* b) {
  const int c = strcasecmp(a, b);
  return c != 0 ? c < 0 : std::strcmp(a, b) < 0;
}

} // namespace

void scan_packs(const char* root, const char* game_dir) {
  npacks = 0;
  add("@atari");
  char disk[1024];
  if (music_entries.amiga_find && music_entries.amiga_find(game_dir, disk, sizeof disk)) add("@amiga");
  if (holds_songs(root)) add("");
  const int first_folder = npacks;
  folder_scan scan{root};
  port_list_dirs(root, add_folder, &scan);
  std::sort(packs + first_folder, packs + npacks, [](const pack_entry& a, const pack_entry& b) { return before(a.name, b.name); });
}

int pack_count() { return npacks; }

const char* pack_name(int i) { return i >= 0 && i < npacks ? packs[i].name : ""; }

int pack_find(const char* name) {
  for (int i = 0; i < npacks; ++i)
    if (strcasecmp(packs[i].name, name) == 0) return i;
  return -1;
}

void pack_dir(const char* root, const char* name, char* out, size_t size) {
  if (!name[0])
    std::snprintf(out, size, "%s", root);
  else
    std::snprintf(out, size, "%s/%s", root, name);
}

void pack_resolve(const char* name) {
  const char* chosen = name;
  const int i = pack_find(name);
  const int arrange = pack_find("arrange");
  if (i >= 0 && std::strcmp(packs[i].name, "@atari") != 0)
    chosen = packs[i].name;
  else if (arrange >= 0)
    chosen = packs[arrange].name;
  else
    for (int k = 0; k < npacks; ++k)
      if (std::strcmp(packs[k].name, "@atari") != 0) {
        chosen = packs[k].name;
        break;
      }
  if (chosen == music_pack) return;
  // Longer names are cut to the option's size.
  const size_t n = std::min(std::strlen(chosen), sizeof music_pack - 1);
  std::memmove(music_pack, chosen, n);
  music_pack[n] = '\0';
}
