// The words an external shader's macros make where they are used, counted
// without expanding anything: each macro's words are worked out once, as a
// constant plus a factor for each parameter, from those of the macros its
// definitions name (with an explicit stack: a chain of definitions may be
// as long as the file); a call then costs the constant plus each factor
// times its argument's words. Sums stop just past the limit.
#include "host/shader_macros.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <unordered_map>
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
  bool function_like = false;
};

// The words a use makes, as a function of the words its arguments expand
// to: a constant and a factor for each parameter. Parameters past the
// first few share one factor, applied to each of their arguments.
constexpr size_t param_slots = 8;
constexpr size_t rest_slot = param_slots + 1;
struct words_made {
  std::array<size_t, param_slots + 2> k{};  // k[0] the constant, k[1 + i] parameter i
};

size_t times(size_t a, size_t b) {
  if (a == 0 || b == 0) return 0;
  return a > over / b ? over : std::min(a * b, over);
}

void add_to(words_made* to, const words_made& from, size_t factor = 1) {
  for (size_t i = 0; i < to->k.size(); ++i) to->k[i] = add(to->k[i], times(from.k[i], factor));
}

size_t slot_of(size_t param) { return param < param_slots ? 1 + param : rest_slot; }

enum class token_kind : uint8_t { word, param, macro, open, comma, close, paste };
struct token {
  token_kind kind;
  uint32_t value = 0;  // the parameter's or the macro's number
};

std::unordered_map<std::string_view, uint32_t> param_numbers(std::string_view params) {
  std::unordered_map<std::string_view, uint32_t> numbers;
  words w{params};
  std::string_view word;
  bool is_name = false;
  uint32_t n = 0;
  while (w.next(&word, &is_name))
    if (is_name) numbers.emplace(word, n++);
  return numbers;
}

class macro_count {
 public:
  explicit macro_count(std::string_view text) : text_(logical_text(text)) {}

  bool fit(std::string* largest) {
    find_definitions();
    reduce_definitions();
    // Lines of code run on into each other (a use's arguments may span
    // several); each #if, #elif and #line line stands alone.
    std::vector<token> code;
    for_each_line([&](std::string_view line) {
      words w{line};
      const std::string_view d = directive(&w);
      if (d.empty()) {
        use_tokens(&w, &code);
      } else if (d == "if" || d == "elif" || d == "line") {
        std::vector<token> own;
        use_tokens(&w, &own);
        count_uses(own);
      }
    });
    count_uses(code);
    if (total_ <= SHADER_MACRO_WORDS_MAX) return true;
    if (largest) *largest = std::string(names_[biggest_id_]);
    return false;
  }

 private:
  std::string text_;
  std::unordered_map<std::string_view, uint32_t> ids_;
  std::vector<std::string_view> names_;
  std::vector<std::vector<definition>> definitions_;
  std::vector<std::vector<std::vector<token>>> bodies_;
  std::vector<bool> function_like_;  // any definition of the name takes arguments
  std::vector<words_made> made_;
  // The function-like macro whose name may end the macro's words, to be
  // called by a '(' that follows: none, that macro's number, or unknown.
  static constexpr int64_t no_callee = -1, unknown_callee = -2;
  std::vector<int64_t> callee_;
  std::vector<uint8_t> state_;      // 0 not counted, 1 being counted, 2 counted
  size_t total_ = 0, biggest_ = 0;
  uint32_t biggest_id_ = 0;

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
        d.function_like = true;
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

  token token_of(std::string_view word, bool is_name) const {
    if (word == "(") return {token_kind::open};
    if (word == ",") return {token_kind::comma};
    if (word == ")") return {token_kind::close};
    if (is_name) {
      auto found = ids_.find(word);
      if (found != ids_.end()) return {token_kind::macro, found->second};
    }
    return {token_kind::word};
  }

  // The rest of a line where macros are used, as tokens.
  void use_tokens(words* w, std::vector<token>* out) const {
    std::string_view word;
    bool is_name = false;
    while (w->next(&word, &is_name)) {
      // The operand of "defined" is a name, not a use.
      if (is_name && word == "defined") {
        skip_defined_operand(w);
        continue;
      }
      out->push_back(token_of(word, is_name));
    }
  }

  void reduce_definitions() {
    const size_t count = definitions_.size();
    bodies_.resize(count);
    function_like_.assign(count, false);
    for (size_t id = 0; id < count; ++id) {
      for (const definition& d : definitions_[id]) {
        if (d.function_like) function_like_[id] = true;
        const auto params = param_numbers(d.params);
        std::vector<token> body;
        words w{d.body};
        std::string_view word;
        bool is_name = false;
        while (w.next(&word, &is_name)) {
          auto param = is_name ? params.find(word) : params.end();
          if (param != params.end()) {
            body.push_back({token_kind::param, param->second});
          } else if (word == "#" && w.at < d.body.size() && d.body[w.at] == '#') {
            ++w.at;
            body.push_back({token_kind::paste});
          } else {
            body.push_back(token_of(word, is_name));
          }
        }
        bodies_[id].push_back(std::move(body));
      }
    }
    made_.assign(count, {});
    callee_.assign(count, no_callee);
    state_.assign(count, 0);
  }

