// The emulated StrongARM running raw guest code in the arena: thunks both
// ways, nested calls, the structures and messages converted on the way,
// and guest faults reported as the device's, never the host's.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "cpu/imports.h"
#include "cpu/layouts.h"
#include "cpu/machine.h"
#include "cpu/marshal.h"
#include "cpu/procs.h"
#include "device.h"

using namespace wince::cpu;

namespace {

// ARM words used below.
constexpr uint32_t kRet = 0xE1A0F00E;        // mov pc, lr
constexpr uint32_t kPushLr = 0xE92D4010;     // stmfd sp!, {r4, lr}
constexpr uint32_t kPopPc = 0xE8BD8010;      // ldmfd sp!, {r4, pc}
constexpr uint32_t kLoadR12 = 0xE59FC00C;    // ldr r12, [pc, #12]: the word five further on
constexpr uint32_t kMovLrPc = 0xE1A0E00F;    // mov lr, pc
constexpr uint32_t kJumpR12 = 0xE1A0F00C;    // mov pc, r12
constexpr uint32_t kMovR4R0 = 0xE1A04000;    // mov r4, r0
constexpr uint32_t kAddR0R4 = 0xE0800004;    // add r0, r0, r4
constexpr uint32_t kLoop = 0xEAFFFFFE;       // b .

class Cpu : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    machine = Machine::shared(error);
    ASSERT_TRUE(machine) << error;
    machine->clearFault();
    machine->setInstructionLimit(Machine::kDefaultInstructionLimit);
    // A page of guest code at the preferred image base's area.
    code = machine->arena().reserveImage(0, 0x10000);
    ASSERT_NE(code, 0u);
    ASSERT_TRUE(machine->mapModule("test.dll", code, 0x10000));
    ASSERT_TRUE(machine->protect(code, 0x10000, false, true));
  }
  void TearDown() override {
    machine->unmapModule(code);
    machine->arena().releaseImage(code);
  }
  // Places guest code at `offset` and answers its address.
  uint32_t place(uint32_t offset, std::vector<uint32_t> words) {
    std::memcpy(Arena::host(code + offset), words.data(), words.size() * 4);
    machine->forgetCode(code + offset, static_cast<uint32_t>(words.size() * 4));
    return code + offset;
  }
  // Guest code that keeps r0 in r4, calls `target` and adds r4 to its result.
  uint32_t callerOf(uint32_t offset, uint32_t target) {
    return place(offset, {kPushLr, kMovR4R0, kLoadR12, kMovLrPc, kJumpR12, kAddR0R4, kPopPc, target});
  }
  std::shared_ptr<Machine> machine;
  uint32_t code = 0;
};

// A platform function of the test: the sum of its arguments, each weighted
// by its place, so that a word in the wrong place shows.
uint32_t weighted(Machine&, const GuestArgs& in) {
  uint32_t sum = 0;
  for (int i = 0; i < 6; ++i) sum += in.word(i) * static_cast<uint32_t>(i + 1);
  return sum;
}

TEST_F(Cpu, ArgumentsReachAPlatformFunctionInRegistersAndOnTheStack) {
  const uint32_t thunk = machine->thunkFor("weighted", &weighted);
  const uint32_t args[6] = {1, 10, 100, 1000, 10000, 100000};
  uint32_t result = 0;
  ASSERT_TRUE(machine->call(thunk, args, 6, result)) << machine->faultReport();
  EXPECT_EQ(result, 1u + 20 + 300 + 4000 + 50000 + 600000);
  EXPECT_EQ(machine->thunkFor("weighted", &weighted), thunk) << "one thunk per platform function";
}

uint32_t identity(Machine&, const GuestArgs& in) { return in.word(0); }
uint32_t identityLeaf(Machine& m, const GuestArgs& in) { return identity(m, in); }

// guest A -> platform -> guest B -> platform: A's registers survive the nested call.
uint32_t g_inner;
uint32_t callsInner(Machine& m, const GuestArgs& in) {
  const uint32_t args[1] = {in.word(0) * 2};
  uint32_t r = 0;
  return m.call(g_inner, args, 1, r) ? r : 0xDEAD;
}
uint32_t callsInnerLeaf(Machine& m, const GuestArgs& in) { return callsInner(m, in); }

TEST_F(Cpu, CallsNestGuestToHostToGuest) {
  // B's platform call answered after a stop, and as a leaf while B runs on.
  for (const uint32_t thunk : {machine->thunkFor("identity", &identity),
                               machine->thunkFor("identityLeaf", &identityLeaf, true)}) {
    g_inner = callerOf(0x100, thunk);  // B(x) = x + x
    const uint32_t outer = callerOf(0, machine->thunkFor("callsInner", &callsInner));  // A(x) = x + B(2x)
    const uint32_t args[1] = {5};
    uint32_t result = 0;
    ASSERT_TRUE(machine->call(outer, args, 1, result)) << machine->faultReport();
    EXPECT_EQ(result, 5u + 10 + 10);
    EXPECT_EQ(machine->depth(), 0);
  }
}

