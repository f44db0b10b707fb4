#include "host/emu_events.h"

#include <mutex>

#include "host/platform.h"

namespace {

struct event_ring {
  emu_event entries[evq_capacity];
  int head = 0;
  int count = 0;
  bool open = false;
};

// The lock and the wake-up event are made once and live as long as the
// process: a poster on another thread that races the join then finds the
// ring closed instead of a freed lock.
port_mutex* ev_mutex = nullptr;
port_event* ev_signal = nullptr;
std::once_flag made;
event_ring ring;

bool make_objects() {
  std::call_once(made, [] {
    ev_mutex = port_mutex_new();
    ev_signal = port_event_new();
  });
  return ev_mutex && ev_signal;
}

bool essential(int kind, double b) { return kind == EV_QUIT || (kind == EV_KEY && b == 0); }

emu_event& at(int i) { return ring.entries[(ring.head + i) % evq_capacity]; }

// Removes the newest event that a release or a quit may displace.
bool evict_one() {
  for (int i = ring.count - 1; i >= 0; --i) {
    if (essential(at(i).kind, at(i).b)) continue;
    for (int j = i; j + 1 < ring.count; ++j) at(j) = at(j + 1);
    --ring.count;
    return true;
  }
  return false;
}

} // namespace

int evq_open() {
  if (!make_objects()) return 0;
  port_mutex_lock(ev_mutex);
  ring.head = ring.count = 0;
  ring.open = true;
  port_mutex_unlock(ev_mutex);
  port_event_wait(ev_signal, 0);
  return 1;
}

void evq_close() {
  if (!ev_mutex) return;
  port_mutex_lock(ev_mutex);
  ring.head = ring.count = 0;
  ring.open = false;
  port_mutex_unlock(ev_mutex);
}

int evq_is_open() {
  if (!ev_mutex) return 0;
  port_mutex_lock(ev_mutex);
  const int open = ring.open;
  port_mutex_unlock(ev_mutex);
  return open;
}

void emu_post(int kind, double a, double b) {
  if (!ev_mutex) return;
  port_mutex_lock(ev_mutex);
  if (!ring.open) {
    port_mutex_unlock(ev_mutex);
    return;
  }
  const bool press = kind == EV_KEY && b != 0;
  bool room = ring.count < evq_capacity && !(press && ring.count >= evq_press_limit);
  if (!room && ring.count >= evq_capacity && essential(kind, b)) room = evict_one();
  if (room) {
    at(ring.count) = emu_event{kind, a, b};
    ++ring.count;
  }
  port_mutex_unlock(ev_mutex);
  port_event_signal(ev_signal);
}

int ev_pop(emu_event* out) {
  if (!ev_mutex) return 0;
  port_mutex_lock(ev_mutex);
  const int got = ring.open && ring.count > 0;
  if (got) {
    *out = ring.entries[ring.head];
    ring.head = (ring.head + 1) % evq_capacity;
    --ring.count;
  }
  port_mutex_unlock(ev_mutex);
  return got;
}

int evq_count() {
  if (!ev_mutex) return 0;
  port_mutex_lock(ev_mutex);
  const int n = ring.count;
  port_mutex_unlock(ev_mutex);
  return n;
}

int ev_wait(int ms) { return ev_signal ? port_event_wait(ev_signal, ms) : 0; }

void ev_wake() {
  if (ev_signal) port_event_signal(ev_signal);
}
