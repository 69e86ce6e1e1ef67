// The emulated device's processor: a StrongARM SA-1110 (ARMv4, no Thumb)
// on Unicorn, running guest code in the arena. Guest code calls the
// platform through thunks (`svc #n` in the thunk page, answered by a host
// function); the platform calls guest code through call(), each call on a
// fresh stack one depth further in, so calls nest in both directions.
//
// A fault of the guest (undefined instruction, unmapped or protected
// access, a jump out of the images, too many instructions) stops it: the
// report names the fault, the module and offset, the instruction, the
// registers and the last platform calls; every guest call still open
// returns failure, and the device keeps the fault (Device::guestFault).
// After a fault the processor runs no more guest code.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cpu/arena.h"

struct uc_struct;

namespace wince::cpu {

class Machine;

// True when a return address lies in a thunk's host side: the platform
// call is one guest code made, a product library's call.
bool isGuestCallSite(const void* returnAddress);

// Host handles that do not fit in 32 bits (an HRSRC is a host address)
// travel as small tokens; the others as they are.
uint32_t handleToGuest(const void* handle);
void* handleToHost(uint32_t word);

// The argument words of the platform call in progress: r0-r3, then the
// words on the guest stack, as the device's calling standard passes them.
class GuestArgs {
 public:
  GuestArgs(const uint32_t* r, uint32_t sp) : r_{r[0], r[1], r[2], r[3]}, sp_(sp) {}
  uint32_t word(int i) const;

 private:
  uint32_t r_[4];
  uint32_t sp_;
};

// A platform function as a thunk calls it: takes its arguments from the
// guest's words and answers r0.
using HostCall = uint32_t (*)(Machine&, const GuestArgs&);

class Machine {
 public:
  // Instructions one top-level guest call may run before it counts as hung.
  static constexpr uint64_t kDefaultInstructionLimit = 50'000'000;

  // The device's one processor, made on first use and kept while anything
  // holds it. Null, with `error` set, when it cannot be made.
  static std::shared_ptr<Machine> shared(std::string& error);
  // The processor if one exists (for the trace, which must not make one).
  static Machine* existing();
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  Arena& arena() { return *arena_; }
  uc_struct* engine() { return uc_; }

  // The guest address of the thunk that calls `call`; one per distinct
  // call, `name` for reports. 0 when the thunk page is full. A `leaf`
  // never runs guest code: it is answered while the processor runs on.
  uint32_t thunkFor(const char* name, HostCall call, bool leaf = false);

  // Guest code of a module: mapped into the processor at `base` (already
  // in the arena), named in fault reports.
  bool mapModule(const std::string& name, uint32_t base, uint32_t size);
  void unmapModule(uint32_t base);
  // Guest code at these addresses changed: what was translated of it goes.
  void forgetCode(uint32_t address, uint32_t size);
  // "crestitem.dll+0x1234" or "0x00001234".
  std::string describe(uint32_t address) const;

  // Runs guest code at `address` with up to 8 argument words until it
  // returns. False when it faulted (or the processor faulted before); the
  // result is then 0.
  bool call(uint32_t address, const uint32_t* args, int count, uint32_t& result);
  // Copies `size` bytes to the stack of the next call() and answers their
  // guest address; they stay until that call returns. 0 when too large.
  uint32_t pushScratch(const void* data, uint32_t size);
  int depth() const { return depth_; }

  bool faulted() const { return !fault_.empty(); }
  const std::string& faultReport() const { return fault_; }
  // For tests that provoke one fault after another on one processor.
  void clearFault() { fault_.clear(); }
  void setInstructionLimit(uint64_t n) { limit_ = n; }

  // A platform call that cannot be answered (a pointer the guest cannot
  // hold, a structure it cannot take): faults the guest as the device
  // would fail, naming the call.
  void platformFault(const std::string& what);
  // A call of guest code at `address` that cannot be made (its library was
  // unloaded): faults the guest there, as the device would.
  void refuseCall(const std::string& what, uint32_t address) { fault(what, address); }
  // Maps part of a module for guest code: read always, write and execute
  // as its section says.
  bool protect(uint32_t address, uint32_t size, bool write, bool execute);

 private:
  Machine() = default;
  struct Thunk {
    const char* name;
    HostCall call;
    bool leaf;
  };
  struct Module {
    std::string name;
    uint32_t size;
  };
  friend struct Hooks;
  void fault(const std::string& what, uint32_t pc);
  uint32_t run(uint32_t entry);
  // The platform call of thunk `index` with the guest's arguments.
  uint32_t platformCall(size_t index);
  // A leaf's call, from the processor's interrupt hook: false when it
  // faulted and the processor must stop.
  bool answer(size_t index);

  uc_struct* uc_ = nullptr;
  std::unique_ptr<Arena> arena_;
  std::vector<Thunk> thunks_;
  std::map<uint32_t, Module> modules_;  // by base
  int depth_ = 0;
  uint32_t scratchSp_ = 0;  // the next call's stack pointer, when scratch was pushed
  uint64_t executed_ = 0;   // in the current top-level call
  uint64_t limit_ = kDefaultInstructionLimit;
  bool hung_ = false;
  int trap_ = -1;           // the thunk whose svc stopped the processor
  const char* inLeaf_ = nullptr;  // the leaf being answered in the hook
  bool returned_ = false;   // the sentinel's svc stopped it: the call returned
  std::string pendingFault_;  // what a hook saw; reported when the run stops
  uint64_t badAddress_ = 0;
  std::string fault_;
  std::array<const char*, 8> lastCalls_{};
  size_t callCount_ = 0;
};

}  // namespace wince::cpu