TEST_F(Cpu, ALeafThatRunsGuestCodeFaultsTheGuestInsteadOfNesting) {
  g_inner = callerOf(0x100, machine->thunkFor("identity", &identity));
  const uint32_t outer = callerOf(0, machine->thunkFor("callsInnerLeaf", &callsInnerLeaf, true));
  const uint32_t args[1] = {5};
  uint32_t result = 0;
  EXPECT_FALSE(machine->call(outer, args, 1, result));
  EXPECT_EQ(machine->depth(), 0);
  EXPECT_NE(machine->faultReport().find("callsInnerLeaf, answered as a call that runs no guest code, ran guest code"),
            std::string::npos)
      << machine->faultReport();
}

struct FaultRow {
  const char* what;
  std::vector<uint32_t> code;
  uint32_t r1;
  const char* expected;
};

TEST_F(Cpu, GuestFaultsAndRunawayLoopsStopTheGuestWithOneReport) {
  // ARMv4 without Thumb: BX, BLX and CLZ are undefined on the SA-1110, as
  // on the device (Unicorn reports UC_ERR_INSN_INVALID for them).
  const FaultRow rows[] = {
      {"blx r1", {0xE12FFF31}, 0, "undefined instruction at test.dll+0x0200 (instruction 0xe12fff31)"},
      {"bx r1", {0xE12FFF11}, 0, "undefined instruction at test.dll+0x0200 (instruction 0xe12fff11)"},
      {"clz r0, r1", {0xE16F0F11}, 0, "undefined instruction at test.dll+0x0200"},
      {"blx label", {0xFA000000}, 0, "undefined instruction"},
      {"ldr r0, [r1]", {0xE5910000, kRet}, 0x1000, "read of unmapped memory at 0x00001000"},
      {"str r0, [r1]: code is read-only", {0xE5810000, kRet}, 0, "write to read-only memory"},
      {"mov pc, r1: into the heap", {0xE1A0F001}, 0, "jump outside the code of the images"},
      {"mov pc, r1: to 0", {0xE1A0F001}, 0, "jump to 0x00000000"},
      {"svc outside the thunks", {0xEF000001, kRet}, 0, "software interrupt outside the platform's thunks"},
      {"b .: never returns", {kLoop}, 0, "no return within 100000 instructions at test.dll+0x0200"},
  };
  // The last row never returns: it is stopped after the instruction bound.
  machine->setInstructionLimit(100000);
  for (const FaultRow& row : rows) {
    SCOPED_TRACE(row.what);
    machine->clearFault();
    const uint32_t at = place(0x200, row.code);
    uint32_t r1 = row.r1;
    if (std::string(row.what).find("read-only") != std::string::npos) r1 = at;
    if (std::string(row.what).find("heap") != std::string::npos) r1 = machine->arena().allocate(16, true);
    const uint32_t args[2] = {0, r1};
    uint32_t result = 7;
    EXPECT_FALSE(machine->call(at, args, 2, result));
    EXPECT_EQ(result, 0u);
    const std::string& report = machine->faultReport();
    EXPECT_NE(report.find(row.expected), std::string::npos) << report;
    EXPECT_NE(report.find(" pc=0x"), std::string::npos) << report;
    EXPECT_NE(report.find("last platform calls:"), std::string::npos) << report;
  }
}

TEST_F(Cpu, AFaultInANestedCallUnwindsEveryGuestCallAndBecomesTheDevicesFault) {
  wince::Device device(wince::DeviceOptions{});
  g_inner = place(0x400, {0xE12FFF31});  // B: blx r1
  const uint32_t outer = callerOf(0, machine->thunkFor("callsInner", &callsInner));
  const uint32_t args[1] = {1};
  uint32_t result = 0;
  EXPECT_FALSE(machine->call(outer, args, 1, result));
  EXPECT_EQ(machine->depth(), 0);
  EXPECT_NE(machine->faultReport().find("last platform calls: callsInner"), std::string::npos);
  ASSERT_TRUE(device.guestFault().has_value());
  EXPECT_EQ(device.guestFault()->report, machine->faultReport());
  const auto problems = device.takeProblems();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].rfind("device fault: undefined instruction at test.dll+0x0400", 0), 0u) << problems[0];
  // The processor runs no more guest code once it has faulted.
  const uint32_t fine = place(0x500, {0xE3A0002A, kRet});  // mov r0, #42
  EXPECT_FALSE(machine->call(fine, nullptr, 0, result));
}

