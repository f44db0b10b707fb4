// Drawing for the synthetic pictures, so that a screenshot of the
// synthetic data can be judged by eye: a tiny 3 x 5 font, outlines, and the
// labelled sprite every picture table of the builders is made of (a closed
// box with a mark at its hot spot and its kind and number in it). All the
// builders draw with these; none keeps a font or a box of its own.
//
//   idx_picture p = labelled_sprite(32, 25, {3, 1, 7, 9}, "P12");
//   u16 w = plane_word([&](u32 x) { return p.at(x, line); }, 2);
#pragma once
#include <string>

#include "machine/types.h"
#include "support/synthetic/st_planes.h"

// The tiny font: digits, upper-case letters and a few signs, 3 pixels wide
// and 5 high, drawn on a 4-pixel advance. Other characters are blank.
constexpr int tiny_width = 3, tiny_height = 5, tiny_advance = 4;
bool tiny_pixel(char c, int x, int y);
int tiny_text_width(const std::string& text, int advance = tiny_advance);
// Draws the text with its top-left at (x, y), clipped to the picture; with
// an advance of 3 the characters touch, and every second one takes `ink2`
// so that they stay apart.
void draw_tiny_text(idx_picture& p, int x, int y, const std::string& text, u8 ink, int advance = tiny_advance,
                    int ink2 = -1);
// The same, each font pixel drawn as a `scale` x `scale` block.
void draw_big_text(idx_picture& p, int x, int y, const std::string& text, u8 ink, int scale);

// A one-pixel rectangle, clipped to the picture.
void draw_outline(idx_picture& p, int x, int y, int w, int h, u8 colour);

// The colours of a labelled sprite.
struct sprite_style {
  u8 outline;        // the box, in a colour of the sprite's kind
  u8 plate;          // behind the label
  u8 ink;            // the label
  u8 mark;           // the 2 x 2 mark at the hot spot, the top-left corner
  u8 body_a, body_b; // the diagonal stripes inside the box (0: none)
};

// A w x h picture of colour indexes, 0 transparent: the box outlined over
// columns 0..w-2 and lines 0..h-1 (the last column stays transparent), the
// mark at the top-left, the label on a plate from the box's second column
// and third line (higher in a box of fewer than 12 lines, centred in one
// narrower than 16 pixels; a box of 30 lines or more has it at its foot
// too), and
// inside the box diagonal stripes: transparent, body_a, body_b, repeating
// along every line, so that every line of every 16 pixels has transparent
// pixels and both body colours, and a mirrored copy slants the other way.
// A label wider than the box is drawn with touching characters in ink and
// outline colour.
idx_picture labelled_sprite(int w, int h, const sprite_style& style, const std::string& label);

// A number in decimal.
std::string decimal(u32 n);

// The bits of one plane of 16 pixels, leftmost in bit 15.
template <class Pixel> u16 plane_word(Pixel colour_of, u32 plane) {
  u32 w = 0;
  for (u32 x = 0; x < 16; ++x)
    if (colour_of(x) >> plane & 1) w |= 0x8000u >> x;
  return static_cast<u16>(w);
}
