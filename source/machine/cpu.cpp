#include "machine/cpu.h"
#include "machine/memory.h"

u32 d0, d1, d2, d3, d4, d5, d6, d7;
u32 a0, a1, a2, a3, a4, a5, a6, a7;
u8 fx, fn, fz, fv, fc;
i32 sr_sys = 0x2700;
u32 other_sp;

u32* const cpu_reg[16] = {&d0, &d1, &d2, &d3, &d4, &d5, &d6, &d7,
                          &a0, &a1, &a2, &a3, &a4, &a5, &a6, &a7};

cpu_state g_cpu;

void store_regs() {
  for (int i = 0; i < 8; ++i) g_cpu.d[i] = *cpu_reg[i];
  for (int i = 0; i < 8; ++i) g_cpu.a[i] = *cpu_reg[8 + i];
  g_cpu.other_sp = other_sp;
  g_cpu.fx = fx;
  g_cpu.fn = fn;
  g_cpu.fz = fz;
  g_cpu.fv = fv;
  g_cpu.fc = fc;
  g_cpu.sr_sys = sr_sys;
}

void load_regs() {
  for (int i = 0; i < 8; ++i) *cpu_reg[i] = g_cpu.d[i];
  for (int i = 0; i < 8; ++i) *cpu_reg[8 + i] = g_cpu.a[i];
  other_sp = g_cpu.other_sp;
  fx = g_cpu.fx & 1;
  fn = g_cpu.fn & 1;
  fz = g_cpu.fz & 1;
  fv = g_cpu.fv & 1;
  fc = g_cpu.fc & 1;
  sr_sys = g_cpu.sr_sys;
}

register_file register_file_save() {
  register_file f;
  for (int i = 0; i < 16; ++i) f.r[i] = *cpu_reg[i];
  f.other_sp = other_sp;
  f.fx = fx;
  f.fn = fn;
  f.fz = fz;
  f.fv = fv;
  f.fc = fc;
  f.sr_sys = sr_sys;
  return f;
}

void register_file_restore(const register_file& f) {
  for (int i = 0; i < 16; ++i) *cpu_reg[i] = f.r[i];
  other_sp = f.other_sp;
  fx = f.fx;
  fn = f.fn;
  fz = f.fz;
  fv = f.fv;
  fc = f.fc;
  sr_sys = f.sr_sys;
}

u32 get_sr() {
  return static_cast<u32>(sr_sys) | fx << 4 | fn << 3 | fz << 2 | fv << 1 | fc;
}

void set_sr(u32 sr) {
  if ((sr ^ static_cast<u32>(sr_sys)) & 0x2000) {
    u32 t = a7;
    a7 = other_sp;
    other_sp = t;
  }
  sr_sys = static_cast<i32>(sr & 0xFF00);
  fx = (sr >> 4) & 1;
  fn = (sr >> 3) & 1;
  fz = (sr >> 2) & 1;
  fv = (sr >> 1) & 1;
  fc = sr & 1;
}

void cpu_exception_frame(u32 return_address) {
  u32 old = get_sr();
  set_sr((old & ~0xA000u) | 0x2000);
  wr16(a7 - 6, old);
  wr32(a7 - 4, return_address);
  a7 -= 6;
}

cpu_state* get_cpu() { return &g_cpu; }
void set_host(void*) {}
