// The input log: everything the host feeds into the game (keys, joystick
// reports, patch switches, the host's own RAM pokes) with the VBL at which
// it went in, so that a crash report can replay the way from the last
// snapshot to the failure.
#pragma once
#include "machine/types.h"

struct input_log_entry {
  u32 vbl;   // tos.vbl when logged
  char type; // 'F' patch switch, 'J' joystick, 'K' key, 'P' host RAM poke
  i32 a;
  i32 b;
};

constexpr int input_log_capacity = 20000;

// Appends one entry at the current VBL; a full log first drops its older half.
void tos_ilog(int type, int a, int b);
// Drops the entries at the front that are older than VBL v.
void tos_ilog_trim(u32 v);
// Drops the entries at or after VBL v: the timeline a state load abandons.
// The host calls it after every load with the loaded VBL, so that the
// inputs of a later crash report come from one timeline, in VBL order.
void tos_ilog_rewind(u32 v);
void tos_ilog_clear();
// Writes the log as text, from start_vbl on, after the patch switches.
// 1 on success; 0 when the file cannot be opened or written whole.
int tos_ilog_write(const char* path, u32 start_vbl);

int tos_ilog_count();
const input_log_entry* tos_ilog_entries();
