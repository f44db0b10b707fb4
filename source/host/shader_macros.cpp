// The words an external shader's macros make where they are used, counted
// without expanding anything: each definition is reduced to its plain words
// and the macros it names, and a macro's size is the sum over that graph,
// worked out once per macro with an explicit stack (a chain of definitions
// may be as long as the file).
#include "host/shader_macros.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

// One more than the limit: sums stop there, so that nothing overflows.
constexpr size_t over = SHADER_MACRO_WORDS_MAX + 1;

size_t add(size_t a, size_t b) { return std::min(a + b, over); }

bool name_start(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool name_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool blank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

// The text as the preprocessor's lines see it: continued lines joined and
// comments turned into a space (a comment's line breaks are kept, so each
// line of code stays a line).
std::string logical_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
    } else if (text.compare(i, 2, "//") == 0) {
      while (i < text.size() && text[i] != '\n') ++i;
      out += ' ';
      if (i < text.size()) out += '\n';
    } else if (text.compare(i, 2, "/*") == 0) {
      size_t end = text.find("*/", i + 2);
      if (end == std::string_view::npos) end = text.size();
      out += ' ';
      for (size_t j = i; j < end; ++j)
        if (text[j] == '\n') out += '\n';
      i = end + 1;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Walks the words of one line: a name, a number (with the letters and dots
// that follow it) or one other character.
struct words {
  std::string_view line;
  size_t at = 0;

  // The next word; false at the end. *is_name tells a name from the rest.
  bool next(std::string_view* word, bool* is_name) {
    while (at < line.size() && blank(line[at])) ++at;
    if (at >= line.size()) return false;
    const size_t start = at;
    *is_name = name_start(line[at]);
    if (*is_name || std::isdigit(static_cast<unsigned char>(line[at]))) {
      ++at;
      while (at < line.size() && (name_char(line[at]) || (!*is_name && line[at] == '.'))) ++at;
    } else {
      ++at;
    }
    *word = line.substr(start, at - start);
    return true;
  }
};

struct definition {
  std::string_view params;  // the text between the parentheses of a function-like macro
  std::string_view body;
};

struct reduced {
  size_t plain = 0;            // words that are not macros
  std::vector<uint32_t> uses;  // macros named, by number
};

std::unordered_set<std::string_view> param_names(std::string_view params) {
  std::unordered_set<std::string_view> names;
  words w{params};
  std::string_view word;
  bool is_name = false;
  while (w.next(&word, &is_name))
    if (is_name) names.insert(word);
  return names;
}

class macro_count {
 public:
  explicit macro_count(std::string_view text) : text_(logical_text(text)) {}

  bool fit(std::string* largest) {
    find_definitions();
    reduce_definitions();
    size_t total = 0, biggest = 0;
    uint32_t biggest_id = 0;
    for_each_line([&](std::string_view line) {
      words w{line};
      std::string_view word;
      bool is_name = false;
      if (!expanded_line(&w)) return;
      while (w.next(&word, &is_name)) {
        if (!is_name) continue;
        // The operand of "defined" is a name, not a use.
        if (word == "defined") {
          skip_defined_operand(&w);
          continue;
        }
        auto found = ids_.find(word);
        if (found == ids_.end()) continue;
        const size_t size = size_of(found->second);
        total = add(total, size);
        if (size >= biggest) biggest = size, biggest_id = found->second;
      }
    });
    if (total <= SHADER_MACRO_WORDS_MAX) return true;
    if (largest) *largest = std::string(names_[biggest_id]);
    return false;
  }

 private:
  std::string text_;
  std::unordered_map<std::string_view, uint32_t> ids_;
  std::vector<std::string_view> names_;
  std::vector<std::vector<definition>> definitions_;
  std::vector<std::vector<reduced>> reduced_;
  std::vector<size_t> size_;
  std::vector<uint8_t> state_;  // 0 not counted, 1 being counted, 2 counted

  template <typename Fn>
  void for_each_line(Fn&& fn) const {
    std::string_view all = text_;
    for (size_t start = 0; start <= all.size();) {
      size_t end = all.find('\n', start);
      if (end == std::string_view::npos) end = all.size();
      fn(all.substr(start, end - start));
      start = end + 1;
    }
  }

  // The directive of a line that starts with '#', or "" for a line of code.
  static std::string_view directive(words* w) {
    const size_t before = w->at;
    std::string_view word;
    bool is_name = false;
    if (!w->next(&word, &is_name) || word != "#") {
      w->at = before;
      return {};
    }
    if (!w->next(&word, &is_name) || !is_name) return "#";
    return word;
  }

  // Whether the rest of the line is expanded: code, #if, #elif and #line.
  static bool expanded_line(words* w) {
    const std::string_view d = directive(w);
    return d.empty() || d == "if" || d == "elif" || d == "line";
  }

  static void skip_defined_operand(words* w) {
    std::string_view word;
    bool is_name = false;
    const size_t before = w->at;
    if (!w->next(&word, &is_name)) return;
    if (word != "(") return;
    if (!w->next(&word, &is_name) || !is_name) w->at = before;
  }

  void find_definitions() {
    for_each_line([&](std::string_view line) {
      words w{line};
      if (directive(&w) != "define") return;
      std::string_view name;
      bool is_name = false;
      if (!w.next(&name, &is_name) || !is_name) return;
      definition d;
      // A function-like macro's parenthesis follows its name at once.
      if (w.at < line.size() && line[w.at] == '(') {
        const size_t close = line.find(')', w.at);
        if (close == std::string_view::npos) return;
        d.params = line.substr(w.at + 1, close - w.at - 1);
        w.at = close + 1;
      }
      d.body = line.substr(w.at);
      auto [it, added] = ids_.emplace(name, uint32_t(names_.size()));
      if (added) {
        names_.push_back(name);
        definitions_.emplace_back();
      }
      definitions_[it->second].push_back(d);
    });
  }

  void reduce_definitions() {
    reduced_.resize(definitions_.size());
    for (size_t id = 0; id < definitions_.size(); ++id) {
      for (const definition& d : definitions_[id]) {
        const std::unordered_set<std::string_view> params = param_names(d.params);
        reduced r;
        words w{d.body};
        std::string_view word;
        bool is_name = false;
        while (w.next(&word, &is_name)) {
          auto found = is_name ? ids_.find(word) : ids_.end();
          if (found == ids_.end() || params.contains(word))
            ++r.plain;
          else
            r.uses.push_back(found->second);
        }
        reduced_[id].push_back(std::move(r));
      }
    }
    size_.assign(definitions_.size(), 0);
    state_.assign(definitions_.size(), 0);
  }

  // The words one use of the macro makes: its largest definition, each
  // macro named in it at that macro's size. A macro named inside its own
  // expansion stays one word, as the preprocessor leaves it.
  size_t size_of(uint32_t root) {
    struct frame {
      uint32_t id;
      size_t def, use, sum, best;
    };
    auto start = [&](uint32_t id) -> frame {
      state_[id] = 1;
      return {id, 0, 0, reduced_[id].empty() ? 0 : reduced_[id][0].plain, 0};
    };
    if (state_[root] == 2) return size_[root];
    std::vector<frame> stack{start(root)};
    while (!stack.empty()) {
      frame& f = stack.back();
      const std::vector<reduced>& defs = reduced_[f.id];
      if (f.def == defs.size()) {
        size_[f.id] = f.best;
        state_[f.id] = 2;
        const size_t done = f.best;
        stack.pop_back();
        if (!stack.empty()) stack.back().sum = add(stack.back().sum, done);
        continue;
      }
      const reduced& r = defs[f.def];
      if (f.use == r.uses.size() || f.sum >= over) {
        f.best = std::max(f.best, f.sum);
        ++f.def;
        f.use = 0;
        f.sum = f.def < defs.size() ? defs[f.def].plain : 0;
        continue;
      }
      const uint32_t next = r.uses[f.use++];
      if (state_[next] == 2)
        f.sum = add(f.sum, size_[next]);
      else if (state_[next] == 1)
        f.sum = add(f.sum, 1);
      else
        stack.push_back(start(next));  // f is not used after this
    }
    return size_[root];
  }
};

}  // namespace

bool shader_macros_fit(std::string_view prepared, std::string* largest) {
  return macro_count(prepared).fit(largest);
}
