// The compiled resources the resource loader tests read.
#pragma once
#include <fstream>
#include <iterator>
#include <vector>

inline std::vector<unsigned char> testResources() {
  std::ifstream f(CRESTUNE_TEST_RES, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}
