// `cpu_bench`: the cost of one host -> guest call with one platform call in
// it, on the emulated StrongARM. Guest code that calls a platform function
// and adds to its result is run again and again: once with a platform call
// answered after the processor stopped, once with a leaf answered from the
// interrupt hook while it runs on. This is the processor's glue alone (the
// trampoline, the thunk, argument conversion); `crestune bench` times what
// the item does on top of it.
#include <benchmark/benchmark.h>

#include <cstring>

#include "cpu/arena.h"
#include "cpu/machine.h"

using namespace wince::cpu;

namespace {

// Guest code that keeps r0 in r4, calls the word after it and adds r4 to
// what that answers.
constexpr uint32_t kCaller[] = {
    0xE92D4010,  // stmfd sp!, {r4, lr}
    0xE1A04000,  // mov r4, r0
    0xE59FC00C,  // ldr r12, [pc, #12]: the target
    0xE1A0E00F,  // mov lr, pc
    0xE1A0F00C,  // mov pc, r12
    0xE0800004,  // add r0, r0, r4
    0xE8BD8010,  // ldmfd sp!, {r4, pc}
};

uint32_t twice(Machine&, const GuestArgs& in) { return in.word(0) * 2; }
uint32_t twiceLeaf(Machine& m, const GuestArgs& in) { return twice(m, in); }

void roundTrip(benchmark::State& state, bool leaf) {
  std::string error;
  std::shared_ptr<Machine> machine = Machine::shared(error);
  if (!machine) {
    state.SkipWithError(error.c_str());
    return;
  }
  const uint32_t code = machine->arena().reserveImage(0, 0x10000);
  if (!code || !machine->mapModule("bench.dll", code, 0x10000) || !machine->protect(code, 0x10000, false, true)) {
    state.SkipWithError("no guest memory for the code");
    return;
  }
  const uint32_t target = leaf ? machine->thunkFor("twiceLeaf", &twiceLeaf, true) : machine->thunkFor("twice", &twice);
  std::memcpy(Arena::host(code), kCaller, sizeof kCaller);
  std::memcpy(Arena::host(code + sizeof kCaller), &target, 4);
  machine->forgetCode(code, sizeof kCaller + 4);
  const uint32_t args[1] = {1};
  uint32_t result = 0;
  for (auto _ : state) {
    if (!machine->call(code, args, 1, result) || result != 3) {
      state.SkipWithError("the guest call failed");
      break;
    }
  }
  machine->unmapModule(code);
  machine->arena().releaseImage(code);
}

void BM_PlatformCall(benchmark::State& state) { roundTrip(state, false); }
void BM_LeafCall(benchmark::State& state) { roundTrip(state, true); }
BENCHMARK(BM_PlatformCall)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LeafCall)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
