#include "host/input_bindings.h"
#include "host/language.h"
#include "host/window/pad_picture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

struct picture {
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;
  int rgb(int x, int y) const {
    const uint8_t* p = &rgba[(size_t(y) * w + x) * 4];
    return p[0] << 16 | p[1] << 8 | p[2];
  }
};

picture render() {
  picture p;
  uint8_t* px = padmap_render(&p.w, &p.h);
  EXPECT_NE(px, nullptr);
  if (px) p.rgba.assign(px, px + size_t(p.w) * p.h * 4);
  free(px);
  return p;
}

// A design-space box (x, y, w, h) in canvas pixels.
struct box {
  double x, y, w, h;
  int x0() const { return int(x * 3); }
  int y0() const { return int((y - 112) * 3); }
  int x1() const { return int((x + w) * 3); }
  int y1() const { return int((y + h - 112) * 3); }
  bool holds(int px, int py, int margin = 0) const {
    return px >= x0() - margin && px < x1() + margin && py >= y0() - margin && py < y1() + margin;
  }
};

constexpr box BACK_SLOT{198, 512, 140, 48};
constexpr box RSTICK_SLOT{580, 454, 152, 76};

bool any_pixel_of(const picture& p, const box& b, int colour) {
  for (int y = b.y0(); y < b.y1(); y++)
    for (int x = b.x0(); x < b.x1(); x++)
      if (p.rgb(x, y) == colour) return true;
  return false;
}

bool same_inside(const picture& a, const picture& b, const box& area) {
  for (int y = area.y0(); y < area.y1(); y++)
    for (int x = area.x0(); x < area.x1(); x++)
      if (a.rgb(x, y) != b.rgb(x, y)) return false;
  return true;
}

std::string language(const std::string& code, const std::map<std::string, std::string>& texts) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<language name=\"" + code +
                    "\" code=\"" + code + "\">\n";
  for (const auto& [id, text] : texts) out += "  <string id=\"" + id + "\">" + text + "</string>\n";
  return out + "</language>\n";
}

const std::map<std::string, std::string> english = {
    {"padmap.btn.back", "Back"},        {"padmap.btn.start", "Start"},
    {"padmap.lstick", "Left stick"},    {"padmap.lstick.desc", "Move"},
    {"padmap.rstick", "Right stick"},   {"padmap.rstick.desc", "Aim"},
    {"padmap.rstick.off", "Not used"},  {"padmap.dpad", "D-pad"},
    {"padmap.dpad.desc", "Move"},       {"padmap.click", "Click: %s"},
    {"padmap.unassigned", "Unassigned"}, {"padmap.act.fire", "Fire"},
    {"padmap.act.fire.desc", "Shoot"},  {"padmap.act.exit", "Leave"},
    {"padmap.act.exit.desc", "Leave the mission"}, {"padmap.act.menu", "Menu"},
    {"padmap.act.hold", "Hold"},        {"padmap.act.wnext", "Next weapon"},
};

class PadPicture : public ::testing::Test {
 protected:
  void SetUp() override {
    input_defaults();
    pad_dual_stick = 1;
    spit(dir_ / "en.xml", language("en", english));
    lang_init(dir_.path.c_str());
  }
  void TearDown() override {
    input_defaults();
    pad_dual_stick = 1;
    lang_init(empty_.path.c_str());
  }
  temp_dir dir_, empty_;
};

TEST_F(PadPicture, SizeAndSlotOutlines) {
  picture p = render();
  ASSERT_EQ(p.w, PADMAP_W);
  ASSERT_EQ(p.h, PADMAP_H);
  // The middle of each box's left outline carries the slot's colour.
  EXPECT_EQ(p.rgb(RSTICK_SLOT.x0(), (RSTICK_SLOT.y0() + RSTICK_SLOT.y1()) / 2), 0xB866F2);
  EXPECT_EQ(p.rgb(BACK_SLOT.x0(), (BACK_SLOT.y0() + BACK_SLOT.y1()) / 2), 0xC9D3DE);
  EXPECT_EQ(p.rgb(box{580, 340, 152, 32}.x0(), (box{580, 340, 152, 32}.y0() + box{580, 340, 152, 32}.y1()) / 2), 0x5FD146);
}

