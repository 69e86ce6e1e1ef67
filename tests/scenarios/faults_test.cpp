// Stand-in only (the device's fault plan and trace themselves).
// Failures planned into the product's platform calls: the failure the
// platform documents reaches the product, the trace shows it injected, and
// what the person sees, the registry and the accounting come out right.
#include "fixture.h"

#include "device_error.h"

namespace crestune::testing {
namespace {

using Faults = StrictDeviceTest;

TEST(FaultPlan, OnlyKnownCallsCanFailAndEachPlanRunsOut) {
  wince::FaultPlan plan;
  EXPECT_THROW(plan.add("RegOpenKeyW"), wince::DeviceError) << "not a call the product makes";
  EXPECT_THROW(plan.add("LoadImageW", 0, 0), wince::DeviceError);
  EXPECT_THROW(plan.add("LoadImageW", 0, 1, -1), wince::DeviceError);
  plan.add("RegDeleteKeyW", 0, 2, 1);
  DWORD error = 0;
  EXPECT_FALSE(plan.take("RegDeleteKeyW", &error)) << "the first call runs as usual";
  EXPECT_TRUE(plan.take("RegDeleteKeyW", &error));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), error) << "its usual failure";
  plan.add("LoadImageW", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_TRUE(plan.take("RegDeleteKeyW", &error));
  EXPECT_FALSE(plan.take("RegDeleteKeyW", &error)) << "two failures, then the call runs again";
  EXPECT_TRUE(plan.take("LoadImageW", &error));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), error);
  EXPECT_TRUE(plan.empty());
}

TEST_F(Faults, AnInjectedFailureIsTracedAndTakenOnlyByTheProduct) {
  registerItem();
  plan().add("RegOpenKeyExW");
  // The shell's own reading of the registry does not take the failure.
  traceOn();
  session.startToday();
  Calls calls = traceOff();
  ASSERT_TRUE(item()) << "the shell still found and loaded the item";
  EXPECT_TRUE(plan().empty());
  Calls opens;
  for (const std::string& c : calls)
    if (starts(c, "RegOpenKeyExW(")) opens.push_back(c);
  ASSERT_FALSE(opens.empty()) << text(calls);
  EXPECT_EQ("RegOpenKeyExW(HKEY_LOCAL_MACHINE, \"SOFTWARE\\Halvorn\\WMP Crestune\", 0, 0) = 2 (failure injected)",
            opens[0]);
}

// The path longer than the buffer is read twice; when the second read
// fails, the path is empty. (The platform leaves the buffer's contents
// undefined after the first, short read; this device and desktop Win32
// leave it untouched, so what a device might leave there is not shown.)
TEST_F(Faults, AFailedSecondReadOfALongPathLeavesItEmpty) {
  storePath("\\Windows\\" + std::string(1100, 'p') + ".exe");
  registerItem();
  plan().add("RegQueryValueExW", 0, 1, 3);  // IconSize, Language, the path's first read
  session.startToday();
  ASSERT_TRUE(item());
  EXPECT_TRUE(plan().empty());
  queueTap(device(), onItem(100, 10));
  device().input().push(wince::InputEvent{wince::InputEvent::Kind::AnswerBox, {}, 0, IDOK, {}});
  windows().runUntilIdle();
  ASSERT_EQ(1u, windows().messageBoxes().size());
  EXPECT_EQ(u"\"\" no found.", windows().messageBoxes()[0].text);
}

}  // namespace
}  // namespace crestune::testing
