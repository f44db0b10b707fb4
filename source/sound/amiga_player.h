// The Amiga music player: a small Amiga around the recompiled replay. It
// loads the music block from the user's Amiga disk file into 512 KB of
// Amiga memory, calls the replay's entries on the game's register globals
// (giving them back afterwards), emulates Paula's four audio channels with
// their DMA, the audio-filter bit of CIA-A port A and the CIA timer that
// ticks the replay, and renders 44,100 Hz stereo 16-bit frames for the
// per-VBL audio assembly. Emulation thread only, except amiga_music_find.
#pragma once
#include "machine/types.h"

struct music_entry_table;

constexpr int amiga_memory_size = 524288;
constexpr int amiga_block_size = 61166;
constexpr double paula_clock = 3546895.0;
constexpr double cia_clock = 709379.0;
constexpr int cia_tick_period = 14081;
constexpr int paula_min_period = 113;
constexpr double amiga_filter_corner = 4500.0;
// Where the entry's return address is stored; a7 at every call.
constexpr u32 amiga_stack_top = 0x7EFFC;
constexpr u32 amiga_return_marker = 0x00DEAD00;

// The Amiga memory (null until the player opens).
extern u8* amem;

// 1 with the path of a usable Amiga disk file in folder (cached for the
// last folder asked); 0 when there is none.
int amiga_music_find(const char* folder, char* out, int size);
int amiga_music_open(const char* path, int rate);
int amiga_music_ready();
// n 0..7 starts tune n; anything else stops.
void amiga_music_play(int n);
// Runs the replay forward by the ticks that fall in that many output frames.
void amiga_music_skip(int frames);
int amiga_music_playing();
// count stereo frames (left, right) into out; silence while closed.
void amiga_music_render(int count, i16* out);

// Fills the Amiga entries of the music-source table.
void amiga_music_entries(music_entry_table& table);

// Opens the player on a block already in memory (amiga_music_open after the
// disk reader); also used by tests, which may open it again to start over.
int amiga_player_load(const u8* block, int rate);
// Tests only: closes the player and frees the Amiga memory.
void amiga_player_forget();

// Calls a replay routine as the player does: every register global saved,
// a7 at the Amiga stack with the return marker, d0 = value, supervisor;
// then every global restored.
void am_call(u32 routine, u32 d0_value);

// Called by the replay routines.
u32 am_io_read(u32 address, int size);
void am_io_write(u32 address, int size, u32 value);
void am_call_dynamic(u32 address);
void cpu_trap_zerodiv();
