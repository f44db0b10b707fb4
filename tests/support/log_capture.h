// Points the log at a scratch folder for one test, so the test can read
// what went to error.log; the environment and the log file are put back
// afterwards.
#pragma once
#include <cstdlib>
#include <string>

#include "host/platform.h"
#include "support/temp_dir.h"

struct log_capture {
  temp_dir dir;
  std::string saved;
  bool had = false;

  log_capture() {
    if (const char* old = std::getenv("BKM_USER_DIR")) saved = old, had = true;
    setenv("BKM_USER_DIR", dir.path.c_str(), 1);
    port_log_close();
  }
  ~log_capture() {
    port_log_close();
    if (had)
      setenv("BKM_USER_DIR", saved.c_str(), 1);
    else
      unsetenv("BKM_USER_DIR");
  }
  log_capture(const log_capture&) = delete;
  log_capture& operator=(const log_capture&) = delete;

  std::string text() const { return slurp(dir / "error.log"); }
  // Whether the log holds exactly this line.
  bool has(const std::string& line) const { return ("\n" + text()).find("\n" + line + "\n") != std::string::npos; }
};
