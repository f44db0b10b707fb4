#include "support/synthetic/synthetic_disk.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/synthetic/disk_codecs.h"
#include "support/tables/enemy_tables.h"
#include "support/tables/ground_objects.h"
#include "support/tables/mission_builder.h"
#include "support/synthetic/picture_drawing.h"
#include "support/tables/setup_tables.h"
#include "support/synthetic/sprite_sheets.h"
#include "support/synthetic/synthetic_front_end.h"
#include "support/synthetic/synthetic_front_screens.h"

namespace {

constexpr u32 sector_bytes = 512;
constexpr u32 track_bytes = 5120;

constexpr u32 resident_record = 0x00FF14;
constexpr u32 resident_input = synth_resident_buffer + 29;
constexpr u32 resident_size = 104000; // from $2E000 past the effect frames at $46F68 + 1,536
constexpr u32 run_block_sectors = 38;
constexpr u32 mission_table = 0x010748;
constexpr u32 mission_words = 0x010730;
constexpr u32 loader1_records = 0x010808;
constexpr u32 loader2_records = 0x01087C;
constexpr u32 loader3_records = 0x0108EC;
constexpr u32 mission_graphics_input = 0x05E652 + 29;
constexpr u32 mission_graphics_output = 0x05647E;
constexpr u32 startup_text_address = 0x0037C6;
constexpr u32 startup_palette_address = 0x008C24;
constexpr u32 enemy_header = 28;
constexpr u32 enemy_frame_bytes = 39 * 22 * 6;
constexpr u32 first_mission_offset = 47 * track_bytes; // past the world map's file (track 39 on) and the image's shared bytes of tracks 45-46
constexpr u32 high_score_offset = sector_bytes; // track 0, sector 2

struct random_bytes {
  u32 state;
  u32 next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
};

void put16(std::vector<u8>& b, u32 v) {
  b.push_back(static_cast<u8>(v >> 8));
  b.push_back(static_cast<u8>(v));
}
void put32(std::vector<u8>& b, u32 v) {
  put16(b, v >> 16);
  put16(b, v);
}

u32 sectors_of(size_t bytes) { return static_cast<u32>((bytes + sector_bytes - 1) / sector_bytes); }

[[noreturn]] void refuse(const std::string& why) {
  std::fprintf(stderr, "synthetic disk: %s\n", why.c_str());
  std::abort();
}

// The sprite tables drawn over invented bytes (64 values evenly spread).
// The file is squeezed with no code under six bits, so its output trails
// its input by at most a quarter of the 104,000 bytes, inside the ~30 KB
// the cold start leaves.
std::vector<u8> resident_content() {
  random_bytes r{0x2E000};
  std::vector<u8> b(resident_size);
  for (u8& x : b) x = static_cast<u8>((r.next() >> 7 & 63) << 2 | 1);
  draw_resident_sheets(b, synth_resident_output);
  return b;
}

constexpr int resident_min_bits = 6;

// Runs of 20-255 bytes (escape bytes among them) between short stretches
// of arbitrary bytes.
std::vector<u8> run_block_content() {
  random_bytes r{0x5063A};
  std::vector<u8> b;
  while (b.size() < synth_run_block_size) {
    if (r.next() & 1) {
      const u32 length = 20 + r.next() % 236;
      const u8 v = (r.next() & 7) == 0 ? escape_byte : static_cast<u8>(r.next());
      b.insert(b.end(), length, v);
    } else {
      const u32 length = 1 + r.next() % 40;
      for (u32 i = 0; i < length; ++i) b.push_back(static_cast<u8>(r.next() >> 3));
    }
  }
  b.resize(synth_run_block_size);
  return b;
}

std::vector<u8> high_score_content() {
  random_bytes r{0x28000};
  std::vector<u8> b;
  for (u32 i = 0; i < 222; ++i) {
    const u32 k = r.next() % 27;
    b.push_back(static_cast<u8>(k == 26 ? ' ' : 'A' + k));
  }
  for (u32 i = 0; i < 8; ++i) put32(b, 90000 - 7000 * i); // bytes above $6E, past the checked names
  b.resize(sector_bytes, 0);
  return b;
}

synth_disk_mission mission_content(u32 seed) {
  random_bytes r{seed};
  synth_disk_mission m{};
  m.graphics.resize(20000 + 1000 * (seed & 1));
  for (u8& x : m.graphics) x = static_cast<u8>((r.next() >> 9) & 15) * 17;
  m.graphics_file = squeeze_for_place(m.graphics, mission_graphics_input, mission_graphics_output);
  if (m.graphics_file.empty() || m.graphics_file.size() > 32767) refuse("mission graphics do not unpack in place");
  m.enemy_file.resize(enemy_header + enemy_frame_bytes);
  for (u8& x : m.enemy_file) x = static_cast<u8>(r.next() >> 11);
  m.level.resize(3000 + 100 * (seed & 1));
  for (u8& x : m.level) x = static_cast<u8>(r.next() >> 5);
  return m;
}

// The sound driver's tables, tunes and variables lie inside the resident
// graphics, where the cold start unpacks them.
void put_sound_driver(std::vector<u8>& graphics, const synth_sound& sound) {
  for (const synth_block& b : sound.driver) {
    if (b.first < synth_resident_output || b.first + b.second.size() > synth_resident_output + graphics.size())
      refuse("sound driver data outside the resident graphics");
    std::copy(b.second.begin(), b.second.end(), graphics.begin() + (b.first - synth_resident_output));
  }
}

bool place_sound_program(synth_game_data& g, const synth_sound& sound) {
  int n = 0;
  for (const synth_block& b : sound.program)
    if (!synth_place_at_program(g, "sound" + std::to_string(n++), "a sample, the sample table or the idle Timer A handler",
                                b.first, b.second))
      return false;
  return true;
}

// A mission set that plays: the level file and graphics of a mission
// builder and the enemy frames of the enemy tables instead of invented
// bytes.
void use_builder_mission(synth_disk_mission& m, const mission_builder& b) {
  m.level = b.level_file();
  m.graphics = b.graphics();
  m.enemy_file = enemy_tables{}.enemy_file();
  m.graphics_file = squeeze_for_place(m.graphics, mission_graphics_input, mission_graphics_output);
  if (m.graphics_file.empty() || m.graphics_file.size() > 32767) refuse("the builder's graphics do not unpack in place");
}

// The second mission set's graphics: the builder's stamps and ground blocks
// lettered "C" in colours of their own, so a screen tells the two sets apart.
void use_second_graphics(synth_disk_mission& m) {
  mission_builder b;
  for (u32 n = 0; n < mission_ground_block_count; ++n) b.ground_block(n, labelled_ground_block(n, 'C'));
  m.graphics = b.graphics();
  m.graphics_file = squeeze_for_place(m.graphics, mission_graphics_input, mission_graphics_output);
  if (m.graphics_file.empty() || m.graphics_file.size() > 32767) refuse("the second graphics do not unpack in place");
}

synth_disk make_content() {
  synth_disk d;
  d.sound = synth_sound_content();
  d.resident_graphics = resident_content();
  put_sound_driver(d.resident_graphics, d.sound);
  d.resident_file = squeeze_for_place(d.resident_graphics, resident_input, synth_resident_output, resident_min_bits);
  if (d.resident_file.empty()) refuse("the resident graphics do not unpack in place");
  d.run_block = run_block_content();
  d.run_block_file = escape_runs(d.run_block);
  if (d.run_block_file.size() > run_block_sectors * sector_bytes) refuse("the run-packed block is too long");
  d.high_scores = high_score_content();
  d.missions[0] = mission_content(0x5647E);
  use_builder_mission(d.missions[0], default_mission());
  d.missions[1] = mission_content(0x73B93);
  d.missions[1].level = second_level().level_file();
  use_second_graphics(d.missions[1]);

  // Files of the two missions, one after the other from track 47 on.
  u32 offset = first_mission_offset;
  for (synth_disk_mission& m : d.missions) {
    const std::vector<u8>* files[3] = {&m.graphics_file, &m.enemy_file, &m.level};
    for (int f = 0; f < 3; ++f) {
      m.side_track_sector[f][0] = 0;
      m.side_track_sector[f][1] = static_cast<int>(offset / track_bytes);
      m.side_track_sector[f][2] = static_cast<int>(offset % track_bytes / sector_bytes + 1);
      offset += sectors_of(files[f]->size()) * sector_bytes;
    }
  }
  for (int i = 0; i < 12; ++i) {
    d.mission_set[i] = i & 1;
    d.mission_colours[i] = static_cast<u16>(0x0100 + 0x11 * i);
    d.mission_words[i] = static_cast<u16>(0x0A00 + i);
  }
  const std::string text = "SYNTHETIC BRAKMOOR LOADS";
  d.startup_text.assign(text.begin(), text.end());
  d.startup_text.push_back(0);
  // The palette at $8C24 is also the shop's: the game's own, which the host
  // takes for the sign that the shop is shown.
  d.startup_palette = {0x0000, 0x0762, 0x0555, 0x0443, 0x0233, 0x0152, 0x0520, 0x0021,
                       0x0776, 0x0122, 0x0532, 0x0320, 0x0131, 0x0011, 0x0047, 0x0542};
  return d;
}

std::vector<u8> sector_record(const int where[3], u32 bytes) {
  std::vector<u8> b;
  put16(b, static_cast<u32>(where[1]));
  put16(b, static_cast<u32>(where[2]));
  put16(b, sectors_of(bytes));
  return b;
}

bool place_program(synth_game_data& g, const char* name, const char* holds, u32 at, const std::vector<u8>& b) {
  return synth_place_at_program(g, name, holds, at, b);
}

// The title: its palettes and script in the program block, and the
// second side's block of pieces, full-screen picture, sample and YM table.
bool place_title(synth_game_data& g) {
  std::vector<u8> palettes;
  for (u32 p = 0; p < 4; ++p)
    for (u32 i = 0; i < 16; ++i) put16(palettes, (i * 0x111 + p * 0x100) & 0x777);
  std::vector<u8> script;
  for (u32 i = 0; i < synth_title_script_steps; ++i) script.push_back(static_cast<u8>(i * 5 & 0x7F));
  script.push_back(0x80);
  const std::vector<u8> block = synth_title_block();
  return place_program(g, "title_palettes", "the title's palettes $EB76-$EBF5", 0x00EB76, palettes) &&
         place_program(g, "title_script", "the title's animation script", 0x00F752, script) &&
         synth_place_at_sector(g, "title_block", "the full title's block", 1, 1, 1, block);
}

} // namespace

