// A scratch folder for one test, removed with everything in it at the end.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

struct temp_dir {
  std::string path;

  temp_dir() {
    char tmpl[] = "/tmp/bkm_test_XXXXXX";
    const char* made = mkdtemp(tmpl);
    path = made ? made : "";
  }
  ~temp_dir() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;

  std::string operator/(const std::string& name) const { return path + "/" + name; }
};

inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void spit(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}
