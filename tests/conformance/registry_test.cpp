// The registry functions against their documented Windows CE behaviour.
// Only the platform API is used below the fixture, so these tests are also
// built for desktop Win32 (platform_tests_win32, run under Wine).
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fixture.h"

namespace {

const WCHAR kTestKey[] = TEXT("Software\\CrestuneTest");

// Windows CE ignores the access asked for (programs pass 0); desktop Win32
// grants exactly what is asked.
#ifdef _WIN32
constexpr REGSAM kAccess = KEY_ALL_ACCESS;
#else
constexpr REGSAM kAccess = 0;
#endif

// A key and everything under it. RegDeleteKeyW does that by itself on
// Windows CE; on desktop Win32 it refuses a key that has subkeys.
LONG deleteTree(HKEY base, LPCWSTR sub) {
#ifdef _WIN32
  HKEY k = NULL;
  LONG rc = RegOpenKeyExW(base, sub, 0, kAccess, &k);
  if (rc != ERROR_SUCCESS) return rc;
  WCHAR name[256];
  DWORD chars = 256;
  while (RegEnumKeyExW(k, 0, name, &chars, NULL, NULL, NULL, NULL) == ERROR_SUCCESS) {
    if (deleteTree(k, name) != ERROR_SUCCESS) break;
    chars = 256;
  }
  RegCloseKey(k);
#endif
  return RegDeleteKeyW(base, sub);
}

class RegistryApi : public PlatformTest {
 protected:
  void SetUp() override {
    deleteTree(HKEY_CURRENT_USER, kTestKey);
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, NULL, 0, kAccess, NULL, &key_,
                                             &disposition));
    ASSERT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
  }
  void TearDown() override {
    if (key_) RegCloseKey(key_);
    deleteTree(HKEY_CURRENT_USER, kTestKey);
  }

  HKEY create(HKEY base, LPCWSTR sub, DWORD* disposition = NULL) {
    HKEY k = NULL;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(base, sub, 0, NULL, 0, kAccess, NULL, &k, disposition));
    return k;
  }
  LONG open(HKEY base, LPCWSTR sub, HKEY* k) { return RegOpenKeyExW(base, sub, 0, kAccess, k); }
  LONG set(HKEY k, LPCWSTR name, DWORD type, const std::vector<BYTE>& bytes) {
    return RegSetValueExW(k, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
  }
  // The value's type and bytes, asking for the size first.
  LONG get(HKEY k, LPCWSTR name, DWORD* type, std::vector<BYTE>* bytes) {
    DWORD size = 0;
    LONG rc = RegQueryValueExW(k, name, NULL, type, NULL, &size);
    if (rc != ERROR_SUCCESS) return rc;
    bytes->assign(size, 0xCC);
    rc = RegQueryValueExW(k, name, NULL, type, bytes->data(), &size);
    bytes->resize(size);
    return rc;
  }

  HKEY key_ = NULL;
};

std::vector<BYTE> bytesOf(const void* p, size_t n) {
  const BYTE* b = static_cast<const BYTE*>(p);
  return std::vector<BYTE>(b, b + n);
}

TEST_F(RegistryApi, MissingKeysAndValuesAnswerFileNotFound) {
  HKEY k = NULL;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, open(key_, TEXT("Nowhere"), &k));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, open(HKEY_CURRENT_USER, TEXT("Software\\CrestuneTest\\A\\B"), &k));
  DWORD size = 4;
  DWORD data = 0;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key_, TEXT("Missing"), NULL, NULL, (BYTE*)&data, &size));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key_, NULL, NULL, NULL, NULL, &size));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(key_, TEXT("Missing")));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(key_, TEXT("Missing")));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(key_, TEXT("Missing\\Deeper")));
}

