// One game's road from the boot to a mission's first frame, headless as
// the host runs it: the synthetic data file in a folder, per VBL one slice
// of 2,000,000 and the VBL delivery, input only as joystick and keyboard
// packets, press and release in different VBLs: fire on port 1 in
// wait_fire, key 1 at the player-count prompt, and on the world map the
// stick of port 1 steered into a mission's box, then fire there.
//
// In the weapon shop the stick buys weapon 0 and leaves. Everything runs
// on the game's own routines but the first section's and the mission's
// set-ups (they return; the first notes the screen and the loaded areas)
// and the frame loop, whose arrival ends the road. Shared by the end-to-end test and the
// benchmark. run_title_into_mission runs the same road without those
// stand-ins, into the mission itself (the pack-in-play test).
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "machine/types.h"

// What one VBL of the road saw: where its slice ended (for a wait_vbl
// wait, the address it returns to), the YM writes of the delivery and the
// frame's palette zones, and the host time it took.
struct road_vbl {
  u32 pc;
  u32 wait_return; // 0 unless the slice ended in wait_vbl
  int ym_writes;
  std::vector<u32> zone_lines;
  u32 timer_a_vector; // after the delivery
  double host_ns;     // host time of the slice, the input and the delivery
};

struct road_notes {
  std::vector<road_vbl> vbls;
  std::vector<u32> tunes;          // every song start, in order
  int shop_visits = 0;
  bool frame_loop_reached = false;
  u32 level_in_frame_loop = 0;     // the music level byte then
  std::vector<u8> screen_at_load;  // screen $20000 (32,000 bytes) at the first section's call
  std::vector<u8> loaded;          // RAM $5647E-$83B91 then
  // Moments, as indexes into vbls (-1 = never).
  int prompt_answered = -1;        // the VBL of the key press
  i32 prompt_wait_recorded = -1;   // tos.wait_vbl_at[2] then
  u32 prompt_machine_vbl = 0;      // tos.vbl then
  int map_entered = -1;            // the first VBL with split_map set
  std::vector<u8> map_screen;      // screen $20000 at map_entered
  u32 cursor_at_map[2] = {0, 0};
  u32 lives_at_map = 0, money_at_map[2] = {0, 0};
  int chosen = -1;                 // the first VBL after which split_map was off again
};

// Boots the synthetic game data written to `folder` and runs the road,
// choosing `mission` on the map, for at most max_vbls VBLs. False when the
// game failed or the frame loop was not reached.
bool run_title_to_mission(const std::string& folder, int mission, road_notes& notes, int max_vbls = 4000);
// The same road on the game's own routines throughout, into the mission
// and on with the stick let go, until `stop` holds after a VBL. False when
// the game failed or `stop` never held within max_vbls.
bool run_title_into_mission(const std::string& folder, int mission, road_notes& notes, int max_vbls,
                            const std::function<bool()>& stop);
