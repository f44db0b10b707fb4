#include "support/runs/golden_frames.h"

#include <sstream>

#include "graphics/content_hash.h"

namespace {

std::string lines_hash(const std::string& lines) {
  b2_state h;
  b2_init(&h);
  b2_update(&h, lines.data(), lines.size());
  char text[GFX_HASH_TEXT];
  b2_hex(&h, text);
  return text;
}

std::string body_text(const golden_file& g) {
  std::ostringstream out;
  for (const std::string& r : g.reasons) out << r << '\n';
  out << "image " << g.image_hash << '\n';
  for (const golden_frame& f : g.frames)
    out << "frame " << f.index << ' ' << f.frame << ' ' << f.stream << ' ' << f.hash << '\n';
  for (const auto& [key, value] : g.summary) out << "end " << key << ' ' << value << '\n';
  return out.str();
}

} // namespace

bool golden_frame_wanted(size_t index, unsigned stream, unsigned previous_stream, bool last) {
  return index % 64 == 0 || stream != previous_stream || last;
}

std::string golden_text(const golden_file& g) {
  const std::string body = body_text(g);
  return body + "seal " + lines_hash(body) + '\n';
}

bool golden_parse(const std::string& text, golden_file& out, std::string& why) {
  out = {};
  const size_t seal_at = text.rfind("seal ");
  if (seal_at == std::string::npos || (seal_at > 0 && text[seal_at - 1] != '\n')) {
    why = "no seal line: the file is cut short or was not written by the test program";
    return false;
  }
  const std::string body = text.substr(0, seal_at);
  std::string seal = text.substr(seal_at + 5);
  while (!seal.empty() && (seal.back() == '\n' || seal.back() == '\r')) seal.pop_back();
  if (seal != lines_hash(body)) {
    why = "the seal does not match the lines above it: edited by hand or left over from a merge";
    return false;
  }
  std::istringstream in(body);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (line.rfind("reason: ", 0) == 0) {
      out.reasons.push_back(line);
    } else if (kind == "image") {
      words >> out.image_hash;
    } else if (kind == "frame") {
      golden_frame f{};
      if (!(words >> f.index >> f.frame >> f.stream >> f.hash)) {
        why = "a frame line without its four fields: " + line;
        return false;
      }
      out.frames.push_back(f);
    } else if (kind == "end") {
      std::string key, value;
      words >> key;
      std::getline(words >> std::ws, value);
      out.summary.emplace_back(key, value);
    } else {
      why = "a line of no known kind: " + line;
      return false;
    }
  }
  if (out.reasons.empty() || out.image_hash.empty()) {
    why = "a golden file needs a reason line and the image hash";
    return false;
  }
  return true;
}

std::string golden_difference(const golden_file& golden, const golden_file& now) {
  if (golden.image_hash != now.image_hash)
    return "the mission image changed (" + golden.image_hash + " -> " + now.image_hash +
           "): a change of the builder, not of the game's behaviour";
  const size_t n = std::min(golden.frames.size(), now.frames.size());
  for (size_t i = 0; i < n; ++i) {
    const golden_frame& a = golden.frames[i];
    const golden_frame& b = now.frames[i];
    if (a.index != b.index || a.hash != b.hash || a.frame != b.frame || a.stream != b.stream)
      return "the frames changed with the same image: golden frame " + std::to_string(a.index) + " (stream " +
             std::to_string(a.stream) + ") differs";
  }
  if (golden.frames.size() != now.frames.size())
    return "the frames changed with the same image: " + std::to_string(golden.frames.size()) + " golden frames, " +
           std::to_string(now.frames.size()) + " now";
  if (golden.summary != now.summary) {
    for (size_t i = 0; i < std::min(golden.summary.size(), now.summary.size()); ++i)
      if (golden.summary[i] != now.summary[i])
        return "the end changed with the same image: " + golden.summary[i].first + " " + golden.summary[i].second +
               " -> " + now.summary[i].second;
    return "the end changed with the same image: a different summary";
  }
  return "";
}
