#include <fstream>
int main(int, char** argv) { std::ofstream(argv[1]) << "\n"; return 0; }
