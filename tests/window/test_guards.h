// What a window test changes outside itself, put back however the test
// ends (a failed ASSERT returns from the middle of it): keys held down on
// the X server, which every later test on the display would see held, and
// environment variables.
#pragma once

#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

// Keys pressed through a sender ("keydown"/"keyup", as xdotool takes them);
// release_all() and the destructor let go of every key still down.
class pressed_keys {
 public:
  using sender = std::function<bool(const char* action, const char* key)>;
  explicit pressed_keys(sender send) : send_(std::move(send)) {}
  ~pressed_keys() { release_all(); }
  pressed_keys(const pressed_keys&) = delete;
  pressed_keys& operator=(const pressed_keys&) = delete;

  bool down(const char* key) {
    down_.insert(key);
    return send_("keydown", key);
  }
  bool up(const char* key) {
    if (!send_("keyup", key)) return false;
    down_.erase(key);
    return true;
  }
  void release_all() {
    for (const std::string& key : down_) send_("keyup", key.c_str());
    down_.clear();
  }

 private:
  sender send_;
  std::set<std::string> down_;
};

// The variables as they were when it was made, put back when it goes.
class saved_env {
 public:
  explicit saved_env(std::initializer_list<const char*> names) {
    for (const char* name : names) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
  }
  ~saved_env() {
    for (const auto& [name, value] : saved_)
      value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
  }
  saved_env(const saved_env&) = delete;
  saved_env& operator=(const saved_env&) = delete;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};
