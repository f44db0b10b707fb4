#include "support/tables/section_cycle.h"

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "machine/cpu.h"
#include "machine/memory.h"

namespace {

u8 last_block_of(const section_cycle_options& o) { return o.last_block_differs ? o.v0_last_block : o.v0_block; }

} // namespace

mission_builder section_cycle_mission(const section_cycle_options& o) {
  mission_builder m;
  std::vector<map_row> v0 = {{{o.v0_block}, {1}, {3}}};
  // 36 rows: a whole section reads exactly these 108 block bytes, so the
  // last one read is the map's last, without meeting the end marker.
  for (u8 r = 0; r < 34; ++r) v0.push_back({{static_cast<u8>(r % 6)}, {static_cast<u8>((r + 2) % 6)}, {static_cast<u8>((r + 4) % 6)}});
  v0.push_back({{0}, {1}, {last_block_of(o)}});
  m.map(v0);
  m.map({{{5}, {5}, {5}}, {{5}, {5}, {5}}});
  m.stream({});
  m.stream({});
  m.stream({});
  return m;
}

u8 section_cycle_band_block(const section_cycle_options& o) { return last_block_of(o); }

void section_cycle_put(const mission_builder& m, const section_cycle_options& o) {
  m.put_in_ram();
  wr16(mission_word, o.mission_word);
  wr32(scroll_fix_code, scroll_fix_bytes);
}

void push_the_scroll() {
  const i16 step = static_cast<i16>(rd16(hscroll_step));
  for (u32 record : {player1, player2}) {
    wr8(record + player_record::up, step == 0 ? 0xFF : 0);
    wr8(record + player_record::down, 0);
    wr8(record + player_record::right, step > 0 ? 0xFF : 0);
    wr8(record + player_record::left, step < 0 ? 0xFF : 0);
    wr8(record + player_record::fire, 0);
  }
}

void scroll_fix(u32) {
  if (rd32(scroll_fix_code) != scroll_fix_bytes) return;
  for (const object_table& t : {explosion_table, installation_table})
    for (u32 r = 0; r < t.records; ++r) {
      const u32 at = g_cpu.a[5] + t.address + r * t.size;
      wr16(at, rd16(at) + g_cpu.d[5]);
    }
}
