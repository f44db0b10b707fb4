// The front-end screens' tables of the synthetic game data, in the program
// block (beside synthetic_front_end's texts, font and map tables):
// the weapon shop (pointer, announcements, cell texts, prices, amounts),
// the equipment screen (names, heading, palette), the mission-complete
// texts, the high scores (key table, input line, default names, headings,
// palette, colour-cycling table, separator, prompt, the game's own table)
// and the developer access sequence.
//
// The values are chosen so that the game's rules show: weapon 0 costs 400
// (within the first mission's pay), weapon 1 costs more than the starting
// 10,000 and the first mission's 500 (half its pay) leave after weapon 0,
// but no more than they come to (a player who buys only it at any first
// visit can leave the shop), weapon 3 is not for sale; supply 2 adds nothing; the key table gives
// upper-case letters and digits only (a saved name byte above $6E is
// refused at the next start), Return and Backspace, and some zero entries.
#pragma once
#include <string>
#include <vector>

#include "support/synthetic/synthetic_game_data.h"

struct synth_front_screen_block {
  u32 address;
  const char* holds;
  std::vector<u8> bytes;
};

constexpr u32 synth_weapon0_price = 400;
constexpr u32 synth_weapon1_price = 10300;     // dearer than the first money less weapon 0
constexpr u32 synth_supply_price(u32 item) { return 100 + 10 * item; }
constexpr u16 synth_supply_amount(u32 item) { return static_cast<u16>(item == 2 ? 0xFFFF : 5 + item); }
constexpr u32 synth_unsold_weapon = 3;         // negative price
// The developer access sequence: scan codes of D, E, V.
constexpr u8 synth_dev_sequence[3] = {0x20, 0x12, 0x2F};

const std::vector<synth_front_screen_block>& synth_front_screens();

// The cell texts: "C" and the cell number; the names: "W" and the slot,
// "S" and the item; the default names "N" and the index (two digits).
std::string synth_cell_text(u32 cell);
std::string synth_weapon_name(u32 slot);
std::string synth_supply_name(u32 item);
std::string synth_default_name(u32 index);
// The game's own high-score names, line i: "GAME" and the digit i.
std::string synth_table_name(u32 line);

// Places every block in the program block; false with g.error set.
bool synth_place_front_screens(synth_game_data& g);
// Writes every block into RAM, for tests that do not load the program.
void synth_front_screens_in_ram();
