// The calls the routines make, as the dispatcher sees them (JSR, BSR and
// computed calls), with the registers at each call: a test of what a routine
// hands its callee reads it here while the callee itself runs. Hook points
// can be noted in the same trace, so a test sees calls and hooks in one
// order.
#pragma once
#include <initializer_list>
#include <utility>
#include <vector>

#include "machine/types.h"

struct traced_call {
  u32 target;
  u32 ret;     // the return address the call pushed; 0 for a hook point
  u32 d[8];
  u32 a[8];
  u32 colour0; // colour register 0 ($FF8240) at the call
  u32 watched; // the word at call_trace_watch at the call
};

inline u32 call_trace_watch = 0;

// Forgets what was traced and traces from now on, until call_trace_stop or
// the next machine_clear.
void call_trace_start();
void call_trace_stop();
// Notes each firing of these hook points as a call with ret 0.
void call_trace_hooks(std::initializer_list<u32> hook_addresses);
// The handler call_trace_hooks registers, for handlers that note and then act.
void call_trace_hook_noted(u32 address);

const std::vector<traced_call>& traced_calls();
std::vector<traced_call> calls_to(u32 target);
// The calls whose return address lies in [first, last] (those that one
// routine made itself) and the noted hooks, as (target, return address).
std::vector<std::pair<u32, u32>> calls_returning_within(u32 first, u32 last);
