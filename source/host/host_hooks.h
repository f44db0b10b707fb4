// The host's small handlers inside the running game (emulation thread):
// the hold-position and scroll-fix hooks, the two functions recompiled
// routines call directly, and the senders that carry status texts, resets
// and captured frames to the presenter.
#pragma once
#include <cstdint>

#include "machine/types.h"

struct scene_frame;
struct sprite;

// Registers hk_hold ($9306) and hk_hscroll ($4A50), and gives the
// mission-failed screen the host's hold.
void register_host_hooks();
void hk_hold(u32 address);
void hk_hscroll(u32 address);
// Called by the routine at $A914: non-zero while the mission-failed screen
// should stay up (its replacement song still plays).
int hk_fail_hold();
// Called by the aiming routine $9CAC: the direction the game should use.
u32 hk_aim(u32 record, u32 value);
// A status text (a translated text) for the menu's status line.
void say(const char* text);
void on_frame_cb(scene_frame* frame);
void on_reset_cb();
void on_sprite_cb(uint64_t key, sprite* spr);
void on_drop_cb(uint64_t key);
