// The Amiga version's music replay, recompiled: one native routine per
// 68000 routine of the replay (bkam_ + its Amiga address), on the register
// globals of the game's routines but with memory accessors of their own on
// the Amiga memory `amem` of the Amiga music player. They run only inside
// the player's calls, which save and restore every register global.
#pragma once
#include <array>

#include "machine/types.h"

// The music block's base: the replay loads it into a3 and reaches all its
// variables and tables through it.
constexpr u32 bkam_base = 0x51762;

// Entry vector.
constexpr u32 bkam_start_entry = 0x51762;
constexpr u32 bkam_tick_entry = 0x51770;
constexpr u32 bkam_stop_entry = 0x5177E;
constexpr u32 bkam_continue_entry = 0x5178C;
constexpr u32 bkam_effect_entry = 0x5179A;
constexpr u32 bkam_end_effects_entry = 0x517A8;

// Replay variables.
constexpr u32 bkam_speed = 0x51D82;        // i16 music steps per duration unit
constexpr u32 bkam_master = 0x51D84;       // u16 master volume 0..64
constexpr u32 bkam_tempo = 0x51D86;        // u8
constexpr u32 bkam_tempo_copy = 0x51D87;   // u8, written, never read
constexpr u32 bkam_tempo_acc = 0x51D88;    // u8
constexpr u32 bkam_fade_interval = 0x51D89;
constexpr u32 bkam_fade_counter = 0x51D8A;
constexpr u32 bkam_loaded = 0x51D8C;       // u8 tune loaded
constexpr u32 bkam_samples_ready = 0x51D8D;
constexpr u32 bkam_playing = 0x51D8E;      // u8, read by the player
constexpr u32 bkam_transpose = 0x51D8F;    // i8 global transpose
constexpr u32 bkam_skip_counter = 0x51D90; // u8 of the 1-in-6 skip
constexpr u32 bkam_skip_on = 0x51D91;
constexpr u32 bkam_silent = 0x51D92;       // u32 silent area
constexpr u32 bkam_pulse_dir = 0x51D96;    // u16 0 grows, $FFFF shrinks
constexpr u32 bkam_pulse_pos = 0x51D98;    // u16 byte offset into sample 9

// Tables and records.
constexpr u32 bkam_commands = 0x51D6A;     // u16 handler offsets by byte - $80
constexpr u32 bkam_voices = 0x51D9A;       // four replay_voice of 48 bytes
constexpr u32 bkam_note_factors = 0x51E5A; // u16 per note
constexpr u32 bkam_arpeggios = 0x51EEA;    // sixteen u16 offsets
constexpr u32 bkam_first_arpeggio = 0x51F0A;
constexpr u32 bkam_samples = 0x51F3C;      // ten sample_record of 12 bytes
constexpr u32 bkam_songs = 0x51FB4;        // song_entry of 10 bytes
constexpr u32 bkam_sfx_channels = 0x52B9C; // four sfx_channel of 36 bytes
constexpr u32 bkam_last_effect = 0x52C2C;  // u16 channel << 8 | effect
constexpr u32 bkam_shadows = 0x52C2E;      // four paula_shadow of 12 bytes
constexpr u32 bkam_sfx_definitions = 0x52C5E;
constexpr u32 bkam_waveform = 0x52E86;     // u32 waveform area of the effects
constexpr u32 bkam_volume_lists = 0x52E8A; // u16 offsets of the effect volume lists
constexpr u32 bkam_envelopes = 0x52F1E;    // sixteen u16 offsets
constexpr u32 bkam_sample_data = 0x53076;  // ten headers, each with its bytes

constexpr int bkam_voice_size = 48;
constexpr int bkam_sample_size = 12;
constexpr int bkam_song_size = 10;
constexpr int bkam_sfx_channel_size = 36;
constexpr int bkam_shadow_size = 12;
constexpr int bkam_sfx_definition_size = 24;

// replay_voice fields.
enum : u32 {
  voice_flags = 0,
  voice_vibrato = 1,
  voice_note = 2,
  voice_transpose = 3,
  voice_stream = 4,
  voice_order = 8,
  voice_order_pos = 10,
  voice_arp_start = 12,
  voice_arp_ptr = 16,
  voice_slide_speed = 20,
  voice_slide_delay = 21,
  voice_loop_done = 22,
  voice_sample = 24,
  voice_duration = 28,
  voice_countdown = 30,
  voice_slide_acc = 32,
  voice_env_start = 34,
  voice_env_ptr = 38,
  voice_env_interval = 42,
  voice_env_counter = 43,
  voice_vib_speed = 44,
  voice_vib_offset = 45,
  voice_vib_depth = 46,
};

// sample_record fields.
enum : u32 { sample_start = 0, sample_loop = 4, sample_length = 8, sample_period = 10 };

// paula_shadow fields.
enum : u32 {
  shadow_location = 0,
  shadow_length = 4,
  shadow_period = 6,
  shadow_volume = 8,
  shadow_music = 10,
  shadow_claimed = 11,
};

// sfx_channel fields.
enum : u32 {
  sfx_slide = 0,
  sfx_reset_period = 2,
  sfx_step_a = 4,
  sfx_step_b = 6,
  sfx_period = 8,
  sfx_wave_a = 10,
  sfx_wave_b = 12,
  sfx_reset_interval = 14,
  sfx_pattern_interval = 15,
  sfx_pattern_bits = 16,
  sfx_wave_bits = 17,
  sfx_duration = 18,
  sfx_volume_interval = 19,
  sfx_volume_list = 20,
  sfx_wave_length = 22,
  sfx_reset_counter = 24,
  sfx_pattern_counter = 25,
  sfx_active = 26,
  sfx_volume_counter = 27,
  sfx_volume_ptr = 28,
};

// The routines, ascending.
constexpr int bkam_nentries = 28;
extern const std::array<u32, bkam_nentries> bkam_entries;

// Calls the routine whose entry is address & $FFFFFF: 1; 0 (nothing called)
// for any other address.
int bkam_dispatch(u32 address);
// Continues the routine that owns the resume label: 1; 0 for an address
// that is no resume label.
int bkam_resume(u32 label);

// Every resume label with its owner's entry (for the dispatcher and tests).
struct bkam_label {
  u32 label;
  u32 owner;
};
extern const bkam_label bkam_labels[];
extern const int bkam_nlabels;
// Times a routine was asked to resume at a label it does not own (it ran
// from its entry instead).
extern u32 bkam_foreign_resumes;

void bkam_051762();
void bkam_051770();
void bkam_05177E();
void bkam_05178C();
void bkam_05179A();
void bkam_0517A2();
void bkam_0517A8();
void bkam_0517C0();
void bkam_05185E();
void bkam_0518B8();
void bkam_0518D6();
void bkam_051918();
void bkam_051C6C();
void bkam_051C92();
void bkam_051CA8();
void bkam_051CD4();
void bkam_051CD8();
void bkam_051D12();
void bkam_051D1A();
void bkam_051D2E();
void bkam_051D36();
void bkam_051D3E();
void bkam_051D50();
void bkam_051D5C();
void bkam_0528E2();
void bkam_052956();
void bkam_052A3A();
void bkam_052AA6();
