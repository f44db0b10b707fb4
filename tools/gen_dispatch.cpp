// Generates the dispatcher's table from the recompiled routine sources.
//
// It reads the kit's macros: ROUTINE(name, addr) opens a routine and
// END_ROUTINE closes it; LABEL, LOOP, LOOP_HOOK, WAIT_VBL_FLAG, HOOK (first
// argument), JSR, JSR_DYN, STOP, DIVU, DIVS (last argument) and TRAP (both)
// declare resume labels of the open routine; HOOK_AT declares none but must
// stand inside a routine; JSR_INTO_NEXT records a call whose
// return address is another routine's entry. It writes one switch over all
// addresses plus the rows and calls that the tests check, and fails the
// build on a duplicate address, a label outside a routine or a routine
// named sub_XXXXXX at another address.
//
// With --addresses it instead brings the list of every address ever
// declared up to date (tests/game/dispatch_addresses.txt): saved states
// hold resume addresses, so the list only grows. New addresses are added;
// a listed address the sources no longer declare (or declare as another
// kind or owner) keeps its line and is reported, and the run fails.
//
// usage: gen_dispatch <output.cpp> <source.cpp>...
//        gen_dispatch --addresses <list.txt> <source.cpp>...
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct row {
  unsigned address;
  bool label;
  std::string owner;
  std::string where;
};

struct call {
  unsigned ret;
  std::string caller;
  bool label;
};

std::vector<row> rows;
std::vector<call> calls;
int errors = 0;

void fail(const std::string& where, const std::string& what) {
  std::fprintf(stderr, "%s: error: %s\n", where.c_str(), what.c_str());
  ++errors;
}

// Removes comments and string literals, keeping line breaks.
std::string strip(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '/' && i + 1 < s.size() && s[i + 1] == '/') {
      while (i < s.size() && s[i] != '\n') ++i;
      if (i < s.size()) out += '\n';
    } else if (s[i] == '/' && i + 1 < s.size() && s[i + 1] == '*') {
      i += 2;
      while (i + 1 < s.size() && !(s[i] == '*' && s[i + 1] == '/')) {
        if (s[i] == '\n') out += '\n';
        ++i;
      }
      ++i;
    } else if (s[i] == '"' || s[i] == '\'') {
      const char q = s[i];
      out += q;
      for (++i; i < s.size() && s[i] != q; ++i)
        if (s[i] == '\\') ++i;
      out += q;
    } else if (s[i] == '#') {
      // Preprocessor lines (with continuations) carry no routines.
      while (i < s.size() && s[i] != '\n') {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '\n') {
          out += '\n';
          ++i;
        }
        ++i;
      }
      if (i < s.size()) out += '\n';
    } else {
      out += s[i];
    }
  }
  return out;
}

bool ident_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::string trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

bool parse_address(const std::string& text, unsigned& out) {
  const std::string t = trim(text);
  if (t.size() < 3 || t[0] != '0' || (t[1] != 'x' && t[1] != 'X')) return false;
  for (size_t i = 2; i < t.size(); ++i)
    if (!std::isxdigit(static_cast<unsigned char>(t[i]))) return false;
  out = static_cast<unsigned>(std::stoul(t.substr(2), nullptr, 16));
  return out <= 0xFFFFFF;
}

