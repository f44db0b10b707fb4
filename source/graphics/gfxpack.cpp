// Graphics packs: finding the packs beside the dump, choosing one, and the
// entry points that reload it.
#include "graphics/gfxpack.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "graphics/level.h"
#include "graphics/level_pack.h"
#include "graphics/pack_state.h"
#include "graphics/present.h"
#include "host/platform.h"

pack_state pack;

namespace {

std::string kept_name(const char* name) { return std::string(name ? name : "").substr(0, pack_name_limit); }

std::string original_path(const char* file) { return pack.assets + "/original/" + file; }

// A folder is a pack when it holds a sheet of the index; the dump itself
// and anything named like it ("original2" too) never is.
bool is_pack(const char* name) {
    if (name[0] == '.' || std::strncmp(name, "original", 8) == 0) return false;
    const std::string& names = pack.sheet_names;
    for (size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
        const char* sheet = names.c_str() + at;
        if (file_exists((pack.assets + "/" + name + "/" + sheet + ".png").c_str())) return true;
    }
    return false;
}

void list_packs() {
    pack.list.clear();
    if (!pack.indexed) return;
    port_list_dirs(
        pack.assets.c_str(),
        [](const char* name, void*) {
            if (pack.list.size() < pack_list_limit && is_pack(name)) pack.list.push_back(kept_name(name));
            return 1;
        },
        nullptr);
    std::sort(pack.list.begin(), pack.list.end());
}

void reload_locked() {
    pack_lock();
    rescan_locked();
    pack_unlock();
}

void forget_index() {
    pack.indexed = false;
    pack.sheets.clear();
    pack.sheets.shrink_to_fit();
    pack.sheet_names.clear();
    pack.sheet_names.shrink_to_fit();
    pack.list.clear();
    pack.current = "original";
    reload_locked();
}

bool listed(const std::string& name) { return std::find(pack.list.begin(), pack.list.end(), name) != pack.list.end(); }

}  // namespace

int gfxpack_init(const char* assets, int scale, const char* wanted) {
    pack.assets = std::string(assets ? assets : "").substr(0, 599);
    pack.scale = scale;
    forget_index();
    const char* off = std::getenv("BKM_ASSETS");
    if (off && off[0] == '0') return 0;
    char* text = read_file(original_path("index.json").c_str(), nullptr, pack_index_largest);
    if (!text) return 0;
    const char* cursor = text;
    if (std::strncmp(cursor, "\xEF\xBB\xBF", 3) == 0) cursor += 3;
    pack.indexed = pack_read_index(cursor);
    std::free(text);
    if (!pack.indexed) {
        host_log("assets/original/index.json is from another version of the program: ignored (the new dump is needed)");
        return 0;
    }
    list_packs();
    const std::string first = pack.list.empty() ? "original" : pack.list.front();
    std::string name = kept_name(wanted);
    if (name.empty()) {
        name = first;
    } else if (name != "original" && !listed(name)) {
        host_log("Graphics pack \"%s\" not found in %s (using %s)", name.c_str(), pack.assets.c_str(),
                 pack.list.empty() ? "the original" : first.c_str());
        name = first;
    }
    pack.current = name;
    reload_locked();
    if (pack.current != "original")
        host_log("Graphics pack: %s (%d replaced elements)", pack.current.c_str(), gfxpack_replaced());
    return 1;
}

void gfxpack_attach() {
    const bool usable = pack.indexed;
    pack_sprite_cb = usable ? cb_sprite : nullptr;
    pack_hud_cb = usable ? cb_hud : nullptr;
    pack_texture_cb = usable ? cb_texture : nullptr;
    present_static_cb = usable ? present_static_hook : nullptr;
    pack_level_cb = usable ? cb_level : nullptr;
    level_pack = usable ? level_pack_ops{gfxpack_has_tiles, gfxpack_ground_rgba, gfxpack_object_rgba, gfxpack_builders}
                        : level_pack_ops{};
}

const char* gfxpack_name() { return pack.current.c_str(); }
int gfxpack_replaced() { return static_cast<int>(pack.reps.size()); }
int gfxpack_list_count() { return static_cast<int>(pack.list.size()); }

const char* gfxpack_list_name(int i) {
    if (i < 0 || i >= gfxpack_list_count()) return "";
    return pack.list[static_cast<size_t>(i)].c_str();
}

void gfxpack_select(const char* name) {
    pack.current = kept_name(name);
    reload_locked();
}

void gfxpack_reload() {
    list_packs();
    reload_locked();
}

int gfxpack_has_tiles() { return pack.has_tiles; }
int gfxpack_has_layers() { return pack.layers.empty() ? 0 : 1; }
