// The run-length code of the RAM in machine-state files.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "machine/machine_state.h"

namespace {

std::vector<u8> pack(const std::vector<u8>& in) {
  std::vector<u8> out(state_rle_bound(in.size()));
  out.resize(state_rle_pack(in.data(), in.size(), out.data()));
  return out;
}

bool unpack(const std::vector<u8>& packed, std::vector<u8>& out) {
  return state_rle_unpack(packed.data(), packed.size(), out.data(), out.size());
}

std::vector<u8> repeat(u8 b, size_t n) { return std::vector<u8>(n, b); }

std::vector<u8> cat(std::initializer_list<std::vector<u8>> parts) {
  std::vector<u8> r;
  for (const auto& p : parts) r.insert(r.end(), p.begin(), p.end());
  return r;
}

TEST(StateRle, ZeroRamPacksToTheKnownSize) {
  const std::vector<u8> zeros(ram_size, 0);
  const std::vector<u8> packed = pack(zeros);
  ASSERT_EQ(packed.size(), 64528u);
  for (size_t i = 0; i + 2 < packed.size(); i += 2) {
    ASSERT_EQ(packed[i], 0xFF) << i;
    ASSERT_EQ(packed[i + 1], 0x00) << i;
  }
  EXPECT_EQ(packed[packed.size() - 2], 0xEF) << "the last run of 114";
  EXPECT_EQ(packed.back(), 0x00);
  std::vector<u8> back(ram_size, 0x55);
  ASSERT_TRUE(unpack(packed, back));
  EXPECT_EQ(back, zeros);
}

TEST(StateRle, RunsAndLiteralsAsSpecified) {
  std::vector<u8> distinct(200);
  for (size_t i = 0; i < distinct.size(); ++i) distinct[i] = static_cast<u8>(i);
  struct rle_case {
    const char* what;
    std::vector<u8> in;
    std::vector<u8> out;
  };
  const rle_case cases[] = {
      {"two equal bytes are a literal", {7, 7, 9}, {0x02, 7, 7, 9}},
      {"three equal bytes are a run", {7, 7, 7}, {0x80, 7}},
      {"a single byte", {5}, {0x00, 5}},
      {"the last byte alone", {7, 7, 7, 9}, {0x80, 7, 0x00, 9}},
      {"a literal stops before a run", {1, 2, 3, 3, 3}, {0x01, 1, 2, 0x80, 3}},
      {"a run of 130", repeat(4, 130), {0xFF, 4}},
      {"131 equal bytes", repeat(4, 131), {0xFF, 4, 0x00, 4}},
      {"132 equal bytes", repeat(4, 132), {0xFF, 4, 0x01, 4, 4}},
      {"133 equal bytes", repeat(4, 133), {0xFF, 4, 0x80, 4}},
      {"literals hold at most 128 bytes", distinct,
       cat({{0x7F}, std::vector<u8>(distinct.begin(), distinct.begin() + 128), {0x47},
            std::vector<u8>(distinct.begin() + 128, distinct.end())})},
  };
  for (const rle_case& c : cases) {
    EXPECT_EQ(pack(c.in), c.out) << c.what;
    std::vector<u8> back(c.in.size());
    EXPECT_TRUE(unpack(c.out, back)) << c.what;
    EXPECT_EQ(back, c.in) << c.what;
  }
}

TEST(StateRle, MixedMemoryRoundTripsWithinTheBound) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 4; ++round) {
    std::vector<u8> ram(ram_size, 0);
    // Random pages, short runs and isolated bytes among the zeros.
    for (int p = 0; p < 64; ++p) {
      const size_t at = rng() % (ram_size - 4096);
      for (size_t i = 0; i < 4096; ++i) ram[at + i] = static_cast<u8>(rng() >> (round * 2));
    }
    for (int k = 0; k < 5000; ++k) ram[rng() % ram_size] = static_cast<u8>(rng());
    ram.back() = static_cast<u8>(round + 1);
    const std::vector<u8> packed = pack(ram);
    EXPECT_LE(packed.size(), state_rle_bound(ram_size));
    std::vector<u8> back(ram_size);
    ASSERT_TRUE(unpack(packed, back));
    EXPECT_EQ(back, ram) << round;
  }
  std::vector<u8> noise(ram_size);
  for (u8& b : noise) b = static_cast<u8>(rng());
  const std::vector<u8> packed = pack(noise);
  EXPECT_LT(packed.size(), 4260864u);
  EXPECT_LE(packed.size(), state_rle_bound(ram_size));
}

TEST(StateRle, UnpackingRefusesStreamsOfTheWrongLength) {
  std::vector<u8> out(4);
  struct bad_case {
    const char* what;
    std::vector<u8> packed;
    bool ok;
  };
  const bad_case cases[] = {
      {"exact", {0x80, 1, 0x00, 2}, true},
      {"extra bytes after the end are ignored", {0x80, 1, 0x00, 2, 0x55, 0x66}, true},
      {"one byte short", {0x80, 1, 0x00}, false},
      {"a run without its byte", {0x00, 1, 0x80}, false},
      {"a literal cut short", {0x03, 1, 2, 3}, false},
      {"too few bytes", {0x80, 1}, false},
      {"a run past the end", {0x82, 1}, false},
      {"a literal past the end", {0x04, 1, 2, 3, 4, 5}, false},
      {"empty", {}, false},
  };
  for (const bad_case& c : cases) EXPECT_EQ(unpack(c.packed, out), c.ok) << c.what;
}

} // namespace
