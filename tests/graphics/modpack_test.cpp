// The mod pack made from hand-made dump folders and blobs: the copy with
// hidden entries left out, the patched pictures, every rule that makes an
// entry refuse the dump, and the built-in blob this build lacks.
#include "graphics/modpack.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "graphics/png_codec.h"
#include "host/platform.h"
#include "support/log_capture.h"
#include "support/graphics/modpack_blob_writer.h"
#include "support/temp_dir.h"

namespace {

using bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

bytes raw_deflate(const bytes& data) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    bytes out(deflateBound(&z, data.size()) + 16);
    z.next_in = const_cast<uint8_t*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

bytes pattern(size_t n, uint32_t seed, int modulo) {
    bytes out(n);
    for (uint8_t& b : out) {
        seed = seed * 1664525u + 1013904223u;
        b = uint8_t((seed >> 24) % modulo);
    }
    return out;
}

bytes read_bytes(const std::string& path) {
    const std::string s = slurp(path);
    return bytes(s.begin(), s.end());
}

constexpr int W = 6, H = 5;
const char* const rgba_name = "screens/hud.png";
const char* const idx_name = "screens/hud.idx.png";
// The dump's palette does not matter to the indices read back.
constexpr uint8_t any_palette[768] = {};

// A dump folder with two screen pictures (RGBA and indexed), a tile sheet,
// nested and hidden entries, and the retouched pictures' pixels.
struct mod_dump {
    temp_dir assets;
    std::string dump = assets / "original";
    std::string mod = assets / "mod";
    bytes rgba = pattern(W * H * 4, 1, 256), rgba_after = rgba;
    bytes idx = pattern(W * H, 2, 16), idx_after = idx;

    mod_dump() {
        fs::create_directories(dump + "/screens");
        fs::create_directories(dump + "/tiles/deep");
        fs::create_directories(dump + "/.cache");
        spit(dump + "/index.json", "{\"format\":2}\n");
        spit(dump + "/README.txt", "read me");
        spit(dump + "/.hidden", "no");
        spit(dump + "/.cache/x", "no");
        spit(dump + "/screens/.DS_Store", "no");
        spit(dump + "/tiles/deep/note.txt", "deep");
        EXPECT_TRUE(png_write((dump + "/" + rgba_name).c_str(), rgba.data(), W, H, 4));
        EXPECT_TRUE(png_write_indexed((dump + "/" + idx_name).c_str(), idx.data(), W, H, any_palette));
        bytes tile = pattern(8 * 4 * 4, 3, 256);
        EXPECT_TRUE(png_write((dump + "/tiles/ground_1.png").c_str(), tile.data(), 8, 4, 4));
        // Changes at both ends and in between.
        for (int p : {0, 1, 2, 9, 17, 18, 29})
            for (int c = 0; c < 4; c++)
                rgba_after[p * 4 + c] = uint8_t(rgba_after[p * 4 + c] ^ (0x35 + c));
        for (int p : {3, 4, 28})
            idx_after[p] = uint8_t(15 - idx_after[p]);
    }

    std::vector<modpack_test_entry> good_entries() const {
        return {modpack_diff(rgba_name, 4, W, H, rgba, rgba_after), modpack_diff(idx_name, 1, W, H, idx, idx_after)};
    }

