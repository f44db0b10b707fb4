// The music loader's 16 song slots and the threads that fill them. A slot
// goes none -> loading -> ready or failed; a folder switch puts every slot
// back to none and raises the generation, so that a load that was running
// for the old folder throws its result away when it arrives.
#include "sound/music_loader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "host/platform.h"
#include "sound/music_decode.h"
#include "sound/music_entries.h"

std::atomic<void (*)(const char* path, int stage)> music_load_observer{nullptr};

struct music_loader {
  char folder[500];
  i32 state[music_slots];
  i16* pcm[music_slots];
  i32 frames[music_slots];
  i32 loop_start[music_slots];
  i32 loop_back[music_slots];
  i32 prefetch_started;
  i32 generation;
  port_mutex* lock;
};

namespace {

constexpr const char* extensions[] = {".mp3", ".ogg", ".wav"};
// The usual songs first: mission, map, end of level, bonus, fail, scores.
constexpr int prefetch_order[] = {0, 1, 6, 3, 7, 5, 2, 4, 8, 9, 10, 11};

struct lock_guard {
  port_mutex* m;
  explicit lock_guard(port_mutex* mutex) : m(mutex) { port_mutex_lock(m); }
  ~lock_guard() { port_mutex_unlock(m); }
  lock_guard(const lock_guard&) = delete;
  lock_guard& operator=(const lock_guard&) = delete;
};

void reset_slot(music_loader* l, int slot) {
  std::free(l->pcm[slot]);
  l->pcm[slot] = nullptr;
  l->state[slot] = SLOT_NONE;
  l->frames[slot] = 0;
  l->loop_start[slot] = -1;
  l->loop_back[slot] = -1;
}

void observe(const char* path, int stage) {
  if (auto* seen = music_load_observer.load()) seen(path, stage);
}

// Turns to decode, shared by every loader's threads: a song being decoded
// holds its file and its output, so the prefetch and the game's requests
// decode no more than music_decodes_at_once songs together; the others wait
// for a turn. Made once and kept for the process, as detached loading
// threads may use it to the end.
class decode_turns {
public:
  decode_turns() : lock_(port_mutex_new()), freed_(port_event_new()) {}
  void take(const char* path) {
    if (try_take()) return;
    observe(path, music_load_waits);
    while (!try_take()) port_event_wait(freed_, 1000);
    // A turn freed while others were also about to wait is passed on.
    bool more;
    {
      lock_guard hold(lock_);
      more = free_ > 0;
    }
    if (more) port_event_signal(freed_);
  }
  void give() {
    {
      lock_guard hold(lock_);
      ++free_;
    }
    port_event_signal(freed_);
  }

private:
  bool try_take() {
    lock_guard hold(lock_);
    if (free_ == 0) return false;
    --free_;
    return true;
  }
  port_mutex* lock_;
  port_event* freed_;
  int free_ = music_decodes_at_once;
};

decode_turns& turns() {
  static auto* shared = new decode_turns;
  return *shared;
}

// A turn held for the life of the object.
struct decode_turn {
  explicit decode_turn(const char* path) { turns().take(path); }
  ~decode_turn() { turns().give(); }
  decode_turn(const decode_turn&) = delete;
  decode_turn& operator=(const decode_turn&) = delete;
};

// What a loading thread knows of its slot before it decodes.
struct load_job {
  music_loader* loader;
  int slot;
  int generation;
  char path[1024];
};

// Whether the job's slot still waits for it: same folder, still loading.
bool still_wanted(const load_job& job) {
  lock_guard hold(job.loader->lock);
  return job.loader->generation == job.generation && job.loader->state[job.slot] == SLOT_LOADING;
}

// Decodes the job's file without the lock, in its turn, and stores the
// result when the folder is still the one the job was made for. A folder
// switched while the job waited for its turn leaves nothing to decode.
void decode_and_store(const load_job& job) {
  music_loader* l = job.loader;
  const decode_turn turn(job.path);
  if (!still_wanted(job)) {
    observe(job.path, music_load_ended);
    return;
  }
  observe(job.path, music_load_begins);
  int frames = 0, lead_in = 0, rate = 0;
  i16* pcm = decode_file(job.path, &frames, &lead_in, &rate);
  {
    lock_guard hold(l->lock);
    if (l->generation != job.generation || l->state[job.slot] != SLOT_LOADING) {
      std::free(pcm);
    } else if (pcm) {
      l->pcm[job.slot] = pcm;
      l->frames[job.slot] = frames;
      l->state[job.slot] = SLOT_READY;
      int start, back;
      if (read_loop_points(job.path, lead_in, frames, rate, &start, &back))
        l->loop_start[job.slot] = start, l->loop_back[job.slot] = back;
    } else {
      host_log("Music: cannot decode %s", job.path);
      l->state[job.slot] = SLOT_FAILED;
    }
  }
  observe(job.path, music_load_ended);
}

// A loading thread whose file has gone fails its slot (same folder only).
void fail_missing(const load_job& job) {
  lock_guard hold(job.loader->lock);
  if (job.loader->generation == job.generation && job.loader->state[job.slot] == SLOT_LOADING)
    job.loader->state[job.slot] = SLOT_FAILED;
}

void load_thread(void* arg) {
  load_job* job = static_cast<load_job*>(arg);
  char folder[sizeof job->loader->folder];
  bool current;
  {
    lock_guard hold(job->loader->lock);
    current = job->loader->generation == job->generation;
    std::memcpy(folder, job->loader->folder, sizeof folder);
  }
  // After a folder switch before this thread ran, its slot is none again.
  if (current) {
    if (music_find_path(folder, job->slot, job->path, sizeof job->path))
      decode_and_store(*job);
    else
      fail_missing(*job);
  }
  delete job;
}

void request(music_loader* l, int slot) {
  char folder[sizeof l->folder];
  int generation;
  {
    lock_guard hold(l->lock);
    if (l->state[slot] != SLOT_NONE) return;
    std::memcpy(folder, l->folder, sizeof folder);
    generation = l->generation;
  }
  char path[1024];
  if (!music_find_path(folder, slot, path, sizeof path)) return;
  {
    lock_guard hold(l->lock);
    if (l->generation != generation || l->state[slot] != SLOT_NONE) return;
    l->state[slot] = SLOT_LOADING;
  }
  auto* job = new (std::nothrow) load_job{l, slot, generation, {}};
  const char* failure = nullptr;
  if (!job)
    failure = "Music: cannot allocate a loader for %s";
  else if (!port_thread_start(load_thread, job, nullptr))
    failure = "Music: cannot start a loader for %s";
  if (!failure) return;
  delete job;
  {
    lock_guard hold(l->lock);
    if (l->generation == generation && l->state[slot] == SLOT_LOADING) l->state[slot] = SLOT_FAILED;
  }
  host_log(failure, path);
}

void prefetch_thread(void* arg) {
  auto* l = static_cast<music_loader*>(arg);
  load_job job{l, 0, 0, {}};
  char folder[sizeof l->folder];
  {
    lock_guard hold(l->lock);
    job.generation = l->generation;
  }
  for (int slot : prefetch_order) {
    {
      lock_guard hold(l->lock);
      if (l->generation != job.generation) return;
      if (l->state[slot] != SLOT_NONE) continue;
      std::memcpy(folder, l->folder, sizeof folder);
    }
    if (!music_find_path(folder, slot, job.path, sizeof job.path)) continue;
    {
      lock_guard hold(l->lock);
      if (l->generation != job.generation) return;
      if (l->state[slot] != SLOT_NONE) continue;
      l->state[slot] = SLOT_LOADING;
    }
    job.slot = slot;
    decode_and_store(job);
  }
  lock_guard hold(l->lock);
  if (l->generation == job.generation) l->prefetch_started = 0;
}

bool slot_ok(int slot) { return slot >= 0 && slot < music_slots; }

} // namespace

