// Reading the scripted test mode's variables. A script is a comma-separated
// list; an entry that does not make sense is logged and skipped, so a typo
// never turns into a different command.
#include "host/devtest_script.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/platform.h"

namespace {

// Calls fn for each comma-separated entry of text.
template <typename Fn>
void each_entry(const char* text, Fn fn) {
  if (!text) return;
  std::string all(text);
  size_t start = 0;
  while (start <= all.size()) {
    size_t end = all.find(',', start);
    if (end == std::string::npos) end = all.size();
    std::string entry = all.substr(start, end - start);
    if (!entry.empty()) fn(entry.c_str());
    start = end + 1;
  }
}

// The time before the entry's first colon and the rest after it.
bool split_entry(const char* entry, script_time* t, std::string* rest) {
  const char* colon = std::strchr(entry, ':');
  if (!colon) return false;
  if (!parse_script_time(std::string(entry, colon).c_str(), t)) return false;
  *rest = colon + 1;
  return true;
}

// "t:%i" exactly, with nothing after it.
bool time_and_int(const char* entry, script_time* t, int* value) {
  std::string rest;
  int used = 0;
  if (!split_entry(entry, t, &rest) || std::sscanf(rest.c_str(), "%i%n", value, &used) != 1) return false;
  return rest[static_cast<size_t>(used)] == 0;
}

constexpr const char* menu_commands[] = {"open", "close", "enter", "shot", "up", "down",
                                         "left", "right", "tabprev", "tabnext"};

bool known_command(const char* action) {
  for (const char* c : menu_commands)
    if (!std::strcmp(c, action)) return true;
  return false;
}

bool env_number(const char* name, double* out) {
  const char* text = std::getenv(name);
  if (!text || !*text) return false;
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

} // namespace

bool parse_script_time(const char* text, script_time* out) {
  script_time t;
  const char* number = text;
  const char* plus = std::strchr(text, '+');
  if (plus && std::isalpha(static_cast<unsigned char>(text[0]))) {
    const std::string name(text, plus);
    for (int k = 0; k < script_kind_count; ++k)
      if (name == script_kinds[k]) t.kind = k;
    if (t.kind == from_loop_start) return false;
    number = plus + 1;
  }
  char* end = nullptr;
  t.after = std::strtod(number, &end);
  if (end == number || *end || !std::isfinite(t.after)) return false;
  *out = t;
  return true;
}

void devtest_note_kind(devtest_script& s, const char* kind, double t) {
  for (int k = 0; k < script_kind_count; ++k)
    if (s.kind_seen[static_cast<size_t>(k)] < 0 && !std::strcmp(kind, script_kinds[k]))
      s.kind_seen[static_cast<size_t>(k)] = t;
}

bool devtest_due(const devtest_script& s, const script_time& when, double t) {
  if (when.kind == from_loop_start) return t >= when.after;
  const double seen = s.kind_seen[static_cast<size_t>(when.kind)];
  return seen >= 0 && t >= seen + when.after;
}

std::vector<timed_joy> parse_joyseq(const char* text) {
  std::vector<timed_joy> out;
  each_entry(text, [&](const char* entry) {
    timed_joy j{};
    if (!time_and_int(entry, &j.t, &j.joy)) {
      host_log("BKM_JOYSEQ: entry \"%s\" skipped", entry);
      return;
    }
    if (out.size() < max_joyseq) out.push_back(j);
  });
  return out;
}

std::vector<scripted_key> parse_keys(const char* text) {
  std::vector<scripted_key> out;
  each_entry(text, [&](const char* entry) {
    scripted_key k{};
    if (!time_and_int(entry, &k.t, &k.code) || k.code < 1 || k.code > 127) {
      host_log("BKM_KEYS: entry \"%s\" skipped", entry);
      return;
    }
    if (out.size() < max_script_keys) out.push_back(k);
  });
  return out;
}

std::vector<menu_step> parse_mseq(const char* text) {
  std::vector<menu_step> out;
  each_entry(text, [&](const char* entry) {
    menu_step m{};
    std::string action;
    if (!split_entry(entry, &m.t, &action)) {
      host_log("BKM_MSEQ: entry \"%s\" skipped", entry);
      return;
    }
    std::snprintf(m.action, sizeof m.action, "%s", action.c_str());
    if (!known_command(m.action)) {
      host_log("BKM_MSEQ: unknown command \"%s\" skipped", m.action);
      return;
    }
    if (out.size() < max_menu_steps) out.push_back(m);
  });
  return out;
}

devtest_script devtest_read_env() {
  devtest_script s;
  s.joyseq = parse_joyseq(std::getenv("BKM_JOYSEQ"));
  s.keys = parse_keys(std::getenv("BKM_KEYS"));
  s.mseq = parse_mseq(std::getenv("BKM_MSEQ"));
  if (const char* hold = std::getenv("BKM_HOLD"))
    s.has_hold = std::sscanf(hold, "%lf:%lf", &s.hold_from, &s.hold_to) == 2;
  double v;
  if (env_number("BKM_AIM", &v)) {
    s.has_aim = true;
    s.aim = static_cast<int>(v);
    env_number("BKM_AIM_FROM", &s.aim_from);
    env_number("BKM_AIM_TO", &s.aim_to);
  }
  s.has_god_at = env_number("BKM_GOD_AT", &s.god_at);
  if (env_number("BKM_PUSH", &v)) {
    s.has_push = true;
    s.push = static_cast<int>(v);
  }
  s.no_input = std::getenv("BKM_NOINPUT") != nullptr;
  return s;
}

int devtest_joystick(const devtest_script& s, double t) {
  if (!s.joyseq.empty()) {
    int joy = 0;
    for (const timed_joy& j : s.joyseq)
      if (devtest_due(s, j.t, t)) joy = j.joy;
    return joy;
  }
  if (s.no_input) return 0;
  const int a = static_cast<int>(std::floor(25 * t));
  if (s.has_push) return a % 6 < 3 ? s.push | 0x80 : s.push;
  const int phase = (a / 30) % 6;
  const int dir = phase == 1 ? 5 : phase == 3 ? 9 : 1;
  return a % 10 < 5 ? dir | 0x80 : dir;
}