TEST_F(RegistryApi, CreateMakesIntermediateKeysAndReportsDisposition) {
  DWORD disposition = 0;
  HKEY c = create(key_, TEXT("Alpha\\Beta\\Gamma"), &disposition);
  EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);

  HKEY b = NULL;
  ASSERT_EQ(ERROR_SUCCESS, open(key_, TEXT("Alpha\\Beta"), &b));
  EXPECT_NE(b, c);

  // Names match whatever their case; the existing key is opened, not made again.
  HKEY again = create(HKEY_CURRENT_USER, TEXT("SOFTWARE\\crestunetest\\ALPHA\\beta\\gamma"), &disposition);
  EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
  EXPECT_NE(again, c);  // each open gives its own handle

  // A value written through one handle is read through the other.
  DWORD v = 7;
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(c, TEXT("N"), 0, REG_DWORD, (const BYTE*)&v, 4));
  DWORD got = 0, size = 4;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(again, TEXT("n"), NULL, NULL, (BYTE*)&got, &size));
  EXPECT_EQ(7u, got);

  // The created name keeps its case in enumeration.
  WCHAR name[32];
  DWORD chars = 32;
  ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExW(b, 0, name, &chars, NULL, NULL, NULL, NULL));
  EXPECT_EQ(5u, chars);
  EXPECT_EQ(0, std::memcmp(name, TEXT("Gamma"), 6 * sizeof(WCHAR)));

  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(again));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(b));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(c));
}

TEST_F(RegistryApi, ValuesKeepExactBytesAndType) {
  const WCHAR path[] = TEXT("\\Windows\\wmplayer.exe");
  std::vector<BYTE> padded(2048, 0);
  std::memcpy(padded.data(), path, sizeof path);
  const BYTE unterminated[] = {'a', 0, 'b', 0, 'c'};  // odd size, no terminator
  const BYTE binary[] = {0, 1, 0, 0xFF, 0x80, 0};
  const WCHAR multi[] = TEXT("one\0two\0");
  const BYTE shortDword[] = {1, 2};
  struct Case {
    LPCWSTR name;
    DWORD type;
    std::vector<BYTE> bytes;
  } cases[] = {
      {TEXT("Padded"), REG_SZ, padded},
      {TEXT("Unterminated"), REG_SZ, bytesOf(unterminated, sizeof unterminated)},
      {TEXT("Binary"), REG_BINARY, bytesOf(binary, sizeof binary)},
      {TEXT("Multi"), REG_MULTI_SZ, bytesOf(multi, sizeof multi)},
      {TEXT("ShortDword"), REG_DWORD, bytesOf(shortDword, sizeof shortDword)},
      {TEXT("Empty"), REG_SZ, {}},
      {TEXT("OddType"), 0x1234, {9, 8, 7}},
  };
  for (const Case& c : cases) ASSERT_EQ(ERROR_SUCCESS, set(key_, c.name, c.type, c.bytes));
  for (const Case& c : cases) {
    DWORD type = 0xDEAD;
    std::vector<BYTE> bytes;
    ASSERT_EQ(ERROR_SUCCESS, get(key_, c.name, &type, &bytes));
    EXPECT_EQ(c.type, type);
    EXPECT_EQ(c.bytes, bytes);
  }

  // Writing again replaces type and size together.
  ASSERT_EQ(ERROR_SUCCESS, set(key_, TEXT("padded"), REG_BINARY, {1}));
  DWORD type = 0;
  std::vector<BYTE> bytes;
  ASSERT_EQ(ERROR_SUCCESS, get(key_, TEXT("Padded"), &type, &bytes));
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
  EXPECT_EQ(std::vector<BYTE>{1}, bytes);
}

TEST_F(RegistryApi, QueryReportsNeededSizeAndNeverWritesPastTheBuffer) {
  const BYTE data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key_, TEXT("Ten"), 0, REG_BINARY, data, sizeof data));

  // No buffer: the size (and type) alone.
  DWORD type = 0, size = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key_, TEXT("Ten"), NULL, &type, NULL, &size));
  EXPECT_EQ(10u, size);
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);

  // Too small: ERROR_MORE_DATA with the size needed, buffer untouched.
  BYTE buf[16];
  std::memset(buf, 0xCC, sizeof buf);
  size = 9;
  type = 0;
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key_, TEXT("Ten"), NULL, &type, buf, &size));
  EXPECT_EQ(10u, size);
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
  for (BYTE b : buf) EXPECT_EQ(0xCC, b);

  // Larger than needed: the bytes, the real size, nothing beyond them.
  size = sizeof buf;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key_, TEXT("Ten"), NULL, NULL, buf, &size));
  EXPECT_EQ(10u, size);
  EXPECT_EQ(0, std::memcmp(buf, data, 10));
  for (size_t i = 10; i < sizeof buf; ++i) EXPECT_EQ(0xCC, buf[i]);
}

