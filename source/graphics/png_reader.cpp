// PNG reader for the 8-bit subset: grey, grey + alpha, RGB, RGBA and
// palette pictures, not interlaced. CRCs and the Adler-32 are not checked.
#include "graphics/png_codec.h"
#include "host/platform.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr uint8_t PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct png_header {
    uint32_t width = 0;
    uint32_t height = 0;
    int bit_depth = 0;
    int colour_type = -1;
    int interlace = 0;
};

struct png_chunks {
    png_header header;
    // Entries a file leaves out stay black, and opaque unless tRNS says so.
    uint8_t palette[256][4];
    uint8_t* idat = nullptr;
    size_t idat_size = 0;
    size_t idat_capacity = 0;
    bool failed = false;  // out of memory
};

uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

bool append_idat(png_chunks& c, const uint8_t* data, size_t length) {
    if (length == 0)
        return true;  // an empty IDAT adds nothing (and memcpy may not see a null buffer)
    if (length > c.idat_capacity - c.idat_size) {
        size_t capacity = c.idat_capacity ? c.idat_capacity : 4096;
        while (capacity - c.idat_size < length)
            capacity *= 2;
        auto* grown = static_cast<uint8_t*>(std::realloc(c.idat, capacity));
        if (grown == nullptr)
            return false;
        c.idat = grown;
        c.idat_capacity = capacity;
    }
    std::memcpy(c.idat + c.idat_size, data, length);
    c.idat_size += length;
    return true;
}

// Walks the chunks; with all_chunks false only IHDR, IDAT and IEND are read.
// Returns false for a file that is too short or lacks the signature.
bool walk_chunks(const uint8_t* file, size_t size, bool all_chunks, png_chunks& c) {
    for (auto& entry : c.palette) {
        entry[0] = entry[1] = entry[2] = 0;
        entry[3] = 255;
    }
    if (file == nullptr || size <= 32 || std::memcmp(file, PNG_SIGNATURE, 8) != 0)
        return false;
    size_t pos = 8;
    while (size - pos >= 12) {
        size_t length = be32(file + pos);
        const uint8_t* type = file + pos + 4;
        const uint8_t* data = file + pos + 8;
        if (length > size - pos - 8)
            break;
        if (std::memcmp(type, "IHDR", 4) == 0 && length >= 13) {
            c.header.width = be32(data);
            c.header.height = be32(data + 4);
            c.header.bit_depth = data[8];
            c.header.colour_type = data[9];
            c.header.interlace = data[12];
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            if (!append_idat(c, data, length)) {
                c.failed = true;
                break;
            }
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            break;
        } else if (all_chunks && std::memcmp(type, "PLTE", 4) == 0) {
            size_t entries = length / 3 < 256 ? length / 3 : 256;
            for (size_t i = 0; i < entries; i++)
                std::memcpy(c.palette[i], data + 3 * i, 3);
        } else if (all_chunks && std::memcmp(type, "tRNS", 4) == 0 && c.header.colour_type == 3) {
            size_t entries = length < 256 ? length : 256;
            for (size_t i = 0; i < entries; i++)
                c.palette[i][3] = data[i];
        }
        pos += 12 + length;
        if (pos > size)
            break;
    }
    return true;
}

int paeth(int left, int up, int upper_left) {
    int p = left + up - upper_left;
    int pa = std::abs(p - left), pb = std::abs(p - up), pc = std::abs(p - upper_left);
    if (pa <= pb && pa <= pc)
        return left;
    if (pb <= pc)
        return up;
    return upper_left;
}

// Undoes the row filters in place and packs the rows together (dropping the
// filter bytes). Returns false on an unknown filter type.
bool unfilter(uint8_t* raw, size_t width, size_t height, size_t bpp) {
    size_t stride = width * bpp;
    // The row above the first one is zeros.
    auto* zeros = static_cast<uint8_t*>(std::calloc(stride, 1));
    if (zeros == nullptr)
        return false;
    const uint8_t* prior = zeros;
    bool ok = true;
    for (size_t y = 0; y < height && ok; y++) {
        const uint8_t* src = raw + y * (stride + 1);
        int filter = src[0];
        uint8_t* row = raw + y * stride;
        // A packed row starts y bytes before its source, so it never
        // overlaps a later row's source.
        std::memmove(row, src + 1, stride);
        switch (filter) {
        case 0:
            break;
        case 1:
            for (size_t i = bpp; i < stride; i++)
                row[i] = uint8_t(row[i] + row[i - bpp]);
            break;
        case 2:
            for (size_t i = 0; i < stride; i++)
                row[i] = uint8_t(row[i] + prior[i]);
            break;
        case 3:
            for (size_t i = 0; i < bpp; i++)
                row[i] = uint8_t(row[i] + (prior[i] >> 1));
            for (size_t i = bpp; i < stride; i++)
                row[i] = uint8_t(row[i] + ((row[i - bpp] + prior[i]) >> 1));
            break;
        case 4:
            for (size_t i = 0; i < bpp; i++)
                row[i] = uint8_t(row[i] + prior[i]);  // Paeth(0, up, 0) is up
            for (size_t i = bpp; i < stride; i++)
                row[i] = uint8_t(row[i] + paeth(row[i - bpp], prior[i], prior[i - bpp]));
            break;
        default:
            ok = false;
        }
        prior = row;
    }
    std::free(zeros);
    return ok;
}