void scan(const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    fail(path, "cannot read");
    return;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string text = strip(ss.str());

  std::string owner;
  unsigned owner_entry = 0;
  int line = 1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      continue;
    }
    if (!std::isupper(static_cast<unsigned char>(text[i])) || (i > 0 && ident_char(text[i - 1]))) continue;
    size_t j = i;
    while (j < text.size() && ident_char(text[j])) ++j;
    const std::string name = text.substr(i, j - i);
    const std::string where = path + ":" + std::to_string(line);
    if (name == "END_ROUTINE") {
      if (owner.empty()) fail(where, "END_ROUTINE without ROUTINE");
      owner.clear();
      i = j - 1;
      continue;
    }
    size_t k = j;
    while (k < text.size() && (text[k] == ' ' || text[k] == '\t')) ++k;
    if (k >= text.size() || text[k] != '(') {
      i = j - 1;
      continue;
    }
    // The arguments, split at top-level commas.
    std::vector<std::string> args;
    int depth = 0;
    std::string cur;
    size_t m = k + 1;
    for (; m < text.size(); ++m) {
      const char c = text[m];
      if (c == '(') ++depth;
      if (c == ')') {
        if (depth == 0) break;
        --depth;
      }
      if (c == ',' && depth == 0) {
        args.push_back(trim(cur));
        cur.clear();
      } else {
        cur += c;
      }
    }
    args.push_back(trim(cur));

    auto label_at = [&](const std::string& a) {
      unsigned addr;
      if (!parse_address(a, addr)) {
        fail(where, name + ": label is not a hexadecimal literal: " + a);
        return;
      }
      if (owner.empty()) {
        fail(where, name + " outside a routine");
        return;
      }
      if (addr == owner_entry) return; // a loop or hook at the routine's own entry
      rows.push_back({addr, true, owner, where});
    };

    if (name == "ROUTINE") {
      unsigned addr;
      if (args.size() != 2 || !parse_address(args[1], addr)) {
        fail(where, "ROUTINE(name, 0xADDRESS) expected");
      } else {
        if (!owner.empty()) fail(where, "ROUTINE inside routine " + owner);
        owner = args[0];
        owner_entry = addr;
        if (owner.rfind("sub_", 0) == 0) {
          char expect[16];
          std::snprintf(expect, sizeof expect, "sub_%06X", addr);
          if (owner != expect) fail(where, owner + " stands at another address");
        }
        rows.push_back({addr, false, owner, where});
      }
    } else if (name == "LABEL" || name == "LOOP" || name == "LOOP_HOOK" || name == "WAIT_VBL_FLAG" ||
               name == "HOOK") {
      label_at(args[0]);
    } else if (name == "HOOK_AT") {
      unsigned addr;
      if (!parse_address(args[0], addr))
        fail(where, "HOOK_AT: address is not a hexadecimal literal: " + args[0]);
      else if (owner.empty())
        fail(where, "HOOK_AT outside a routine");
    } else if (name == "JSR" || name == "JSR_DYN" || name == "STOP" || name == "DIVU" || name == "DIVS") {
      label_at(args.back());
      if (name == "JSR" || name == "JSR_DYN") {
        unsigned r;
        if (parse_address(args.back(), r)) calls.push_back({r, owner, true});
      }
    } else if (name == "TRAP") {
      label_at(args[0]);
      label_at(args.back());
    } else if (name == "JSR_INTO_NEXT") {
      unsigned r;
      if (!parse_address(args.back(), r))
        fail(where, "JSR_INTO_NEXT: return address is not a hexadecimal literal");
      else
        calls.push_back({r, owner, false});
    }
    i = j - 1;
  }
  if (!owner.empty()) fail(path, "routine " + owner + " has no END_ROUTINE");
}

std::string list_line(unsigned address, bool label, const std::string& owner) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%06X", address);
  return std::string(buf) + (label ? " label " : " entry ") + owner;
}

const char* const list_header =
    "# Every entry and resume label the recompiled routines have declared.\n"
    "# Saved states hold these addresses, so none may move or vanish: the\n"
    "# dispatch table test fails when one is no longer in the table. After\n"
    "# adding routines or labels, add their lines with\n"
    "#   cmake --build build --target dispatch_addresses\n"
    "# (address, kind, owning routine)\n";

