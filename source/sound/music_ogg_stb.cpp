// stb_vorbis's decoder, compiled here from the system header rather than
// taken from its shared library, so that its malloc and free are ours:
// each block is counted against the decoding thread's budget; and so that
// its setup can be read, to refuse what it would decode wrongly.
// The C headers it includes come first, before malloc and free are renamed.
#include <alloca.h>
#include <assert.h>
#include <limits.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <cstddef>
#include <cstdlib>

#include "sound/music_ogg_memory.h"
#include "sound/music_ogg_stb.h"

namespace {

// Each block starts with its size and its place in the list of the blocks
// the decoder holds: stb_vorbis forgets some temporary blocks when it
// refuses a stream, and the scope's end gives them back.
struct alignas(std::max_align_t) block_head {
  block_head* prev;
  block_head* next;
  size_t size;
};

thread_local size_t held = 0;
thread_local block_head* blocks = nullptr;
thread_local bool scope_open = false;

} // namespace

void* ogg_memory_take(size_t size) {
  // A block's head is counted too: stb_vorbis makes many tiny blocks.
  const size_t room = ogg_memory_most - held;
  if (room < sizeof(block_head) || size > room - sizeof(block_head)) return nullptr;
  auto* block = static_cast<block_head*>(std::malloc(sizeof(block_head) + size));
  if (!block) return nullptr;
  *block = {nullptr, blocks, size};
  if (blocks) blocks->prev = block;
  blocks = block;
  held += sizeof(block_head) + size;
  return block + 1;
}

void ogg_memory_give(void* p) {
  if (!p) return;
  block_head* block = static_cast<block_head*>(p) - 1;
  (block->prev ? block->prev->next : blocks) = block->next;
  if (block->next) block->next->prev = block->prev;
  held -= sizeof(block_head) + block->size;
  std::free(block);
}

size_t ogg_memory_held() { return held; }

ogg_memory_scope::ogg_memory_scope() : active_(!scope_open) { scope_open = true; }

ogg_memory_scope::~ogg_memory_scope() {
  if (!active_) return;
  while (blocks) ogg_memory_give(blocks + 1);
  scope_open = false;
}

// Only what the music reader uses is compiled: the whole-file decoders
// (stb_vorbis_decode_memory, _decode_filename) grow their output with
// realloc, which has no place in the budget. Any realloc left in stb's code
// fails the build.
#define STB_VORBIS_NO_STDIO
#define STB_VORBIS_NO_INTEGER_CONVERSION
#define malloc(size) ogg_memory_take(size)
#define free(block) ogg_memory_give(block)
#define realloc(block, size) stb_vorbis_realloc_is_not_within_the_budget
#include <stb_vorbis.h>

int ogg_stb_cuts_residues(const stb_vorbis* v) {
  for (int i = 0; i < v->mode_count; ++i) {
    const Mode& mode = v->mode_config[i];
    const Mapping& map = v->mapping[mode.mapping];
    const uint32 block = static_cast<uint32>(v->blocksize[mode.blockflag]);
    for (int s = 0; s < map.submaps; ++s) {
      int channels = 0;
      for (int c = 0; c < v->channels; ++c) channels += map.chan[c].mux == s;
      const int r = map.submap_residue[s];
      if (v->residue_types[r] == 2 && channels > 2 && v->residue_config[r].end > block) return 1;
    }
  }
  return 0;
}