TEST_F(RegistryApi, NullAndEmptyNameBothMeanTheDefaultValue) {
  const WCHAR text[] = TEXT("WMVFile");
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key_, NULL, 0, REG_SZ, (const BYTE*)text, sizeof text));
  WCHAR got[16] = {};
  DWORD size = sizeof got, type = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key_, TEXT(""), NULL, &type, (BYTE*)got, &size));
  EXPECT_EQ(sizeof text, size);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(0, std::memcmp(got, text, sizeof text));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(key_, TEXT("")));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key_, NULL, NULL, NULL, NULL, &size));
}

TEST_F(RegistryApi, DeleteKeyTakesSubkeysAndValuesAlong) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows CE only: desktop RegDeleteKeyW refuses a key with subkeys";
#endif
  HKEY deep = create(key_, TEXT("Top\\Middle\\Leaf"));
  DWORD v = 1;
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(deep, TEXT("V"), 0, REG_DWORD, (const BYTE*)&v, 4));
  RegCloseKey(deep);
  HKEY sibling = create(key_, TEXT("Sibling"));
  RegCloseKey(sibling);

  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(key_, TEXT("TOP")));
  HKEY k = NULL;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, open(key_, TEXT("Top"), &k));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, open(key_, TEXT("Top\\Middle\\Leaf"), &k));
  ASSERT_EQ(ERROR_SUCCESS, open(key_, TEXT("Sibling"), &k));
  RegCloseKey(k);

  // Made again, it starts empty.
  DWORD disposition = 0;
  HKEY fresh = create(key_, TEXT("Top\\Middle\\Leaf"), &disposition);
  EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
  DWORD size = 0;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(fresh, TEXT("V"), NULL, NULL, NULL, &size));
  RegCloseKey(fresh);
}

TEST_F(RegistryApi, HandleOfDeletedKeyAnswersKeyDeleted) {
  HKEY parent = create(key_, TEXT("Gone"));
  HKEY child = create(key_, TEXT("Gone\\Child"));
  ASSERT_EQ(ERROR_SUCCESS, deleteTree(key_, TEXT("Gone")));

  DWORD v = 1, size = 4;
  HKEY k = NULL;
  WCHAR name[16];
  DWORD chars = 16;
  for (HKEY h : {parent, child}) {
    EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExW(h, TEXT("V"), 0, REG_DWORD, (const BYTE*)&v, 4));
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExW(h, TEXT("V"), NULL, NULL, (BYTE*)&v, &size));
    EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteValueW(h, TEXT("V")));
    EXPECT_EQ(ERROR_KEY_DELETED, RegOpenKeyExW(h, NULL, 0, kAccess, &k));
    EXPECT_EQ(ERROR_KEY_DELETED, RegEnumKeyExW(h, 0, name, &chars, NULL, NULL, NULL, NULL));
  }
  // Creating the same path again does not revive the old handles.
  HKEY again = create(key_, TEXT("Gone\\Child"));
  EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExW(child, TEXT("V"), 0, REG_DWORD, (const BYTE*)&v, 4));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(again));

  // The handles still have to be closed, and close normally.
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(child));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(parent));
}

TEST_F(RegistryApi, ClosedOrUnknownHandlesAreInvalid) {
  HKEY k = create(key_, TEXT("Once"));
  ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(k));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(k));
  DWORD size = 0;
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExW(k, NULL, NULL, NULL, NULL, &size));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey((HKEY)(UINT_PTR)0x1234567));
  HKEY sub = NULL;
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExW((HKEY)(UINT_PTR)0x1234567, TEXT("X"), 0, 0, &sub));
}

