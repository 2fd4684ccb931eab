// Phonedeck's entry point.
#include <cstdio>

int main(int argc, char** argv) {
  (void)argc;
  (void)argv;
  std::printf("Phonedeck: console entry (the main window is not built yet).\n");
  return 0;
}
