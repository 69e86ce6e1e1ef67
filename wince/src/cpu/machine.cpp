#include "cpu/machine.h"

#include <unicorn/unicorn.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "device.h"

namespace wince::cpu {

namespace {
Machine* g_existing = nullptr;

constexpr uint32_t kPage = 0x1000;
constexpr uint32_t align(uint32_t v, uint32_t a) { return (v + a - 1) & ~(a - 1); }

// The processor's state kept across a nested call: r0-r12, sp, lr, pc, cpsr.
constexpr int kSavedRegs[] = {UC_ARM_REG_R0,  UC_ARM_REG_R1,  UC_ARM_REG_R2, UC_ARM_REG_R3,  UC_ARM_REG_R4,
                              UC_ARM_REG_R5,  UC_ARM_REG_R6,  UC_ARM_REG_R7, UC_ARM_REG_R8,  UC_ARM_REG_R9,
                              UC_ARM_REG_R10, UC_ARM_REG_R11, UC_ARM_REG_R12, UC_ARM_REG_SP, UC_ARM_REG_LR,
                              UC_ARM_REG_PC,  UC_ARM_REG_CPSR};
constexpr int kSavedCount = sizeof kSavedRegs / sizeof kSavedRegs[0];

struct Registers {
  uint32_t v[kSavedCount] = {};
  void read(uc_engine* uc) {
    void* ptrs[kSavedCount];
    for (int i = 0; i < kSavedCount; ++i) ptrs[i] = &v[i];
    uc_reg_read_batch(uc, const_cast<int*>(kSavedRegs), ptrs, kSavedCount);
  }
  void write(uc_engine* uc) {
    void* ptrs[kSavedCount];
    for (int i = 0; i < kSavedCount; ++i) ptrs[i] = &v[i];
    uc_reg_write_batch(uc, const_cast<int*>(kSavedRegs), ptrs, kSavedCount);
  }
};

uint32_t reg(uc_engine* uc, int r) {
  uint32_t v = 0;
  uc_reg_read(uc, r, &v);
  return v;
}
void setReg(uc_engine* uc, int r, uint32_t v) { uc_reg_write(uc, r, &v); }

uint32_t load32(uint32_t address) {
  uint32_t v;
  std::memcpy(&v, Arena::host(address), 4);
  return v;
}

std::string hex(uint64_t v, int digits = 8) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%0*" PRIx64, digits, v);
  return buf;
}

const char* errorText(uc_err err) {
  switch (err) {
    case UC_ERR_INSN_INVALID: return "undefined instruction";
    case UC_ERR_READ_UNMAPPED: return "data abort: read of unmapped memory";
    case UC_ERR_WRITE_UNMAPPED: return "data abort: write to unmapped memory";
    case UC_ERR_FETCH_UNMAPPED: return "prefetch abort: jump to unmapped memory";
    case UC_ERR_READ_PROT: return "data abort: read of protected memory";
    case UC_ERR_WRITE_PROT: return "data abort: write to read-only memory";
    case UC_ERR_FETCH_PROT: return "prefetch abort: jump outside the code of the images";
    case UC_ERR_READ_UNALIGNED:
    case UC_ERR_WRITE_UNALIGNED:
    case UC_ERR_FETCH_UNALIGNED: return "alignment fault";
    case UC_ERR_EXCEPTION: return "processor exception";
    default: return uc_strerror(err);
  }
}
}  // namespace

