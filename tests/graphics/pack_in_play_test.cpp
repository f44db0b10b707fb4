// A graphics pack seen in play, the whole road: the dump made from the
// synthetic game data, one player cell of a dumped sheet redrawn in a pack
// folder, the game played from its boot into a mission with the scene
// capture on, the captured frames through the presenter, and the renderer
// with the pack's hooks. The redrawn pixels must show where the game draws
// that picture, and a pack that changed nothing must show the game's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/content_hash.h"
#include "graphics/dump.h"
#include "graphics/gfxpack.h"
#include "graphics/json_reader.h"
#include "graphics/png_codec.h"
#include "graphics/present.h"
#include "graphics/render.h"
#include "graphics/scene.h"
#include "host/platform.h"
#include "machine/game_data.h"
#include "machine/gemdos.h"
#include "machine/hooks.h"
#include "machine/loader_hold.h"
#include "support/graphics/contact_sheet.h"
#include "support/machine/machine_fixture.h"
#include "support/graphics/pack_assets.h"
#include "support/synthetic/synthetic_disk.h"
#include "support/synthetic/synthetic_game_data.h"
#include "support/temp_dir.h"
#include "support/runs/title_to_mission.h"

namespace {

constexpr int mission = 1;          // its number on the map and in the index is 2
constexpr int frames_to_play = 120;  // mission frames captured before the road stops
constexpr u8 redrawn[4] = {255, 0, 255, 255};

std::vector<scene_frame*> g_frames;
void keep_frame(scene_frame* f) {
    g_frames.push_back(frame_ref(f));
    present_msg* m = msg_new(MSG_FRAME);
    m->frame = frame_ref(f);
    msgq_push(m);
}
void note_reset() { msgq_push(msg_new(MSG_RESET)); }

struct rgba_sheet {
    int w = 0, h = 0;
    std::vector<u8> px;
    u8* at(int x, int y) { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
};

bool read_sheet(const std::string& path, rgba_sheet& out) {
    u8* p = png_read_rgba(path.c_str(), &out.w, &out.h);
    if (!p) return false;
    out.px.assign(p, p + static_cast<size_t>(out.w) * out.h * 4);
    std::free(p);
    return true;
}

int number(const json_value* v) {
    int n = -1;
    jint(v, &n);
    return n;
}

bool lists(const json_value* array, const std::string& text) {
    for (int i = 0; array && i < array->count; ++i)
        if (array->items[i]->text && text == array->items[i]->text) return true;
    return false;
}
bool lists(const json_value* array, int n) {
    for (int i = 0; array && i < array->count; ++i)
        if (number(array->items[i]) == n) return true;
    return false;
}

// Where a player picture lies in the dump: its sheet and the top-left
// corner of the picture's box in the sheet.
struct dumped_cell {
    std::string sheet;
    int x = 0, y = 0;
    std::string hash;
};

bool find_player_cell(const std::string& index_path, int id, dumped_cell& out) {
    const std::string text = slurp(index_path);
    const char* cursor = text.c_str();
    json_value* root = jparse(&cursor);
    const json_value* sheets = jget(root, "sheets");
    bool found = false;
    for (int s = 0; sheets && s < sheets->count && !found; ++s) {
        const json_value* sheet = sheets->items[s];
        if (!lists(jget(sheet, "units"), "player") || !lists(jget(sheet, "missions"), mission + 1)) continue;
        const json_value* cell = jget(sheet, "cell");
        const json_value* cells = jget(sheet, "cells");
        const int cols = number(jget(sheet, "cols")), margin = number(jget(sheet, "margin"));
        for (int c = 0; cells && c < cells->count; ++c) {
            const json_value* k = jget(cells->items[c], "key");
            if (!k || !k->text || std::to_string(id) != k->text) continue;
            const int i = number(jget(cells->items[c], "i"));
            const json_value* crop = jget(cells->items[c], "crop");
            out.sheet = sheets->keys[s];
            out.x = i % cols * number(cell->items[0]) + margin + number(crop->items[0]);
            out.y = i / cols * number(cell->items[1]) + margin + number(crop->items[1]);
            out.hash = jget(cells->items[c], "hash")->text;
            found = true;
            break;
        }
    }
    jfree(root);
    return found;
}

class PackInPlay : public MachineTest {
 protected:
    pack_assets assets;
    temp_dir data;
    present_state* presenter = nullptr;