const char* music_slot_name(int slot) {
  static const char* const names[music_slots] = {"mission", "map",    "song2",  "bonus",  "song4",  "highscores",
                                                 "endlevel", "fail",  "song8",  "song9",  "song10", "song11",
                                                 "song12",  "song13", "song14", "song15"};
  return slot_ok(slot) ? names[slot] : "";
}

int music_find_path(const char* folder, int slot, char* out, size_t size) {
  if (!slot_ok(slot)) return 0;
  for (const char* ext : extensions) {
    const int n = std::snprintf(out, size, "%s/%s%s", folder, music_slot_name(slot), ext);
    if (n > 0 && static_cast<size_t>(n) < size && file_exists(out)) return 1;
  }
  if (size) out[0] = '\0';
  return 0;
}

music_loader* music_new(const char* folder) {
  auto* l = static_cast<music_loader*>(std::calloc(1, sizeof(music_loader)));
  if (!l) return nullptr;
  l->lock = port_mutex_new();
  if (!l->lock) {
    std::free(l);
    return nullptr;
  }
  std::snprintf(l->folder, sizeof l->folder, "%s", folder ? folder : "");
  for (int s = 0; s < music_slots; ++s) reset_slot(l, s);
  return l;
}

void music_set_dir(music_loader* l, const char* folder) {
  if (!l) return;
  lock_guard hold(l->lock);
  std::snprintf(l->folder, sizeof l->folder, "%s", folder ? folder : "");
  ++l->generation;
  l->prefetch_started = 0;
  for (int s = 0; s < music_slots; ++s) reset_slot(l, s);
}