const synth_disk& synth_disk_content() {
  static const synth_disk d = make_content();
  return d;
}

bool synth_place_disk_road(synth_game_data& g) {
  const synth_disk& d = synth_disk_content();

  std::vector<u8> record;
  put16(record, 2);
  put16(record, 1);
  put16(record, sectors_of(d.resident_file.size()));
  put32(record, synth_resident_buffer);
  if (!place_program(g, "resident_record", "load record of the packed resident graphics", resident_record, record))
    return false;
  if (!synth_place_at_sector(g, "resident_graphics", "the squeezed resident graphics", 0, 2, 1, d.resident_file))
    return false;
  if (!synth_place_at_sector(g, "run_block", "the escaped runs of $5063A-$56481", 0, 20, 3, d.run_block_file))
    return false;

  std::vector<u8> table, words, loader1, loader2, loader3;
  for (int i = 0; i < 12; ++i) {
    const u32 set = static_cast<u32>(d.mission_set[i]);
    put16(table, set);
    put16(table, set);
    put16(table, set + 1);
    put16(table, d.mission_colours[i]);
    put16(words, d.mission_words[i]);
  }
  for (int e = 0; e < 3; ++e) {
    const synth_disk_mission& m = d.missions[e & 1 ? 1 : 0];
    std::vector<u8> r1 = sector_record(m.side_track_sector[0], m.graphics_file.size());
    put32(r1, static_cast<u32>(m.graphics_file.size()));
    loader1.insert(loader1.end(), r1.begin(), r1.end());
    const std::vector<u8> r2 = sector_record(m.side_track_sector[1], m.enemy_file.size());
    loader2.insert(loader2.end(), r2.begin(), r2.end());
    const std::vector<u8> r3 = sector_record(m.side_track_sector[2], m.level.size());
    loader3.insert(loader3.end(), r3.begin(), r3.end());
  }
  if (!place_program(g, "mission_table", "per mission: the three loaders' entries and colour 14", mission_table,
                     table) ||
      !place_program(g, "mission_words", "per mission: the word for $24C", mission_words, words) ||
      !place_program(g, "loader1_records", "load records of the mission graphics", loader1_records, loader1) ||
      !place_program(g, "loader2_records", "sector records of the enemy frames", loader2_records, loader2) ||
      !place_program(g, "loader3_records", "sector records of the level data", loader3_records, loader3))
    return false;

  for (int s = 0; s < 2; ++s) {
    const synth_disk_mission& m = d.missions[s];
    const std::string n = "mission" + std::to_string(s);
    const std::vector<u8>* files[3] = {&m.graphics_file, &m.enemy_file, &m.level};
    const char* what[3] = {"_graphics", "_enemies", "_level"};
    for (int f = 0; f < 3; ++f)
      if (!synth_place_at_sector(g, n + what[f], "a mission file", m.side_track_sector[f][0],
                                 m.side_track_sector[f][1], m.side_track_sector[f][2], *files[f]))
        return false;
  }

  if (!place_sound_program(g, d.sound)) return false;

  std::vector<u8> palette;
  for (u16 c : d.startup_palette) put16(palette, c);
  return place_program(g, "startup_text", "the text shown while the cold start loads", startup_text_address,
                       d.startup_text) &&
         place_program(g, "startup_palette", "the start-up palette", startup_palette_address, palette) &&
         synth_place_mission_tables(g) && place_title(g) && synth_place_front_end(g) &&
         synth_place_ground_object_tables(g) && synth_place_front_screens(g) && setup_tables{}.place_pictures(g);
}

