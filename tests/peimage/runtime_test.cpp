// The device runtime's helpers, compiled for this machine: ARMv4 has no
// divide instruction, so every '/' and '%' of the device build is one of
// these calls, and lstrcpynW is ours there too.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

extern "C" {
unsigned __aeabi_uidiv(unsigned n, unsigned d);
unsigned long long __aeabi_uidivmod(unsigned n, unsigned d);
int __aeabi_idiv(int n, int d);
unsigned long long __aeabi_idivmod(int n, int d);
char16_t* lstrcpynW(char16_t* dest, const char16_t* src, int count);
}

namespace {

TEST(DeviceRuntime, DivisionAsCDividesAndByZeroGivesZero) {
  const struct {
    int n, d, q, r;
  } signedCases[] = {
      {7, 2, 3, 1},   {-7, 2, -3, -1}, {7, -2, -3, 1}, {-7, -2, 3, -1}, {0, 5, 0, 0},
      {1000, 1000, 1, 0}, {INT_MAX, 1, INT_MAX, 0}, {INT_MIN, 1, INT_MIN, 0}, {INT_MIN, -1, INT_MIN, 0},
      {INT_MIN, INT_MAX, -1, -1}, {123456789, 10, 12345678, 9}, {5, 0, 0, 5}, {-5, 0, 0, -5},
  };
  for (const auto& c : signedCases) {
    EXPECT_EQ(__aeabi_idiv(c.n, c.d), c.q) << c.n << " / " << c.d;
    unsigned long long qr = __aeabi_idivmod(c.n, c.d);
    EXPECT_EQ(int(uint32_t(qr)), c.q) << c.n << " / " << c.d << " (r0)";
    EXPECT_EQ(int(uint32_t(qr >> 32)), c.r) << c.n << " % " << c.d << " (r1)";
  }
  const struct {
    unsigned n, d, q, r;
  } unsignedCases[] = {
      {7, 2, 3, 1}, {0xFFFFFFFFu, 1, 0xFFFFFFFFu, 0}, {0xFFFFFFFFu, 0xFFFFFFFFu, 1, 0},
      {0x80000000u, 3, 0x2AAAAAAAu, 2}, {3, 0x80000000u, 0, 3}, {9, 0, 0, 9},
  };
  for (const auto& c : unsignedCases) {
    EXPECT_EQ(__aeabi_uidiv(c.n, c.d), c.q) << c.n << " / " << c.d;
    unsigned long long qr = __aeabi_uidivmod(c.n, c.d);
    EXPECT_EQ(uint32_t(qr), c.q);
    EXPECT_EQ(uint32_t(qr >> 32), c.r);
  }
}

TEST(DeviceRuntime, LstrcpynCopiesAtMostCountMinusOneAndTerminates) {
  const struct {
    int count;
    const char16_t* want;
  } cases[] = {{1, u""}, {3, u"ab"}, {6, u"abcde"}, {7, u"abcde"}, {100, u"abcde"}};
  for (const auto& c : cases) {
    char16_t buffer[8] = {u'x', u'x', u'x', u'x', u'x', u'x', u'x', u'x'};
    EXPECT_EQ(lstrcpynW(buffer, u"abcde", c.count), buffer);
    EXPECT_EQ(std::u16string(buffer), c.want) << c.count;
  }
  char16_t untouched[2] = {u'x', 0};
  lstrcpynW(untouched, u"abc", 0);
  EXPECT_EQ(untouched[0], u'x') << "count 0 writes nothing";
}

}  // namespace