struct Hooks {
  static void interrupt(uc_engine* uc, uint32_t number, void* user) {
    auto* m = static_cast<Machine*>(user);
    const uint32_t pc = reg(uc, UC_ARM_REG_PC);
    const uint32_t at = pc - 4;
    constexpr uint32_t kSwi = 2;  // the software interrupt exception
    if (number != kSwi) {
      m->pendingFault_ = "processor exception " + std::to_string(number);
    } else if (at < m->arena_->thunkBase() || at >= m->arena_->thunkBase() + Arena::kThunkSize) {
      m->pendingFault_ = "software interrupt outside the platform's thunks";
    } else {
      const uint32_t index = load32(at) & 0x00FFFFFF;
      if (at == m->arena_->sentinel()) {
        m->returned_ = true;
      } else if (index < m->thunks_.size()) {
        // A leaf is answered here, the processor still running: a stop and
        // a start cost more than most platform calls themselves. Any other
        // call is answered after the processor stopped, since a guest call
        // it makes cannot start the processor from inside its hook.
        if (!m->thunks_[index].leaf) m->trap_ = static_cast<int>(index);
        else if (m->answer(index)) return;
      } else {
        m->pendingFault_ = "call of a thunk no import is bound to";
      }
    }
    uc_emu_stop(uc);
  }
  static bool invalidMemory(uc_engine*, uc_mem_type, uint64_t address, int, int64_t, void* user) {
    static_cast<Machine*>(user)->badAddress_ = address;
    return false;
  }
  static void block(uc_engine* uc, uint64_t, uint32_t size, void* user) {
    auto* m = static_cast<Machine*>(user);
    m->executed_ += size / 4;
    if (m->executed_ > m->limit_ && !m->hung_) {
      m->hung_ = true;
      uc_emu_stop(uc);
    }
  }
};

uint32_t GuestArgs::word(int i) const {
  if (i < 4) return r_[i];
  const uint32_t at = sp_ + 4u * static_cast<uint32_t>(i - 4);
  // The stack is always in the arena; a stack pointer that is not gives 0s
  // rather than a read of host memory.
  if (at < sp_ || at >= sp_ + 0x10000) return 0;
  return load32(at);
}

std::shared_ptr<Machine> Machine::shared(std::string& error) {
  static std::weak_ptr<Machine> current;
  if (auto m = current.lock()) return m;
  std::shared_ptr<Machine> m(new Machine);
  if (uc_open(UC_ARCH_ARM, UC_MODE_ARM, &m->uc_) != UC_ERR_OK) {
    error = "the emulated processor could not be made";
    return nullptr;
  }
  // The StrongARM SA-1110: ARMv4, no Thumb, so BX, BLX and CLZ are
  // undefined instructions as on the device.
  if (uc_ctl_set_cpu_model(m->uc_, UC_CPU_ARM_SA1110) != UC_ERR_OK) {
    error = "the emulated processor has no StrongARM SA-1110";
    return nullptr;
  }
  m->arena_ = Arena::create(m->uc_, error);
  if (!m->arena_) return nullptr;
  // Every guest call returns to the sentinel, an `svc` of its own that
  // stops the processor. The processor's exit address (where the
  // translator ends a block to stop) is 0, never guest code: the code at
  // an exit is translated anew at every start, and the translator keeps a
  // little of each time (a few hundred bytes a dialog, without end); and
  // Unicorn invalidates what it translated at its exits after every stop,
  // which costs a search of its page tables each time, except at 0. A
  // jump to 0 stops the processor there and is reported as the fault it is.
  uint64_t exit = 0;
  if (uc_ctl_exits_enable(m->uc_) != UC_ERR_OK || uc_ctl_set_exits(m->uc_, &exit, 1) != UC_ERR_OK) {
    error = "the emulated processor takes no exit address";
    return nullptr;
  }
  // Every slot of the thunk page: `svc #n; mov pc, lr`. Slots not bound to
  // an import fault when called.
  const uint32_t slots = (Arena::kThunkSize - 8) / 8;
  auto* page = static_cast<uint32_t*>(Arena::host(m->arena_->thunkBase()));
  for (uint32_t i = 0; i < slots; ++i) {
    page[2 * i] = 0xEF000000u | i;
    page[2 * i + 1] = 0xE1A0F00Eu;
  }
  page[2 * slots] = 0xEF000000u | slots;  // the sentinel
  page[2 * slots + 1] = 0xEAFFFFFEu;     // b . : never reached
  uc_hook h;
  uc_hook_add(m->uc_, &h, UC_HOOK_INTR, reinterpret_cast<void*>(&Hooks::interrupt), m.get(), 1, 0);
  uc_hook_add(m->uc_, &h, UC_HOOK_MEM_INVALID, reinterpret_cast<void*>(&Hooks::invalidMemory), m.get(), 1, 0);
  uc_hook_add(m->uc_, &h, UC_HOOK_BLOCK, reinterpret_cast<void*>(&Hooks::block), m.get(), 1, 0);
  current = m;
  g_existing = m.get();
  return m;
}

Machine* Machine::existing() { return g_existing; }