namespace {

// The full title's pictures: every piece a labelled box of its blitted
// size (its name and the outline show where the title's steps put it; the
// fourth 37-line animation frame is the first 23-line one's bytes), and the
// full-screen picture a framed screen with the name in big letters.
struct title_piece {
  u32 address, groups, lines;
  const char* label;
};
constexpr title_piece title_pieces[] = {
    {0x05649A, 7, 60, "TOP RIGHT"}, {0x0571BA, 6, 43, "CLOSE"},   {0x0579CA, 1, 16, "T"},
    {0x057A4A, 11, 5, "STRIP 1"},   {0x057C02, 11, 5, "STRIP 2"}, {0x057DBA, 11, 5, "STRIP 3"},
    {0x057F72, 7, 37, "ANIM A0"},   {0x05878A, 7, 37, "ANIM A1"}, {0x058FA2, 7, 37, "ANIM A2"},
    {0x0597BA, 7, 23, "ANIM B0"},   {0x059CC2, 7, 23, "ANIM B1"}, {0x05A1CA, 7, 23, "ANIM B2"},
    {0x05A6D2, 7, 23, "ANIM B3"},   {0x05ABDA, 9, 194, "LEFT"},   {0x05E26A, 2, 50, "P1"},
    {0x05E59A, 2, 50, "P2"},        {0x05E8CA, 2, 32, "GROW"},    {0x05EADA, 2, 4, "S"},
    {0x05EB1A, 7, 30, "LOWER"},
};

void draw_title_pictures(std::vector<u8>& b) {
  for (const title_piece& t : title_pieces) {
    const int w = static_cast<int>(16 * t.groups), h = static_cast<int>(t.lines);
    const idx_picture p = labelled_sprite(w + 1, h, {15, 1, 15, 2, 5, 10}, t.label);
    idx_picture cut(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) cut.at(x, y) = p.at(x, y);
    st_put_groups(b.data() + (t.address - synth_title_address), cut, 4, w / 2);
  }
  idx_picture screen(320, 200, 1);
  draw_outline(screen, 0, 0, 320, 200, 15);
  for (int x = 16; x < 320; x += 16) screen.fill_rect(x, 1, 1, 198, 2);
  draw_big_text(screen, 40, 80, "BRAKMOOR", 15, 4);
  draw_tiny_text(screen, 4, 4, "FULL TITLE SCREEN", 15);
  st_put_groups(b.data() + (0x05F22A - synth_title_address), screen, 4, 160);
}

} // namespace

