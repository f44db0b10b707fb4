// PNG and DEFLATE codec of the program: CRC-32, Adler-32, a raw DEFLATE
// decoder, a reader for 8-bit PNG files and a fast writer (one fixed-Huffman
// block with a short LZ77 search). Every picture the program reads or writes
// goes through here.
#pragma once

#include <cstddef>
#include <cstdint>

// Largest width or height the reader accepts; it keeps every buffer size
// well inside size_t.
inline constexpr int PNG_MAX_SIDE = 16384;
// A larger PNG file is not read: the largest picture the reader takes,
// stored without compression, stays below this.
inline constexpr size_t PNG_MAX_FILE = (size_t{1} << 30) + (size_t{64} << 20);

// CRC-32 of PNG and zlib.
uint32_t png_crc32(const uint8_t* data, size_t length);
// Continues a CRC-32 (start with 0).
uint32_t crc32_update(uint32_t crc, const uint8_t* data, size_t length);
// Adler-32 of zlib (start with 1).
uint32_t png_adler32(uint32_t adler, const uint8_t* data, size_t length);

// Raw DEFLATE (no zlib header) into a buffer of output_size bytes. Returns 1
// when the stream decodes and either produced at least one byte or filled the
// buffer exactly; 0 on any damage. Never reads past the input nor writes past
// the output.
int png_inflate(const uint8_t* input, size_t input_length, uint8_t* output, size_t output_size);

// What a PNG file's header says of its picture.
struct png_header_info {
    int width, height;
    int bit_depth, colour_type, interlace;
};

// Reads only the signature and the header chunk that follows it, so that a
// picture can be judged by its size and format before any of it is read.
// 1 when both are there; 0 for a missing file or anything else.
int png_read_header(const char* path, png_header_info* info);
// Why the RGBA reader refuses pictures of this format, in words that say how
// to save them instead; null when the format is one it reads (or one no
// image editor writes).
const char* png_format_refusal(const png_header_info& info);

// Whole-file readers. They return a malloc'ed picture (RGBA, 4 bytes a pixel,
// or one index byte a pixel) and store its size, or null for a missing file or
// one they refuse. The caller frees the picture with free(). A picture wider
// or higher than the caller takes is refused before anything is allocated
// for it, as is one whose image data are too short to fill its rows; the
// file itself is not read when it is larger than the largest picture taken,
// stored without compression, could be.
uint8_t* png_read_rgba(const char* path, int* width, int* height, int max_width = PNG_MAX_SIDE,
                       int max_height = PNG_MAX_SIDE);
uint8_t* png_read_indexed(const char* path, int* width, int* height, int max_width = PNG_MAX_SIDE,
                          int max_height = PNG_MAX_SIDE);

// The same on a file already in memory.
uint8_t* png_decode_rgba(const uint8_t* file, size_t size, int* width, int* height, int max_width = PNG_MAX_SIDE,
                         int max_height = PNG_MAX_SIDE);
uint8_t* png_decode_indexed(const uint8_t* file, size_t size, int* width, int* height,
                            int max_width = PNG_MAX_SIDE, int max_height = PNG_MAX_SIDE);
// The largest PNG file the readers look at for a picture of at most this
// size: the picture stored without compression, with room for the chunks an
// editor adds; never above PNG_MAX_FILE.
size_t png_file_limit(int max_width, int max_height);

// Writers: through "<path>.tmp" and a rename, so that the old file stays
// whole when anything fails. Return 1 when the file was written, 0 otherwise.
// channels 4 writes RGBA, 3 RGB; rows are width x channels bytes.
int png_write(const char* path, const uint8_t* pixels, int width, int height, int channels);
// Colour type 3 with a 256-entry RGB palette (768 bytes).
int png_write_indexed(const char* path, const uint8_t* indices, int width, int height,
                      const uint8_t* palette);
