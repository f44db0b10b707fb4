// The memory stb_vorbis may hold while one song is decoded: its allocations
// come from a budget of the decoding thread, so that whatever a stream
// declares, a decoder refuses it (out of memory) rather than take more.
#pragma once
#include <cstddef>

constexpr size_t ogg_memory_most = size_t{40} << 20;

// The budget of this thread for the song decoded in its lifetime; at its end
// every block stb_vorbis still holds is given back. One at a time per thread.
class ogg_memory_scope {
public:
  ogg_memory_scope();
  ~ogg_memory_scope();
  ogg_memory_scope(const ogg_memory_scope&) = delete;
  ogg_memory_scope& operator=(const ogg_memory_scope&) = delete;
};
