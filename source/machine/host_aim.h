// The aim override: a second control of the host (a stick or keys of its
// own) can turn a player to a direction other than the one its joystick
// steered. The game asks once in every update of a player in play, after
// the movement and before the fire, through a direct call into the host.
#pragma once
#include "machine/types.h"

// The host's answer for the player_record at `record` ($2DA or $376): its
// aim direction for that player (a direction code 1 to 15) when one is
// set, otherwise `direction`, the game's own bits, unchanged; `direction`
// also for any other record address. It must change nothing in the game.
using host_aim_fn = u32 (*)(u32 record, u32 direction);

// Installed by the host at start-up; null: no aim control.
extern host_aim_fn g_host_aim;

// The call the game makes: with no handler installed the game keeps its
// own direction.
inline u32 host_aim(u32 record, u32 direction) { return g_host_aim ? g_host_aim(record, direction) : direction; }
