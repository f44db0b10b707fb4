// A whole game on the synthetic data as the host runs it, for the
// whole-game tests and the benchmark: the data file written and selected,
// the boot state loaded, then per VBL one slice and the VBL delivery, with
// a scripted player whose input goes only through the keyboard processor
// (tos_key, tos_joystick). The game starts as its own quick start does,
// without the title (or, with `from_title`, at the real title, passed by
// fire); the missions are decided at frame_vertical's first
// hook point on the mission machine's stand-ins (points and tally counts
// added and the mission completed, or both lives taken), or with
// `input_only` not at all: the player walks on until the lives are gone.
//
// The player: '1' at the player-count prompt; on the map the first open
// mission; in the first shop visit weapon 0 bought, weapon 1 tried (too
// dear), the equipment screen shown and left with a press and release,
// then the leave cell (later visits leave at once); fire held in the
// end's delays; "AB" and Return at a name entry.
#pragma once
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "machine/types.h"

constexpr u32 whole_game_points = 0x15555555; // a mission's points: twelve near the top of a long
constexpr u16 whole_game_tally = 4;          // a mission's tally counts

struct whole_game_state {
  std::vector<u32> tunes;      // every tune started, in order
  int missions_completed = 0;
  bool fail_missions = false;  // the missions end with both lives taken
  bool started = false;        // the quick start is set once, at the first game start
  // From the real title: no quick start and no map data written; fire at
  // the title's wait_fire.
  bool from_title = false;
  bool title_fired = false;
  // Nothing written at all: no mission decided at the hook; in the
  // missions' frame loop the player walks on, up and swaying, fire held 10
  // VBLs and let go 10.
  bool input_only = false;
  int walked = 0;
  // Where the slices ended, each change once: the pc, and for a wait in
  // wait_vbl ($79E2) or in the delays ($75A8, $75BA) the address it
  // returns to (else 0).
  std::vector<std::pair<u32, u32>> labels;
  // The player.
  int stick = 0;               // the last joystick report sent
  int key_down = -1;           // pressed at the last VBL, released at this one
  std::vector<int> typing;
  int shop_visits = 0;
  bool in_shop = false, from_map = false;
  bool refused = false, equipment_seen = false, equipment_pressed = false;
  std::vector<int> shop_sounds; // effects started in the shop
};
whole_game_state& whole_game();

// On a cleared mission machine (MissionTest): the hooks registered and the
// state reset.
void whole_game_reset();
// Writes the data file into the folder ("BKM" with the saved high-score
// sector, or a ".st" disk image of the same data, which does not carry
// it), selects it and loads the boot state. False with `error` set.
bool whole_game_boot(const std::string& folder, bool disk_image, std::vector<u8>& data, std::string& file_name,
                     std::string& error);
// VBLs until the game fails or stops (a jump to a routine not written),
// `stop` holds after a slice, or `limit` VBLs; the number of VBLs run.
int whole_game_run(int limit, bool (*stop)() = nullptr);
// Keys to type, one press and release each, from the next VBL on.
void whole_game_type(std::initializer_list<int> codes);
// The game start has entered the title: its return into wait_fire lies on
// the fresh stack (the title routine, once written, runs on below it).
bool whole_game_at_title();
