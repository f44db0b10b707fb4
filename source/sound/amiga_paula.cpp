// Paula's audio DMA and the chip registers the replay writes. A channel
// whose DMA starts reads its sample from the location latch, two bytes per
// word, one byte every period ticks, and reloads the latches when its
// length runs out; what the replay writes to a latch takes effect at that
// reload, so loops are set up while the first pass still plays.
#include "sound/amiga_paula.h"

#include <algorithm>
#include <cstring>

#include "sound/amiga_player.h"

paula_state paula;

void paula_reset() { std::memset(&paula, 0, sizeof paula); }

namespace {

bool dma_on(u16 dmacon, int n) { return (dmacon & dma_enable) && (dmacon & (1u << n)); }

void write_dmacon(u32 value) {
  const u16 before = paula.dmacon;
  if (value & dma_set)
    paula.dmacon = static_cast<u16>(paula.dmacon | (value & 0x7FFF));
  else
    paula.dmacon = static_cast<u16>(paula.dmacon & ~value);
  for (int n = 0; n < 4; ++n) {
    paula_channel& c = paula.ch[n];
    const bool was = dma_on(before, n), now = dma_on(paula.dmacon, n);
    if (!was && now) {
      c.pointer = c.location;
      c.remaining = c.length;
      c.active = 1;
      c.phase = 1;
      c.countdown = 1;
    } else if (was && !now) {
      c.active = 0;
      c.sample = 0;
    }
  }
}

void write_word(u32 reg, u32 value) {
  value &= 0xFFFF;
  if (reg == reg_dmacon) {
    write_dmacon(value);
    return;
  }
  if (reg < reg_aud0 || reg >= reg_aud0 + 64) return;
  paula_channel& c = paula.ch[(reg - reg_aud0) / 16];
  switch ((reg - reg_aud0) % 16) {
    case 0: c.location = (c.location & 0xFFFF) | (value & 7) << 16; break;
    case 2: c.location = (c.location & 0x70000) | (value & 0xFFFE); break;
    case 4: c.length = static_cast<u16>(value); break;
    case 6: c.period = static_cast<u16>(value); break;
    case 8: c.volume = static_cast<u16>(value & 0x7F); break;
    default: break;
  }
}

} // namespace

void paula_tick(const u8* mem) {
  for (paula_channel& c : paula.ch) {
    if (!c.active || --c.countdown > 0) continue;
    c.countdown = std::max<int>(c.period, paula_min_period);
    if (c.phase) {
      const u32 at = c.pointer & 0x7FFFF;
      c.word = static_cast<i16>(mem[at] << 8 | mem[(at + 1) & 0x7FFFF]);
      c.pointer += 2;
      if (c.remaining == 0 || --c.remaining == 0) {
        c.pointer = c.location;
        c.remaining = c.length;
      }
      c.phase = 0;
      c.sample = static_cast<i8>(static_cast<u16>(c.word) >> 8);
    } else {
      c.sample = static_cast<i8>(c.word & 0xFF);
      c.phase = 1;
    }
  }
}

namespace {

u32 read_word(u32 reg) { return reg == reg_dmaconr ? paula.dmacon & 0x3FFu : 0u; }

} // namespace

u32 paula_io_read(u32 address, int size) {
  if (address == cia_a_pra) return paula.cia_pra;
  if (address < custom_first || address > custom_last) return 0;
  const u32 reg = address & 0x1FE;
  if (size == 1) return address & 1 ? read_word(reg) & 0xFF : read_word(reg) >> 8;
  if (size == 4) return read_word(reg) << 16 | read_word((reg + 2) & 0x1FE);
  return read_word(reg);
}

void paula_io_write(u32 address, int size, u32 value) {
  if (address == cia_a_pra) {
    paula.cia_pra = static_cast<u8>(value);
    return;
  }
  if (address < custom_first || address > custom_last) return;
  const u32 reg = address & 0x1FE;
  if (size == 4) {
    write_word(reg, value >> 16);
    write_word((reg + 2) & 0x1FE, value);
  } else if (size == 2) {
    write_word(reg, value);
  } else {
    write_word(reg, address & 1 ? value & 0xFF : (value & 0xFF) << 8);
  }
}