void music_prefetch(music_loader* l) {
  if (!l) return;
  int generation;
  {
    lock_guard hold(l->lock);
    if (l->prefetch_started) return;
    l->prefetch_started = 1;
    generation = l->generation;
  }
  if (port_thread_start(prefetch_thread, l, nullptr)) return;
  {
    lock_guard hold(l->lock);
    if (l->generation == generation) l->prefetch_started = 0;
  }
  host_log("Music: cannot start prefetching");
}

const i16* music_get(music_loader* l, int slot, int* frames) {
  if (!l || !slot_ok(slot)) return nullptr;
  {
    lock_guard hold(l->lock);
    if (l->state[slot] == SLOT_READY) {
      *frames = l->frames[slot];
      return l->pcm[slot];
    }
    if (l->state[slot] != SLOT_NONE) return nullptr;
  }
  request(l, slot);
  return nullptr;
}

int music_loop_points(music_loader* l, int slot, int* start, int* back) {
  if (!l || !slot_ok(slot)) return 0;
  lock_guard hold(l->lock);
  if (l->state[slot] != SLOT_READY || l->loop_start[slot] < 0 || l->loop_back[slot] < 0) return 0;
  *start = l->loop_start[slot];
  *back = l->loop_back[slot];
  return 1;
}

int music_pending(music_loader* l, int slot) {
  if (!l || !slot_ok(slot)) return 0;
  char folder[sizeof l->folder];
  {
    lock_guard hold(l->lock);
    if (l->state[slot] == SLOT_LOADING) return 1;
    if (l->state[slot] != SLOT_NONE) return 0;
    std::memcpy(folder, l->folder, sizeof folder);
  }
  char path[1024];
  return music_find_path(folder, slot, path, sizeof path);
}

int music_slot_state_of(music_loader* l, int slot) {
  if (!l || !slot_ok(slot)) return SLOT_NONE;
  lock_guard hold(l->lock);
  return l->state[slot];
}

void music_loader_install() {
  music_entries.loader_new = music_new;
  music_entries.get = music_get;
  music_entries.pending = music_pending;
  music_entries.loop_points = music_loop_points;
  music_entries.prefetch = music_prefetch;
  music_entries.set_dir = music_set_dir;
  music_entries.take_once = looper_take_once;
  music_entries.take = looper_take;
  music_entries.take_lp = looper_take_lp;
}
