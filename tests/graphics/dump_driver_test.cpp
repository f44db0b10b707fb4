// The graphics dump played on the synthetic game data: the worker and its
// status, the files and index.json it leaves, the development runs of a
// few missions, the shots, and the failures it reports.
#include "graphics/dump.h"
#include "graphics/dump_work.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "graphics/json_reader.h"
#include "graphics/png_codec.h"
#include "host/platform.h"
#include "machine/game_data.h"
#include "support/machine/machine_fixture.h"
#include "support/tables/mission_builder.h"
#include "support/synthetic/synthetic_disk.h"
#include "support/synthetic/synthetic_game_data.h"
#include "support/temp_dir.h"

namespace {

// Sets an environment variable for one test (null unsets it).
struct env_var {
    std::string name, saved;
    bool had = false;
    env_var(const char* n, const char* value) : name(n) {
        if (const char* old = std::getenv(n)) saved = old, had = true;
        if (value)
            setenv(n, value, 1);
        else
            unsetenv(n);
    }
    ~env_var() {
        if (had)
            setenv(name.c_str(), saved.c_str(), 1);
        else
            unsetenv(name.c_str());
    }
};

std::vector<std::string> said;
void record(const char* text) { said.push_back(text); }
bool was_said(const std::string& text) {
    for (const std::string& s : said)
        if (s == text) return true;
    return false;
}

struct DumpDriver : ::testing::Test {
    temp_dir dir;
    std::string data = dir / "original";
    std::string out = dir / "out";
    env_var missions{"BKM_DUMP_MISSIONS", nullptr}, play{"BKM_DUMP_PLAY", nullptr},
        shots{"BKM_DUMP_SHOTS", nullptr};

