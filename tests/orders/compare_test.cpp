// The comparison both platforms' order tests rest on: where it says a
// recording departs from a table, and what it lets pass.
#include <gtest/gtest.h>

#include "product_orders.h"

namespace orders {
namespace {

const Step kTap[] = {
    {"SetCapture", nullptr, 0, 0, 0, 0},
    {"FindWindowW", "Windows Media", 0, 0, 0, kOptional},
    {"SendMessageW", nullptr, 0x8037, 0, 0, kAnyC},
};

TEST(OrderTables, AMatchingRecordingPassesWhateverTheUnlistedColumnsHold) {
  EXPECT_EQ("", compare({{"SetCapture"}, {"FindWindowW", "Windows Media"}, {"SendMessageW", "", 0x8037, 0, 99}},
                        kTap, 3));
  EXPECT_EQ("", compare({{"SetCapture"}, {"SendMessageW", "", 0x8037, 0, 0}}, kTap, 3)) << "the optional row";
}

// The icon drawn and freed must be the one loaded in row 0; the handles'
// own values are never compared.
TEST(OrderTables, ARowWithTheHandleOfAnEarlierRowMatchesThatHandleOnly) {
  static const Step faces[] = {
      {"LoadImageW", nullptr, 111, 1, 32, 0},
      {"LoadImageW", nullptr, 112, 1, 32, 0},
      {"DrawIconEx", nullptr, 29, 4, 32, sameAs(0)},
      {"DestroyIcon", nullptr, 0, 0, 0, sameAs(0)},
  };
  auto call = [](const char* name, long long a, long long b, long long c, unsigned long long h) {
    Call k{name, "", a, b, c};
    k.handle = h;
    return k;
  };
  std::vector<Call> got = {call("LoadImageW", 111, 1, 32, 0x70), call("LoadImageW", 112, 1, 32, 0x80),
                           call("DrawIconEx", 29, 4, 32, 0x70), call("DestroyIcon", 0, 0, 0, 0x70)};
  EXPECT_EQ("", compare(got, faces, 4));
  got[2].handle = 0x80;  // the pressed face drawn
  EXPECT_EQ(0u, compare(got, faces, 4).rfind("departs at row 2: expected DrawIconEx(29, 4, 32) with the handle of row 0", 0))
      << compare(got, faces, 4);
}

TEST(OrderTables, TheFirstDepartureIsNamedWithItsRow) {
  static const struct {
    std::vector<Call> got;
    const char* says;
  } cases[] = {
      {{{"SetCapture"}, {"SendMessageW", "", 0x8038, 0, 0}},
       "departs at row 2: expected SendMessageW(0x8037, 0, any), found SendMessageW(0x8038, 0, 0)"},
      {{{"SetCapture"}, {"FindWindowW", "Windows Player"}, {"SendMessageW", "", 0x8037, 0, 0}},
       "departs at row 2: expected SendMessageW(0x8037, 0, any), found FindWindowW(\"Windows Player\")"},
      {{{"SetCapture"}}, "departs at row 2: expected SendMessageW(0x8037, 0, any), found the end of the calls"},
      {{{"SetCapture"}, {"SendMessageW", "", 0x8037, 0, 0}, {"ReleaseCapture"}},
       "goes on past the table at call 2: ReleaseCapture()"},
      {{}, "departs at row 0: expected SetCapture(), found the end of the calls"},
  };
  for (const auto& c : cases) {
    std::string said = compare(c.got, kTap, 3);
    EXPECT_EQ(0u, said.rfind(c.says, 0)) << said;
    // Then every call recorded, numbered.
    EXPECT_NE(std::string::npos, said.find("\nrecorded:")) << said;
  }
}

TEST(OrderTables, PaintsCountOnlyInTablesAboutPainting) {
  const std::vector<Call> got = {{"SetCapture"},
                                 {"BeginPaint"},
                                 {"DrawIconEx", "", 29, 4, 32},
                                 {"EndPaint"},
                                 {"SendMessageW", "", 0x8037, 0, 0}};
  EXPECT_EQ("", compare(got, kTap, 3)) << "a repaint in between is the window manager's business";
  const Step paint[] = {{"BeginPaint", nullptr, 0, 0, 0, 0},
                        {"DrawIconEx", nullptr, 29, 4, 24, 0},
                        {"EndPaint", nullptr, 0, 0, 0, 0}};
  const std::vector<Call> painted = {{"BeginPaint"}, {"DrawIconEx", "", 29, 4, 32}, {"EndPaint"}};
  EXPECT_EQ(0u, compare(painted, paint, 3).rfind("departs at row 1: expected DrawIconEx(29, 4, 24)", 0));
}

TEST(OrderTables, EveryCaseNamesOnlyWatchedCalls) {
  for (size_t i = 0; i < kCaseCount; ++i)
    for (size_t r = 0; r < kCases[i].rows; ++r)
      EXPECT_NE(nullptr, watched(kCases[i].steps[r].call)) << kCases[i].name << " row " << r;
}

}  // namespace
}  // namespace orders