TEST_F(RegistryApi, EnumerationListsEachSubkeyOnceThenStops) {
  const LPCWSTR names[] = {TEXT("Delta"), TEXT("alpha"), TEXT("Charlie"), TEXT("bravo")};
  for (LPCWSTR n : names) RegCloseKey(create(key_, n));
  HKEY grandchild = create(key_, TEXT("alpha\\Inner"));  // not a direct subkey
  RegCloseKey(grandchild);

  std::vector<WString> seen;
  WCHAR name[64];
  DWORD index = 0;
  for (;; ++index) {
    DWORD chars = 64;
    LONG rc = RegEnumKeyExW(key_, index, name, &chars, NULL, NULL, NULL, NULL);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(ERROR_SUCCESS, rc);
    ASSERT_EQ(0, name[chars]);
    seen.emplace_back(name, chars);
  }
  EXPECT_EQ(4u, index);
  for (LPCWSTR n : names) EXPECT_EQ(1, std::count(seen.begin(), seen.end(), WString(n)));

  // A name buffer without room for the terminator is left as it was.
  WCHAR small[5];
  std::memset(small, 0xCC, sizeof small);
  for (index = 0; index < 4; ++index) {
    DWORD chars = 5;  // every name here has five characters or more
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExW(key_, index, small, &chars, NULL, NULL, NULL, NULL));
  }
  for (size_t i = 0; i < sizeof small; ++i) EXPECT_EQ(0xCC, ((BYTE*)small)[i]);
}

// Beyond a limit of keys RegCreateKeyExW makes nothing: Windows CE answers
// ERROR_INVALID_PARAMETER; desktop Win32 documents the limits, not the error.
void expectRefused(LONG rc) {
#ifdef _WIN32
  EXPECT_NE(ERROR_SUCCESS, rc);
#else
  EXPECT_EQ(ERROR_INVALID_PARAMETER, rc);
#endif
}

// A key name has at most 255 characters on both platforms.
TEST_F(RegistryApi, KeyNamesHaveAtMost255Characters) {
  const WString longest(255, static_cast<WCHAR>('k')), tooLong(256, static_cast<WCHAR>('k'));
  HKEY k = create(key_, longest.c_str());
  RegCloseKey(k);
  ASSERT_EQ(ERROR_SUCCESS, open(key_, longest.c_str(), &k));
  RegCloseKey(k);
#ifdef _WIN32
  GTEST_SKIP() << "Wine makes keys with names of more than 255 characters";
#endif
  const WString below = WString(TEXT("Made\\")) + tooLong;
  for (const WString& path : {tooLong, below, longest + TEXT("\\") + tooLong}) {
    k = NULL;
    expectRefused(RegCreateKeyExW(key_, path.c_str(), 0, NULL, 0, kAccess, NULL, &k, NULL));
    EXPECT_TRUE(k == NULL);
  }
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, open(key_, TEXT("Made"), &k));
}

// "n\\n\\...": `levels` key names.
WString levels(int n) {
  WString path;
  for (int i = 0; i < n; ++i) path += i ? TEXT("\\n") : TEXT("n");
  return path;
}

// Windows CE nests keys at most 16 levels below a root; desktop Win32
// documents a tree 512 levels deep. One level more is refused.
TEST_F(RegistryApi, KeysNestAsDeepAsThePlatformAllows) {
#ifdef _WIN32
  const int deepest = 512;
#else
  const int deepest = 16;
#endif
  // key_ is two levels below its root; a call makes at most 30 levels here,
  // within the 32 desktop Win32 makes in one call.
  HKEY k = NULL;
  ASSERT_EQ(ERROR_SUCCESS, open(key_, NULL, &k));
  for (int depth = 2; depth < deepest;) {
    const int step = std::min(30, deepest - depth);
    HKEY next = create(k, levels(step).c_str());
    RegCloseKey(k);
    ASSERT_NE(static_cast<HKEY>(NULL), next) << "at depth " << depth;
    k = next;
    depth += step;
  }
#ifdef _WIN32
  RegCloseKey(k);
  GTEST_SKIP() << "Wine makes keys deeper than 512 levels";
#endif
  HKEY below = NULL;
  expectRefused(RegCreateKeyExW(k, TEXT("n"), 0, NULL, 0, kAccess, NULL, &below, NULL));
  expectRefused(RegCreateKeyExW(key_, levels(deepest - 1).c_str(), 0, NULL, 0, kAccess, NULL, &below, NULL));
  EXPECT_TRUE(below == NULL);
  WCHAR name[8];
  DWORD chars = 8;
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExW(k, 0, name, &chars, NULL, NULL, NULL, NULL));
  RegCloseKey(k);
}

}  // namespace