    void SetUp() override {
        machine_clear();
        said.clear();
        port_mkdir(data.c_str());
        synth_game_data g = synth_standard();
        ASSERT_TRUE(synth_place_disk_road(g)) << g.error;
        std::vector<u8> bkm = synth_bkm(g);
        ASSERT_FALSE(bkm.empty()) << g.error;
        synth_put_high_scores(bkm);
        ASSERT_TRUE(synth_write(data + "/BKM", bkm));
        ASSERT_EQ(game_data_init(data.c_str()), 1);
    }
    void TearDown() override {
        game_data_release();
        machine_clear();
    }
};

int number(const json_value* v) {
    int n = -1;
    jint(v, &n);
    return n;
}

// Waits for the worker; 1 when it finished within the time.
int wait_for_dump(int* ok) {
    const double until = now_s() + 600;
    while (!dump_finished(ok)) {
        if (now_s() > until) return 0;
        sleep_ms(10);
    }
    return 1;
}

std::string status_text() {
    char status[200];
    dump_status(status, sizeof status);
    return status;
}

// Before any dump the status is empty and nothing has finished. Other tests
// of this program start the worker, so this is seen in a fresh copy of the
// program (a death test re-executed, not forked).
TEST(DumpDriverFresh, BeforeAnyDumpTheStatusIsEmptyAndNothingHasFinished) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            int before = 7;
            const bool fresh = dump_finished(&before) == 0 && before == 7 && status_text().empty();
            std::_Exit(fresh ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(DumpDriver, TheWorkerDumpsEverySheetThatTheIndexNames) {
    ASSERT_EQ(dump_begin(data.c_str(), out.c_str()), 1);
    int ok = 0;
    ASSERT_EQ(wait_for_dump(&ok), 1);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(status_text(), "done: " + out);

    const std::string text = slurp(out + "/index.json");
    const char* cursor = text.c_str();
    json_value* root = jparse(&cursor);
    EXPECT_EQ(number(jget(root, "format")), 2);
    const json_value* sheets = jget(root, "sheets");
    ASSERT_NE(sheets, nullptr);
    std::vector<std::string> names;
    for (int i = 0; i < sheets->count; ++i) {
        const std::string name = sheets->keys[i];
        names.push_back(name);
        SCOPED_TRACE(name);
        int w = 0, h = 0;
        u8* png = png_read_rgba((out + "/" + name + ".png").c_str(), &w, &h);
        EXPECT_NE(png, nullptr);
        std::free(png);
        EXPECT_EQ(w, number(jget(sheets->items[i], "width")));
        EXPECT_EQ(h, number(jget(sheets->items[i], "height")));
        if (const json_value* idx = jget(sheets->items[i], "idx")) {
            u8* indices = png_read_indexed((out + "/" + idx->text).c_str(), &w, &h);
            EXPECT_NE(indices, nullptr);
            std::free(indices);
        }
    }
    // Every mission's four sections as level pictures: all four play the
    // one map of the mission's set (42 rows in the first, 20 in the second,
    // which the odd-numbered missions load).
    const json_value* levels = jget(root, "reference_levels");
    ASSERT_NE(levels, nullptr);
    std::vector<std::string> level_names;
    for (int i = 0; i < levels->count; ++i) level_names.push_back(levels->items[i]->text);
    std::vector<std::string> expected_levels;
    for (int m = 1; m <= 12; ++m)
        for (int s = 1; s <= 4; ++s) {
            char name[40];
            std::snprintf(name, sizeof name, "levels/mission%02d_section%d", m, s);
            expected_levels.push_back(name);
        }
    EXPECT_EQ(level_names, expected_levels);
    for (const std::string& name : level_names) {
        int w = 0, h = 0;
        u8* png = png_read_rgba((out + "/" + name + ".png").c_str(), &w, &h);
        ASSERT_NE(png, nullptr) << name;
        std::free(png);
        EXPECT_EQ(w, 192) << name;
        const int mission = std::atoi(name.c_str() + 14);
        EXPECT_EQ(h, ((mission % 2 ? 42 : 20) + 8) * 32) << name;
    }
    // The second set's map stands once on ground block 7: its missions'
    // ground sheet holds blocks 0-7, the other the six blocks.
    for (const auto& [sheet, set_missions, cells] :
         {std::tuple{"tiles/ground_1", std::vector<int>{1, 3, 5, 7, 9, 11}, 6},
          std::tuple{"tiles/ground_2", std::vector<int>{2, 4, 6, 8, 10, 12}, 8}}) {
        SCOPED_TRACE(sheet);
        const json_value* g = jget(sheets, sheet);
        ASSERT_NE(g, nullptr);
        const json_value* members = jget(g, "missions");
        ASSERT_NE(members, nullptr);
        std::vector<int> listed;
        for (int i = 0; i < members->count; ++i) listed.push_back(number(members->items[i]));
        EXPECT_EQ(listed, set_missions);
        const json_value* listed_cells = jget(g, "cells");
        ASSERT_NE(listed_cells, nullptr);
        EXPECT_EQ(listed_cells->count, cells);
    }
    jfree(root);
    ASSERT_GE(names.size(), 14u);
    EXPECT_EQ(names[0], "sprites/player");
    EXPECT_TRUE(std::find(names.begin(), names.end(), "sprites/bullets") != names.end());
    EXPECT_TRUE(std::find(names.begin(), names.end(), "tiles/ground_1") != names.end());
    EXPECT_TRUE(file_exists((out + "/reference/font_8x8.png").c_str()));
    EXPECT_TRUE(file_exists((out + "/README.txt").c_str()));

    // A second dump reuses the worker's lock; one whose index cannot be
    // written fails.
    spit(dir / "file", "not a folder");
    const std::string bad = dir / "file/out";
    machine_clear();
    ASSERT_EQ(dump_begin(data.c_str(), bad.c_str()), 1);
    ASSERT_EQ(wait_for_dump(&ok), 1);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(status_text(), "FAILED writing index.json");
}

TEST_F(DumpDriver, DevelopmentRunsOfFewMissionsWriteNoSheets) {
    const struct {
        const char* count;
        const char* last_mission;  // the last progress line of a mission, or none
        const char* not_reached;
    } cases[] = {{"0", nullptr, "mission 1 of 12"}, {"3", "mission 3 of 12", "mission 4 of 12"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        env_var count("BKM_DUMP_MISSIONS", c.count);
        said.clear();
        machine_clear();
        EXPECT_EQ(dump_original(data.c_str(), out.c_str(), record), 1);
        ASSERT_FALSE(said.empty());
        EXPECT_EQ(said.front(), "intro");
        EXPECT_TRUE(was_said("map and shop"));
        EXPECT_EQ(said.back(), "partial run (development)");
        if (c.last_mission) { EXPECT_TRUE(was_said(c.last_mission)); }
        EXPECT_FALSE(was_said(c.not_reached));
        EXPECT_FALSE(was_said("writing the sheets"));
        EXPECT_FALSE(file_exists((out + "/index.json").c_str()));
        EXPECT_FALSE(dir_exists((out + "/sprites").c_str()));
    }
}

TEST_F(DumpDriver, ShotsShowEachMissionRunInTheShotsFolder) {
    env_var count("BKM_DUMP_MISSIONS", "2");
    env_var folder("BKM_DUMP_SHOTS", (dir / "shots").c_str());
    port_mkdir((dir / "shots").c_str());
    EXPECT_EQ(dump_original(data.c_str(), out.c_str(), record), 1);
    for (const char* name : {"a_title", "b_players", "c_map", "d_cursor", "e_shop", "f_exit", "g_after1", "h_after2",
                             "i_mission"}) {
        int w = 0, h = 0;
        u8* png = png_read_rgba((dir / "shots/" + std::string(name) + ".png").c_str(), &w, &h);
        ASSERT_NE(png, nullptr) << name;
        EXPECT_EQ(w, 320);
        EXPECT_EQ(h, 200);
        for (int p = 0; p < w * h; ++p) ASSERT_EQ(png[p * 4 + 3], 255) << name;
        std::free(png);
    }
}

TEST_F(DumpDriver, WithoutTheGameDataNothingIsDumped) {
    game_data_release();
    EXPECT_EQ(dump_original((dir / "empty").c_str(), out.c_str(), record), 0);
    EXPECT_EQ(said, (std::vector<std::string>{"the original game files cannot be read"}));
    EXPECT_FALSE(dir_exists(out.c_str()));
}

TEST(DumpLevels, EachSectionWithAMapBecomesAPictureAndTheHighestGroundBlockIsKept) {
    machine_clear();
    temp_dir dir;
    mission_builder m;
    m.unchecked = true;  // ground block 9 lies in the stamps, as a map may have it
    ASSERT_TRUE(m.map({{{0}, {9}, {2}}}));
    ASSERT_TRUE(m.map_bytes({0xFF}));
    ASSERT_TRUE(m.map({{{3}, {4}, {5}}, {{1}, {2}, {3}}}));
    ASSERT_TRUE(m.map_bytes({1, 2, 0xFF}));  // no complete row
    m.put_in_ram();
    u8 words[32];
    for (int i = 0; i < 16; ++i) words[2 * i] = static_cast<u8>(i), words[2 * i + 1] = static_cast<u8>(0x11 * i);  // 16 greys
    u8 rgb[48];
    pal_cols(words, 16, rgb);

    dump_work w;
    w.out_root = dir / "out";
    dump_mission_levels(w, 4, words);
    EXPECT_EQ(w.used_gmax[4], 9) << "the highest over the sections, not the last";
    for (int n = 0; n < dump_missions; ++n)
        if (n != 4) { EXPECT_EQ(w.used_gmax[n], 0) << n; }
    EXPECT_EQ(w.reflevels, "\"levels/mission05_section1\",\"levels/mission05_section3\"");
    EXPECT_FALSE(file_exists((w.out_root + "/levels/mission05_section2.png").c_str()));
    EXPECT_FALSE(file_exists((w.out_root + "/levels/mission05_section4.png").c_str()));

    const struct {
        const char* name;
        int rows;
        u32 first_block, last_block;  // left cells of the first and the last map row
    } pictures[] = {{"mission05_section1", 1, 0, 0}, {"mission05_section3", 2, 3, 1}};
    for (const auto& p : pictures) {
        SCOPED_TRACE(p.name);
        int width = 0, height = 0;
        u8* png = png_read_rgba((w.out_root + "/levels/" + p.name + ".png").c_str(), &width, &height);
        ASSERT_NE(png, nullptr);
        EXPECT_EQ(width, 192);
        EXPECT_EQ(height, (p.rows + 8) * 32);
        // The map grows upward from its lead-in rows; every pixel is opaque.
        const auto colour_at = [&](int x, int y) {
            const u8* px = png + (size_t(y) * width + x) * 4;
            return std::vector<int>{px[0], px[1], px[2], px[3]};
        };
        const auto expected = [&](u32 index) {
            return std::vector<int>{rgb[3 * index], rgb[3 * index + 1], rgb[3 * index + 2], 255};
        };
        EXPECT_EQ(colour_at(0, 0), expected(block_pixel(p.last_block, 0, 0)));
        EXPECT_EQ(colour_at(5, (p.rows - 1) * 32 + 3), expected(block_pixel(p.first_block, 3, 5)));
        EXPECT_EQ(colour_at(0, height - 32), expected(block_pixel(p.first_block, 0, 0)));
        for (int i = 0; i < width * height; ++i) ASSERT_EQ(png[4 * i + 3], 255);
        std::free(png);
    }
    machine_clear();
}

TEST(DumpScript, TheMissionPaletteIsTheZoneInEffectAtLineOneHundred) {
    const struct {
        std::vector<u32> lines;
        int chosen;  // the zone whose colours are taken
    } cases[] = {{{0}, 0},           {{0, 60, 120}, 1}, {{0, 100, 101}, 1}, {{0, 101}, 0},
                 {{120, 150}, 0},    {{0, 60, 60}, 1},  {{0, 99, 100}, 2},  {{30, 10}, 0}};
    for (const auto& c : cases) {
        palette_zone zones[max_palette_zones] = {};
        for (size_t z = 0; z < c.lines.size(); ++z) {
            zones[z].line = c.lines[z];
            for (int i = 0; i < 32; ++i) zones[z].palette[i] = static_cast<u8>(16 * z + i);
        }
        u8 words[32];
        dump_mission_palette(zones, static_cast<int>(c.lines.size()), words);
        EXPECT_EQ(words[0], 16 * c.chosen) << "case with " << c.lines.size() << " zones, last line " << c.lines.back();
        EXPECT_EQ(words[31], 16 * c.chosen + 31);
    }
    // A frame without zones takes the first zone record.
    palette_zone none[max_palette_zones] = {};
    none[0].palette[5] = 9;
    u8 words[32];
    dump_mission_palette(none, 0, words);
    EXPECT_EQ(words[5], 9);
}

TEST(DumpScript, ThePlayedMissionGoesForwardSwayingWithFirePulses) {
    constexpr int up = 1, left = 4, right = 8, fire = 128;
    const struct {
        int k, joystick;
    } cases[] = {{0, up | fire},   {1, -1},          {8, up | fire},   {10, up},          {18, up},
                 {20, up | fire},  {58, up},         {60, up | left | fire}, {118, up | left}, {120, up | fire},
                 {180, up | right | fire}, {238, up | right}, {240, up | fire}, {300, up | fire},
                 {359, -1},        {360, up | fire}, {420, up | left | fire}, {6398, up}};
    for (const auto& c : cases) EXPECT_EQ(dump_play_joystick(c.k), c.joystick) << "step " << c.k;
}

} // namespace
