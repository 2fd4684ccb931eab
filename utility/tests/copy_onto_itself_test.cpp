// A file copied onto itself - by the same name, through a link or under a
// second name of the same file - is refused and keeps its bytes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "utility/base_file.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(CopyOntoItself, IsRefusedAndLosesNothing) {
  TempFolder folder;
  const fs::path dir = folder.path();
  const fs::path file = dir / "data.bin";
  std::ofstream(file, std::ios::binary) << "precious bytes";
  fs::create_symlink(file, dir / "link");
  fs::create_hard_link(file, dir / "second_name");
  for (const fs::path& target : {file, dir / "link", dir / "second_name", dir / "." / "data.bin"}) {
    SCOPED_TRACE(target.string());
    EXPECT_EQ(_base_copy_file(file.c_str(), target.c_str(), false), 0);
    EXPECT_EQ(Read(file), "precious bytes");
  }
  EXPECT_EQ(_base_copy_file(file.c_str(), (dir / "copy").c_str(), false), 1);
  EXPECT_EQ(Read(dir / "copy"), "precious bytes");
}

}  // namespace
