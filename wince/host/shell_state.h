// The shell's state: the programs the device can start, by path, and the
// processes running.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "history.h"

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

  // Device paths of the programs registered, as they were registered (a bare
  // file name as "\Windows\<name>").
  std::vector<std::u16string> programPaths() const;

  // The "ok" button that SHInitDialog puts in the navigation bar of a
  // full-screen dialog (shell/aygshell_dialog.cpp).
  // The dialog whose "ok" shows now (the topmost one), or null.
  HWND doneButtonOwner() const;
  // Screen rectangles of the navigation bar holding it and of the "ok"
  // itself; empty when none shows.
  RECT doneBarRect() const;
  RECT doneButtonRect() const;
  // What a tap on the "ok" does: WM_COMMAND IDOK to its dialog. False when
  // none shows.
  bool tapDoneButton();

  // Open-file dialogs shown since the device started (shell/open_file.cpp):
  // the most recent kOpenFilesKept of them, and every one still open.
  static constexpr size_t kOpenFilesKept = 64;
  struct ShownOpenFile {
    std::u16string title;
    std::u16string filterName;  // the filter pair in force: its name...
    std::u16string pattern;     // ...and its pattern ("*.EXE")
    HWND owner = nullptr;
    std::vector<std::u16string> files;  // device paths listed
    std::u16string chosen;              // empty: cancelled or failed
    bool open = true;
  };
  const History<ShownOpenFile>& shownOpenFileDialogs() const { return openFiles_; }
  History<ShownOpenFile>& shownOpenFileDialogs() { return openFiles_; }
  // The open-file dialog on the screen now, or null.
  const ShownOpenFile* openOpenFileDialog() const;
  // CommDlgExtendedError's answer: why the last common dialog failed.
  DWORD& commonDialogError() { return commonDialogError_; }

  // Addresses opened with "mailto:", in order.
  std::vector<std::u16string>& mailOpened() { return mail_; }

  HANDLE addProcess();
  bool closeProcess(HANDLE h);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::vector<std::u16string> mail_;
  History<ShownOpenFile> openFiles_{kOpenFilesKept};
  DWORD commonDialogError_ = 0;
};

}  // namespace wince
