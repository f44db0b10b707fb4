// The golden file of a whole-mission run: its reason lines, the hash of the
// mission image it was made from, the frame hashes at fixed frames and the
// end summary, closed by a seal (a hash of every line above it), so that
// hand edits and merge leftovers show as a broken seal.
//
//   golden_file g{{"reason: first whole mission"}, image_hash, frames, summary};
//   const std::string text = golden_text(g);       // what the test program writes
//   golden_file back;
//   std::string why;
//   if (!golden_parse(text, back, why)) ... why: "the seal does not match ..."
//   why = golden_difference(back, now);             // "" or what changed
//
// Lines: "reason: ...", "image <hash>", "frame <index> <fx_bank> <stream>
// <hash>", "end <key> <value>", "seal <hash>".
#pragma once
#include <string>
#include <utility>
#include <vector>

struct golden_frame {
  size_t index;
  unsigned frame, stream;
  std::string hash;
};

struct golden_file {
  std::vector<std::string> reasons;                         // each starts with "reason: "
  std::string image_hash;
  std::vector<golden_frame> frames;
  std::vector<std::pair<std::string, std::string>> summary; // key, value (no spaces in keys)
};

// Whether frame `index` of a run is golden: every 64th, the first of each
// section (the stream changes) and the last (the goal's).
bool golden_frame_wanted(size_t index, unsigned stream, unsigned previous_stream, bool last);

std::string golden_text(const golden_file& g);
// False, with `why`, when the text is not a whole golden file or its seal
// does not match its lines.
bool golden_parse(const std::string& text, golden_file& out, std::string& why);
// "" when `now` has the same image, frames and summary as `golden`; else
// whether the mission image changed (a builder change) or, with the same
// image, the first frame or summary entry that differs (a behaviour change).
std::string golden_difference(const golden_file& golden, const golden_file& now);
