// The story `crestune demo` tells: a fresh device, installation, the item at
// work, its options, and removal, as a scenario script.
#pragma once
#include <string>
#include <vector>

namespace crestune {

std::vector<std::string> demoScript(bool spanish);

}  // namespace crestune
