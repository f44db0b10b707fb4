// The Ogg header check at the edges of what it accepts: a real encoder's
// headers with one field of the identification header moved to the edge
// of Vorbis I or just past it, comments whose lengths and counts need more
// than one byte, and a codebook whose values end exactly at the packet's
// last bit.
#include "sound/music_ogg_headers.h"

#include <gtest/gtest.h>
#include <ogg/ogg.h>
#include <vorbis/vorbisenc.h>

#include <functional>
#include <string>
#include <vector>

#include "song_encoders.h"

namespace {

struct vorbis_headers {
  std::string identification, comment, setup;
};

std::string packet_bytes(const ogg_packet& p) {
  return {reinterpret_cast<const char*>(p.packet), static_cast<size_t>(p.bytes)};
}

// The three header packets libvorbis makes for a song of these channels and
// rate with these comments ("NAME=value" texts).
vorbis_headers real_headers(int channels, int rate, const std::vector<std::string>& comments = {}) {
  vorbis_info vi;
  vorbis_info_init(&vi);
  EXPECT_EQ(vorbis_encode_init_vbr(&vi, channels, rate, 0.4f), 0) << channels << " channels at " << rate << " Hz";
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  for (const std::string& c : comments) vorbis_comment_add(&vc, c.c_str());
  vorbis_dsp_state vd;
  vorbis_analysis_init(&vd, &vi);
  ogg_packet id, comment, setup;
  vorbis_analysis_headerout(&vd, &vc, &id, &comment, &setup);
  vorbis_headers h{packet_bytes(id), packet_bytes(comment), packet_bytes(setup)};
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return h;
}

std::string fault_of(const vorbis_headers& h) {
  const std::string ogg = ogg_of_packets({h.identification, h.comment, h.setup});
  const char* fault = ogg_headers_fault(reinterpret_cast<const u8*>(ogg.data()), ogg.size());
  return fault ? fault : "";
}

void put_le32(std::string& p, size_t at, u32 v) {
  for (int i = 0; i < 4; ++i) p[at + static_cast<size_t>(i)] = static_cast<char>(v >> 8 * i);
}

TEST(OggHeaderEdges, RealEncodersHeadersPass) {
  const struct {
    int channels, rate;
  } songs[] = {{1, 8000}, {2, 22050}, {2, 44100}, {1, 48000}, {2, 96000}};
  for (const auto& s : songs) {
    const vorbis_headers h = real_headers(s.channels, s.rate);
    ASSERT_EQ(h.identification.size(), 30u);  // the whole header, no byte to spare
    EXPECT_EQ(fault_of(h), "") << s.channels << " channels at " << s.rate << " Hz";
  }
}

// Fields of the identification header (bytes 7..10 version, 11 channels,
// 12..15 rate, 28 the two block sizes as powers of two, 29 framing).
TEST(OggHeaderEdges, IdentificationFieldsAtTheEdgesOfVorbisI) {
  const std::string not_vorbis_i = "its identification header is not Vorbis I";
  const auto blocks = [](int log0, int log1) {
    return [=](std::string& p) { p[28] = static_cast<char>(log1 << 4 | log0); };
  };
  const auto version = [](u32 v) { return [=](std::string& p) { put_le32(p, 7, v); }; };
  const auto rate = [](u32 v) { return [=](std::string& p) { put_le32(p, 12, v); }; };
  const auto byte = [](size_t at, int v) { return [=](std::string& p) { p[at] = static_cast<char>(v); }; };
  const struct {
    const char* what;
    std::function<void(std::string&)> change;
    std::string fault;
  } rows[] = {
      {"version 1 in its first byte", version(1), not_vorbis_i},
      {"version 1 in its second byte", version(1u << 8), not_vorbis_i},
      {"version 1 in its third byte", version(1u << 16), not_vorbis_i},
      {"version 1 in its last byte", version(1u << 24), not_vorbis_i},
      {"no channel", byte(11, 0), not_vorbis_i},
      {"one channel", byte(11, 1), ""},
      {"255 channels", byte(11, 255), ""},
      {"rate 0", rate(0), not_vorbis_i},
      {"rate 1", rate(1), ""},
      {"rate 256: its second byte alone", rate(1u << 8), ""},
      {"rate 65536: its third byte alone", rate(1u << 16), ""},
      {"rate 2^24: its last byte alone", rate(1u << 24), ""},
      {"blocks 64 and 64", blocks(6, 6), ""},
      {"blocks 64 and 8192", blocks(6, 13), ""},
      {"blocks 8192 and 8192", blocks(13, 13), ""},
      {"short block of 32", blocks(5, 8), not_vorbis_i},
      {"long block of 16384", blocks(8, 14), not_vorbis_i},
      {"short block above the long one", blocks(9, 8), not_vorbis_i},
      {"short 128 above long 64", blocks(7, 6), not_vorbis_i},
      {"short 8192 above long 4096", blocks(13, 12), not_vorbis_i},
      {"no framing bit", byte(29, 0), not_vorbis_i},
      {"every bit but the framing bit", byte(29, 0xFE), not_vorbis_i},
      {"every bit with the framing bit", byte(29, 0xFF), ""},
      {"one byte short", [](std::string& p) { p.resize(29); }, "no Vorbis identification header"},
  };
  const vorbis_headers real = real_headers(2, 44100);
  for (const auto& r : rows) {
    vorbis_headers h = real;
    r.change(h.identification);
    EXPECT_EQ(fault_of(h), r.fault) << r.what;
  }
}

// Lengths and counts of the comment header need more than their first
// byte: a comment of exactly 256 bytes, 256 comments, a comment of 65,536
// bytes (its packet runs over two pages).
TEST(OggHeaderEdges, CommentsWhoseLengthsTakeMoreThanOneByte) {
  const std::string overrun = "its comment header declares more than it holds";
  const struct {
    const char* what;
    std::vector<std::string> comments;
  } rows[] = {
      {"one of 255 bytes", {"TITLE=" + std::string(249, 't')}},
      {"one of 256 bytes", {"TITLE=" + std::string(250, 't')}},
      {"256 comments", std::vector<std::string>(256, "A=b")},
      {"one of 65,536 bytes", {"TITLE=" + std::string(65530, 't')}},
  };
  for (const auto& r : rows) {
    vorbis_headers h = real_headers(2, 44100, r.comments);
    EXPECT_EQ(fault_of(h), "") << r.what;
    // The same header one byte shorter: its last comment overruns.
    std::string& c = h.comment;
    c.erase(c.size() - 2, 1);
    EXPECT_EQ(fault_of(h), overrun) << r.what << ", a byte short";
  }
}

// A setup header of one ordered codebook of 3 entries in `dimensions`
// dimensions, lookup type 2 with one-bit values: 209 bits before the
// values, so 15 values end exactly at the end of its 28 bytes.
std::string setup_of_28_bytes(u32 dimensions) {
  oggpack_buffer b;
  oggpack_writeinit(&b);
  for (const char c : std::string("\x05vorbis")) oggpack_write(&b, static_cast<u8>(c), 8);
  oggpack_write(&b, 0, 8);  // one codebook
  oggpack_write(&b, 0x564342, 24);
  oggpack_write(&b, dimensions, 16);
  oggpack_write(&b, 3, 24);
  oggpack_write(&b, 1, 1);  // ordered
  oggpack_write(&b, 0, 5);  // lengths from 1
  oggpack_write(&b, 3, 2);  // all 3 entries of that length
  oggpack_write(&b, 2, 4);  // lookup type 2: a value per entry and dimension
  oggpack_write(&b, 0, 32);
  oggpack_write(&b, 0, 32);
  oggpack_write(&b, 0, 4);  // one bit a value
  oggpack_write(&b, 0, 1);
  for (int i = 0; i < 15; ++i) oggpack_write(&b, static_cast<u32>(i & 1), 1);
  std::string out(reinterpret_cast<const char*>(oggpack_get_buffer(&b)), static_cast<size_t>(oggpack_bytes(&b)));
  oggpack_writeclear(&b);
  return out;
}

TEST(OggHeaderEdges, CodebookValuesMayEndExactlyAtThePacketsLastBit) {
  const vorbis_headers real = real_headers(2, 44100);
  const struct {
    u32 dimensions;
    std::string fault;
  } rows[] = {
      {5, ""},  // 15 values in the last 15 bits
      {6, "a codebook of its setup header declares more values than it holds"},  // 18
  };
  for (const auto& r : rows) {
    vorbis_headers h = real;
    h.setup = setup_of_28_bytes(r.dimensions);
    ASSERT_EQ(h.setup.size(), 28u);
    EXPECT_EQ(fault_of(h), r.fault) << r.dimensions << " dimensions";
  }
}

} // namespace

