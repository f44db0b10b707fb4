// The host's side of the YM2149 write log: once per VBL the audio takes the
// register writes of the VBL, ordered by their time within it.
#pragma once
#include "machine/io_devices.h"

// Takes up to max events from the front of the log (the rest stay for the
// next take), sorted by time; writes of equal time keep their order.
int ym_events_take(ym_event* out, int max);
void ym_events_clear();
// The 16 register values and, when asked, the selected register.
void ym_get_regs(u8* out, int* selected);
void ym_set_regs(const u8* in, int selected);
