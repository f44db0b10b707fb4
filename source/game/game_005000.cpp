// Page $5000: the shot pictures' pre-shifted copies.
#include "game/routine_kit.h"

namespace {

constexpr u32 shot_frames = 0x04694A;    // copy 0, loaded with the game data
constexpr u32 shot_copy_bytes = 1566;    // 29 frames of 9 lines of three plane words
constexpr u32 shot_copy_groups = 261;

} // namespace

// $5FFE: copies 1-7 of the shot pictures, each its predecessor moved one
// pixel right. The pointers run on from pass to pass, so each pass reads
// the copy the previous one wrote. The plane 0 and 1 words shift as one
// long: pixel 15 of plane 0 becomes pixel 0 of plane 1.
ROUTINE(sub_005FFE, 0x005FFE)
  a1 = shot_frames;
  a0 = shot_frames + shot_copy_bytes;
  put<W>(d6, 6);
LOOP(0x600A)
  put<W>(d7, shot_copy_groups - 1);
LOOP(0x600E)
  d0 = rd32(a1) >> 1;
  a1 += 4;
  wr32(a0, d0);
  a0 += 4;
  put<W>(d0, rd16(a1) >> 1);
  a1 += 2;
  wr16(a0, d0);
  a0 += 2;
  if (dbf(d7)) GOTO(0x600E);
  if (dbf(d6)) GOTO(0x600A);
  RTS();
END_ROUTINE
