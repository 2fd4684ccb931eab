// Temporary folders, file copies and child processes for the setupaide tests.
#pragma once

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace setupaide_test {

inline std::string MakeTempDir() {
  char pattern[] = "/tmp/setupaide_test_XXXXXX";
  const char* made = mkdtemp(pattern);
  return made ? std::string(made) : std::string();
}

inline void RemoveTree(const std::string& path) {
  if (path.rfind("/tmp/setupaide_test_", 0) != 0) return;
  std::string command = "rm -rf '" + path + "'";
  int rc = std::system(command.c_str());
  (void)rc;
}

inline bool CopyExecutable(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary);
  if (!in || !out) return false;
  out << in.rdbuf();
  out.close();
  return chmod(to.c_str(), 0755) == 0;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

// Runs a program to its end and returns what it printed on standard output.
inline std::string RunAndRead(const std::vector<std::string>& args, int* exit_code) {
  int out[2];
  if (pipe(out) != 0) return std::string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string text;
  char buffer[256];
  ssize_t n;
  while (rc == 0 && (n = read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  if (rc == 0) waitpid(pid, &status, 0);
  *exit_code = (rc == 0 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  return text;
}

}  // namespace setupaide_test