TEST_F(Cpu, PlatformCallsThroughThunksAreTheProductsCallsForTheTrace) {
  wince::Device device(wince::DeviceOptions{});
  device.trace().enable(true);
  std::string name;
  const auto* localAlloc = findImport("COREDLL.dll", 33, "", name);
  ASSERT_NE(localAlloc, nullptr) << "the device's import table names LocalAlloc 33";
  const auto* localFree = findImport("coredll.dll", 36, "", name);
  ASSERT_NE(localFree, nullptr);
  const uint32_t args[2] = {0x40, 24};  // LMEM_ZEROINIT, 24 bytes
  uint32_t block = 0;
  ASSERT_TRUE(machine->call(machine->thunkFor(localAlloc->name, localAlloc->call), args, 2, block));
  EXPECT_TRUE(machine->arena().isBlock(block)) << "the guest's heap is guest memory";
  EXPECT_EQ(device.accounting().live(wince::ObjectKind::Heap), 1);
  uint32_t freed = 1;
  ASSERT_TRUE(machine->call(machine->thunkFor(localFree->name, localFree->call), &block, 1, freed));
  EXPECT_EQ(freed, 0u);
  EXPECT_EQ(device.accounting().live(wince::ObjectKind::Heap), 0);
  ASSERT_EQ(device.trace().entries().size(), 2u);
  EXPECT_EQ(device.trace().entries()[0].call.rfind("LocalAlloc(64, 24) = 0x", 0), 0u) << device.trace().entries()[0].call;
  char freeCall[40];
  std::snprintf(freeCall, sizeof freeCall, "LocalFree(0x%x) = NULL", block);
  EXPECT_EQ(device.trace().entries()[1].call, freeCall);
  // A planned failure reaches the guest's call as a native library's.
  device.faults().add("LocalAlloc");
  uint32_t failed = 1;
  ASSERT_TRUE(machine->call(machine->thunkFor(localAlloc->name, localAlloc->call), args, 2, failed));
  EXPECT_EQ(failed, 0u);
}

TEST(CpuLayouts, GuestStructuresHaveTheDevicesSizes) {
  const struct {
    const StructLayout* layout;
    unsigned size;
  } rows[] = {
      {layoutOf<WNDCLASSW>(), 40},        {layoutOf<CREATESTRUCTW>(), 48}, {layoutOf<PAINTSTRUCT>(), 64},
      {layoutOf<MSG>(), 28},              {layoutOf<TODAYLISTITEM>(), 628}, {layoutOf<SHELLEXECUTEINFO>(), 60},
      {layoutOf<OPENFILENAMEW>(), 76},    {layoutOf<SHINITDLGINFO>(), 12}, {layoutOf<SHRGINFO>(), 20},
  };
  for (const auto& row : rows) EXPECT_EQ(row.layout->guestSize, row.size) << row.layout->name;
}

TEST_F(Cpu, AWindowProcedureReceivesItsCreateStructureInTheGuestsLayout) {
  // ldr r0, [r3, #16]: CREATESTRUCTW.cy at the guest's offset 16.
  const uint32_t proc = place(0x600, {0xE5930010, kRet});
  auto wndproc = reinterpret_cast<WNDPROC>(hostProc(proc, ProcSignature{ProcKind::Window}));
  ASSERT_NE(wndproc, nullptr);
  EXPECT_EQ(guestProc(reinterpret_cast<void*>(wndproc)), proc);
  CREATESTRUCTW cs{};
  cs.cy = 321;
  cs.lpszName = u"a host string";
  EXPECT_EQ(wndproc(nullptr, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)), 321);
  // Other messages pass their words as they are; the result comes back signed.
  const uint32_t minusOne = place(0x700, {0xE3E00000, kRet});  // mvn r0, #0
  auto other = reinterpret_cast<WNDPROC>(hostProc(minusOne, ProcSignature{ProcKind::Window}));
  EXPECT_EQ(other(nullptr, WM_PAINT, 0, 0), -1);
  releaseProcs(code, 0x10000, "test.dll");
  EXPECT_EQ(guestProc(reinterpret_cast<void*>(wndproc)), 0u);
}

