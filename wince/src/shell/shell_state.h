// The shell's state: the programs the device can start, by path, and the
// processes running.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace wince {

class ShellState {
 public:
  ShellState();
  ~ShellState();
  ShellState(const ShellState&) = delete;
  ShellState& operator=(const ShellState&) = delete;

  // A program of the device: started by ShellExecuteEx on its path (compared
  // without regard to case; a bare file name matches "\Windows\<name>").
  // The starter answers false when the program cannot start.
  using Starter = std::function<bool(const std::u16string& path, const std::u16string& parameters)>;
  void registerProgram(const std::u16string& path, Starter starter);
  // The starter for a path, or null.
  const Starter* findProgram(const std::u16string& path) const;

  // Addresses opened with "mailto:", in order.
  std::vector<std::u16string>& mailOpened() { return mail_; }

  HANDLE addProcess();
  bool closeProcess(HANDLE h);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::vector<std::u16string> mail_;
};

}  // namespace wince
