// The music packs offered for the game's music: "@atari" (the chip music;
// choosing it turns pack music off), "@amiga" (the Amiga version's music,
// when its disk file is there), the music root itself when it holds songs
// (the pack with the empty name), and each folder of songs under the root.
// Main thread only: start-up, the option menus.
#pragma once
#include <cstddef>

constexpr int max_packs = 32;
constexpr int pack_name_size = 80;

// The pack used while pack music is on (option "music_pack").
extern char music_pack[pack_name_size];

// Rebuilds the list from the music root; "@amiga" is asked of the game
// data folder (game_dir) through the Amiga player's finder.
void scan_packs(const char* root, const char* game_dir);
int pack_count();
// "" when i is outside the list.
const char* pack_name(int i);
// Index of the first case-insensitive match, -1 when none.
int pack_find(const char* name);
// The pack's folder: the root for the empty name, else root/name.
void pack_dir(const char* root, const char* name, char* out, size_t size);
// Sets music_pack to a pack that is valid now: the listed spelling of a
// match other than "@atari", else "arrange" when listed, else the first
// pack other than "@atari", else the name as given.
void pack_resolve(const char* name);