    int make(const bytes& blob, size_t padding = 0) {
        const bytes packed = raw_deflate(blob);
        return modpack_make_from(assets.path.c_str(), {packed.data(), packed.size(), blob.size() + padding});
    }
};

struct ModPack : testing::Test, mod_dump {};

TEST_F(ModPack, PatchesACopyOfTheDumpWhenEveryPictureMatches) {
    log_capture log;
    const auto entries = good_entries();
    ASSERT_EQ(entries[0].changed, 7u);
    ASSERT_EQ(make(modpack_blob_bytes(2, entries), 1000), 1);
    EXPECT_TRUE(log.has("graphics pack mod: made from the dump (2 pictures differ from the dump)"));

    for (const char* same : {"index.json", "README.txt", "tiles/ground_1.png", "tiles/deep/note.txt"})
        EXPECT_EQ(read_bytes(mod + "/" + same), read_bytes(dump + "/" + same)) << same;
    for (const char* hidden : {".hidden", ".cache", "screens/.DS_Store"})
        EXPECT_FALSE(fs::exists(mod + "/" + hidden)) << hidden;

    int w = 0, h = 0;
    uint8_t* got = png_read_rgba((mod + "/" + rgba_name).c_str(), &w, &h);
    ASSERT_TRUE(got);
    EXPECT_EQ(bytes(got, got + W * H * 4), rgba_after);
    std::free(got);
    got = png_read_indexed((mod + "/" + idx_name).c_str(), &w, &h);
    ASSERT_TRUE(got);
    EXPECT_EQ(bytes(got, got + W * H), idx_after);
    std::free(got);
    // The indexed picture shows its indices as greys.
    got = png_read_rgba((mod + "/" + idx_name).c_str(), &w, &h);
    ASSERT_TRUE(got);
    for (int p = 0; p < W * H; p++) {
        EXPECT_EQ(got[p * 4], 16 * idx_after[p]);
        EXPECT_EQ(got[p * 4 + 1], 16 * idx_after[p]);
        EXPECT_EQ(got[p * 4 + 2], 16 * idx_after[p]);
    }
    std::free(got);
    // The dump itself is untouched.
    got = png_read_rgba((dump + "/" + rgba_name).c_str(), &w, &h);
    EXPECT_EQ(bytes(got, got + W * H * 4), rgba);
    std::free(got);

    // Made once: a later start leaves the pack alone.
    const std::string before = log.text();
    EXPECT_EQ(make(modpack_blob_bytes(2, entries)), 0);
    EXPECT_EQ(log.text(), before);
}

TEST_F(ModPack, AnEmptyBlobMakesAPlainCopy) {
    log_capture log;
    ASSERT_EQ(make(modpack_blob_bytes(0, {})), 1);
    EXPECT_TRUE(log.has("graphics pack mod: made from the dump (0 pictures differ from the dump)"));
    EXPECT_EQ(read_bytes(mod + "/" + rgba_name), read_bytes(dump + "/" + rgba_name));
    EXPECT_FALSE(fs::exists(mod + "/.hidden"));
}

TEST_F(ModPack, DoesNothingWithoutADumpOrWithAPackAlreadyThere) {
    log_capture log;
    const bytes blob = modpack_blob_bytes(2, good_entries());
    fs::create_directory(mod);
    EXPECT_EQ(make(blob), 0);
    EXPECT_TRUE(fs::is_empty(mod));
    fs::remove(mod);
    fs::remove(dump + "/index.json");
    EXPECT_EQ(make(blob), 0);
    EXPECT_FALSE(fs::exists(mod));
    EXPECT_EQ(log.text(), "");
}

TEST_F(ModPack, ADumpThatDoesNotMatchMakesNoPack) {
    using change = std::function<void(mod_dump&, std::vector<modpack_test_entry>&, uint32_t&)>;
    struct mismatch_case {
        const char* what;
        change apply;
        const char* named;
    };
    const mismatch_case cases[] = {
        {"another release's picture",
         [](mod_dump& t, auto&, auto&) {
             bytes other = t.idx;
             other[7] ^= 1;
             png_write_indexed((t.dump + "/" + idx_name).c_str(), other.data(), W, H, any_palette);
         },
         idx_name},
        {"another CRC", [](mod_dump&, auto& e, auto&) { e[0].crc ^= 0x10000; }, rgba_name},
        {"no such picture", [](mod_dump&, auto& e, auto&) { e[1].name = "screens/gone.idx.png"; },
         "screens/gone.idx.png"},
        {"another width", [](mod_dump&, auto& e, auto&) { e[0].width = W + 1; }, rgba_name},
        {"another height", [](mod_dump&, auto& e, auto&) { e[1].height = H - 1; }, idx_name},
        {"a kind of 3 bytes", [](mod_dump&, auto& e, auto&) { e[0].kind = 3; }, rgba_name},
        {"an indexed kind for an RGBA picture", [](mod_dump&, auto& e, auto&) { e[0].kind = 1; }, rgba_name},
        {"a varint of 6 bytes", [](mod_dump&, auto& e, auto&) { e[0].first_run_bytes = 6; }, rgba_name},
        {"a gap past the picture",
         [](mod_dump&, auto& e, auto&) { e[1].runs = {W * H + 1, 1}; }, idx_name},
        {"a run past the picture",
         [](mod_dump&, auto& e, auto&) {
             e[1].runs = {W * H - 1, 2};
             e[1].changed = 2;
             e[1].planes = {1, 2};
         },
         idx_name},
        {"more pixels than changed",
         [](mod_dump&, auto& e, auto&) {
             e[1].changed -= 1;
             e[1].planes.pop_back();
         },
         idx_name},
        {"fewer pixels than changed",
         [](mod_dump&, auto& e, auto&) {
             e[1].changed += 1;
             e[1].planes.push_back(0);
         },
         idx_name},
        {"planes past the blob", [](mod_dump&, auto& e, auto&) { e[1].planes.pop_back(); }, idx_name},
        {"run values past the blob",
         [](mod_dump&, auto& e, auto&) {
             e[1].missing_runs = 3;
             e[1].planes.clear();
         },
         idx_name},
        {"a name leaving the dump",
         [](mod_dump& t, auto& e, auto&) {
             fs::create_directories(t.assets / "screens");
             fs::copy_file(t.dump + "/" + rgba_name, t.assets / rgba_name);
             e[0].name = std::string("../") + rgba_name;
         },
         "../screens/hud.png"},
        {"more entries than the blob holds", [](mod_dump&, auto&, uint32_t& count) { count = 3; }, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        mod_dump t;
        auto entries = t.good_entries();
        uint32_t count = 2;
        c.apply(t, entries, count);
        log_capture log;
        EXPECT_EQ(t.make(modpack_blob_bytes(count, entries)), 0);
        EXPECT_FALSE(fs::exists(t.mod));
        EXPECT_TRUE(log.has(std::string("graphics pack mod: the dump does not match the pack (") + c.named +
                            "); the pack is not made"))
            << log.text();
    }
}

TEST_F(ModPack, ABlobTooShortForItsCountMakesNoPack) {
    log_capture log;
    EXPECT_EQ(make({0, 0, 0}), 0);
    EXPECT_FALSE(fs::exists(mod));
    EXPECT_TRUE(log.has("graphics pack mod: the dump does not match the pack (); the pack is not made"));
}

TEST_F(ModPack, ABrokenStreamIsRefusedSilently) {
    log_capture log;
    const bytes junk = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(modpack_make_from(assets.path.c_str(), {junk.data(), junk.size(), 100}), 0);
    EXPECT_FALSE(fs::exists(mod));
    EXPECT_EQ(log.text(), "");
}

TEST_F(ModPack, AFailedCopyIsReported) {
    log_capture log;
    spit(mod, "a file where the pack's folder would go");
    EXPECT_EQ(make(modpack_blob_bytes(2, good_entries())), 0);
    EXPECT_TRUE(log.has("graphics pack mod: FAILED (2 pictures differ from the dump)"));
}

TEST_F(ModPack, ThisBuildCarriesNoBlobAndSaysSo) {
    log_capture log;
    EXPECT_EQ(modpack_make_if_missing(assets.path.c_str()), 0);
    EXPECT_FALSE(fs::exists(mod));
    EXPECT_TRUE(log.has("graphics pack mod: this build carries no pack data; the pack is not made"));
    fs::remove(dump + "/index.json");
    const std::string before = log.text();
    EXPECT_EQ(modpack_make_if_missing(assets.path.c_str()), 0);
    EXPECT_EQ(log.text(), before);
}

// The blob's reader alone, on a blank picture of the entry's size.
struct applied {
    int read;
    int ok;
    bytes pixels;
    size_t end;
};

applied apply_one(const bytes& blob) {
    modpack_entry e{};
    applied r{modpack_read_entry(blob.data(), blob.size(), 4, &e), 0, {}, 0};
    if (!r.read)
        return r;
    r.pixels.assign(size_t(e.width) * size_t(e.height) * size_t(std::max(e.kind, 1)), 0);
    r.ok = modpack_apply(blob.data(), blob.size(), &e, r.pixels.data());
    r.end = e.end;
    return r;
}

TEST(ModPackBlob, AppliesRunsWithVarintsOfOneToFiveBytes) {
    // 300 x 2: a gap of 200, a run of 150, a gap, a run of 1 at the end.
    bytes before(600, 0), after(600, 0);
    for (int p = 200; p < 350; p++)
        after[p] = uint8_t(p | 1);
    after[599] = 0xEE;
    for (int pad : {0, 5}) {
        SCOPED_TRACE(pad);
        modpack_test_entry e = modpack_diff("tiles/ground_2.png", 1, 300, 2, before, after);
        ASSERT_EQ(e.runs, (std::vector<uint64_t>{200, 150, 249, 1}));
        e.first_run_bytes = pad;
        const bytes blob = modpack_blob_bytes(1, {e});
        const applied r = apply_one(blob);
        ASSERT_EQ(r.read, 1);
        EXPECT_EQ(r.ok, 1);
        EXPECT_EQ(r.pixels, after);
        EXPECT_EQ(r.end, blob.size());
    }
}

TEST(ModPackBlob, RefusesEachBrokenRuleAndUnsafeNames) {
    const bytes before(12 * 4, 0);
    bytes after = before;
    for (int c = 0; c < 4; c++)
        after[5 * 4 + c] = uint8_t(c + 1);
    const modpack_test_entry good = modpack_diff("screens/a.png", 4, 4, 3, before, after);
    ASSERT_EQ(apply_one(modpack_blob_bytes(1, {good})).ok, 1);
    using change = std::function<void(modpack_test_entry&)>;
    struct rule_case {
        const char* what;
        change apply;
        int ok;
    };
    const rule_case cases[] = {
        {"kind 2", [](auto& e) { e.kind = 2; }, 0},
        {"varint of 6 bytes", [](auto& e) { e.first_run_bytes = 6; }, 0},
        {"varint of 5 bytes", [](auto& e) { e.first_run_bytes = 5; }, 1},
        {"gap past the picture", [](auto& e) { e.runs = {13, 0}; e.changed = 0; e.planes.clear(); }, 0},
        {"gap to the picture's end", [](auto& e) { e.runs = {12}; e.changed = 0; e.planes.clear(); e.crc = 0; }, 1},
        {"run past the picture", [](auto& e) { e.runs = {11, 2}; e.changed = 2; e.planes.resize(8); }, 0},
        {"run past the changed count", [](auto& e) { e.changed = 0; e.planes.clear(); }, 0},
        {"changed count not reached", [](auto& e) { e.changed = 2; e.planes.resize(8); }, 0},
        {"run values missing", [](auto& e) { e.missing_runs = 1; e.planes.clear(); }, 0},
        {"planes cut", [](auto& e) { e.planes.pop_back(); }, 0},
        {"empty name", [](auto& e) { e.name = ""; }, 0},
        {"absolute name", [](auto& e) { e.name = "/tmp/a.png"; }, 0},
        {"name with a 0 byte", [](auto& e) { e.name = std::string("a\0b.png", 7); }, 0},
        {"name going up at its start", [](auto& e) { e.name = "../a.png"; }, 0},
        {"name going up inside", [](auto& e) { e.name = "screens/../../a.png"; }, 0},
        {"name going up at its end", [](auto& e) { e.name = "screens/.."; }, 0},
        {"dots that go nowhere", [](auto& e) { e.name = "a/.b/..c/d../a.png"; }, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        modpack_test_entry e = good;
        c.apply(e);
        const applied r = apply_one(modpack_blob_bytes(1, {e}));
        ASSERT_EQ(r.read, 1);
        EXPECT_EQ(r.ok, c.ok);
    }
    uint32_t count = 0;
    const bytes counted = {1, 2, 3, 4, 5};
    EXPECT_EQ(modpack_read_count(counted.data(), 4, &count), 1);
    EXPECT_EQ(count, 0x04030201u);
    EXPECT_EQ(modpack_read_count(counted.data(), 3, &count), 0);
    // Too short for a header: the blob has ended.
    bytes blob = modpack_blob_bytes(1, {good});
    blob.resize(4 + 1 + good.name.size() + 16);
    EXPECT_EQ(apply_one(blob).read, 0);
    blob.resize(4);
    EXPECT_EQ(apply_one(blob).read, 0);
}

TEST(CopyDir, CopiesFilesAndFoldersButNotHiddenOnesAndStopsAtAFailure) {
    temp_dir t;
    fs::create_directories(t / "a/b/c");
    fs::create_directories(t / "a/.git/objects");
    spit(t / "a/top", "1");
    spit(t / "a/b/mid", "22");
    spit(t / "a/b/c/low", "");
    spit(t / "a/b/.swp", "x");
    ASSERT_EQ(copy_dir((t / "a").c_str(), (t / "copy").c_str()), 1);
    EXPECT_EQ(slurp(t / "copy/top"), "1");
    EXPECT_EQ(slurp(t / "copy/b/mid"), "22");
    EXPECT_TRUE(fs::is_regular_file(t / "copy/b/c/low"));
    EXPECT_FALSE(fs::exists(t / "copy/.git"));
    EXPECT_FALSE(fs::exists(t / "copy/b/.swp"));
    // A destination that cannot be a folder.
    spit(t / "file", "");
    EXPECT_EQ(copy_dir((t / "a").c_str(), (t / "file/copy").c_str()), 0);
    // A sub-folder in the way of a file of the same name.
    fs::create_directories(t / "blocked/top");
    EXPECT_EQ(copy_dir((t / "a").c_str(), (t / "blocked").c_str()), 0);
}

}  // namespace