int channels_of(int colour_type) {
    switch (colour_type) {
    case 0: return 1;
    case 2: return 3;
    case 3: return 1;
    case 4: return 2;
    case 6: return 4;
    default: return 0;
    }
}

// Inflates and unfilters the image data into width x height x channels
// bytes; rows the stream leaves short stay zero.
uint8_t* decode_rows(const png_chunks& c, int channels) {
    size_t width = c.header.width, height = c.header.height, bpp = size_t(channels);
    size_t raw_size = height * (1 + width * bpp);
    auto* raw = static_cast<uint8_t*>(std::calloc(raw_size, 1));
    if (raw == nullptr)
        return nullptr;
    // The first two bytes are the zlib header.
    if (!png_inflate(c.idat + 2, c.idat_size - 2, raw, raw_size) || !unfilter(raw, width, height, bpp)) {
        std::free(raw);
        return nullptr;
    }
    return raw;
}

bool size_ok(const png_header& h) {
    return h.width >= 1 && h.width <= PNG_MAX_SIDE && h.height >= 1 && h.height <= PNG_MAX_SIDE;
}

uint8_t* to_rgba(const png_chunks& c, uint8_t* rows, int channels) {
    size_t count = size_t(c.header.width) * c.header.height;
    if (channels == 4)
        return rows;
    auto* rgba = static_cast<uint8_t*>(std::malloc(count * 4));
    if (rgba == nullptr) {
        std::free(rows);
        return nullptr;
    }
    const uint8_t* s = rows;
    uint8_t* d = rgba;
    switch (c.header.colour_type) {
    case 0:
        for (size_t i = 0; i < count; i++, s++, d += 4)
            d[0] = d[1] = d[2] = s[0], d[3] = 255;
        break;
    case 2:
        for (size_t i = 0; i < count; i++, s += 3, d += 4)
            d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = 255;
        break;
    case 3:
        for (size_t i = 0; i < count; i++, s++, d += 4)
            std::memcpy(d, c.palette[s[0]], 4);
        break;
    case 4:
        for (size_t i = 0; i < count; i++, s += 2, d += 4)
            d[0] = d[1] = d[2] = s[0], d[3] = s[1];
        break;
    }
    std::free(rows);
    return rgba;
}


}  // namespace

uint8_t* png_decode_rgba(const uint8_t* file, size_t size, int* width, int* height) {
    png_chunks c;
    uint8_t* result = nullptr;
    if (walk_chunks(file, size, true, c) && !c.failed) {
        const png_header& h = c.header;
        int channels = channels_of(h.colour_type);
        if (size_ok(h) && h.bit_depth == 8 && h.interlace == 0 && channels != 0 && c.idat_size > 5) {
            uint8_t* rows = decode_rows(c, channels);
            if (rows != nullptr)
                result = to_rgba(c, rows, channels);
        }
    }
    std::free(c.idat);
    if (result != nullptr) {
        *width = int(c.header.width);
        *height = int(c.header.height);
    }
    return result;
}

uint8_t* png_decode_indexed(const uint8_t* file, size_t size, int* width, int* height) {
    png_chunks c;
    uint8_t* result = nullptr;
    if (walk_chunks(file, size, false, c) && !c.failed) {
        const png_header& h = c.header;
        if (size_ok(h) && h.bit_depth == 8 && h.colour_type == 3 && c.idat_size > 5)
            result = decode_rows(c, 1);
    }
    std::free(c.idat);
    if (result != nullptr) {
        *width = int(c.header.width);
        *height = int(c.header.height);
    }
    return result;
}

uint8_t* png_read_rgba(const char* path, int* width, int* height) {
    size_t size = 0;
    uint8_t* file = path ? reinterpret_cast<uint8_t*>(read_file(path, &size, PNG_MAX_FILE)) : nullptr;
    if (file == nullptr)
        return nullptr;
    uint8_t* pixels = png_decode_rgba(file, size, width, height);
    std::free(file);
    return pixels;
}

uint8_t* png_read_indexed(const char* path, int* width, int* height) {
    size_t size = 0;
    uint8_t* file = path ? reinterpret_cast<uint8_t*>(read_file(path, &size, PNG_MAX_FILE)) : nullptr;
    if (file == nullptr)
        return nullptr;
    uint8_t* pixels = png_decode_indexed(file, size, width, height);
    std::free(file);
    return pixels;
}