    void SetUp() override {
        MachineTest::SetUp();
        g_load_seconds = 0;
        msgq_set_closed(0);
        msgq_clear();
        for (int32_t& f : pflags) f = 1;
        pflags[PF_FILTER_X] = pflags[PF_FILTER_Y] = pflags[PF_PREDICTION] = pflags[PF_TRACKING] = 0;
    }
    void TearDown() override {
        present_free(presenter);
        msgq_clear();
        scene_clear_frames();
        for (scene_frame* f : g_frames) frame_unref(f);
        g_frames.clear();
        scene_init(nullptr);
        hooks_clear();
        gfxpack_init("", 1, "");
        gfxpack_attach();
        for (int32_t& f : pflags) f = 1;
        gemdos_close_all();
        game_data_release();
        MachineTest::TearDown();
    }

    // The picture of the frame as the renderer draws it alone, at scale 1.
    static std::vector<u8> drawn(scene_frame* f) {
        std::vector<u8> out(192000);
        render_params p{};
        p.scale = 1;
        p.residual_layer = 1;
        p.subpixel = 1;
        render(f, f, &p, out.data(), 0);
        return out;
    }
    // A pack chosen and its hooks attached; level pictures are left out (they
    // are built on threads of their own and show no sprite).
    void use_pack(const char* name) {
        ASSERT_EQ(gfxpack_init(assets.root().c_str(), 1, name), 1);
        gfxpack_attach();
        pack_level_cb = nullptr;
    }
};

TEST_F(PackInPlay, ARedrawnPlayerCellShowsWhereTheGameDrawsThatPicture) {
    // The dump, on the program's own worker.
    synth_game_data g = synth_standard();
    ASSERT_TRUE(synth_place_disk_road(g)) << g.error;
    std::vector<u8> bkm = synth_bkm(g);
    ASSERT_FALSE(bkm.empty()) << g.error;
    synth_put_high_scores(bkm);
    ASSERT_TRUE(synth_write(data / "BKM", bkm));
    ASSERT_EQ(game_data_init(data.path.c_str()), 1);
    const std::string original = assets.root() + "/original";
    ASSERT_EQ(dump_begin(data.path.c_str(), original.c_str()), 1);
    int ok = 0;
    while (!dump_finished(&ok)) sleep_ms(10);
    ASSERT_EQ(ok, 1);
    machine_clear();

    // The game from its boot into the mission, captured.
    static const scene_ops ops{keep_frame, nullptr, nullptr, note_reset};
    scene_init(&ops);
    presenter = present_new(1);
    ASSERT_NE(presenter, nullptr);
    road_notes notes;
    // The capture's hooks go in after the road's own, as the emulation
    // controller installs them after its handlers.
    bool installed = false;
    const bool arrived = run_title_into_mission(data.path, mission, notes, 4000, [&installed] {
        if (!installed) scene_install_hooks(), installed = true;
        return g_frames.size() >= frames_to_play;
    });
    ASSERT_TRUE(arrived) << "after " << notes.vbls.size() << " VBLs at $" << std::hex << g_cpu.pc << ", "
                         << std::dec << g_frames.size() << " frames";
    present_drain(presenter);

    // A frame whose player is drawn from the game's table.
    scene_frame* frame = nullptr;
    const scene_unit* player = nullptr;
    for (auto f = g_frames.rbegin(); f != g_frames.rend() && !player; ++f)
        for (int u = 0; u < (*f)->unit_count; ++u)
            if ((*f)->units[u].kind == 1 && (*f)->units[u].spr && !(*f)->units[u].spr->from_screen) {
                frame = *f, player = &(*f)->units[u];
                break;
            }
    ASSERT_NE(player, nullptr) << "no player drawn from the table in " << g_frames.size() << " frames";
    const sprite* picture = player->spr;

    // Its cell in the dump, and a pack that redraws three of its pixels
    // (the first three drawn pixels of its second drawn line), beside a
    // pack that copies the sheet unchanged.
    dumped_cell cell;
    ASSERT_TRUE(find_player_cell(original + "/index.json", static_cast<int>(player->id), cell)) << player->id;
    char hash[16];
    gfx_sprite_hash(picture, hash);
    EXPECT_EQ(cell.hash, hash) << "the dump's hash of the picture the game draws";
    rgba_sheet sheet;
    ASSERT_TRUE(read_sheet(original + "/" + cell.sheet + ".png", sheet)) << cell.sheet;
    rgba_picture same(sheet.w, sheet.h), mine(sheet.w, sheet.h);
    same.px = sheet.px;
    assets.write_sheet("same", cell.sheet, same);
    std::vector<std::pair<int, int>> changed;  // in the picture
    int second_line = -1;
    for (int j = 0, lines = 0; j < picture->height && changed.size() < 3; ++j) {
        bool any = false;
        for (int i = 0; i < picture->width; ++i) any |= picture->mask[j * picture->width + i] != 0;
        if (any && ++lines == 2) second_line = j;
        if (j != second_line) continue;
        for (int i = 0; i < picture->width && changed.size() < 3; ++i)
            if (picture->mask[j * picture->width + i]) changed.emplace_back(i, j);
    }
    ASSERT_EQ(changed.size(), 3u);
    for (auto [i, j] : changed) std::copy(redrawn, redrawn + 4, sheet.at(cell.x + i, cell.y + j));
    mine.px = sheet.px;
    assets.write_sheet("mine", cell.sheet, mine);

    // The game's own picture, then each pack's.
    gfxpack_init("", 1, "");
    gfxpack_attach();
    ASSERT_EQ(pack_sprite_cb, nullptr);
    const std::vector<u8> own = drawn(frame);
    use_pack("same");
    ASSERT_STREQ(gfxpack_name(), "same");
    EXPECT_EQ(gfxpack_replaced(), 0);
    EXPECT_TRUE(drawn(frame) == own) << "a pack that changed nothing shows the game's own picture";
    use_pack("mine");
    ASSERT_STREQ(gfxpack_name(), "mine");
    EXPECT_EQ(gfxpack_replaced(), 1);
    const std::vector<u8> with_pack = drawn(frame);
    // For the eye: the frame as the game draws it and with the pack's three
    // redrawn pixels.
    EXPECT_TRUE(write_rgb_contact_sheet("pack_own", own.data(), 320, 200));
    EXPECT_TRUE(write_rgb_contact_sheet("pack_redrawn", with_pack.data(), 320, 200));

    // Every unit of the frame with that picture shows the redrawn pixels
    // where the game drew them (units drawn later may cover some); no other
    // pixel differs from the game's own picture but those of these units.
    std::vector<int> expected(64000, 0);
    int shown = 0;
    for (int u = 0; u < frame->unit_count; ++u) {
        const scene_unit& unit = frame->units[u];
        if (unit.spr != picture) continue;
        const int left = static_cast<int>(unit.draw_x) + picture->hot_x;
        const int top = static_cast<int>(unit.draw_y) + picture->hot_y;
        for (int j = 0; j < picture->height; ++j)
            for (int i = 0; i < picture->width; ++i)
                if (top + j >= 0 && top + j < 200 && left + i >= 64 && left + i < 256) expected[(top + j) * 320 + left + i] = 1;
        for (auto [i, j] : changed) {
            const int x = left + i, y = top + j;
            if (x < 64 || x >= 256 || y < 0 || y >= 200) continue;
            expected[y * 320 + x] = 2;
            const u8* p = &with_pack[(static_cast<size_t>(y) * 320 + x) * 3];
            const u8* o = &own[(static_cast<size_t>(y) * 320 + x) * 3];
            if (std::equal(p, p + 3, redrawn)) ++shown;
            EXPECT_FALSE(std::equal(o, o + 3, redrawn)) << x << "," << y << ": the game's own picture";
        }
    }
    EXPECT_GE(shown, 1) << "the redrawn pixels seen in play";
    int elsewhere = 0;
    for (int k = 0; k < 64000; ++k)
        if (!expected[k] && !std::equal(&own[3 * k], &own[3 * k] + 3, &with_pack[3 * k]) && ++elsewhere < 5)
            ADD_FAILURE() << "pixel " << k % 320 << "," << k / 320 << " changed outside the player";
    EXPECT_EQ(elsewhere, 0);
}

} // namespace
