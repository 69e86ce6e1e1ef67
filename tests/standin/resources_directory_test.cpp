// The .res reader against the bytes llvm-rc writes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "resource_directory.h"
#include "resources_testdata.h"

using wince::ResourceDirectory;
using wince::ResourceId;

namespace {

constexpr uint16_t kRtIcon = 3, kRtRcdata = 10, kRtGroupIcon = 14;

std::string bytesOf(const wince::ResourceEntry* e) { return std::string(reinterpret_cast<const char*>(e->data), e->size); }

TEST(ResourceDirectory, ReadsEveryRecordOfACompiledFile) {
  auto bytes = testResources();
  ASSERT_FALSE(bytes.empty());
  ResourceDirectory dir(bytes.data(), bytes.size());
  EXPECT_TRUE(dir.intact());

  int icons = 0, groups = 0;
  for (const auto& e : dir.entries()) {
    EXPECT_FALSE(e.type.isOrdinal() && e.type.ordinal == 0) << "the leading empty record is not a resource";
    if (e.type.matches(kRtIcon)) ++icons;
    if (e.type.matches(kRtGroupIcon)) ++groups;
  }
  EXPECT_EQ(groups, 5);
  EXPECT_EQ(icons, 3 + 2 + 2 + 2 + 2);  // 101, 111, 112, 102 and PACKAGE

  const auto* seven = dir.find(kRtRcdata, 7);
  ASSERT_NE(seven, nullptr);
  EXPECT_EQ(bytesOf(seven), std::string("\x01\x02\x03\x04xyz", 7));
  EXPECT_EQ(seven->language, 0x0409);
  const auto* eight = dir.find(kRtRcdata, 8);
  ASSERT_NE(eight, nullptr);
  EXPECT_EQ(bytesOf(eight), "odd");
  EXPECT_EQ(eight->language, 0x0C0A);

  // Its header ends two bytes short of a DWORD: the padding must be skipped.
  const auto* ab = dir.find(kRtRcdata, ResourceId(u"AB"));
  ASSERT_NE(ab, nullptr);
  EXPECT_EQ(bytesOf(ab), "q");
}

TEST(ResourceDirectory, MatchesNamesWithoutRegardToCaseAndKeepsOrdinalsApart) {
  auto bytes = testResources();
  ResourceDirectory dir(bytes.data(), bytes.size());

  const auto* greeting = dir.find(ResourceId(u"textBlob"), ResourceId(u"Greeting"));
  ASSERT_NE(greeting, nullptr);
  EXPECT_EQ(bytesOf(greeting), "hello");
  EXPECT_NE(dir.find(kRtGroupIcon, ResourceId(u"package")), nullptr);

  // "7" as a string is a name, not the ordinal 7; "#7" is the ordinal.
  EXPECT_EQ(dir.find(kRtRcdata, ResourceId(u"7")), nullptr);
  EXPECT_EQ(dir.find(kRtRcdata, ResourceId::fromArgument(u"#7")), dir.find(kRtRcdata, 7));
  EXPECT_EQ(dir.find(kRtRcdata, ResourceId::fromArgument(MAKEINTRESOURCEW(7))), dir.find(kRtRcdata, 7));
  EXPECT_EQ(dir.find(kRtRcdata, 9), nullptr);
  EXPECT_FALSE(dir.hasType(5));
  EXPECT_TRUE(dir.hasType(ResourceId(u"TEXTBLOB")));
}

TEST(ResourceDirectory, ArgumentForms) {
  EXPECT_TRUE(ResourceId::fromArgument(u"#65535").isOrdinal());
  EXPECT_EQ(ResourceId::fromArgument(u"#65535").ordinal, 65535);
  // Not ordinals: out of range, not digits, a lone '#'.
  EXPECT_FALSE(ResourceId::fromArgument(u"#65536").isOrdinal());
  EXPECT_FALSE(ResourceId::fromArgument(u"#1a").isOrdinal());
  EXPECT_FALSE(ResourceId::fromArgument(u"#").isOrdinal());
  EXPECT_TRUE(ResourceId(u"\u00e9t\u00e9").matches(ResourceId(u"\u00c9T\u00c9")));
  EXPECT_FALSE(ResourceId(u"AB").matches(ResourceId(u"ABC")));
}

TEST(ResourceDirectory, CutShortFileKeepsTheRecordsBeforeTheDamage) {
  auto bytes = testResources();
  const ResourceDirectory whole(bytes.data(), bytes.size());
  // Every cut point: the reader must never look past the end (checked under
  // the sanitizers) and must keep exactly the records that are complete.
  for (size_t cut = 0; cut < bytes.size(); cut += 7) {
    std::vector<unsigned char> part(bytes.begin(), bytes.begin() + cut);
    ResourceDirectory dir(part.data(), part.size());
    ASSERT_LE(dir.entries().size(), whole.entries().size());
    for (const auto& e : dir.entries()) ASSERT_LE(e.data + e.size, part.data() + part.size());
  }
  std::vector<unsigned char> part(bytes.begin(), bytes.begin() + bytes.size() - 4);  // the last record loses its one data byte
  ResourceDirectory dir(part.data(), part.size());
  EXPECT_FALSE(dir.intact());
  EXPECT_EQ(dir.entries().size(), whole.entries().size() - 1);
}

TEST(ResourceDirectory, ImpossibleSizesStopTheReader) {
  auto bytes = testResources();
  // The second record (the first resource) claims more data than there is.
  bytes[32] = bytes[33] = bytes[34] = bytes[35] = 0xFF;
  ResourceDirectory dir(bytes.data(), bytes.size());
  EXPECT_FALSE(dir.intact());
  EXPECT_TRUE(dir.entries().empty());

  const unsigned char headerTooSmall[] = {0, 0, 0, 0, 4, 0, 0, 0};
  EXPECT_FALSE(ResourceDirectory(headerTooSmall, sizeof headerTooSmall).intact());
  EXPECT_TRUE(ResourceDirectory(nullptr, 0).intact());
}

}  // namespace
