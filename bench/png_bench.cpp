// The PNG writer and reader against libpng on a 960 x 600 RGB screenshot and
// a 2,048 x 2,048 RGBA sprite sheet: time, and the file size as a counter.
#include "graphics/png_codec.h"

#include <benchmark/benchmark.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

struct picture {
    int width, height, channels;
    std::vector<uint8_t> pixels;
};

// A 320 x 200 picture of 16x16 tiles in a 16-colour palette, scaled three
// times with a soft scan-line shade, as a window screenshot looks.
const picture& screenshot() {
    static const picture p = [] {
        picture s{960, 600, 3, {}};
        std::mt19937 rng(1);
        uint8_t palette[16][3];
        for (auto& c : palette)
            for (auto& v : c)
                v = uint8_t(rng() & 0xF0);
        std::vector<uint8_t> tiles(8 * 16 * 16);
        for (auto& t : tiles)
            t = uint8_t(rng() % 16);
        std::vector<uint8_t> map(20 * 13);
        for (auto& m : map)
            m = uint8_t(rng() % 8);
        s.pixels.resize(960 * 600 * 3);
        for (int y = 0; y < 600; y++)
            for (int x = 0; x < 960; x++) {
                int gx = x / 3, gy = y / 3;
                int tile = map[size_t(gy / 16 * 20 + gx / 16)];
                const uint8_t* c = palette[tiles[size_t(tile * 256 + (gy % 16) * 16 + gx % 16)]];
                int shade = y % 3 == 2 ? 200 : 256;
                for (int k = 0; k < 3; k++)
                    s.pixels[size_t((y * 960 + x) * 3 + k)] = uint8_t(c[k] * shade / 256);
            }
        return s;
    }();
    return p;
}

// 64 x 64 cells of 32 x 32: sprites of 16 colours on transparent black.
const picture& sprite_sheet() {
    static const picture p = [] {
        picture s{2048, 2048, 4, std::vector<uint8_t>(size_t(2048) * 2048 * 4, 0)};
        std::mt19937 rng(2);
        uint8_t palette[16][3];
        for (auto& c : palette)
            for (auto& v : c)
                v = uint8_t(rng() & 0xF0);
        for (int cell = 0; cell < 64 * 64; cell++) {
            int cx = (cell % 64) * 32, cy = (cell / 64) * 32;
            int radius = 6 + int(rng() % 10);
            int colour_base = int(rng() % 12);
            for (int y = 0; y < 32; y++)
                for (int x = 0; x < 32; x++) {
                    int dx = x - 16, dy = y - 16;
                    if (dx * dx + dy * dy > radius * radius)
                        continue;
                    int index = colour_base + ((x / 3 + y / 4 + int(rng() % 5 == 0)) & 3);
                    uint8_t* px = &s.pixels[size_t(((cy + y) * 2048 + cx + x) * 4)];
                    px[0] = palette[index][0];
                    px[1] = palette[index][1];
                    px[2] = palette[index][2];
                    px[3] = 255;
                }
        }
        return s;
    }();
    return p;
}

const picture& picture_of(int which) { return which == 0 ? screenshot() : sprite_sheet(); }

std::string bench_path(const char* name) {
    return "/tmp/bkm_png_bench_" + std::to_string(getpid()) + "_" + name + ".png";
}

long file_size(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return -1;
    std::fseek(f, 0, SEEK_END);
    long n = std::ftell(f);
    std::fclose(f);
    return n;
}

bool libpng_write(const std::string& path, const picture& p, int level) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_compression_level(png, level);
    png_set_IHDR(png, info, png_uint_32(p.width), png_uint_32(p.height), 8,
                 p.channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    size_t stride = size_t(p.width) * size_t(p.channels);
    for (int y = 0; y < p.height; y++)
        png_write_row(png, p.pixels.data() + size_t(y) * stride);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

std::vector<uint8_t> libpng_read_rgba(const std::string& path) {
    std::vector<uint8_t> pixels;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return pixels;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
        return {};
    }
    png_init_io(png, f);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    pixels.resize(size_t(w) * h * 4);
    rows.resize(h);
    for (png_uint_32 y = 0; y < h; y++)
        rows[y] = pixels.data() + size_t(y) * w * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return pixels;
}

const char* const NAMES[] = {"screenshot_960x600_rgb", "sheet_2048x2048_rgba"};

void set_counters(benchmark::State& state, const picture& p, const std::string& path) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(p.pixels.size()));
    state.counters["file_bytes"] = double(file_size(path));
    state.counters["ratio"] = double(file_size(path)) / double(p.pixels.size());
    std::remove(path.c_str());
}

void BM_write_ours(benchmark::State& state) {
    const picture& p = picture_of(int(state.range(0)));
    state.SetLabel(NAMES[state.range(0)]);
    std::string path = bench_path("ours");
    for (auto _ : state)
        if (!png_write(path.c_str(), p.pixels.data(), p.width, p.height, p.channels))
            state.SkipWithError("write failed");
    set_counters(state, p, path);
}

void BM_write_libpng(benchmark::State& state) {
    const picture& p = picture_of(int(state.range(0)));
    int level = int(state.range(1));
    state.SetLabel(std::string(NAMES[state.range(0)]) + " level " + std::to_string(level));
    std::string path = bench_path("libpng");
    for (auto _ : state)
        if (!libpng_write(path, p, level))
            state.SkipWithError("write failed");
    set_counters(state, p, path);
}

// Reading: a file written by libpng at level 6 (as image editors save) and
// one written by our own writer (as the dump leaves them).
std::string reading_file(int which, bool ours) {
    const picture& p = picture_of(which);
    std::string path = bench_path(ours ? "read_ours" : "read_libpng");
    if (ours)
        png_write(path.c_str(), p.pixels.data(), p.width, p.height, p.channels);
    else
        libpng_write(path, p, 6);
    return path;
}

void BM_read_ours(benchmark::State& state) {
    const picture& p = picture_of(int(state.range(0)));
    std::string path = reading_file(int(state.range(0)), state.range(1) != 0);
    state.SetLabel(std::string(NAMES[state.range(0)]) + (state.range(1) ? " from our writer" : " from libpng"));
    for (auto _ : state) {
        int w, h;
        uint8_t* rgba = png_read_rgba(path.c_str(), &w, &h);
        if (!rgba)
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(rgba);
        std::free(rgba);
    }
    set_counters(state, p, path);
}

void BM_read_libpng(benchmark::State& state) {
    const picture& p = picture_of(int(state.range(0)));
    std::string path = reading_file(int(state.range(0)), state.range(1) != 0);
    state.SetLabel(std::string(NAMES[state.range(0)]) + (state.range(1) ? " from our writer" : " from libpng"));
    for (auto _ : state) {
        std::vector<uint8_t> rgba = libpng_read_rgba(path);
        if (rgba.empty())
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(rgba.data());
    }
    set_counters(state, p, path);
}

}  // namespace

BENCHMARK(BM_write_ours)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_write_libpng)->ArgsProduct({{0, 1}, {1, 6}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_read_ours)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_read_libpng)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);
