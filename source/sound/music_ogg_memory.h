// The memory stb_vorbis may hold while one song is decoded: its allocations
// come from a budget of the decoding thread, so that whatever a stream
// declares, a decoder refuses it (out of memory) rather than take more.
#pragma once
#include <cstddef>

constexpr size_t ogg_memory_most = size_t{40} << 20;

// The budget of this thread for the song decoded in its lifetime; at its end
// every block stb_vorbis still holds is given back. One song at a time per
// thread: a scope opened while another is open on the same thread is
// refused (not active); it takes no budget and gives back nothing, so the
// open decoder's blocks stay its own.
class ogg_memory_scope {
public:
  ogg_memory_scope();
  ~ogg_memory_scope();
  ogg_memory_scope(const ogg_memory_scope&) = delete;
  ogg_memory_scope& operator=(const ogg_memory_scope&) = delete;
  bool active() const { return active_; }

private:
  bool active_;
};

// stb_vorbis's malloc and free: a block within this thread's budget, or null.
void* ogg_memory_take(size_t size);
void ogg_memory_give(void* block);
// Bytes this thread's budget holds now, the blocks' heads included.
size_t ogg_memory_held();
