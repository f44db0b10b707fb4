// PNG reader for the 8-bit subset: grey, grey + alpha, RGB, RGBA and
// palette pictures, not interlaced. CRCs and the Adler-32 are not checked.
#include "graphics/png_codec.h"
#include "host/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint8_t PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// The signature, then the header chunk: length, type, 13 bytes, CRC.
constexpr size_t PNG_HEAD = 8 + 4 + 4 + 13 + 4;
// The most bytes a DEFLATE stream gives per byte of its own: a 258-byte
// copy coded in two bits.
constexpr size_t INFLATE_MOST_PER_BYTE = 258 * 4;

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
// bytes; rows the stream leaves short stay zero. Image data too short to
// fill every row, however well compressed, is refused before the rows are
// allocated.
uint8_t* decode_rows(const png_chunks& c, int channels) {
    size_t width = c.header.width, height = c.header.height, bpp = size_t(channels);
    size_t raw_size = height * (1 + width * bpp);
    if ((c.idat_size - 2) * INFLATE_MOST_PER_BYTE < raw_size)
        return nullptr;
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

bool size_ok(const png_header& h, int max_width, int max_height) {
    const uint32_t most_w = uint32_t(std::clamp(max_width, 0, PNG_MAX_SIDE));
    const uint32_t most_h = uint32_t(std::clamp(max_height, 0, PNG_MAX_SIDE));
    return h.width >= 1 && h.width <= most_w && h.height >= 1 && h.height <= most_h;
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

int png_read_header(const char* path, png_header_info* info) {
    if (path == nullptr || info == nullptr)
        return 0;
    // Opened without waiting, as every user file is: a pipe in the user's
    // folders would otherwise hold the program.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return 0;
    struct stat st;
    uint8_t head[PNG_HEAD];
    size_t got = 0;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        while (got < sizeof head) {
            const ssize_t n = read(fd, head + got, sizeof head - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += size_t(n);
        }
    }
    close(fd);
    if (got < sizeof head || std::memcmp(head, PNG_SIGNATURE, 8) != 0 || be32(head + 8) < 13 ||
        std::memcmp(head + 12, "IHDR", 4) != 0)
        return 0;
    const uint8_t* d = head + 16;
    const uint32_t w = be32(d), h = be32(d + 4);
    info->width = int(std::min<uint32_t>(w, INT32_MAX));
    info->height = int(std::min<uint32_t>(h, INT32_MAX));
    info->bit_depth = d[8];
    info->colour_type = d[9];
    info->interlace = d[12];
    return 1;
}

const char* png_format_refusal(const png_header_info& info) {
    static const char* const reasons[2][4] = {
        {nullptr, "16-bit PNG: save it with 8 bits per channel", "palette of 1/2/4 bits: save it with 8 bits",
         "grey of 1/2/4 bits: save it with 8 bits"},
        {"interlaced: save it without interlacing",
         "16-bit PNG: save it with 8 bits per channel; interlaced: save it without interlacing",
         "palette of 1/2/4 bits: save it with 8 bits; interlaced: save it without interlacing",
         "grey of 1/2/4 bits: save it with 8 bits; interlaced: save it without interlacing"}};
    const bool low = info.bit_depth == 1 || info.bit_depth == 2 || info.bit_depth == 4;
    int depth = 0;
    if (info.bit_depth == 16)
        depth = 1;
    else if (low && info.colour_type == 3)
        depth = 2;
    else if (low && info.colour_type == 0)
        depth = 3;
    return reasons[info.interlace != 0][depth];
}

size_t png_file_limit(int max_width, int max_height) {
    const size_t w = size_t(std::clamp(max_width, 0, PNG_MAX_SIDE));
    const size_t h = size_t(std::clamp(max_height, 0, PNG_MAX_SIDE));
    const size_t stored = h * (1 + w * 4);
    return std::min(PNG_MAX_FILE, stored + stored / 16 + (size_t{16} << 20));
}

uint8_t* png_decode_rgba(const uint8_t* file, size_t size, int* width, int* height, int max_width,
                         int max_height) {
    png_chunks c;
    uint8_t* result = nullptr;
    if (walk_chunks(file, size, true, c) && !c.failed) {
        const png_header& h = c.header;
        int channels = channels_of(h.colour_type);
        if (size_ok(h, max_width, max_height) && h.bit_depth == 8 && h.interlace == 0 && channels != 0 &&
            c.idat_size > 5) {
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

uint8_t* png_decode_indexed(const uint8_t* file, size_t size, int* width, int* height, int max_width,
                            int max_height) {
    png_chunks c;
    uint8_t* result = nullptr;
    if (walk_chunks(file, size, false, c) && !c.failed) {
        const png_header& h = c.header;
        if (size_ok(h, max_width, max_height) && h.bit_depth == 8 && h.colour_type == 3 && c.idat_size > 5)
            result = decode_rows(c, 1);
    }
    std::free(c.idat);
    if (result != nullptr) {
        *width = int(c.header.width);
        *height = int(c.header.height);
    }
    return result;
}

uint8_t* png_read_rgba(const char* path, int* width, int* height, int max_width, int max_height) {
    size_t size = 0;
    const size_t limit = png_file_limit(max_width, max_height);
    uint8_t* file = path ? reinterpret_cast<uint8_t*>(read_file(path, &size, limit)) : nullptr;
    if (file == nullptr)
        return nullptr;
    uint8_t* pixels = png_decode_rgba(file, size, width, height, max_width, max_height);
    std::free(file);
    return pixels;
}

uint8_t* png_read_indexed(const char* path, int* width, int* height, int max_width, int max_height) {
    size_t size = 0;
    const size_t limit = png_file_limit(max_width, max_height);
    uint8_t* file = path ? reinterpret_cast<uint8_t*>(read_file(path, &size, limit)) : nullptr;
    if (file == nullptr)
        return nullptr;
    uint8_t* pixels = png_decode_indexed(file, size, width, height, max_width, max_height);
    std::free(file);
    return pixels;
}
