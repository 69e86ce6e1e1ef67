// inf2cab: makes a Windows CE CAB from a CAB Wizard .inf, as CAB Wizard
// does: the install script CRESTUNE.000 (named after the application)
// first, then the files under their 8.3 names with numbered extensions, the
// setup library as .999.
//
//   inf2cab INF CAB [--source DIR] [--file NAME=PATH]... [--processor N]
//
// A file of the .inf is read from --file's PATH when given for its name,
// else from DIR/NAME with --source, else from its disk's folder beside the
// .inf. --processor writes another processor type than [CEDevice]'s (the
// stand-in's own build packs its x86-64 libraries so).
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "cabinet.h"
#include "inf.h"

namespace fs = std::filesystem;

namespace {

int usage(const std::string& what) {
  std::cerr << "inf2cab: " << what << "\n"
            << "usage: inf2cab INF CAB [--source DIR] [--file NAME=PATH]... [--processor N]\n";
  return 2;
}

std::vector<uint8_t> readAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw cab::FormatError(file.string() + ": cannot be read");
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> positional;
  std::map<std::string, fs::path> files;
  fs::path source;
  long processor = -1;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if ((a == "--source" || a == "--file" || a == "--processor") && i + 1 >= argc) return usage(a + " needs a value");
    if (a == "--source") {
      source = argv[++i];
    } else if (a == "--file") {
      std::string v = argv[++i];
      size_t eq = v.find('=');
      if (eq == std::string::npos || eq == 0) return usage("--file takes NAME=PATH, found " + v);
      files[v.substr(0, eq)] = v.substr(eq + 1);
    } else if (a == "--processor") {
      char* end = nullptr;
      processor = std::strtol(argv[++i], &end, 10);
      if (*end || processor < 0) return usage("--processor takes a number");
    } else if (a.rfind("--", 0) == 0) {
      return usage("unknown option " + a);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2) return usage("needs an .inf and the CAB to write");
  const fs::path infFile = positional[0], cabFile = positional[1];
  try {
    std::vector<uint8_t> text = readAll(infFile);
    cab::Inf inf = cab::readInf(std::string(text.begin(), text.end()), infFile.string());
    if (processor >= 0) inf.package.processor = static_cast<uint32_t>(processor);
    std::map<unsigned, std::vector<uint8_t>> contents;
    std::map<unsigned, std::string> names;
    for (const cab::InfSource& s : inf.sources) {
      fs::path from = files.count(s.name) ? files[s.name]
                      : !source.empty()   ? source / s.name
                                          : infFile.parent_path() / s.folder / s.name;
      contents[s.number] = readAll(from);
      names[s.number] = s.name;
    }
    cab::writeCabinet(cabFile, cab::packageMembers(inf.package, contents, names));
  } catch (const cab::FormatError& e) {
    std::cerr << "inf2cab: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