// One guest procedure handed to the host as two C types: a trampoline of
// each type (the host calls each through its own), the same one asked
// again, both standing for the procedure.
TEST_F(Cpu, AGuestProcedureIsHandedOutInEachTypeTheHostCallsItThrough) {
  const uint32_t proc = place(0xB00, {0xE3A0002A, kRet});  // mov r0, #42
  const ProcSignature window{ProcKind::Window};
  const ProcSignature hook{ProcKind::Words, 2, {ArgKind::Word, ArgKind::String},
                           &ProcPool<LRESULT(HWND, LPCWSTR)>::pointer};
  auto wndproc = reinterpret_cast<WNDPROC>(hostProc(proc, window));
  auto typed = reinterpret_cast<LRESULT (*)(HWND, LPCWSTR)>(hostProc(proc, hook));
  ASSERT_TRUE(wndproc && typed);
  EXPECT_NE(reinterpret_cast<void*>(wndproc), reinterpret_cast<void*>(typed));
  EXPECT_EQ(hostProc(proc, window), reinterpret_cast<void*>(wndproc));
  EXPECT_EQ(hostProc(proc, hook), reinterpret_cast<void*>(typed));
  EXPECT_EQ(guestProc(reinterpret_cast<void*>(typed)), proc);
  EXPECT_EQ(wndproc(nullptr, WM_USER, 0, 0), 42);
  EXPECT_EQ(typed(nullptr, u"a host string"), 42);
  releaseProcs(code, 0x10000, "test.dll");
  EXPECT_EQ(procsInUse(), 0);
}

// A class holding a guest procedure whose library went (the trampoline
// retired): a message to its window is the guest's fault, naming the
// library, never a call of another procedure bound to the trampoline; the
// trampoline is free again once the class and its window are gone.
TEST_F(Cpu, ACallOfAnUnloadedLibrarysProcedureFaultsTheGuest) {
  wince::Device device(wince::DeviceOptions{});
  const uint32_t proc = place(0xA00, {0xE3A0002A, kRet});  // mov r0, #42
  WNDCLASSW wc{};
  wc.lpfnWndProc = reinterpret_cast<WNDPROC>(hostProc(proc, ProcSignature{ProcKind::Window}));
  wc.lpszClassName = u"GuestClass";
  ASSERT_TRUE(RegisterClassW(&wc));
  HWND window = CreateWindowExW(0, u"GuestClass", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(SendMessageW(window, WM_USER, 0, 0), 42);
  const int before = procsInUse();
  releaseProcs(code, 0x10000, "gone.dll");
  EXPECT_EQ(procsInUse(), before) << "held, so retired";
  EXPECT_EQ(guestProc(reinterpret_cast<void*>(wc.lpfnWndProc)), 0u);
  EXPECT_EQ(SendMessageW(window, WM_USER, 0, 0), 0);
  ASSERT_TRUE(device.guestFault().has_value());
  EXPECT_EQ(device.guestFault()->report.rfind(
                "device fault: prefetch abort: call of a procedure of gone.dll, which was unloaded, at ", 0),
            0u)
      << device.guestFault()->report;
  machine->clearFault();
  DestroyWindow(window);
  UnregisterClassW(u"GuestClass", nullptr);
  for (int i = 0; i < kProcPoolSize; ++i)
    EXPECT_NE(hostProc(code + 4 * static_cast<uint32_t>(i), ProcSignature{ProcKind::Window}), nullptr) << i;
  releaseProcs(code, 0x10000, "test.dll");
  EXPECT_EQ(procsInUse(), 0);
}

// What the platform makes of a guest window procedure's lParam, as when the
// procedure passes its message on (DefWindowProcW).
int64_t g_passedOn = 0;
uint32_t passOn(Machine&, const GuestArgs& in) {
  g_passedOn = lParamFromGuest(in.word(3));
  return 0;
}

TEST_F(Cpu, AHostBufferInLParamComesBackWholeWhateverItsLowHalf) {
  // ldr pc, [pc, #-4]: on to the platform with the procedure's own words.
  const uint32_t proc = place(0x900, {0xE51FF004, machine->thunkFor("passOn", &passOn)});
  auto wndproc = reinterpret_cast<WNDPROC>(hostProc(proc, ProcSignature{ProcKind::Window}));
  ASSERT_NE(wndproc, nullptr);
  const uint64_t high = uint64_t{1} << 32;
  // Host addresses whose low half is no guest address, and ones whose low
  // half is guest memory (one in a hundred or so, as the host lays out its
  // memory): each comes back as it was, never as the guest's own pointer.
  for (uint64_t host : {high | 0x00001000u, high | (machine->arena().base() + 0x100), high | (code + 0x904),
                        (uint64_t{0x7ff1} << 32) | machine->arena().base()}) {
    g_passedOn = 0;
    wndproc(nullptr, WM_GETTEXT, 16, static_cast<LPARAM>(host));
    EXPECT_EQ(static_cast<uint64_t>(g_passedOn), host) << std::hex << host;
  }
  // A guest's own pointer passes as it is.
  wndproc(nullptr, WM_GETTEXT, 16, static_cast<LPARAM>(code + 0x904));
  EXPECT_EQ(g_passedOn, static_cast<int64_t>(code + 0x904));
  releaseProcs(code, 0x10000, "test.dll");
}

}  // namespace
