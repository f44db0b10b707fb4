// A graphics pack as the level pictures see it, for their tests: chosen
// tiles replaced by pictures made from a pixel rule, the builder count, the
// threads the tile lookups ran on, and a gate that holds builders inside a
// lookup until the test opens it.
#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "graphics/level.h"
#include "graphics/level_pack.h"

struct level_pack_stub {
    // RGBA of output pixel (x, y) of a replaced tile.
    using pixel_rule = std::function<void(int x, int y, unsigned char* rgba)>;

    int has_tiles = 1;
    std::map<std::vector<unsigned char>, pixel_rule> ground, objects;  // by the tile's indices
    std::atomic<int> builders{0};
    std::atomic<int> builds_started{0};
    std::atomic<int> lookups_waiting{0};

    std::mutex lock;  // guards what follows
    std::condition_variable changed;
    bool gate_closed = false;
    std::set<std::thread::id> lookup_threads;
    std::map<std::pair<const pixel_rule*, int>, std::vector<unsigned char>> made;  // by rule and scale

    static level_pack_stub*& current() {
        static level_pack_stub* stub = nullptr;
        return stub;
    }
    void install() {
        current() = this;
        level_pack = {[] { return current()->has_tiles; },
                      [](const uint8_t* indices, int s) {
                          return current()->lookup(current()->ground, indices, ground_tile_pixels, 64, 32, s);
                      },
                      [](const uint8_t* indices, int s) {
                          return current()->lookup(current()->objects, indices, object_block_pixels, 16, 16, s);
                      },
                      [](int delta) {
                          current()->builders += delta;
                          if (delta > 0) ++current()->builds_started;
                      }};
    }
    static void remove() {
        level_pack = {};
        current() = nullptr;
    }

    void close_gate() {
        std::lock_guard<std::mutex> g(lock);
        gate_closed = true;
    }
    void open_gate() {
        {
            std::lock_guard<std::mutex> g(lock);
            gate_closed = false;
        }
        changed.notify_all();
    }
    // Waits until n lookups are held at the gate.
    void wait_held(int n) {
        std::unique_lock<std::mutex> g(lock);
        changed.wait(g, [&] { return lookups_waiting.load() >= n; });
    }

    const uint8_t* lookup(const std::map<std::vector<unsigned char>, pixel_rule>& rules, const uint8_t* indices,
                          int count, int w, int h, int s) {
        std::unique_lock<std::mutex> g(lock);
        lookup_threads.insert(std::this_thread::get_id());
        ++lookups_waiting;
        changed.notify_all();
        changed.wait(g, [&] { return !gate_closed; });
        --lookups_waiting;
        const auto found = rules.find(std::vector<unsigned char>(indices, indices + count));
        if (found == rules.end()) return nullptr;
        std::vector<unsigned char>& pixels = made[{&found->second, s}];
        if (pixels.empty()) {
            pixels.resize(static_cast<size_t>(w) * s * h * s * 4);
            for (int y = 0; y < h * s; ++y)
                for (int x = 0; x < w * s; ++x) found->second(x, y, &pixels[(static_cast<size_t>(y) * w * s + x) * 4]);
        }
        return pixels.data();
    }
};
