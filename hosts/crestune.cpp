// crestune: the command line of the emulated device.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "device/errors.h"
#include "interactive.h"
#include "demo.h"
#include "installer.h"
#include "script.h"
#include "session.h"

namespace {

const char* kUsage =
    "usage: crestune demo [--language english|spanish] [--out DIR]\n"
    "       crestune run SCRIPT [--device DIR] [--out DIR]\n"
    "       crestune install [--language english|spanish] [--cancel] [--device DIR]\n"
    "       crestune uninstall [--device DIR]\n"
    "       crestune interactive [--device DIR] [--scale N] [--screenshot-on-exit FILE] [--transcript FILE]\n"
    "  demo           the whole story on a fresh device: screenshots, a contact sheet, a transcript\n"
    "  run SCRIPT     run a scenario script on the emulated device\n"
    "  install        install the Crestune package as the device's installer does\n"
    "  uninstall      remove it again\n"
    "  --device DIR   keep the device in DIR (default: a fresh temporary device)\n"
    "  --out DIR      where screenshots go (default: the current folder)\n";

int usageError(const std::string& what) {
  std::cerr << "crestune: " << what << "\n" << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::cout << kUsage;
    return args.empty() ? 2 : 0;
  }
  std::string command = args[0];
  if (command == "interactive") {
    // The frame's buttons do what a person would do on the device; the
    // dialogs they open are answered in the window.
    crestune::InteractiveHooks hooks;
    hooks.options = [](crestune::Session& s) {
      if (s.today()) s.today()->openOptions(u"WMP Crestune");
    };
    hooks.install = [](crestune::Session&) {
      crestune::Installer(crestune::PackageManifest::read(crestune::PackageManifest::defaultFile())).install();
    };
    hooks.uninstall = [](crestune::Session&) {
      crestune::Installer(crestune::PackageManifest::read(crestune::PackageManifest::defaultFile())).uninstall();
    };
    return crestune::runInteractive(std::vector<std::string>(args.begin() + 1, args.end()), hooks);
  }
  std::string device, out, script, language = "english";
  bool cancel = false;
  std::vector<std::string> positional;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--device" || args[i] == "--out") {
      if (i + 1 >= args.size()) return usageError(args[i] + " needs a folder");
      (args[i] == "--device" ? device : out) = args[i + 1];
      ++i;
    } else if (args[i] == "--language") {
      if (i + 1 >= args.size() || (args[i + 1] != "english" && args[i + 1] != "spanish"))
        return usageError("--language takes english or spanish");
      language = args[++i];
    } else if (args[i] == "--cancel") {
      cancel = true;
    } else if (args[i].rfind("--", 0) == 0) {
      return usageError("unknown option " + args[i]);
    } else {
      positional.push_back(args[i]);
    }
  }
  try {
    if (command == "run") {
      if (positional.size() != 1) return usageError("run takes one script");
      std::ifstream in(positional[0]);
      if (!in) {
        std::cerr << "crestune: cannot read script " << positional[0] << "\n";
        return 2;
      }
      std::vector<std::string> lines;
      for (std::string line; std::getline(in, line);) lines.push_back(line);
      crestune::Session session(device);
      if (!out.empty()) session.outputFolder = out;
      int status = crestune::runScript(session, positional[0], lines, std::cout, std::cerr);
      if (status == 0) std::cout << "ok: " << positional[0] << "\n";
      return status;
    }
    if (command == "demo") {
      if (!positional.empty()) return usageError("demo takes no arguments");
      if (!device.empty()) return usageError("demo runs on a fresh device; it takes no --device");
      std::filesystem::path folder = out.empty() ? std::filesystem::path("demo-output") : std::filesystem::path(out);
      std::filesystem::create_directories(folder);
      crestune::Session session;
      session.outputFolder = folder;
      int status = crestune::runScript(session, "demo", crestune::demoScript(language == "spanish"), std::cout, std::cerr);
      if (status == 0)
        std::cout << "The demo ran to the end. Its files are in " << std::filesystem::absolute(folder).string()
                  << ": contact-sheet.png, transcript.txt and one screenshot a step.\n";
      return status;
    }
    if (command == "install" || command == "uninstall") {
      if (!positional.empty()) return usageError(command + " takes no arguments");
      if (device.empty()) return usageError(command + " needs --device DIR (a device that lives on)");
      // The person's answers to the language dialog, as script lines that run
      // while it is open.
      std::vector<std::string> lines = {command};
      if (command == "install") {
        if (language == "spanish") lines.insert(lines.end(), {"control tap 1000", "list choose Español"});
        lines.push_back(cancel ? "control tap 2" : "control tap 1");
      }
      lines.push_back(command == "uninstall" || !cancel ? "check installed" : "check cancelled");
      crestune::Session session(device);
      session.startToday();
      return crestune::runScript(session, command, lines, std::cout, std::cerr);
    }
    return usageError("unknown command " + command);
  } catch (const wince::DeviceError& e) {
    std::cerr << "crestune: " << e.what() << "\n";
    return 1;
  }
}
