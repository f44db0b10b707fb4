// Per-VBL audio assembly and the sound hooks. Once per emulated VBL the VBL
// step calls audio_chunk, which turns the YM writes that the machine logged
// during that VBL into one chunk of 44,100 Hz stereo frames: the chip
// emulation, the sample mixer, replacement music in place of the chip
// music, part and master volumes, then the audio output. The hooks follow
// the game's sound driver (song start and stop, muting the chip music while
// replacement music plays, the effect base, the sample player's writes and
// triggers). Everything runs on the emulation thread without locks.
#pragma once
#include "machine/types.h"

struct audio_output;

// What the emulation start hands over (its start record and folders).
struct audio_config {
  int audio_on = 1;
  int sfx_multi = 0;
  int sfx_pan = 0;
  int mp3_on = 0;
  double vol = 1.0;
  audio_output* output = nullptr; // null: nothing is pushed
  const char* music_dir = "";
  const char* game_dir = "";  // searched for an Amiga disk file
};

// Emulation start: the music loader and source, the chip loaded from the
// machine's registers, the options, the mixer options, and the hooks.
// BKM_SONG=n starts song n at once.
void audio_start(const audio_config& config);
// Closes the audio dump and frees the chip (shut-down, after the emulation
// thread's last chunk).
void audio_shutdown();

// One VBL of audio. joy0/joy1 are the VBL's latched joystick bytes of ports
// 0 and 1 (bit 7 fire); paused is the EV_PAUSE state.
void audio_chunk(int joy0, int joy1, int paused);

// Effects of the emulation thread's events.
void audio_set_on(int on);                           // EV_AUDIO
void audio_set_volume(double vol);                   // EV_VOLUME
void audio_set_sfx_multi(int on);                    // EV_SFX_MULTI
void audio_set_sfx_pan(int on);                      // EV_SFX_PAN
void audio_set_mp3(int on);                          // EV_MP3
void audio_key_pressed();                            // EV_KEY with a press
void audio_set_part_volume(int part, double volume); // EV_PART_VOLUME
void audio_set_music_dir(const char* folder);        // EV_MUSIC_DIR

// After a machine state is loaded (or the boot state on a restart): the
// mixer forgets its voices and samples, the logged writes go, the chip takes
// the machine's registers, and the playback takes the machine's song.
void audio_after_load();
// Playback of song (-1 = none) from its start, nothing waiting.
void audio_song_switch(int song);

// 1 while a once-only replacement song is still playing.
int pb_once();
// The value the VBL step holds the driver's tune flag at for a slice while
// a once-only replacement song is the music: $FF until it has finished, 0
// after; -1 when no such song plays (the flag is left to the game).
int pb_hold_value();
// The song the replacement music plays (-1 none).
int audio_pb_song();
// Chooses the music source from a music-pack folder path ("@amiga").
void am_select(const char* path);

// Read and written by the VBL step: the driver's tune flag is held for the
// running slice; the game has started tune 0 since the last title reset.
extern int vf_on;
extern int song0;

// The 68k return address found on the stack at a sample start, the source
// of the sound's screen x (3: low word of d3; n: the word at an + offset).
struct pan_site {
  u32 return_address;
  i32 source;
  i32 offset;
};
extern const pan_site PAN_SITES[10];
// Pan 0 (left) .. 1 (right) of a sample started with these registers in g_cpu.
float sample_pan();
