#include "support/synthetic/synthetic_front_screens.h"

#include "machine/memory.h"

namespace {

void add_text(std::vector<u8>& b, const std::string& t) {
  b.insert(b.end(), t.begin(), t.end());
  b.push_back(0);
}
void add_word(std::vector<u8>& b, u32 w) {
  b.push_back(static_cast<u8>(w >> 8));
  b.push_back(static_cast<u8>(w));
}
void add_long(std::vector<u8>& b, u32 l) {
  add_word(b, l >> 16);
  add_word(b, l & 0xFFFF);
}
std::vector<u8> text(const std::string& t) {
  std::vector<u8> b;
  add_text(b, t);
  return b;
}
std::string two_digits(u32 n) { return {static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)}; }

// Texts one after the other from `base`, with their word offsets.
void texts_with_offsets(std::vector<synth_front_screen_block>& out, u32 offsets, u32 base, const char* holds,
                        u32 count, std::string (*name)(u32)) {
  std::vector<u8> table, texts;
  for (u32 i = 0; i < count; ++i) {
    add_word(table, static_cast<u32>(texts.size()));
    add_text(texts, name(i));
  }
  out.push_back({offsets, holds, table});
  out.push_back({base, holds, texts});
}

std::vector<synth_front_screen_block> make() {
  std::vector<synth_front_screen_block> v;
  // The weapon shop.
  {
    std::vector<u8> pointer;
    for (u32 w : {0x8000, 0xC000, 0xE000, 0xF000, 0xF800, 0xFC00, 0xF000, 0x9800, 0x0800}) add_word(pointer, w);
    v.push_back({0x00CDBC, "the shop pointer", pointer});
  }
  v.push_back({0x00CE74, "player 1's shop announcement", text("PLAYER 1\rSHOP")});
  v.push_back({0x00CE8E, "player 2's shop announcement", text("PLAYER 2\rSHOP")});
  texts_with_offsets(v, 0x00CEA8, 0x00D3AC, "the shop's cell texts", 30, synth_cell_text);
  {
    std::vector<u8> prices;
    for (u32 c = 0; c < 30; ++c) {
      u32 p = 1000 * c;
      if (c == 0) p = synth_weapon0_price;
      if (c == 1) p = synth_weapon1_price;
      if (c == synth_unsold_weapon || c == 25 || c == 29) p = 0xFFFFFFFF;
      if (c >= 18 && c != 25 && c != 29) p = synth_supply_price(c - 18);
      add_long(prices, p);
    }
    v.push_back({0x00CFF8, "the shop's prices", prices});
  }
  v.push_back({0x00D070, "the not-for-sale text", text("NONE")});
  {
    std::vector<u8> amounts;
    for (u32 i = 0; i < 11; ++i) add_word(amounts, synth_supply_amount(i));
    v.push_back({0x00D22A, "the supplies' amounts", amounts});
  }
  // The equipment screen.
  texts_with_offsets(v, 0x00D184, 0x00D1A8, "the weapon names", 18, synth_weapon_name);
  texts_with_offsets(v, 0x00D242, 0x00D258, "the supply names", 11, synth_supply_name);
  v.push_back({0x00D2EF, "the end of a supply line", {13, 0}});
  v.push_back({0x00D2F2, "the equipment heading", text("EQUIPMENT")});
  {
    std::vector<u8> palette;
    for (u32 i = 0; i < 16; ++i) add_word(palette, 0x0400 + i);
    v.push_back({0x00D316, "the equipment palette", palette});
  }
  // The mission-complete screen.
  v.push_back({0x00FABE, "result line 1", text("WELL DONE")});
  v.push_back({0x00FAD3, "result line 2", text("MISSION")});
  v.push_back({0x00FAE9, "result line 3", text("COMPLETE\r!")});
  v.push_back({0x00FAFC, "player 1's result label", text("P1")});
  v.push_back({0x00FB07, "player 2's result label", text("P2")});
  v.push_back({0x00FB12, "the tally heading", text("TALLY")});
  v.push_back({0x00FB20, "the money heading", text("MONEY")});
  // The high scores.
  {
    std::vector<u8> names;
    for (u32 i = 0; i < 8; ++i) {
      std::string n = synth_table_name(i);
      n.resize(20, ' ');
      add_text(names, n);
      names.push_back(0);
    }
    names.resize(222, 0);
    v.push_back({0x003094, "the game's own high-score names", names});
  }
  {
    std::vector<u8> names;
    for (u32 i = 0; i < 32; ++i) add_text(names, synth_default_name(i));
    v.push_back({0x00322C, "the default names", names});
  }
  v.push_back({0x003476, "the input line", text(std::string(20, ' '))});
  {
    // Scan codes of the main rows: digits 1-9, 0 at $02-$0B; letters.
    std::vector<u8> keys(58, 0);
    const char* const rows[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    const u8 row_start[] = {0x10, 0x1E, 0x2C};
    for (u32 d = 0; d < 10; ++d) keys[0x02 + d] = static_cast<u8>(d == 9 ? '0' : '1' + d);
    for (u32 r = 0; r < 3; ++r)
      for (u32 i = 0; rows[r][i]; ++i) keys[row_start[r] + i] = static_cast<u8>(rows[r][i]);
    keys[0x1C] = 13;   // Return
    keys[0x0E] = 0xFF; // Backspace
    keys[0x39] = ' ';  // Space
    v.push_back({0x00349E, "the key table", keys});
  }
  v.push_back({0x0034D8, "the entry prompt", text("PLAYER ")});
  v.push_back({0x0035CC, "the separator of the table lines (ended by colour 0's zero)", {13, 13}});
  {
    std::vector<u8> palette;
    for (u32 i = 0; i < 16; ++i) add_word(palette, i == 0 ? 0 : 0x0010 * (i & 7) + 0x0100);
    v.push_back({0x0035CE, "the high-score palette", palette});
    std::vector<u8> cycle;
    for (u32 c : {0x0700, 0x0770, 0x0070, 0x0077, 0x8000}) add_word(cycle, c);
    v.push_back({0x0035EE, "the colour-cycling table", cycle});
  }
  {
    std::vector<u8> offsets, headings;
    for (u32 i = 0; i < 8; ++i) {
      add_word(offsets, static_cast<u32>(headings.size()));
      add_text(headings, "HEADING " + std::string(1, static_cast<char>('A' + i)));
    }
    v.push_back({0x00362E, "the heading offsets", offsets});
    v.push_back({0x003640, "the high-score headings", headings});
  }
  {
    std::vector<u8> seq(synth_dev_sequence, synth_dev_sequence + 3);
    seq.push_back(0);
    v.push_back({0x008258, "the developer access sequence", seq});
  }
  return v;
}

} // namespace

std::string synth_cell_text(u32 cell) { return "C" + two_digits(cell); }
std::string synth_weapon_name(u32 slot) { return "W" + two_digits(slot); }
std::string synth_supply_name(u32 item) { return "S" + two_digits(item); }
std::string synth_default_name(u32 index) { return "N" + two_digits(index); }
std::string synth_table_name(u32 line) { return "GAME" + std::string(1, static_cast<char>('0' + line)); }

const std::vector<synth_front_screen_block>& synth_front_screens() {
  static const std::vector<synth_front_screen_block> v = make();
  return v;
}

bool synth_place_front_screens(synth_game_data& g) {
  for (const synth_front_screen_block& b : synth_front_screens())
    if (!synth_place_at_program(g, "front_screens_" + std::to_string(b.address), b.holds, b.address, b.bytes))
      return false;
  return true;
}

void synth_front_screens_in_ram() {
  for (const synth_front_screen_block& b : synth_front_screens())
    for (u32 i = 0; i < b.bytes.size(); ++i) wr8(b.address + i, b.bytes[i]);
}
