// download_server <bytes>: serves a generated file of that size as
// /file.bin on 127.0.0.1, prints "port <n>" and runs until its standard
// input closes. Used by the download benchmark.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "download_server.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: download_server <bytes>\n");
    return 2;
  }
  testing_server::DownloadServer server;
  if (server.port() <= 0) return 1;
  testing_server::Resource file;
  file.generated_size = std::strtoull(argv[1], nullptr, 10);
  server.Put("/file.bin", file);
  std::printf("port %d\n", server.port());
  std::fflush(stdout);
  std::string line;
  while (std::getline(std::cin, line)) {
  }
  return 0;
}
