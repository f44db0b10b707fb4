#include "game_harness.h"

#include <array>
#include <utility>

namespace {

void returns_only() { RTS(); }

constexpr int recorder_slots = 8;
std::array<u32, recorder_slots> recorder_address;
int recorders_used;
std::vector<stub_call> calls;

template <int N> void recorder() {
  calls.push_back({recorder_address[N], d0, d1, a0, a1, a2, a4, get_sr(), a7, rd32(a7), rd8(stub_watch_address)});
  RTS();
}

template <int... N> constexpr std::array<routine_fn, sizeof...(N)> recorders(std::integer_sequence<int, N...>) {
  return {recorder<N>...};
}
constexpr auto recorder_fns = recorders(std::make_integer_sequence<int, recorder_slots>());

ROUTINE(stand_in_song_start, 0x041BCC)
  hook_point(game_hook_slot(0x041BCC), 0x041BCC);
  RTS();
END_ROUTINE

ROUTINE(stand_in_song_stop, 0x041BE8)
  hook_point(game_hook_slot(0x041BE8), 0x041BE8);
  RTS();
END_ROUTINE

ROUTINE(stand_in_tick, 0x041BDA)
  hook_point(game_hook_slot(0x041DD8), 0x041DD8);
  RTS();
END_ROUTINE

} // namespace

void stub_driver_tick() { register_routine(0x041BDA, stand_in_tick); }

void stub_driver_song_calls() {
  register_routine(0x041BCC, stand_in_song_start);
  register_routine(0x041BE8, stand_in_song_stop);
}

int run_routine(u32 entry, int max_slices, void (*between)()) {
  driver_start(entry);
  const int n = driver_run(max_slices, 2000000, between);
  return driver_finished() ? n : -1;
}

bool routine_written(u32 entry) {
  for (int i = 0; i < game_dispatch_row_count; ++i)
    if (game_dispatch_rows[i].address == entry) return game_dispatch_rows[i].kind == routine_entry;
  return false;
}

void stub_returns(std::initializer_list<u32> addresses) {
  for (u32 a : addresses) register_routine(a, returns_only);
}

void stub_records(std::initializer_list<u32> addresses) {
  for (u32 a : addresses) {
    int slot = 0;
    while (slot < recorders_used && recorder_address[slot] != a) ++slot;
    if (slot == recorder_slots) {
      ADD_FAILURE() << "too many recording stubs";
      return;
    }
    if (slot == recorders_used) ++recorders_used;
    recorder_address[slot] = a;
    register_routine(a, recorder_fns[slot]);
  }
}

void stub_reset() {
  recorders_used = 0;
  calls.clear();
  stub_watch_address = 0;
}

std::vector<stub_call>& stub_calls() { return calls; }

int stub_call_count(u32 address) {
  int n = 0;
  for (const stub_call& c : calls)
    if (c.address == address) ++n;
  return n;
}

void simple_vbl() {
  g_cpu.vbl_flag = 1;
  wr16(0x1DC6, rd16(0x1DC6) + 1);
}

void load_test_font() {
  for (u32 code = 32; code < 95; ++code) {
    const u32 glyph = 0x8700 + (code - 32) * 8;
    wr8(glyph, code);
    for (u32 row = 1; row < 8; ++row) wr8(glyph + row, 0x81);
  }
}

namespace {
u32 cell_address(u32 screen, u32 line_offset, u32 column) {
  return screen + line_offset + (column / 2) * 8 + (column & 1);
}
} // namespace

std::string screen_text(u32 screen, u32 line_offset, u32 column, u32 count) {
  std::string s;
  for (u32 c = column; c < column + count; ++c) {
    const u32 at = cell_address(screen, line_offset, c);
    const u32 top = rd8(at) | rd8(at + 2) | rd8(at + 4) | rd8(at + 6);
    s += top ? static_cast<char>(top) : '.';
  }
  return s;
}

u32 screen_cell_colour(u32 screen, u32 line_offset, u32 column) {
  const u32 at = cell_address(screen, line_offset, column);
  u32 colour = 0;
  for (u32 plane = 0; plane < 4; ++plane)
    if (rd8(at + 2 * plane)) colour |= 1u << plane;
  return colour;
}
