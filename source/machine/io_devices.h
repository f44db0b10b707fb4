// The two devices of the I/O space with behaviour of their own: the YM2149
// sound chip (register select/data, every data write logged with its
// sub-VBL time for the audio) and the keyboard ACIA (bytes from the keyboard
// processor to the game, command bytes from the game to it).
#pragma once
#include "machine/types.h"

struct ym_event {
  double time; // sub_vbl_time of the write, 0 to below 1
  u8 reg;      // 0-13, or 16 + register for a sample player write to 7, 8 or 9
  u8 value;
};

constexpr int ym_log_capacity = 262144;
constexpr int rx_capacity = 4096;
constexpr int tx_capacity = 256;

// Set by the sample player's hook points: the next YM data write is tagged.
extern u32 g_ym_tag;

int ym_take(ym_event* dst, int n);
int ym_pending();
int ym_ev_size();
void ym_clear();
const u8* get_ym_regs();
int get_ym_sel();
void set_ym_sel(int sel);
// Puts back the 16 register values (a machine state being loaded).
void set_ym_regs(const u8* regs);

void acia_push(u8 byte);
int acia_len();
int acia_peek(int i);
void acia_clear();
int ikbd_take(u8* dst, int max);

void cpu_reset_io();