// Each slot's box outline and the anchor dot at its leader's end, where the
// design puts them, in the slot's colour.
TEST_F(PadPicture, BoxesAndAnchorsWhereTheDesignPutsThem) {
  struct slot {
    box b;
    int colour;
    double dot_x, dot_y;
  } slots[] = {
      {{178, 120, 126, 44}, 0xA46CF2, 262, 228}, {{436, 120, 126, 44}, 0xA46CF2, 478, 228},
      {{14, 162, 146, 42}, 0xF2C230, 238, 240},  {{580, 152, 152, 48}, 0xF2C230, 502, 240},
      {{14, 264, 146, 54}, 0x3B95F2, 266, 302},  {{14, 362, 166, 48}, 0x2CCBE4, 314, 370},
      {{198, 512, 140, 48}, 0xC9D3DE, 338, 319}, {{398, 512, 156, 48}, 0xC9D3DE, 402, 319},
      {{580, 214, 152, 32}, 0xF2C230, 485, 278}, {{580, 256, 152, 72}, 0xEC4A44, 512, 307},
      {{580, 340, 152, 32}, 0x5FD146, 487, 338}, {{580, 384, 152, 58}, 0x3B95F2, 452, 322},
      {{580, 454, 152, 76}, 0xB866F2, 434, 374},
  };
  picture p = render();
  for (const slot& s : slots) {
    const box& b = s.b;
    int mid_x = (b.x0() + b.x1()) / 2, mid_y = (b.y0() + b.y1()) / 2;
    // Outline centres (the bottom edge of the lowest boxes is the picture's edge).
    EXPECT_EQ(p.rgb(b.x0(), mid_y), s.colour) << b.x << "," << b.y << " left";
    EXPECT_EQ(p.rgb(std::min(b.x1(), p.w - 1), mid_y), s.colour) << b.x << "," << b.y << " right";
    EXPECT_EQ(p.rgb(mid_x + 60, b.y0()), s.colour) << b.x << "," << b.y << " top";
    if (b.y1() < p.h) {
      EXPECT_EQ(p.rgb(mid_x + 60, b.y1()), s.colour) << b.x << "," << b.y << " bottom";
    }
    EXPECT_NE(p.rgb(mid_x + 60, b.y0() - 9), s.colour) << b.x << "," << b.y << " outside";
    EXPECT_EQ(p.rgb(int(s.dot_x * 3), int((s.dot_y - 112) * 3)), s.colour) << "dot " << s.dot_x;
  }
}

TEST_F(PadPicture, SignatureFollowsBindingsDualStickAndLanguageOnly) {
  uint32_t start = padmap_signature();
  kbd_set_bind(KEY_FIRE, 65);  // keyboard bindings are not in the picture
  EXPECT_EQ(padmap_signature(), start);

  std::vector<uint32_t> seen = {start};
  for (int action = 0; action < PAD_ACTION_COUNT; action++) {
    input_defaults();
    pad_set_bind(action, 0);
    uint32_t s = padmap_signature();
    for (uint32_t other : seen) EXPECT_NE(s, other) << "action " << action;
    seen.push_back(s);
  }
  input_defaults();
  EXPECT_EQ(padmap_signature(), start);
  pad_dual_stick = 0;
  EXPECT_NE(padmap_signature(), start);
  pad_dual_stick = 1;

  spit(dir_ / "de.xml", language("de", {{"padmap.btn.back", "Zurück"}}));
  lang_init(dir_.path.c_str());
  ASSERT_EQ(lang_set("de") + lang_set("en"), 2);
  uint32_t en = padmap_signature();
  lang_set("de");
  EXPECT_NE(padmap_signature(), en);
}