std::vector<u8> synth_title_block() {
  std::vector<u8> b(synth_title_sectors * sector_bytes);
  u32 x = 0x2468ACE1;
  for (u8& v : b) {
    x = x * 1103515245u + 12345u;
    v = static_cast<u8>(x >> 24);
  }
  draw_title_pictures(b);
  // The sample's YM table writes only the three volume registers.
  const u32 table = 0x067A0C - synth_title_address;
  for (u32 i = 0; i < 256; ++i)
    for (u32 r = 0; r < 3; ++r) {
      b[table + i * 8 + r * 2] = static_cast<u8>(8 + r);
      b[table + i * 8 + r * 2 + 1] = static_cast<u8>(((i >> 4) + r) & 15);
    }
  return b;
}

void synth_put_high_scores(std::vector<u8>& bkm) {
  const synth_disk& d = synth_disk_content();
  if (bkm.size() < high_score_offset + d.high_scores.size()) return;
  std::copy(d.high_scores.begin(), d.high_scores.end(), bkm.begin() + high_score_offset);
}

std::vector<u8> synth_standard_bkm(std::string& error) {
  synth_game_data g = synth_standard();
  std::vector<u8> bkm;
  if (synth_place_disk_road(g)) bkm = synth_bkm(g);
  if (bkm.empty()) {
    error = g.error.empty() ? "the synthetic data file is empty" : g.error;
    return {};
  }
  synth_put_high_scores(bkm);
  return bkm;
}

std::string synth_write_standard_bkm(const std::string& folder) {
  std::string error;
  const std::vector<u8> bkm = synth_standard_bkm(error);
  if (bkm.empty()) return error;
  if (!synth_write(folder + "/BKM", bkm)) return "could not write " + folder + "/BKM";
  return "";
}

std::vector<u8> synth_resident_graphics_reordered() {
  std::vector<u8> b = synth_disk_content().resident_graphics;
  auto reorder = [&b](u32 at, u32 groups) {
    for (u32 g = 0; g < groups; ++g, at += 16) {
      u8 w[16];
      std::copy(b.begin() + at, b.begin() + at + 16, w);
      const int order[8] = {0, 4, 1, 5, 2, 6, 3, 7};
      for (int k = 0; k < 8; ++k) {
        b[at + 2 * k] = w[2 * order[k]];
        b[at + 2 * k + 1] = w[2 * order[k] + 1];
      }
    }
  };
  reorder(0x02F91C - synth_resident_output, 2300);
  reorder(0x045736 - synth_resident_output, 192);
  return b;
}
