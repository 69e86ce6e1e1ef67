#include "shell/shell_state.h"

namespace wince {
struct ShellState::Impl {};
ShellState::ShellState() : impl_(std::make_unique<Impl>()) {}
ShellState::~ShellState() = default;
void ShellState::registerProgram(const std::u16string&, Starter) {}
const ShellState::Starter* ShellState::findProgram(const std::u16string&) const { return nullptr; }
HANDLE ShellState::addProcess() { return nullptr; }
bool ShellState::closeProcess(HANDLE) { return false; }
}  // namespace wince