// Keeps every listed line, adds the addresses it lacks, reports the listed
// ones the sources no longer declare alike.
int update_list(const char* path) {
  std::map<unsigned, std::string> listed;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    unsigned address;
    if (!parse_address("0x" + line.substr(0, line.find(' ')), address)) {
      fail(path, "not an address line: " + line);
      continue;
    }
    listed[address] = trim(line);
  }
  int gone = 0, added = 0;
  std::map<unsigned, std::string> now;
  for (const row& r : rows) now[r.address] = list_line(r.address, r.label, r.owner);
  for (const auto& [address, line] : listed) {
    auto it = now.find(address);
    if (it == now.end() || it->second != line) {
      std::fprintf(stderr, "%s: error: \"%s\" %s\n", path, line.c_str(),
                   it == now.end() ? "is no longer declared" : ("is now \"" + it->second + "\"").c_str());
      ++gone;
    }
  }
  for (const auto& [address, line] : now)
    if (listed.emplace(address, line).second) ++added;
  if (errors) return 1;
  std::ofstream o(path);
  o << list_header;
  for (const auto& [address, line] : listed) o << line << "\n";
  if (!o) {
    std::fprintf(stderr, "%s: error: cannot write\n", path);
    return 1;
  }
  std::printf("%s: %d addresses added\n", path, added);
  return gone ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
  const bool list_mode = argc >= 2 && std::string(argv[1]) == "--addresses";
  if (argc < 2 || (list_mode && argc < 3)) {
    std::fprintf(stderr, "usage: gen_dispatch <output.cpp> <source.cpp>...\n"
                         "       gen_dispatch --addresses <list.txt> <source.cpp>...\n");
    return 2;
  }
  for (int i = list_mode ? 3 : 2; i < argc; ++i) scan(argv[i]);

  std::sort(rows.begin(), rows.end(), [](const row& a, const row& b) { return a.address < b.address; });
  for (size_t i = 1; i < rows.size(); ++i)
    if (rows[i].address == rows[i - 1].address) {
      char msg[128];
      std::snprintf(msg, sizeof msg, "address %06X declared twice (first at %s)", rows[i].address,
                    rows[i - 1].where.c_str());
      fail(rows[i].where, msg);
    }
  if (errors) return 1;
  if (list_mode) return update_list(argv[2]);

  std::ostringstream out;
  out << "// Generated by tools/gen_dispatch from the recompiled routines; do not edit.\n"
         "#include \"machine/coroutine.h\"\n#include \"machine/dispatch.h\"\n\n";
  std::vector<std::string> names;
  for (const row& r : rows)
    if (!r.label) names.push_back(r.owner);
  for (const std::string& n : names) out << "void " << n << "();\n";
  out << "\nint game_table_try(u32 address) {\n  switch (address) {\n";
  char buf[64];
  for (const row& r : rows) {
    std::snprintf(buf, sizeof buf, "0x%06X", r.address);
    if (r.label)
      out << "    case " << buf << ": resume_pc = " << buf << "; " << r.owner << "(); return 1;\n";
    else
      out << "    case " << buf << ": resume_pc = 0; " << r.owner << "(); return 1;\n";
  }
  out << "    default: return 0;\n  }\n}\n\n";
  out << "const dispatch_row game_dispatch_rows[] = {\n";
  for (const row& r : rows) {
    std::snprintf(buf, sizeof buf, "0x%06X", r.address);
    out << "    {" << buf << ", " << (r.label ? "resume_label" : "routine_entry") << ", " << r.owner << ", \""
        << r.owner << "\"},\n";
  }
  out << "    {0, routine_entry, nullptr, nullptr},\n};\n";
  out << "const int game_dispatch_row_count = " << rows.size() << ";\n\n";
  out << "const dispatch_call game_dispatch_calls[] = {\n";
  for (const call& c : calls) {
    std::snprintf(buf, sizeof buf, "0x%06X", c.ret);
    out << "    {" << buf << ", \"" << c.caller << "\", " << (c.label ? "true" : "false") << "},\n";
  }
  out << "    {0, nullptr, false},\n};\n";
  out << "const int game_dispatch_call_count = " << calls.size() << ";\n";

  // Rewrite only on change, so an edit that adds no label rebuilds little.
  const std::string content = out.str();
  std::ifstream old(argv[1]);
  std::stringstream prev;
  prev << old.rdbuf();
  if (old && prev.str() == content) return 0;
  std::ofstream o(argv[1]);
  o << content;
  return o ? 0 : 1;
}
