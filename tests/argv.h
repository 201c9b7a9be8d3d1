#pragma once

#include <string>
#include <vector>

// A null-terminated vector of pointers into args, shaped like the argument
// vector a process receives. It points into args, which must outlive it.
inline std::vector<char*> argv_of(std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (auto& a : args) {
    argv.push_back(a.data());
  }
  argv.push_back(nullptr);
  return argv;
}
