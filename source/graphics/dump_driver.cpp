// The graphics dump's driver. The game keeps its pictures packed on disk and
// each mission has its own tiles and palette, so the dump plays the game:
// headless, with scripted keys and joystick, through the intro, the title,
// the player-count screen, the world map, the weapon shop and the start of
// every mission, copying the screen and the memory image at fixed moments.
// Then it hands what it gathered to the writers of the dump folder.
#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "graphics/dump.h"
#include "graphics/dump_work.h"
#include "graphics/level.h"
#include "graphics/png_codec.h"
#include "host/platform.h"
#include "machine/boot_state.h"
#include "machine/coroutine.h"
#include "machine/ikbd.h"
#include "machine/machine_state.h"
#include "machine/memory.h"
#include "machine/slice_runner.h"
#include "machine/vbl_delivery.h"
#include "machine/ym_capture.h"

namespace {

constexpr size_t path_size = 700;
constexpr size_t status_size = 200;
constexpr size_t worker_stack = 64u << 20;
constexpr u32 dump_budget = INT_MAX;

// Worker status, shared with the polling caller under job_lock.
port_mutex* job_lock = nullptr;
char job_status[status_size];
int job_done = 0, dj_ok = 0;

dump_progress_fn progress_cb = nullptr;

// Player 1's joystick byte.
constexpr int JOY_UP = 1, JOY_DOWN = 2, JOY_LEFT = 4, JOY_RIGHT = 8, JOY_FIRE = 128;
constexpr int KEY_ONE = 2, KEY_RELEASE = 0x80;

constexpr u32 map_cursor_x = 0x1EC, map_cursor_y = 0x1EE;
constexpr u32 mission_box_table = 0xBF98;
constexpr int max_boxes = 40;
constexpr int cursor_passes = 14;
constexpr int shop_cells[6][2] = {{1, 0}, {2, 4}, {3, 2}, {0, 1}, {2, 2}, {4, 3}};
constexpr int shop_exit_x = 288, shop_exit_y = 132;
constexpr int played_mission = 1;
constexpr int play_iterations = 6400;
constexpr size_t max_ingame = 600;

struct map_box {
    int x0, x1, y0, y1, mission;
};

// The run in progress.
struct dump_run {
    dump_work* work = nullptr;
    bool sampling = false;
    int snap_tag = 0;
    std::vector<map_box> boxes;
};
dump_run run_state;

void job_say(const char* text) {
    port_mutex_lock(job_lock);
    std::snprintf(job_status, sizeof job_status, "%s", text);
    port_mutex_unlock(job_lock);
}

int signed_word(u32 address) { return static_cast<int16_t>(ram[address] << 8 | ram[address + 1]); }

void take_screen(dump_snap& s) {
    s.idx.resize(dump_screen_pixels);
    s.zone_count = 0;
    tos_screen_idx(s.idx.data(), s.zones, &s.zone_count);
}

// One VBL of the machine; false when the slice failed (its VBL is skipped).
bool iterate() {
    if (tos_run_slice(dump_budget) < 0) return false;
    tos_vbl();
    ym_events_clear();
    return true;
}

void step_s(int n) {
    for (int i = 0; i < n; ++i) {
        iterate();
        if (run_state.sampling && tos.vbl % 4 == 0) {
            dump_snap s;
            s.tag = run_state.snap_tag;
            s.vbl = tos.vbl;
            take_screen(s);
            run_state.work->snaps.push_back(std::move(s));
        }
    }
}

void run(int n) {
    for (int i = 0; i < n; ++i)
        if (!iterate()) return;
}

void fire(int hold, int after, void (*steps)(int)) {
    tos_joystick(1, JOY_FIRE);
    steps(hold);
    tos_joystick(1, 0);
    steps(after);
}

void press_one(void (*steps)(int)) {
    tos_key(KEY_ONE);
    steps(4);
    tos_key(KEY_ONE | KEY_RELEASE);
    steps(6);
}

// Pixels of the screen whose colour is not black.
int lit_pixels() {
    dump_snap s;
    take_screen(s);
    int lit = 0;
    for (int y = 0; y < 200; ++y) {
        const palette_zone& z = zone_for_line(s.zones, s.zone_count, y);
        for (int x = 0; x < 320; ++x) {
            const int i = s.idx[y * 320 + x];
            if ((z.palette[2 * i] << 8 | z.palette[2 * i + 1]) & 0x0FFF) ++lit;
        }
    }
    return lit;
}

void wait_map() {
    for (int i = 0; i < 3000; ++i) {
        step_s(1);
        if (lit_pixels() > 20000) return;
    }
}

void goto_xy(int x, int y, int speed, int tolerance) {
    for (int pass = 0; pass < cursor_passes; ++pass) {
        const int dx = x - signed_word(map_cursor_x), dy = y - signed_word(map_cursor_y);
        const bool x_out = std::abs(dx) > tolerance, y_out = std::abs(dy) > tolerance;
        if (!x_out && !y_out) return;
        int direction = 0, distance = 0;
        if (y_out) direction |= dy > 0 ? JOY_DOWN : JOY_UP;
        if (x_out) direction |= dx > 0 ? JOY_RIGHT : JOY_LEFT;
        if (x_out && y_out)
            distance = std::min(std::abs(dx), std::abs(dy));
        else
            distance = x_out ? std::abs(dx) : std::abs(dy);
        tos_joystick(1, direction);
        run(std::clamp(distance / speed, 1, 60));
        tos_joystick(1, 0);
        run(6);
    }
}

void centre(const map_box& b) { goto_xy((b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2, 1, 1); }

void read_boxes() {
    run_state.boxes.clear();
    for (int i = 0; i < max_boxes; ++i) {
        const u32 at = mission_box_table + 10 * i;
        if (ram[at] & 0x80) break;
        run_state.boxes.push_back({signed_word(at), signed_word(at + 2), signed_word(at + 4), signed_word(at + 6),
                                                              signed_word(at + 8)});
    }
}

const map_box* first_box(int mission) {
    for (const map_box& b : run_state.boxes)
        if (b.mission == mission) return &b;
    return nullptr;
}

void shot(const char* name) {
    const char* folder = std::getenv("BKM_DUMP_SHOTS");
    if (!folder || !*folder) return;
    dump_snap s;
    take_screen(s);
    std::vector<u8> rgba;
    to_rgb(s.idx.data(), 320, 0, s.zones, s.zone_count, rgba);
    const std::string path = std::string(folder) + "/" + name + ".png";
    png_write(path.c_str(), rgba.data(), 320, 200, 4);
}

int env_count(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v ? std::atoi(v) : fallback;
}

// The scripted play of a mission: forward with fire pulses, swaying left
// and right; every 12th VBL's screen kept while `keep` allows.
void play(int iterations, bool keep) {
    for (int k = 0; k < iterations; ++k) {
        const int joy = dump_play_joystick(k);
        if (joy >= 0) tos_joystick(1, joy);
        iterate();
        if (keep && k % 12 == 0 && run_state.work->ingame.size() < max_ingame) {
            dump_snap s;
            take_screen(s);
            run_state.work->ingame.push_back(std::move(s));
        }
    }
}

void enter_mission(int n) {
    const map_box* box = first_box(n);
    if (!box) return;
    centre(*box);
    run(30);
    shot("d_cursor");
    fire(8, 200, run);
    shot("e_shop");
    goto_xy(96, 12, 4, 3), run(20), fire(8, 30, run);
    goto_xy(160, 108, 4, 3), run(20), fire(8, 30, run);
    goto_xy(shop_exit_x, shop_exit_y, 4, 3), run(20);
    shot("f_exit");
    fire(8, 60, run);
    shot("g_after1");
    dump_snap kept, now;
    take_screen(kept);
    for (int i = 0; i < 8; ++i) {
        fire(8, 120, run);
        take_screen(now);
        size_t differ = 0;
        for (size_t p = 0; p < dump_screen_pixels; ++p) differ += kept.idx[p] != now.idx[p];
        if (differ > 5000) break;
    }
    shot("h_after2");
    run(300);
    shot("i_mission");
}

bool warm_up() {
    dump_say("map and shop");
    run_state.sampling = true;
    run_state.snap_tag = TAG_TITLE;
    step_s(60);
    fire(6, 120, step_s);
    run_state.snap_tag = TAG_PLAYERS;
    press_one(step_s);
    run_state.snap_tag = TAG_MAP;
    wait_map();
    step_s(200);
    read_boxes();
    if (run_state.boxes.size() <= 11) {
        run_state.sampling = false;
        dump_say("the mission map was not reached");
        return false;
    }
    for (int mission : {2, 5})
        if (const map_box* b = first_box(mission)) {
            centre(*b);
            step_s(60);
        }
    run_state.snap_tag = TAG_SHOP;
    fire(8, 0, step_s);
    step_s(200);
    for (const auto& cell : shop_cells) {
        goto_xy(cell[0] * 64 + 32, cell[1] * 24 + 12, 4, 3);
        step_s(20);
        fire(8, 30, step_s);
    }
    goto_xy(shop_exit_x, shop_exit_y, 4, 3);
    step_s(20);
    run_state.sampling = false;
    return true;
}

void dump_thread(void* arg) {
    char* paths = static_cast<char*>(arg);
    const int ok = dump_original(paths, paths + path_size, job_say);
    std::free(paths);
    core_reset();
    core_forget_host();
    port_mutex_lock(job_lock);
    dj_ok = ok;
    job_done = 1;
    port_mutex_unlock(job_lock);
}

} // namespace

void dump_say(const char* fmt, ...) {
    char text[status_size];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    host_log("graphics dump: %s", text);
    if (progress_cb) progress_cb(text);
}

void dump_mission_palette(const palette_zone* zones, int count, u8* words) {
    int best = -1;
    for (int z = 0; z < count; ++z)
        if (zones[z].line <= 100 && (best < 0 || zones[z].line > zones[best].line)) best = z;
    std::memcpy(words, zones[best < 0 ? 0 : best].palette, 32);
}

int dump_play_joystick(int k) {
    if (k % 2) return -1;
    const int phase = (k / 60) % 6;
    int joy = JOY_UP | (phase == 1 ? JOY_LEFT : phase == 3 ? JOY_RIGHT : 0);
    if ((k / 2) % 10 < 5) joy |= JOY_FIRE;
    return joy;
}

void dump_mission_levels(dump_work& w, int mission, const u8* colour_words) {
    for (int section = 0; section < 4; ++section) {
        int height = 0, highest = 0;
        u8* rgb = level_dump_rgb(section, colour_words, &height, &highest);
        if (!rgb) continue;
        w.used_gmax[mission] = std::max(w.used_gmax[mission], highest);
        dump_level_picture(w, mission, section, rgb, height);
        std::free(rgb);
    }
}

int dump_write_all(dump_work& w) {
    dump_say("writing the sheets");
    dump_sprites(w);
    dump_bullets(w);
    dump_tiles(w);
    std::memcpy(ram, w.mission_ram[0].data(), ram_size);
    dump_font(w, ram);
    dump_screens(w);
    dump_write_readme(w);
    if (!dump_write_index(w)) {
        dump_say("FAILED writing index.json");
        return 0;
    }
    dump_say("done: %s", w.out_root.c_str());
    return 1;
}

int dump_original(const char* data_dir, const char* out_dir, dump_progress_fn progress) {
    progress_cb = progress;
    auto work = std::make_unique<dump_work>();
    dump_work& w = *work;
    run_state = dump_run{};
    run_state.work = &w;
    w.out_root = out_dir;

    state_ptr boot(boot_state_make(data_dir));
    if (!boot) {
        dump_say("the original game files cannot be read");
        return 0;
    }
    tos_init(data_dir);
    tos_load_state(boot.get());
    ym_events_clear();

    dump_say("intro");
    run_state.sampling = true;
    run_state.snap_tag = TAG_INTRO;
    step_s(1000);
    run_state.sampling = false;
    state_ptr title_state(state_new());
    if (!title_state) return 0;
    tos_save_state(title_state.get());

    if (!warm_up()) return 0;

    // There are twelve missions to keep; a larger count runs them all.
    const int count = std::min(env_count("BKM_DUMP_MISSIONS", dump_missions), dump_missions);
    if (count < 1) {
        dump_say("partial run (development)");
        return 1;
    }
    const int extra_play = env_count("BKM_DUMP_PLAY", 0);
    for (int n = 0; n < count; ++n) {
        dump_say("mission %d of %d", n + 1, dump_missions);
        tos_load_state(title_state.get());
        ym_events_clear();
        run(60);
        shot("a_title");
        fire(6, 120, run);
        shot("b_players");
        press_one(run);
        wait_map();
        run(200);
        shot("c_map");
        read_boxes();
        enter_mission(n);
        run(100);
        w.mission_ram[n].assign(ram, ram + ram_size);
        u8 words[32];
        dump_mission_palette(tos.zones, tos.zone_count, words);
        pal_cols(words, 16, w.mission_palettes[n].data());
        dump_mission_levels(w, n, words);
        if (n == played_mission) {
            tos_set_patch(0, 1);
            play(play_iterations, true);
            tos_set_patch(0, 0);
            tos_joystick(1, 0);
        } else if (extra_play > 0) {
            play(extra_play, false);
            tos_joystick(1, 0);
        }
    }
    if (count != dump_missions) {
        dump_say("partial run (development)");
        return 1;
    }
    return dump_write_all(w);
}

int dump_begin(const char* data_dir, const char* out_dir) {
    if (!job_lock) job_lock = port_mutex_new();
    if (!job_lock) return 0;
    char* paths = static_cast<char*>(std::calloc(2, path_size));
    if (!paths) return 0;
    std::snprintf(paths, path_size, "%s", data_dir);
    std::snprintf(paths + path_size, path_size, "%s", out_dir);
    port_mutex_lock(job_lock);
    job_done = 0;
    dj_ok = 0;
    port_mutex_unlock(job_lock);
    if (!port_thread_start_stack(dump_thread, paths, nullptr, worker_stack)) {
        std::free(paths);
        return 0;
    }
    return 1;
}

int dump_finished(int* ok) {
    if (!job_lock) return 0;
    port_mutex_lock(job_lock);
    const int done = job_done;
    if (done && ok) *ok = dj_ok;
    port_mutex_unlock(job_lock);
    return done;
}

void dump_status(char* out, size_t size) {
    if (!size) return;
    out[0] = 0;
    if (!job_lock) return;
    port_mutex_lock(job_lock);
    std::snprintf(out, size, "%s", job_status);
    port_mutex_unlock(job_lock);
}