Machine::~Machine() {
  if (g_existing == this) g_existing = nullptr;
  if (uc_) uc_close(uc_);
}

uint32_t Machine::thunkFor(const char* name, HostCall call, bool leaf) {
  for (size_t i = 0; i < thunks_.size(); ++i)
    if (thunks_[i].call == call) return arena_->thunkBase() + 8 * static_cast<uint32_t>(i);
  if (thunks_.size() >= (Arena::kThunkSize - 8) / 8) return 0;
  thunks_.push_back({name, call, leaf});
  return arena_->thunkBase() + 8 * static_cast<uint32_t>(thunks_.size() - 1);
}

bool Machine::mapModule(const std::string& name, uint32_t base, uint32_t size) {
  size = align(size, kPage);
  if (uc_mem_map_ptr(uc_, base, size, UC_PROT_READ, Arena::host(base)) != UC_ERR_OK) return false;
  // Code translated for an image that was here before is not this one's.
  uc_ctl_remove_cache(uc_, base, base + size);
  modules_[base] = Module{name, size};
  return true;
}

bool Machine::protect(uint32_t address, uint32_t size, bool write, bool execute) {
  uint32_t perms = UC_PROT_READ | (write ? UC_PROT_WRITE : 0) | (execute ? UC_PROT_EXEC : 0);
  return uc_mem_protect(uc_, address & ~(kPage - 1), align(size + (address & (kPage - 1)), kPage), perms) ==
         UC_ERR_OK;
}

void Machine::forgetCode(uint32_t address, uint32_t size) { uc_ctl_remove_cache(uc_, address, address + size); }

void Machine::unmapModule(uint32_t base) {
  auto it = modules_.find(base);
  if (it == modules_.end()) return;
  uc_mem_unmap(uc_, base, it->second.size);
  modules_.erase(it);
}

std::string Machine::describe(uint32_t address) const {
  auto it = modules_.upper_bound(address);
  if (it != modules_.begin()) {
    --it;
    if (address - it->first < it->second.size) return it->second.name + "+" + hex(address - it->first, 4);
  }
  if (address == arena_->sentinel()) return "the return to the platform";
  const uint32_t thunks = arena_->thunkBase();
  if (address >= thunks && address < thunks + Arena::kThunkSize) {
    const size_t i = (address - thunks) / 8;
    return std::string("the thunk of ") + (i < thunks_.size() ? thunks_[i].name : "nothing");
  }
  return hex(address);
}

uint32_t Machine::pushScratch(const void* data, uint32_t size) {
  const uint32_t top = arena_->stackTop(depth_ + 1);
  uint32_t sp = scratchSp_ ? scratchSp_ : top - 16;
  const uint32_t need = align(size, 4);
  if (depth_ + 1 > Arena::kMaxDepth || need > Arena::kStackSize / 4 || sp - need < top - Arena::kStackSize / 4)
    return 0;
  sp -= need;
  std::memcpy(Arena::host(sp), data, size);
  scratchSp_ = sp;
  return sp;
}

bool Machine::call(uint32_t address, const uint32_t* args, int count, uint32_t& result) {
  result = 0;
  // A leaf is answered inside the processor's hook, where it cannot run
  // again: a platform function that calls guest code is no leaf.
  if (inLeaf_) platformFault(std::string(inLeaf_) + ", answered as a call that runs no guest code, ran guest code");
  if (faulted()) {
    scratchSp_ = 0;
    return false;
  }
  if (depth_ >= Arena::kMaxDepth) {
    fault("guest calls nested deeper than " + std::to_string(Arena::kMaxDepth), address);
    return false;
  }
  Registers saved;
  const bool nested = depth_ > 0;
  if (nested) saved.read(uc_);
  ++depth_;
  if (depth_ == 1) {
    executed_ = 0;
    hung_ = false;
  }
  uint32_t sp = scratchSp_ ? scratchSp_ : arena_->stackTop(depth_) - 16;
  scratchSp_ = 0;
  const int onStack = count > 4 ? count - 4 : 0;
  sp = (sp - 4u * static_cast<uint32_t>(onStack)) & ~7u;
  for (int i = 0; i < onStack; ++i) std::memcpy(Arena::host(sp + 4u * static_cast<uint32_t>(i)), &args[4 + i], 4);
  constexpr int kArgRegs[] = {UC_ARM_REG_R0, UC_ARM_REG_R1, UC_ARM_REG_R2, UC_ARM_REG_R3};
  for (int i = 0; i < 4; ++i) setReg(uc_, kArgRegs[i], i < count ? args[i] : 0);
  setReg(uc_, UC_ARM_REG_SP, sp);
  setReg(uc_, UC_ARM_REG_LR, arena_->sentinel());
  const uint32_t r = run(address);
  --depth_;
  if (nested) saved.write(uc_);
  if (faulted()) return false;
  result = r;
  return true;
}

