// The whole mission's input script: the joystick and key reports of both
// players as a function of the machine's RAM alone (so a state loaded
// mid-way plays on exactly as the uninterrupted run). Each player has a
// role in each section: a weapon, chosen by its next-weapon key, and the
// kind of target it lines its shots up with; every shot of the mission's
// tables flies straight up from the player's x + 44, so lining up is a
// matter of x. Player 1 walks into the goal in V3; player 2 walks into an
// enemy in its window of V2 (see whole_mission_death_window).
#pragma once

// Sent after every VBL: the reports that differ from what RAM holds.
void whole_mission_input();

// The one window without invulnerability: in V2 from scroll 300 until
// player 2 has lost its first life.
bool whole_mission_death_window();
