// Watches the music loader's threads through its observer seam, so that a
// test can wait for a song's load to end, or hold a load (or every load) at
// its start, and see which loads had to wait for their turn to decode.
#pragma once
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "sound/music_loader.h"

// What the loading threads report; a load of hold_path waits at its start
// until release().
struct load_watch {
  static inline std::mutex m;
  static inline std::condition_variable cv;
  static inline std::vector<std::string> begun, ended, waited;
  static inline std::string hold_path;
  static inline bool hold_every = false;
  static inline bool held = false;
  // Loads begun and not yet ended, and the most of them seen at once.
  static inline std::vector<std::string> decoding;
  static inline size_t most_decoding = 0;
  // Only songs in these folders count: loads of earlier tests' loaders may
  // still be finishing.
  static inline std::vector<std::string> folders;

  // Forgets what was seen and watches the loads of songs in folder.
  static void start(const std::string& folder) {
    std::lock_guard lock(m);
    begun.clear();
    ended.clear();
    waited.clear();
    hold_path.clear();
    hold_every = false;
    decoding.clear();
    most_decoding = 0;
    folders = {folder + "/"};
    music_load_observer = observer;
  }
  static void watch(const std::string& folder) {
    std::lock_guard lock(m);
    folders.push_back(folder + "/");
  }
  static void stop() {
    release();
    music_load_observer = nullptr;
  }

  static void observer(const char* path, int stage) {
    std::unique_lock lock(m);
    const std::string p = path;
    if (std::none_of(folders.begin(), folders.end(), [&](const std::string& f) { return p.rfind(f, 0) == 0; }))
      return;
    (stage == music_load_begins ? begun : stage == music_load_waits ? waited : ended).emplace_back(path);
    if (stage == music_load_begins) {
      decoding.push_back(p);
      most_decoding = std::max(most_decoding, decoding.size());
    } else if (stage == music_load_ended) {
      auto it = std::find(decoding.begin(), decoding.end(), p);
      if (it != decoding.end()) decoding.erase(it);
    }
    cv.notify_all();
    if (stage == music_load_begins && (hold_every || path == hold_path)) {
      held = true;
      cv.notify_all();
      cv.wait(lock, [&] { return !hold_every && p != hold_path; });
    }
  }
  static void hold(const std::string& path) {
    std::lock_guard lock(m);
    hold_path = path;
    held = false;
  }
  // Every load waits at its start until release().
  static void hold_all() {
    std::lock_guard lock(m);
    hold_every = true;
    held = false;
  }
  static void release() {
    {
      std::lock_guard lock(m);
      hold_path.clear();
      hold_every = false;
    }
    cv.notify_all();
  }
  template <class Pred>
  static void wait(Pred done) {
    std::unique_lock lock(m);
    cv.wait(lock, done);
  }
  static void wait_held() {
    wait([] { return held; });
  }
  static size_t count(const std::vector<std::string>& list, const std::string& path) {
    return static_cast<size_t>(std::count(list.begin(), list.end(), path));
  }
  static void wait_ended(const std::string& path, size_t times = 1) {
    wait([&] { return count(ended, path) >= times; });
  }
  // Until the loader's slot is ready (or failed).
  static void wait_loaded(music_loader* loader, int slot) {
    wait([&] { return music_slot_state_of(loader, slot) >= SLOT_READY; });
  }
  static std::vector<std::string> begun_now() {
    std::lock_guard lock(m);
    return begun;
  }
  static std::vector<std::string> waited_now() {
    std::lock_guard lock(m);
    return waited;
  }
  static size_t most_decoding_now() {
    std::lock_guard lock(m);
    return most_decoding;
  }
};
