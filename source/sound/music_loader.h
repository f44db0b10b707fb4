// Music loader and looper. A music pack replaces the chip music with
// recorded songs: the game's tune number names one of 16 song slots, whose
// file in the pack folder is decoded whole on a thread of its own into
// 44,100 Hz stereo 16-bit PCM (at most two songs at a time), with optional
// loop points from a text file beside it. A prefetch thread decodes the usual songs in advance. A
// folder switch discards everything; loads still running for the old
// folder are thrown away when they arrive (the generation number).
//
// The emulation thread alone reads the PCM and switches folders, so PCM is
// never freed while it is read; every field is under the loader's lock.
#pragma once
#include <atomic>
#include <cstddef>

#include "machine/types.h"

struct music_loader;

constexpr int music_slots = 16;
enum music_slot_state { SLOT_NONE = 0, SLOT_LOADING = 1, SLOT_READY = 2, SLOT_FAILED = 3 };

music_loader* music_new(const char* folder);
// New folder: every slot back to none, its PCM freed; running loads are void.
void music_set_dir(music_loader* loader, const char* folder);
// Starts the prefetch thread once per folder.
void music_prefetch(music_loader* loader);
// The slot's PCM and frame count when ready; a slot never asked for starts
// loading. Null while loading, failed, or for a slot outside 0..15.
const i16* music_get(music_loader* loader, int slot, int* frames);
// 1 with the loop start and loop-back frame when the slot is ready and has them.
int music_loop_points(music_loader* loader, int slot, int* start, int* back);
// 1 while the slot loads, or has not been asked for and has a file.
int music_pending(music_loader* loader, int slot);
// The slot's state (music_slot_state).
int music_slot_state_of(music_loader* loader, int slot);

// The song file of a slot in a folder: name by slot, the first of ".mp3",
// ".ogg", ".wav" that exists. 0 when none does.
int music_find_path(const char* folder, int slot, char* out, size_t size);
// The slot's file name without extension ("mission", "map", ..., "song8").
const char* music_slot_name(int slot);

// Loop points file of a song: its path up to the last '.', then ".txt".
void loop_points_file(const char* song_path, char* out, size_t size);
// A larger loop points file is not read: it holds two short lines.
constexpr size_t loop_points_largest_file = 64 << 10;
// Reads "loop point start" / "loop point back" lines; bit 0 of the result
// says start was found, bit 1 back.
int loop_points_parse(const char* text, size_t size, i64* start, i64* back);
// The song's loop points in its trimmed 44,100 Hz frames, checked against
// its length; 0 when it has none (an invalid pair is logged).
int read_loop_points(const char* song_path, int lead_in, int frames, int file_rate, int* start, int* back);

// Loopers: copy n stereo frames from pcm (frames long) into out, advancing
// pos. Once: silence after the end, returns 1 when pos has reached it.
// Repeat: the whole song over and over. Loop points: from back to start.
int looper_take_once(int* pos, const i16* pcm, int frames, int n, i16* out);
void looper_take(int* pos, const i16* pcm, int frames, int n, i16* out);
void looper_take_lp(int* pos, const i16* pcm, int frames, int start, int back, int n, i16* out);

// Fills the music-pack part of music_entries with the functions above.
void music_loader_install();

// At most this many songs are decoded at once, for all loaders together (a
// song being decoded holds its file and its output): the prefetch and the
// game's requests wait for their turn.
constexpr int music_decodes_at_once = 2;

// Test seam: called on the loading thread with the song's path when it must
// wait for its turn to decode (music_load_waits), right before it decodes
// (music_load_begins, in its turn), and after its result was stored or
// thrown away, still in its turn (music_load_ended; also when the folder
// changed while it waited, without beginning). Null in the program.
enum music_load_stage { music_load_begins = 0, music_load_ended = 1, music_load_waits = 2 };
extern std::atomic<void (*)(const char* path, int stage)> music_load_observer;
