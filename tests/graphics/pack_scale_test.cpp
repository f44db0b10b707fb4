// Pack pictures at the output scale: copies, pixel blocks, and the filters
// in premultiplied alpha, on pictures small enough to work out by hand.
#include "graphics/pack_scale.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

using px = std::array<int, 4>;

std::vector<uint8_t> row_of(const std::vector<px>& pixels) {
  std::vector<uint8_t> out;
  for (const px& p : pixels)
    for (int c : p) out.push_back(static_cast<uint8_t>(c));
  return out;
}

std::vector<px> pixels_of(const std::vector<uint8_t>& rgba) {
  std::vector<px> out;
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) out.push_back({rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]});
  return out;
}

constexpr px red{255, 0, 0, 255}, blue{0, 0, 255, 255}, clear{0, 0, 0, 0};

TEST(ToScale, CopiesAndBlocksWhenTheScaleIsAMultipleOfTheSheets) {
  // One game pixel drawn at k = 2: a 2 x 2 source.
  const std::vector<uint8_t> src = row_of({red, blue, blue, red});
  EXPECT_EQ(to_scale(src.data(), 2, 2, 1, 1, 2), src);
  const std::vector<px> four = pixels_of(to_scale(src.data(), 2, 2, 1, 1, 4));
  ASSERT_EQ(four.size(), 16u);
  const std::vector<px> expected = {red,  red,  blue, blue, red,  red,  blue, blue,
                                    blue, blue, red,  red,  blue, blue, red,  red};
  EXPECT_EQ(four, expected);
}

TEST(ToScale, FiltersWithATriangleUpAndABoxDown) {
  struct {
    const char* what;
    std::vector<px> src;  // one row
    int src_w, target_w, s;
    std::vector<px> expected;  // first row of the result
  } cases[] = {
      // k = 2 to s = 3: the middle pixel lies between the two sources.
      {"triangle", {red, blue}, 2, 1, 3, {red, {128, 0, 128, 255}, blue}},
      // k = 2 to s = 1: the box averages the pair.
      {"box", {red, blue}, 2, 1, 1, {{128, 0, 128, 255}}},
      // Averaging in premultiplied alpha keeps the colour of the opaque half.
      {"premultiplied", {red, {0, 255, 0, 0}}, 2, 1, 1, {{255, 0, 0, 128}}},
      {"transparent stays so", {{9, 9, 9, 0}, {200, 100, 50, 0}}, 2, 1, 1, {clear}},
      {"transparent enlarged", {{9, 9, 9, 0}, {200, 100, 50, 0}}, 2, 1, 3, {clear, clear, clear}},
      // k = 3 to s = 2: 6 source pixels to 4, each from the pixels under it.
      {"box of one and a half", {red, blue, red, blue, red, blue}, 6, 2, 2,
       {{128, 0, 128, 255}, red, {128, 0, 128, 255}, blue}},
  };
  for (const auto& c : cases) {
    // k equal rows, so the vertical filter keeps the row as it is.
    const std::vector<uint8_t> src = row_of(c.src);
    const int k = c.src_w / c.target_w;
    std::vector<uint8_t> tall;
    for (int r = 0; r < k; ++r) tall.insert(tall.end(), src.begin(), src.end());
    const std::vector<px> out = pixels_of(to_scale(tall.data(), c.src_w, k, 1, c.target_w, c.s));
    ASSERT_EQ(out.size(), static_cast<size_t>(c.target_w * c.s * c.s)) << c.what;
    const std::vector<px> first(out.begin(), out.begin() + c.target_w * c.s);
    EXPECT_EQ(first, c.expected) << c.what;
  }
}

TEST(ToScale, ASourceOfAnotherShapeIsFilteredAndNothingComesOfNothing) {
  const std::vector<uint8_t> src = row_of({red, red, red});
  // 3 x 1 cannot be 2 x 1 at k = 1: filtered to the target size, never copied.
  const std::vector<px> out = pixels_of(to_scale(src.data(), 3, 1, 1, 2, 1));
  EXPECT_EQ(out, (std::vector<px>{red, red}));
  EXPECT_TRUE(to_scale(src.data(), 3, 1, 0, 2, 1).empty());
  EXPECT_TRUE(to_scale(nullptr, 3, 1, 1, 2, 1).empty());
  EXPECT_TRUE(to_scale(src.data(), 3, 1, 1, 2, 0).empty());
}

}  // namespace
