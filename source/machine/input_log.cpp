// The input log: a fixed array in logging order. A full log keeps its newer
// half, so logging never allocates.
#include "machine/input_log.h"

#include <cstdio>
#include <cstring>

#include "machine/cpu.h"
#include "machine/tos.h"

namespace {

input_log_entry input_log[input_log_capacity];
int n_input_log;

void drop_front(int k) {
  std::memmove(input_log, input_log + k, sizeof(input_log_entry) * (n_input_log - k));
  n_input_log -= k;
}

} // namespace

void tos_ilog(int type, int a, int b) {
  if (n_input_log >= input_log_capacity) drop_front(input_log_capacity / 2);
  input_log[n_input_log++] = {tos.vbl, static_cast<char>(type), a, b};
}

void tos_ilog_trim(u32 v) {
  int k = 0;
  while (k < n_input_log && input_log[k].vbl < v) ++k;
  if (k > 0) drop_front(k);
}

void tos_ilog_rewind(u32 v) {
  int kept = 0;
  for (int i = 0; i < n_input_log; ++i)
    if (input_log[i].vbl < v) input_log[kept++] = input_log[i];
  n_input_log = kept;
}

void tos_ilog_clear() { n_input_log = 0; }

int tos_ilog_write(const char* path, u32 start_vbl) {
  FILE* f = path ? std::fopen(path, "w") : nullptr;
  if (!f) return 0;
  bool ok = std::fprintf(f, "0 F 1 %d\n0 F 0 %d\n", g_cpu.patch_flags[1], g_cpu.patch_flags[0]) > 0;
  for (int i = 0; i < n_input_log && ok; ++i) {
    const input_log_entry& e = input_log[i];
    if (e.vbl < start_vbl) continue;
    ok = std::fprintf(f, "%u %c %d %d\n", e.vbl - start_vbl, e.type, e.a, e.b) > 0;
  }
  ok = !std::ferror(f) && ok;
  return std::fclose(f) == 0 && ok;
}

int tos_ilog_count() { return n_input_log; }
const input_log_entry* tos_ilog_entries() { return input_log; }
