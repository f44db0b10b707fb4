// Page $10000: the three mission loaders, which read one mission's packed
// graphics, enemy frames and level data by the entries of the mission load
// table, and the cold start, which brings the machine into the state every
// later routine assumes and loads the resident graphics.
#include "game/game_ram.h"
#include "game/routine_kit.h"

namespace {

constexpr u32 packed_length = 0x0001D0; // long: length of loader 1's packed file (low word used)

// Disk places of the three loaders: loader 1 takes 10-byte load records
// (track, sector, count, packed length), loaders 2 and 3 six-byte sector
// records (track, sector, count). Loader 3 counts its entries from 1.
constexpr u32 loader1_records = 0x010808;
constexpr u32 loader2_records = 0x01087C;
constexpr u32 loader3_records = 0x0108EC;

constexpr u32 node_table = 0x014000;
constexpr u32 mission_graphics = 0x05647E; // unpacked mission graphics
constexpr u32 mission_packed = 0x05E652;   // loader 1's buffer; 29 header bytes
constexpr u32 enemy_frame_data = 0x05E5EE;
constexpr u32 enemy_extra_words = 0x05F792; // 330 words from the resident graphics
constexpr u32 resident_words = 0x0466B6;
constexpr u32 level_data = 0x073B92;
constexpr u32 squeeze_header = 29;

constexpr u32 program_start = 0x002C00;
constexpr u32 program_longs = 15000;
constexpr u32 low_memory_from = 0x000008;
constexpr u32 low_memory_end = 0x001E0C;
constexpr u32 colour0 = 0xFF8240;
constexpr u32 startup_palette = 0x008C24;
constexpr u32 startup_colour14 = 0x008C40;
constexpr u32 startup_text = 0x0037C6;

// Request words from a sector record at a1: track, first sector, count.
inline void take_sector_record() {
  wr16(disk_track, rd16(a1));
  wr16(disk_sector, rd16(a1 + 2));
  wr16(disk_count, rd16(a1 + 4));
}

} // namespace

// $107A8: mission loader 1: the packed mission graphics of load record d0.w
// (0-based) into $5E652, unpacked to $5647E. a0 kept.
ROUTINE(sub_0107A8, 0x0107A8)
  push32(a0);
  wr32(disk_request, 0);
  d0 = mulu(10, d0);
  a1 = loader1_records + d0;
  take_sector_record();
  wr32(packed_length, rd32(a1 + 6));
  wr32(disk_buffer, mission_packed);
  JSR(0x0086B4, 0x107DA)
  JSR(0x0086B0, 0x107E0)
  a4 = mission_packed + squeeze_header;
  a1 = mission_packed + sext16(rd16(packed_length + 2));
  a3 = node_table;
  a6 = mission_graphics;
  JSR(0x00FC88, 0x10800)
  a0 = pop32();
  RTS();
END_ROUTINE

// $10826: mission loader 2: the enemy frames of sector record d0.w
// (0-based) into $5E5EE; 330 words of the resident graphics are copied in
// at $5F792, then the pre-shifted copies are built. a0 kept.
ROUTINE(sub_010826, 0x010826)
  push32(a0);
  wr32(disk_request, 0);
  d0 = mulu(6, d0);
  a1 = loader2_records + d0;
  take_sector_record();
  wr32(disk_buffer, enemy_frame_data);
  JSR(0x0086B4, 0x10852)
  JSR(0x0086B0, 0x10858)
  a0 = resident_words;
  a1 = enemy_extra_words;
  d0 = 109;
LOOP(0x10866)
  for (u32 i = 0; i < 3; ++i) {
    wr16(a1, rd16(a0));
    a0 += 2;
    a1 += 2;
  }
  if (dbf(d0)) GOTO(0x10866);
  JSR(0x00891C, 0x10876)
  a0 = pop32();
  RTS();
END_ROUTINE

// $1088E: the cold start (its code goes on at $2C10). Never returns: it
// ends in the game's restart at $373A.
ROUTINE(sub_01088E, 0x01088E)
  // The image moves itself to its run address, where the boot state has
  // already put it: source and destination are the same.
  a0 = program_start;
  a1 = program_start;
  d0 = program_longs - 1;
LOOP(0x1089E)
  wr32(a1, rd32(a0));
  a0 += 4;
  a1 += 4;
  if (dbf(d0)) GOTO(0x1089E);
LABEL(0x2C10)
  a0 = low_memory_from;
  a1 = low_memory_end;
  JSR(0x00759C, 0x2C1C)
  wr32(random_seed, 0x12345678);
  wr16(colour0, 0);
  JSR(0x007626, 0x2C2E)
  JSR(0x00765A, 0x2C34)
  set_sr(0x2300);
  wr16(startup_colour14, 0x0025);
  a1 = startup_palette;
  JSR(0x0075E2, 0x2C48)
  wr16(text_line, 0x1900);
  wr16(text_column, 0);
  wr16(text_margin, 0);
  wr16(text_colour, 2);
  a0 = startup_text;
  JSR(0x008934, 0x2C6A)
  JSR(0x0086B8, 0x2C70)
  JMP(0x00373A);
END_ROUTINE

// $108AE: mission loader 3: the level data of sector record d0.w, counted
// from 1, into $73B92. a0 kept.
ROUTINE(sub_0108AE, 0x0108AE)
  push32(a0);
  wr32(disk_request, 0);
  d0 = mulu(6, d0 - 1);
  a1 = loader3_records + d0;
  take_sector_record();
  wr32(disk_buffer, level_data);
  JSR(0x0086B4, 0x108DA)
  JSR(0x0086B0, 0x108E0)
  a0 = pop32();
  RTS();
END_ROUTINE
