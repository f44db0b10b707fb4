// Making assets/mod: the dump's pictures read and patched entry by entry,
// each checked against its CRC, and only when all of them match, the dump
// copied and the patched pictures written over their copies.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "graphics/modpack.h"
#include "graphics/grey_palette.h"
#include "graphics/png_codec.h"
#include "host/platform.h"

namespace {

struct free_deleter {
    void operator()(void* p) const { std::free(p); }
};
using owned_pixels = std::unique_ptr<uint8_t, free_deleter>;

struct patched_picture {
    modpack_entry entry;
    owned_pixels pixels;
};

constexpr size_t path_max = 1024;

// The dump's picture for the entry, patched; null when it is missing, has
// another size or kind, or the patch breaks a rule or gives another CRC.
owned_pixels patch_picture(const char* assets, const uint8_t* blob, size_t size, modpack_entry* e) {
    char path[path_max];
    if (std::snprintf(path, sizeof path, "%s/original/%s", assets, e->name) >= int(sizeof path))
        return nullptr;
    int width = 0, height = 0;
    owned_pixels pixels;
    if (e->kind == 1)
        pixels.reset(png_read_indexed(path, &width, &height));
    else if (e->kind == 4)
        pixels.reset(png_read_rgba(path, &width, &height));
    if (!pixels || width != e->width || height != e->height)
        return nullptr;
    if (!modpack_apply(blob, size, e, pixels.get()))
        return nullptr;
    if (png_crc32(pixels.get(), size_t(width) * size_t(height) * size_t(e->kind)) != e->crc)
        return nullptr;
    return pixels;
}

bool write_picture(const char* assets, const patched_picture& p) {
    char path[path_max];
    if (std::snprintf(path, sizeof path, "%s/mod/%s", assets, p.entry.name) >= int(sizeof path))
        return false;
    if (p.entry.kind == 1)
        return png_write_indexed(path, p.pixels.get(), p.entry.width, p.entry.height, GREY.data());
    return png_write(path, p.pixels.get(), p.entry.width, p.entry.height, 4);
}

}  // namespace

int modpack_make_if_missing(const char* assets) { return modpack_make_from(assets, modpack_builtin); }

int modpack_make_from(const char* assets, const modpack_source& blob) {
    char index[path_max], dump[path_max], mod[path_max];
    std::snprintf(index, sizeof index, "%s/original/index.json", assets);
    std::snprintf(dump, sizeof dump, "%s/original", assets);
    std::snprintf(mod, sizeof mod, "%s/mod", assets);
    if (!file_exists(index) || dir_exists(mod))
        return 0;
    if (!blob.data) {
        host_log("graphics pack mod: this build carries no pack data; the pack is not made");
        return 0;
    }
    owned_pixels raw(static_cast<uint8_t*>(std::calloc(blob.raw_size ? blob.raw_size : 1, 1)));
    if (!raw || !png_inflate(blob.data, blob.size, raw.get(), blob.raw_size))
        return 0;
    const uint8_t* bytes = raw.get();
    const size_t size = blob.raw_size;
    uint32_t count = 0;
    if (!modpack_read_count(bytes, size, &count)) {
        host_log("graphics pack mod: the dump does not match the pack (%s); the pack is not made", "");
        return 0;
    }
    std::vector<patched_picture> pictures;
    size_t at = 4;
    for (uint32_t i = 0; i < count; i++) {
        patched_picture p{};
        if (!modpack_read_entry(bytes, size, at, &p.entry)) {
            host_log("graphics pack mod: the dump does not match the pack (%s); the pack is not made", "");
            return 0;
        }
        p.pixels = patch_picture(assets, bytes, size, &p.entry);
        if (!p.pixels) {
            host_log("graphics pack mod: the dump does not match the pack (%s); the pack is not made",
                     p.entry.name);
            return 0;
        }
        at = p.entry.end;
        pictures.push_back(std::move(p));
    }
    bool made = copy_dir(dump, mod);
    for (size_t i = 0; made && i < pictures.size(); i++)
        made = write_picture(assets, pictures[i]);
    host_log("graphics pack mod: %s (%d pictures differ from the dump)", made ? "made from the dump" : "FAILED",
             int(count));
    return made ? 1 : 0;
}
