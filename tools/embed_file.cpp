// Writes a file's bytes as a C++ byte array, so that data the program
// needs (the fonts) is part of the program.
//
// usage: embed_file <output.cpp> <symbol> <input>
// The output defines `const unsigned char <symbol>[]` and
// `const size_t <symbol>_size`.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: embed_file <output.cpp> <symbol> <input>\n");
    return 2;
  }
  std::ifstream in(argv[3], std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) {
    std::fprintf(stderr, "embed_file: cannot read %s\n", argv[3]);
    return 1;
  }
  FILE* out = std::fopen(argv[1], "w");
  if (!out) {
    std::fprintf(stderr, "embed_file: cannot write %s\n", argv[1]);
    return 1;
  }
  std::fprintf(out, "// Generated from %s.\n#include <cstddef>\n", argv[3]);
  std::fprintf(out, "extern const unsigned char %s[] = {", argv[2]);
  for (size_t i = 0; i < bytes.size(); ++i)
    std::fprintf(out, "%s%u,", i % 24 == 0 ? "\n" : "", bytes[i]);
  std::fprintf(out, "\n};\nextern const size_t %s_size = %zu;\n", argv[2], bytes.size());
  return std::fclose(out) == 0 ? 0 : 1;
}