  // Works out the words the macro makes, and those of every macro its
  // definitions name first, with an explicit stack. A macro named inside
  // its own expansion stays one word, as the preprocessor leaves it.
  void count_macro(uint32_t root) {
    struct frame {
      uint32_t id;
      size_t def = 0, at = 0;
    };
    if (state_[root] != 0) return;
    state_[root] = 1;
    std::vector<frame> stack{{root}};
    while (!stack.empty()) {
      frame& f = stack.back();
      const auto& bodies = bodies_[f.id];
      if (f.def < bodies.size() && f.at == bodies[f.def].size()) {
        ++f.def;
        f.at = 0;
        continue;
      }
      if (f.def == bodies.size()) {
        words_made most;
        int64_t callee = no_callee;
        for (const std::vector<token>& body : bodies) {
          const used u = count_tokens(body, false);
          for (size_t i = 0; i < most.k.size(); ++i) most.k[i] = std::max(most.k[i], u.made.k[i]);
          if (u.callee != no_callee) callee = callee == no_callee || callee == u.callee ? u.callee : unknown_callee;
        }
        made_[f.id] = most;
        callee_[f.id] = callee;
        state_[f.id] = 2;
        stack.pop_back();
        continue;
      }
      const token t = bodies[f.def][f.at++];
      if (t.kind == token_kind::macro && state_[t.value] == 0) {
        state_[t.value] = 1;
        stack.push_back({t.value});  // f is not used after this
      }
    }
  }

  struct used {
    words_made made;
    int64_t callee = no_callee;
  };

  // The words a run of tokens makes: a definition's body (its parameters
  // standing for their arguments' words) or the text where macros are
  // used. Every macro the tokens name is counted already, or is being
  // counted and so stays a word. Each argument is counted at its full
  // expansion, at least once even where its parameter is not used, as
  // the preprocessor expands it all the same.
  used count_tokens(const std::vector<token>& tokens, bool at_use) {
    struct call {
      uint32_t id;
      size_t arg = 0, depth = 0;
      words_made sum, now;
    };
    std::vector<call> calls;
    used out;
    auto here = [&]() -> words_made& { return calls.empty() ? out.made : calls.back().now; };
    auto saturate = [&] { here().k[0] = over; };
    // Where macros are used, the words written outside any call are not
    // the macros' words.
    auto plain = [&] {
      if (!at_use || !calls.empty()) here().k[0] = add(here().k[0], 1);
    };
    auto finish_arg = [&](call* c) {
      const size_t factor = std::max<size_t>(made_[c->id].k[slot_of(c->arg)], 1);
      add_to(&c->sum, c->now, factor);
      c->now = {};
      ++c->arg;
    };
    auto finish_call = [&] {
      call c = std::move(calls.back());
      calls.pop_back();
      finish_arg(&c);
      c.sum.k[0] = add(c.sum.k[0], made_[c.id].k[0]);
      add_to(&here(), c.sum);
      if (at_use && calls.empty()) note_use(c.id, c.sum.k[0]);
      return callee_[c.id];
    };
    // A function-like name that ends an expansion is called by a '(' that
    // follows it: in place of that name's word. When the name is not known
    // (an argument's), the call cannot be followed and counts as too many.
    auto call_after = [&](int64_t callee, size_t* i) {
      if (callee == no_callee || *i + 1 >= tokens.size() || tokens[*i + 1].kind != token_kind::open) return false;
      if (callee == unknown_callee) {
        saturate();
        return false;
      }
      if (here().k[0] > 0 && here().k[0] < over) --here().k[0];
      calls.push_back({uint32_t(callee), 0, 0, {}, {}});
      ++*i;
      return true;
    };
    for (size_t i = 0; i < tokens.size(); ++i) {
      const token t = tokens[i];
      const bool called = i + 1 < tokens.size() && tokens[i + 1].kind == token_kind::open;
      int64_t callee = no_callee;
      switch (t.kind) {
        case token_kind::word:
          plain();
          break;
        case token_kind::param:
          here().k[slot_of(t.value)] = add(here().k[slot_of(t.value)], 1);
          callee = unknown_callee;
          call_after(callee, &i);
          break;
        case token_kind::paste:
          // Pasting may make any macro's name.
          saturate();
          break;
        case token_kind::macro:
          if (state_[t.value] != 2) {
            plain();
          } else if (function_like_[t.value] && called) {
            calls.push_back({t.value, 0, 0, {}, {}});
            ++i;
            continue;
          } else if (function_like_[t.value]) {
            // Without arguments the name stays a word, until a later '(' calls it.
            plain();
            callee = t.value;
          } else {
            here().k[0] = add(here().k[0], made_[t.value].k[0]);
            if (at_use && calls.empty()) note_use(t.value, made_[t.value].k[0]);
            callee = callee_[t.value];
            if (call_after(callee, &i)) continue;
          }
          break;
        case token_kind::open:
          plain();
          if (!calls.empty()) ++calls.back().depth;
          break;
        case token_kind::comma:
          if (!calls.empty() && calls.back().depth == 0)
            finish_arg(&calls.back());
          else
            plain();
          break;
        case token_kind::close:
          if (!calls.empty() && calls.back().depth == 0) {
            callee = finish_call();
            if (call_after(callee, &i)) continue;
            out.callee = callee;
            continue;
          }
          plain();
          if (!calls.empty()) --calls.back().depth;
          break;
      }
      out.callee = callee;
    }
    if (!calls.empty()) {
      // A body that leaves a call open takes the rest of its arguments
      // from the text after the use: not followed, counted as too many.
      if (!at_use) {
        calls.clear();
        saturate();
      }
      while (!calls.empty()) finish_call();
    }
    if (at_use) total_ = add(total_, out.made.k[0]);
    return out;
  }

  void note_use(uint32_t id, size_t size) {
    if (size >= biggest_) biggest_ = size, biggest_id_ = id;
  }

  void count_uses(const std::vector<token>& tokens) {
    for (const token& t : tokens)
      if (t.kind == token_kind::macro) count_macro(t.value);
    count_tokens(tokens, true);
  }
};

}  // namespace

bool shader_macros_fit(std::string_view prepared, std::string* largest) {
  return macro_count(prepared).fit(largest);
}
