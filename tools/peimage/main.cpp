// peimage: the device build's link steps that Debian's linkers lack.
//
//   peimage thunks --imports TABLE --out THUNKS.s --runtime-list LIST
//                  OBJECT... [--runtime RUNTIME_OBJECT...]
//     The import thunks and IAT slots the objects' platform calls need, and
//     the runtime objects to link (LIST, a linker response file).
//   peimage image --imports TABLE --def DEF [--res RES] [--entry SYMBOL]
//                 --out DLL LINKED_ELF
//     The Windows CE ARM PE image of a file linked with --emit-relocs.
//
// Failures print one line per problem and exit with status 1.
#include <cstdlib>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "elf.h"
#include "image.h"
#include "thunks.h"

namespace {

using namespace peimage;

struct Args {
  std::map<std::string, std::string> options;
  std::vector<std::string> inputs, runtime;
};

Args ParseArgs(int argc, char** argv) {
  Args a;
  bool inRuntime = false;
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--runtime") {
      inRuntime = true;
    } else if (arg.rfind("--", 0) == 0) {
      if (i + 1 >= argc) throw std::runtime_error(arg + " needs a value");
      a.options[arg] = argv[++i];
    } else {
      (inRuntime ? a.runtime : a.inputs).push_back(arg);
    }
  }
  return a;
}

std::string Required(const Args& a, const std::string& name) {
  auto it = a.options.find(name);
  if (it == a.options.end()) throw std::runtime_error("missing " + name);
  return it->second;
}

std::string ReadText(const std::string& path) {
  std::vector<uint8_t> b = ReadFileBytes(path);
  return std::string(b.begin(), b.end());
}

void WriteText(const std::string& path, const std::string& text) {
  WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

int Thunks(const Args& a) {
  std::string tablePath = Required(a, "--imports");
  ImportTable table = ParseImportTable(ReadText(tablePath), tablePath);
  std::vector<ElfFile> objects, runtime;
  for (const std::string& p : a.inputs) objects.push_back(ReadElf(p));
  for (const std::string& p : a.runtime) runtime.push_back(ReadElf(p));
  ThunkPlan plan = PlanThunks(table, objects, runtime);
  WriteText(Required(a, "--out"), ThunkAssembly(plan));
  std::string list;
  for (const std::string& p : plan.runtimeObjects) list += "\"" + p + "\"\n";
  WriteText(Required(a, "--runtime-list"), list);
  return 0;
}

int Image(const Args& a) {
  if (a.inputs.size() != 1) throw std::runtime_error("expected one linked file");
  ImageInputs in;
  in.elf = ReadElf(a.inputs[0]);
  std::string tablePath = Required(a, "--imports"), defPath = Required(a, "--def");
  in.imports = ParseImportTable(ReadText(tablePath), tablePath);
  in.def = ParseDef(ReadText(defPath), defPath);
  AssignOrdinals(&in.def);
  if (a.options.count("--res")) in.resources = ParseRes(ReadFileBytes(a.options.at("--res")), a.options.at("--res"));
  if (a.options.count("--entry")) in.entry = a.options.at("--entry");
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) in.timestamp = uint32_t(std::strtoul(epoch, nullptr, 10));
  WriteFileBytes(Required(a, "--out"), BuildImage(in));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  try {
    Args a = ParseArgs(argc, argv);
    if (mode == "thunks") return Thunks(a);
    if (mode == "image") return Image(a);
    std::cerr << "usage: peimage thunks|image ... (see tools/peimage/main.cpp)\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "peimage " << mode << ": " << e.what() << "\n";
    return 1;
  }
}