namespace {

// A stream that ends inside the header of its second page, in its lacing
// values or in its body is cut, even where the bytes after the end would
// complete it: nothing past the end is read.
TEST(OggHeaderEdges, AStreamCutInsideItsSecondPageIsRefused) {
  const vorbis_headers h = real_headers(2, 44100, {"TITLE=a song"});
  const std::string ogg = ogg_of_packets({h.identification, h.comment, h.setup});
  ASSERT_EQ(fault_of(h), "");
  const size_t second = ogg.find("OggS", 4);
  ASSERT_NE(second, std::string::npos);
  const size_t segments = static_cast<u8>(ogg[second + 26]);
  ASSERT_GT(segments, 1u);
  const struct {
    const char* what;
    size_t size;
  } cuts[] = {
      {"after the first page", second},
      {"one byte short of the page header", second + 26},
      {"without lacing values", second + 27},
      {"one lacing value short", second + 27 + segments - 1},
      {"without a body", second + 27 + segments},
      {"one byte into the body", second + 28 + segments},
  };
  for (const auto& c : cuts) {
    const char* fault = ogg_headers_fault(reinterpret_cast<const u8*>(ogg.data()), c.size);
    EXPECT_STREQ(fault, "its comment header is cut or too long") << c.what;
  }
}

} // namespace
