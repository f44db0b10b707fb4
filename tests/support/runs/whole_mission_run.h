// The whole synthetic mission (support/runs/whole_mission.h) played headless
// as the host plays it: the data file selected, the boot state loaded, per
// VBL one slice and the VBL delivery, through the real cold start and game
// start. Over the title's entry a stand-in hands over to a runner at a test
// address that does the control loop's steps of one mission (the set-up
// routines, the mission and weapons chosen where the map and the shop leave
// them, the mission data load through slot $8910, frame_vertical); the
// title, the prompt, the map and the shop have their own end-to-end road.
// Both players are invulnerable (patch switch 0, as the host sets it) but
// in one window of V2, where player 2 walks into an enemy, dies and
// respawns. The input is a function of the machine's RAM alone, so a state loaded
// mid-way plays on exactly as the uninterrupted run.
//
//   mission_run r = play_whole_mission(folder, whole_mission_built().file, {});
//   r.frames: at each frame end (hooks 29 and 0) the BLAKE2b of the screen
//   just drawn and the palette; r.breaches: RAM written outside what a
//   mission may write, checked every 64th frame and at the end.
#pragma once
#include <string>
#include <vector>

#include "machine/types.h"
#include "support/runs/whole_mission.h"

enum class resume_at { nowhere, horizontal_pass, vertical_pass };

struct frame_hash {
  u16 frame;   // fx_bank
  u16 stream;  // stream_section
  std::string hash;
};

// The screen and palette of a golden frame, kept for its picture.
struct frame_picture {
  size_t index = 0;      // in mission_run::frames
  std::vector<u8> screen; // 32,000 bytes
  std::vector<u8> palette; // the 16 colour registers, 32 bytes
};

struct mission_run {
  std::string failure;                 // "" unless the run could not go on
  std::vector<frame_hash> frames;
  std::vector<double> frame_ns;        // host time of each game frame (slices, deliveries, input)
  double start_ns = 0;                 // host time of the slice's part up to the mission's start (set-up, data load)
  std::vector<i16> horizontal_steps;   // hscroll_step of each horizontal section
  std::vector<int> horizontal_passes;  // scroll steps of each
  bool finished = false;               // frame_vertical returned to the runner
  u16 exit = 0;
  u32 score1 = 0, score2 = 0;
  u16 level = 0, stream = 0;
  int vbls = 0;
  int saves = 0;
  int budget_ends = 0;                 // slices of the mission that spent their budget
  std::string breaches;                // the first memory-guard report
  std::vector<std::string> live_tables; // object tables with a record filled at some frame end
  bool player2_died = false;            // seen dying at a frame end
  u16 lives1 = 0, lives2 = 0;           // at the end
  std::vector<frame_picture> pictures;  // the golden frames', when kept
  std::string hook_breach;              // the first break of the unit hooks' contract
  std::vector<std::string> unit_kinds_seen; // kinds of the units opened
  int units = 0;                        // units opened
  std::string box_breach;               // the first unit that drew outside its picture's box
  int boxes_checked = 0;                // units whose drawing was compared with their box
  int idle_records_checked = 0;         // free records that passed their hooks at golden frames, compared
  std::vector<std::string> paths_seen;  // destruction paths (whole_mission_census.h), in the order first seen
};


struct whole_mission_play {
  u32 budget = 2000000;
  resume_at resume = resume_at::nowhere; // where a state is saved and loaded back (budget yields only)
  bool hash_frames = true;               // off: frames counted, nothing hashed or guarded
  bool keep_golden_screens = false;      // the screens of the golden frames into `pictures`
};

// A loop head costs one unit: slices of 97 end inside the loops of the
// routines that run long (drawing, copying, searching).
constexpr u32 whole_mission_tiny_budget = 97;

// The hash of a frame: BLAKE2b (12 hex digits) of the 32,000 screen bytes
// and the 16 colour registers (32 bytes, as tos_pal16 gives them).
constexpr u32 screen_bytes = 32000;
std::string screen_hash(const u8* screen, const u8* palette);

// The picture as the screen shows it (320 x 200 RGB), for a developer's eyes.
bool write_frame_png(const frame_picture& p, const std::string& path);

// The default mission, built once.
const whole_mission_build& whole_mission_built();

// Writes `file` as "BKM" into `folder`, boots it and plays the mission
// until the runner notes its end (at most 6,000 frames).
mission_run play_whole_mission(const std::string& folder, const std::vector<u8>& file,
                               const whole_mission_play& how);
