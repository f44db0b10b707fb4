#include "support/machine/call_trace.h"

#include <utility>

#include "machine/cpu.h"
#include "machine/dispatch.h"
#include "machine/hooks.h"
#include "machine/memory.h"

namespace {

std::vector<traced_call> calls;

void note(u32 target, u32 ret) {
  traced_call c{target, ret, {}, {}, rd16(0xFF8240), rd16(call_trace_watch)};
  for (int i = 0; i < 8; ++i) {
    c.d[i] = *cpu_reg[i];
    c.a[i] = *cpu_reg[8 + i];
  }
  calls.push_back(c);
}

} // namespace

void call_trace_start() {
  calls.clear();
  call_trace_watch = 0;
  dispatch_call_observer = note;
}

void call_trace_stop() { dispatch_call_observer = nullptr; }

void call_trace_hook_noted(u32 address) { note(address, 0); }

void call_trace_hooks(std::initializer_list<u32> hook_addresses) {
  for (u32 a : hook_addresses) hook_register(a, call_trace_hook_noted);
}

const std::vector<traced_call>& traced_calls() { return calls; }

std::vector<traced_call> calls_to(u32 target) {
  std::vector<traced_call> r;
  for (const traced_call& c : calls)
    if (c.target == target) r.push_back(c);
  return r;
}

std::vector<std::pair<u32, u32>> calls_returning_within(u32 first, u32 last) {
  std::vector<std::pair<u32, u32>> r;
  for (const traced_call& c : calls)
    if (c.ret == 0 || (c.ret >= first && c.ret <= last)) r.emplace_back(c.target, c.ret);
  return r;
}