uint32_t Machine::platformCall(size_t index) {
  const Thunk& t = thunks_[index];
  lastCalls_[callCount_++ % lastCalls_.size()] = t.name;
  static constexpr int kArgs[] = {UC_ARM_REG_R0, UC_ARM_REG_R1, UC_ARM_REG_R2, UC_ARM_REG_R3, UC_ARM_REG_SP};
  uint32_t r[5];
  void* ptrs[5] = {&r[0], &r[1], &r[2], &r[3], &r[4]};
  uc_reg_read_batch(uc_, const_cast<int*>(kArgs), ptrs, 5);
  return t.call(*this, GuestArgs(r, r[4]));
}

bool Machine::answer(size_t index) {
  inLeaf_ = thunks_[index].name;
  const uint32_t value = platformCall(index);
  inLeaf_ = nullptr;
  if (faulted()) return false;
  setReg(uc_, UC_ARM_REG_R0, value);
  return true;
}

uint32_t Machine::run(uint32_t entry) {
  uint32_t pc = entry;
  for (;;) {
    trap_ = -1;
    returned_ = false;
    pendingFault_.clear();
    badAddress_ = 0;
    const uc_err err = uc_emu_start(uc_, pc, 0, 0, 0);
    const uint32_t now = reg(uc_, UC_ARM_REG_PC);
    if (trap_ >= 0 && !faulted()) {
      const uint32_t value = platformCall(static_cast<size_t>(trap_));
      if (faulted()) return 0;  // a guest call inside the platform call faulted: unwind
      setReg(uc_, UC_ARM_REG_R0, value);
      pc = now;
      continue;
    }
    if (faulted()) return 0;
    if (!pendingFault_.empty()) {
      fault(pendingFault_, now - 4);
      return 0;
    }
    if (hung_) {
      fault("no return within " + std::to_string(limit_) + " instructions", now);
      return 0;
    }
    if (err != UC_ERR_OK) {
      std::string what = errorText(err);
      if (badAddress_) what += " at " + hex(badAddress_);
      fault(what, now);
      return 0;
    }
    if (returned_) return reg(uc_, UC_ARM_REG_R0);
    if (now == 0) fault("prefetch abort: jump to 0x00000000", now);
    else fault("the processor stopped for no known reason", now);
    return 0;
  }
}

void Machine::platformFault(const std::string& what) { fault(what, reg(uc_, UC_ARM_REG_LR)); }

void Machine::fault(const std::string& what, uint32_t pc) {
  if (faulted()) return;
  std::string report = "device fault: " + what + " at " + describe(pc);
  if (arena_->contains(pc & ~3u, 4)) report += " (instruction " + hex(load32(pc & ~3u)) + ")";
  Registers r;
  r.read(uc_);
  static const char* const kNames[] = {"r0", "r1", "r2", "r3", "r4", "r5",  "r6", "r7",  "r8",
                                       "r9", "r10", "r11", "r12", "sp", "lr", "pc", "cpsr"};
  report += "\n  ";
  for (int i = 0; i < kSavedCount; ++i) report += std::string(i ? " " : "") + kNames[i] + "=" + hex(r.v[i]);
  report += " (lr " + describe(r.v[14]) + ")";
  report += "\n  last platform calls:";
  const size_t n = std::min(callCount_, lastCalls_.size());
  if (!n) report += " none";
  for (size_t i = callCount_ - n; i < callCount_; ++i) report += std::string(" ") + lastCalls_[i % lastCalls_.size()];
  fault_ = report;
  if (Device::exists()) {
    Device& d = Device::current();
    d.reportProblem(report.substr(0, report.find('\n')));
    d.setGuestFault(GuestFault{report});
  }
}

}  // namespace wince::cpu
