// The first pass of the device link: from the objects about to be linked,
// the import thunks and import address table slots their platform calls
// need, and which objects of the device runtime they need.
#pragma once
#include <string>
#include <vector>

#include "elf.h"
#include "tables.h"

namespace peimage {

struct ThunkPlan {
  std::vector<const ImportEntry*> imports;  // grouped by library, table order
  std::vector<std::string> runtimeObjects;  // paths of the runtime objects to link
};

// Resolves the objects' undefined symbols as a linker would: against each
// other, then against the runtime objects (pulled in when they define a
// symbol still wanted, as archive members are), then against the import
// table. Throws naming every symbol that none of them provides.
ThunkPlan PlanThunks(const ImportTable& table, const std::vector<ElfFile>& objects,
                     const std::vector<ElfFile>& runtime);

// ARM assembly for the plan: per import a thunk in ARM state,
//   ldr ip, =__imp_NAME ; ldr pc, [ip]
// (no BX: it runs on ARMv4), and a word __imp_NAME in the import address
// table, which the image tool fills and the loader binds. Each library's
// slots are contiguous and end with a zero word, as the import directory
// wants them.
std::string ThunkAssembly(const ThunkPlan& plan);

}  // namespace peimage
