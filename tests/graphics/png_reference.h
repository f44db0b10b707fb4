// libpng and temporary-folder helpers for the PNG codec tests: libpng writes
// the files our reader must read and reads back the files our writer made.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace pngref {

struct encode_options {
    int colour_type = PNG_COLOR_TYPE_RGB_ALPHA;
    int bit_depth = 8;
    int filters = -1;  // PNG_FILTER_* mask; -1 keeps libpng's choice
    bool interlace = false;
    std::vector<uint8_t> palette;  // RGB triples
    std::vector<uint8_t> trns;
    size_t idat_size = 0;  // largest IDAT chunk; 0 keeps libpng's default
    int level = 6;
};

inline int channels_of(int colour_type) {
    switch (colour_type) {
    case PNG_COLOR_TYPE_GRAY: return 1;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_PALETTE: return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    default: return 4;
    }
}

inline size_t row_bytes(int width, const encode_options& o) {
    return (size_t(width) * size_t(channels_of(o.colour_type)) * size_t(o.bit_depth) + 7) / 8;
}

// Encodes rows of row_bytes(width, o) bytes each.
inline std::vector<uint8_t> encode(int width, int height, const std::vector<uint8_t>& data, const encode_options& o) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng could not write the picture");
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep bytes, png_size_t n) {
            auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            v->insert(v->end(), bytes, bytes + n);
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), o.bit_depth, o.colour_type,
                 o.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!o.palette.empty())
        png_set_PLTE(png, info, reinterpret_cast<png_const_colorp>(o.palette.data()), int(o.palette.size() / 3));
    if (!o.trns.empty())
        png_set_tRNS(png, info, o.trns.data(), int(o.trns.size()), nullptr);
    if (o.filters >= 0)
        png_set_filter(png, PNG_FILTER_TYPE_BASE, o.filters);
    if (o.idat_size > 0)
        png_set_compression_buffer_size(png, o.idat_size);
    png_set_compression_level(png, o.level);
    png_write_info(png, info);
    int passes = png_set_interlace_handling(png);
    size_t stride = row_bytes(width, o);
    for (int pass = 0; pass < passes; pass++)
        for (int y = 0; y < height; y++)
            png_write_row(png, data.data() + size_t(y) * stride);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

struct reader_source {
    const std::vector<uint8_t>* file;
    size_t pos;
};

// Decodes with libpng: as RGBA (palette, tRNS and grey expanded) or, with
// raw set, as the stored samples. Returns false when libpng refuses.
inline bool decode(const std::vector<uint8_t>& file, bool raw, std::vector<uint8_t>& pixels, int& width,
                   int& height) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    reader_source src{&file, 0};
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    png_set_read_fn(png, &src, [](png_structp p, png_bytep bytes, png_size_t n) {
        auto* s = static_cast<reader_source*>(png_get_io_ptr(p));
        if (s->file->size() - s->pos < n)
            png_error(p, "read past the end");
        std::memcpy(bytes, s->file->data() + s->pos, n);
        s->pos += n;
    });
    png_read_info(png, info);
    if (!raw) {
        png_set_expand(png);
        png_set_strip_16(png);
        png_set_gray_to_rgb(png);
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    width = int(png_get_image_width(png, info));
    height = int(png_get_image_height(png, info));
    size_t stride = png_get_rowbytes(png, info);
    pixels.assign(stride * size_t(height), 0);
    rows.resize(size_t(height));
    for (int y = 0; y < height; y++)
        rows[size_t(y)] = pixels.data() + size_t(y) * stride;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

inline std::vector<uint8_t> random_bytes(size_t n, uint32_t seed, int modulo = 256) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = uint8_t(rng() % uint32_t(modulo));
    return v;
}

// A picture with smooth areas, edges and noise, so that every filter and
// every kind of match has something to do.
inline std::vector<uint8_t> test_picture(int width, int height, int channels, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(size_t(width) * size_t(height) * size_t(channels));
    size_t i = 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            for (int c = 0; c < channels; c++) {
                int value = (x * (c + 1) + y * 3) & 0xFF;
                if ((x / 7 + y / 5) % 3 == 0)
                    value = int(rng() & 0xFF);
                v[i++] = uint8_t(value);
            }
    return v;
}

inline std::vector<uint8_t> read_bytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A fresh folder under the system's temporary folder, removed with its
// contents at the end.
class temp_dir {
public:
    temp_dir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "bkm_png_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot make a temporary folder");
        path_ = pattern;
    }
    ~temp_dir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace pngref