TEST_F(PadPicture, RightStickGreyedWithoutDualStick) {
  picture on = render();
  pad_dual_stick = 0;
  picture off = render();
  int mid = (RSTICK_SLOT.y0() + RSTICK_SLOT.y1()) / 2;
  EXPECT_EQ(off.rgb(RSTICK_SLOT.x0(), mid), 0x5B6573);
  EXPECT_FALSE(any_pixel_of(off, RSTICK_SLOT, 0xB866F2));
  EXPECT_FALSE(same_inside(on, off, RSTICK_SLOT));

  // The greyed slot shows the "not used" text: changing only that text
  // changes the slot.
  std::map<std::string, std::string> other = english;
  other["padmap.rstick.off"] = "Switched off here";
  spit(dir_ / "en.xml", language("en", other));
  lang_init(dir_.path.c_str());
  EXPECT_FALSE(same_inside(off, render(), RSTICK_SLOT));
}

TEST_F(PadPicture, ClickLineForAStickButton) {
  picture before = render();
  EXPECT_FALSE(any_pixel_of(before, RSTICK_SLOT, 0xFFE08C));
  pad_set_bind(PAD_HOLD, PAD_BTN_R3);
  picture after = render();
  EXPECT_TRUE(any_pixel_of(after, RSTICK_SLOT, 0xFFE08C));
  EXPECT_FALSE(any_pixel_of(after, box{14, 264, 146, 54}, 0xFFE08C));  // L3 unbound
}

TEST_F(PadPicture, UnboundBackSaysUnassigned) {
  pad_set_bind(PAD_EXIT, 0);
  picture a = render();
  std::map<std::string, std::string> other = english;
  other["padmap.unassigned"] = "Nothing at all";
  spit(dir_ / "en.xml", language("en", other));
  lang_init(dir_.path.c_str());
  picture b = render();
  EXPECT_FALSE(same_inside(a, b, BACK_SLOT));

  input_defaults();  // bound again: the unassigned text is not shown there
  picture c = render();
  spit(dir_ / "en.xml", language("en", english));
  lang_init(dir_.path.c_str());
  EXPECT_TRUE(same_inside(c, render(), BACK_SLOT));
}

TEST_F(PadPicture, LongTextsStayInsideTheirBoxes) {
  picture short_texts = render();
  std::map<std::string, std::string> long_texts = english;
  for (auto& [id, text] : long_texts)
    if (id != "padmap.click")
      text = "A very long translation with many words that never fits in one small box "
             "Donaudampfschifffahrtsgesellschaftskapitaenswitwe and more words again";
  pad_set_bind(PAD_WPREV, PAD_BTN_L3);
  pad_set_bind(PAD_HOLD, PAD_BTN_R3);
  short_texts = render();
  spit(dir_ / "en.xml", language("en", long_texts));
  lang_init(dir_.path.c_str());
  picture long_p = render();
  const box boxes[] = {{178, 120, 126, 44}, {436, 120, 126, 44}, {14, 162, 146, 42},
                       {580, 152, 152, 48}, {14, 264, 146, 54},  {14, 362, 166, 48},
                       {198, 512, 140, 48}, {398, 512, 156, 48}, {580, 214, 152, 32},
                       {580, 256, 152, 72}, {580, 340, 152, 32}, {580, 384, 152, 58},
                       {580, 454, 152, 76}};
  int differing_outside = 0;
  for (int y = 0; y < long_p.h; y++)
    for (int x = 0; x < long_p.w; x++) {
      bool inside = false;
      for (const box& b : boxes) inside = inside || b.holds(x, y, 3);
      if (!inside && long_p.rgb(x, y) != short_texts.rgb(x, y)) differing_outside++;
    }
  EXPECT_EQ(differing_outside, 0);
}

}  // namespace
