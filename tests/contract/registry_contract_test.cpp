// What callers rely on from the registry, asserted alike on the in-memory
// registry and on the real one (under Wine), inside a sandbox key.
#include <algorithm>
#include <string>
#include <vector>

#include "contract/backend.h"
#include "platform/text.h"

namespace tw::contract {
namespace {

class RegistryContract : public ContractTest {
 protected:
  void SetUp() override {
    ContractTest::SetUp();
    ASSERT_EQ(Reg().OpenKey(kHkeyCurrentUser, Sandbox(), kKeyAllAccess, &m_sandbox), 0);
  }
  void TearDown() override {
    if (m_sandbox) Reg().CloseKey(m_sandbox);
    m_sandbox = 0;
    ContractTest::TearDown();
  }
  // Creates sandbox\path and closes it again.
  void Create(const std::string& path) {
    RegKey k = 0;
    ASSERT_EQ(Reg().CreateKey(m_sandbox, path, &k), 0) << path;
    Reg().CloseKey(k);
  }
  bool Exists(const std::string& path) {
    RegKey k = 0;
    if (Reg().OpenKey(m_sandbox, path, kKeyRead, &k) != 0) return false;
    Reg().CloseKey(k);
    return true;
  }
  // Subkey names by index from 0 until the first failure, as callers walk.
  std::vector<std::string> Subkeys(RegKey key, long* last = nullptr) {
    std::vector<std::string> names;
    for (std::uint32_t i = 0;; ++i) {
      std::string name;
      const long rc = Reg().EnumKey(key, i, &name, kBufferSize);
      if (rc != 0) {
        if (last) *last = rc;
        break;
      }
      names.push_back(name);
    }
    return names;
  }
  std::vector<std::string> ValueNames(RegKey key) {
    std::vector<std::string> names;
    for (std::uint32_t i = 0;; ++i) {
      std::string name;
      std::uint32_t type = 0;
      std::vector<std::uint8_t> data;
      if (Reg().EnumValue(key, i, &name, &type, &data, kBufferSize, kBufferSize) != 0) break;
      names.push_back(name);
    }
    return names;
  }
  long SetBinary(RegKey key, const std::string& name, std::size_t size) {
    std::vector<std::uint8_t> bytes(size, 0xAB);
    return Reg().SetValue(key, name, kRegBinary, bytes.data(), bytes.size());
  }

  RegKey m_sandbox = 0;
};

TEST_F(RegistryContract, MissingKeysAndValuesArePlainNo) {
  RegKey k = 0;
  EXPECT_EQ(Reg().OpenKey(m_sandbox, "missing", kKeyRead, &k), kErrorFileNotFound);
  EXPECT_EQ(Reg().OpenKey(m_sandbox, "missing\\deeper", kKeyRead, &k), kErrorFileNotFound);
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  EXPECT_EQ(Reg().QueryValue(m_sandbox, "missing", &type, &data, kBufferSize), kErrorFileNotFound);
  EXPECT_EQ(Reg().QueryValue(m_sandbox, "", &type, &data, kBufferSize), kErrorFileNotFound);
  EXPECT_NE(Reg().DeleteValue(m_sandbox, "missing"), 0);
  EXPECT_NE(Reg().DeleteKey(m_sandbox, "missing"), 0);
  std::string text;
  EXPECT_FALSE(RegReadString(Reg(), m_sandbox, "missing", &text));
}

TEST_F(RegistryContract, KeyPathsIgnoreCase) {
  Create("Alpha\\Beta\\Gamma");
  struct Case {
    const char* path;
    bool found;
  } cases[] = {
      {"alpha\\beta\\gamma", true}, {"ALPHA\\BETA", true}, {"Alpha\\Beta\\Gamma\\", true},
      {"Alpha\\\\Beta", true},      {"Alpha\\Bet", false}, {"Alpha\\Beta\\Gamma\\x", false},
  };
  for (const Case& c : cases) EXPECT_EQ(Exists(c.path), c.found) << c.path << "\n" << Dump();
  // The first spelling stays.
  RegKey k = 0;
  ASSERT_EQ(Reg().CreateKey(m_sandbox, "ALPHA\\BETA", &k), 0);
  CRegKeyGuard guard(Reg(), k);
  EXPECT_EQ(Subkeys(k), std::vector<std::string>{"Gamma"});
  RegKey alpha = 0;
  ASSERT_EQ(Reg().OpenKey(m_sandbox, "alpha", kKeyRead, &alpha), 0);
  CRegKeyGuard alphaGuard(Reg(), alpha);
  EXPECT_EQ(Subkeys(alpha), std::vector<std::string>{"Beta"});
}

TEST_F(RegistryContract, AKeyPathMayNotStartWithABackslash) {
  Create("Alpha");
  RegKey k = 0;
  EXPECT_NE(Reg().OpenKey(m_sandbox, "\\Alpha", kKeyRead, &k), 0);
  if (k) Reg().CloseKey(k);
}

TEST_F(RegistryContract, EnumerationIsSortedStableAndShiftsAfterDeletion) {
  // Sorted without regard to case (where "_" goes differs between Windows
  // and Wine, so no such name here).
  for (const char* name : {"b", "A", "c", "Ab", "a1"}) Create(name);
  long last = 0;
  const std::vector<std::string> expected = {"A", "a1", "Ab", "b", "c"};
  EXPECT_EQ(Subkeys(m_sandbox, &last), expected) << Dump();
  EXPECT_EQ(last, kErrorNoMoreItems);
  EXPECT_EQ(Subkeys(m_sandbox), expected);  // stable while nothing changes
  // Deleting index 0 until nothing is left visits every key once.
  std::vector<std::string> deleted;
  for (int guard = 0; guard < 10; ++guard) {
    std::string name;
    if (Reg().EnumKey(m_sandbox, 0, &name, kBufferSize) != 0) break;
    ASSERT_EQ(Reg().DeleteKey(m_sandbox, name), 0) << name;
    deleted.push_back(name);
  }
  EXPECT_EQ(deleted, expected);
}

TEST_F(RegistryContract, ValuesEnumerateStablyAndShiftAfterDeletion) {
  for (const char* name : {"zeta", "Alpha", "", "mid"}) {
    ASSERT_EQ(RegWriteString(Reg(), m_sandbox, name, std::string("v_") + name), 0);
  }
  const std::vector<std::string> first = ValueNames(m_sandbox);
  ASSERT_EQ(first.size(), 4u);
  EXPECT_EQ(ValueNames(m_sandbox), first);
  std::vector<std::string> sorted = first, expected = {"", "Alpha", "mid", "zeta"};
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, expected);
  ASSERT_EQ(Reg().DeleteValue(m_sandbox, first[0]), 0);
  std::string name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  ASSERT_EQ(Reg().EnumValue(m_sandbox, 0, &name, &type, &data, kBufferSize, kBufferSize), 0);
  EXPECT_EQ(name, first[1]);
  EXPECT_EQ(Reg().EnumValue(m_sandbox, 3, &name, &type, &data, kBufferSize, kBufferSize),
            kErrorNoMoreItems);
}

TEST_F(RegistryContract, EmptyNameIsTheDefaultValue) {
  ASSERT_EQ(RegWriteString(Reg(), m_sandbox, "", "default text"), 0);
  std::string text;
  ASSERT_TRUE(RegReadString(Reg(), m_sandbox, "", &text));
  EXPECT_EQ(text, "default text");
  std::string name = "not touched";
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  ASSERT_EQ(Reg().EnumValue(m_sandbox, 0, &name, &type, &data, kBufferSize, kBufferSize), 0);
  EXPECT_EQ(name, "");
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(std::string(data.begin(), data.end()), std::string("default text", 13));
  ASSERT_EQ(Reg().DeleteValue(m_sandbox, ""), 0);
  EXPECT_FALSE(RegReadString(Reg(), m_sandbox, "", &text));
}

TEST_F(RegistryContract, ValueNamesIgnoreCaseAndKeepTheirFirstSpelling) {
  ASSERT_EQ(RegWriteDword(Reg(), m_sandbox, "Times", 7), 0);
  ASSERT_EQ(RegWriteDword(Reg(), m_sandbox, "TIMES", 8), 0);
  std::uint32_t v = 0;
  ASSERT_TRUE(RegReadDword(Reg(), m_sandbox, "times", &v));
  EXPECT_EQ(v, 8u);
  EXPECT_EQ(ValueNames(m_sandbox), std::vector<std::string>{"Times"});
  EXPECT_EQ(Reg().DeleteValue(m_sandbox, "TIMES"), 0);
  // A text written without its zero gets one.
  ASSERT_EQ(Reg().SetValue(m_sandbox, "NoZero", kRegSz, "abc", 3), 0);
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  ASSERT_EQ(Reg().QueryValue(m_sandbox, "NoZero", &type, &data, kBufferSize), 0);
  EXPECT_EQ(std::string(data.begin(), data.end()), std::string("abc", 4));
  ASSERT_EQ(Reg().SetValue(m_sandbox, "Bytes", kRegBinary, "abc", 3), 0);
  ASSERT_EQ(Reg().QueryValue(m_sandbox, "Bytes", &type, &data, kBufferSize), 0);
  EXPECT_EQ(data.size(), 3u);
  // A text is no number, and a number no text.
  ASSERT_EQ(RegWriteString(Reg(), m_sandbox, "Text", "7"), 0);
  EXPECT_FALSE(RegReadDword(Reg(), m_sandbox, "Text", &v));
  std::string text;
  EXPECT_FALSE(RegReadString(Reg(), m_sandbox, "Times", &text));
}

// Names and data that do not fit the caller's buffer fail that step only.
TEST_F(RegistryContract, BufferSizesAsTheSystemApplies) {
  const std::string name259(259, 'n'), name260(260, 'm');
  ASSERT_EQ(SetBinary(m_sandbox, name259, 1), 0);
  ASSERT_EQ(SetBinary(m_sandbox, name260, 1), 0);
  ASSERT_EQ(SetBinary(m_sandbox, "data260", 260), 0);
  ASSERT_EQ(SetBinary(m_sandbox, "data261", 261), 0);
  ASSERT_EQ(RegWriteString(Reg(), m_sandbox, "text259", std::string(259, 't')), 0);
  ASSERT_EQ(RegWriteString(Reg(), m_sandbox, "text260", std::string(260, 't')), 0);

  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  EXPECT_EQ(Reg().QueryValue(m_sandbox, "data260", &type, &data, kBufferSize), 0);
  EXPECT_EQ(data.size(), 260u);
  EXPECT_EQ(Reg().QueryValue(m_sandbox, "data261", &type, &data, kBufferSize), kErrorMoreData);
  EXPECT_EQ(Reg().QueryValue(m_sandbox, "data261", &type, &data, kUnlimited), 0);
  EXPECT_EQ(data.size(), 261u);
  std::string text;
  EXPECT_TRUE(RegReadString(Reg(), m_sandbox, "text259", &text));
  EXPECT_EQ(text.size(), 259u);
  EXPECT_FALSE(RegReadString(Reg(), m_sandbox, "text260", &text));
  EXPECT_TRUE(RegReadString(Reg(), m_sandbox, "text260", &text, kUnlimited));
  EXPECT_EQ(text.size(), 260u);

  // Walk the values with 260-byte buffers: the ones that do not fit fail
  // their step with kErrorMoreData, the walk goes on.
  std::vector<std::string> fitted;
  int tooBig = 0;
  for (std::uint32_t i = 0;; ++i) {
    std::string name;
    const long rc = Reg().EnumValue(m_sandbox, i, &name, &type, &data, kBufferSize, kBufferSize);
    if (rc == kErrorNoMoreItems) break;
    if (rc == kErrorMoreData) {
      ++tooBig;
      continue;
    }
    ASSERT_EQ(rc, 0);
    fitted.push_back(name.size() > 10 ? "n*" + std::to_string(name.size()) : name);
  }
  std::sort(fitted.begin(), fitted.end());
  EXPECT_EQ(fitted, (std::vector<std::string>{"data260", "n*259", "text259"}));
  EXPECT_EQ(tooBig, 3);  // name260, data261, text260

  // Unlimited buffers grow until the data fits.
  ASSERT_EQ(SetBinary(m_sandbox, "big", 20000), 0);
  ASSERT_EQ(RegWriteString(Reg(), m_sandbox, "bigtext", std::string(9000, 'q')), 0);
  EXPECT_EQ(Reg().QueryValue(m_sandbox, "big", &type, &data, kUnlimited), 0);
  EXPECT_EQ(data.size(), 20000u);
  EXPECT_TRUE(RegReadString(Reg(), m_sandbox, "bigtext", &text, kUnlimited));
  EXPECT_EQ(text.size(), 9000u);
  std::size_t bigSeen = 0;
  for (std::uint32_t i = 0;; ++i) {
    std::string name;
    if (Reg().EnumValue(m_sandbox, i, &name, &type, &data, kUnlimited, kUnlimited) != 0) break;
    if (name == "big") bigSeen = data.size();
  }
  EXPECT_EQ(bigSeen, 20000u);

  // Key names: a name of nameBuf bytes or more does not fit.
  Create("abcd");
  Create("abcde");
  std::string name;
  EXPECT_EQ(Reg().EnumKey(m_sandbox, 0, &name, 5), 0);
  EXPECT_EQ(name, "abcd");
  EXPECT_EQ(Reg().EnumKey(m_sandbox, 1, &name, 5), kErrorMoreData);
  EXPECT_EQ(Reg().EnumKey(m_sandbox, 1, &name, kUnlimited), 0);
  EXPECT_EQ(name, "abcde");
}

// RegQueryValueA: a subkey's default value as text.
TEST_F(RegistryContract, SubkeyDefaultText) {
  Create("WithDefault");
  Create("WithoutDefault");
  RegKey k = 0;
  ASSERT_EQ(Reg().OpenKey(m_sandbox, "WithDefault", kKeyAllAccess, &k), 0);
  ASSERT_EQ(RegWriteString(Reg(), k, "", "C:\\x.dll"), 0);
  Reg().CloseKey(k);
  std::string text = "unchanged";
  EXPECT_TRUE(RegReadSubkeyDefault(Reg(), m_sandbox, "withdefault", &text));
  EXPECT_EQ(text, "C:\\x.dll");
  EXPECT_TRUE(RegReadSubkeyDefault(Reg(), m_sandbox, "WithoutDefault", &text));
  EXPECT_EQ(text, "");
  EXPECT_FALSE(RegReadSubkeyDefault(Reg(), m_sandbox, "Missing", &text));
  EXPECT_TRUE(RegReadSubkeyDefault(Reg(), m_sandbox, "", &text));  // the key itself
}

// The uninstall page's watcher: a change anywhere below the key wakes it.
TEST_F(RegistryContract, WatchHearsChangesBelowTheKey) {
  Create("Watched\\Entry");
  RegKey k = 0;
  ASSERT_EQ(Reg().OpenKey(m_sandbox, "Watched", kKeyNotify | kKeyRead, &k), 0);
  long error = -1;
  auto watch = Reg().WatchKey(k, &error);
  Reg().CloseKey(k);  // the watch keeps its own handle
  ASSERT_TRUE(watch) << error;
  EXPECT_FALSE(watch->Wait(0));
  RegKey entry = 0;
  ASSERT_EQ(Reg().OpenKey(m_sandbox, "Watched\\Entry", kKeyAllAccess, &entry), 0);
  ASSERT_EQ(RegWriteString(Reg(), entry, "DisplayName", "x"), 0);
  Reg().CloseKey(entry);
  EXPECT_TRUE(watch->Wait(2000));
  EXPECT_FALSE(watch->Wait(50));  // reported once
  ASSERT_EQ(Reg().DeleteKey(m_sandbox, "Watched\\Entry"), 0);
  EXPECT_TRUE(watch->Wait(2000));
  // A change elsewhere is not heard.
  Create("Elsewhere");
  EXPECT_FALSE(watch->Wait(100));
}

TEST_F(RegistryContract, DeletingAKeyWithSubkeysFails) {
  Create("Parent\\Child");
  EXPECT_NE(Reg().DeleteKey(m_sandbox, "Parent"), 0);
  EXPECT_TRUE(Exists("Parent\\Child"));
  EXPECT_EQ(Reg().DeleteKey(m_sandbox, "PARENT\\child"), 0);
  EXPECT_EQ(Reg().DeleteKey(m_sandbox, "Parent"), 0);
  EXPECT_FALSE(Exists("Parent"));
}

TEST_F(RegistryContract, AccessIsCheckedPerHandle) {
  Create("Locked");
  RegKey read = 0;
  ASSERT_EQ(Reg().OpenKey(m_sandbox, "Locked", kKeyRead, &read), 0);
  CRegKeyGuard guard(Reg(), read);
  EXPECT_EQ(RegWriteString(Reg(), read, "x", "y"), kErrorAccessDenied);
  EXPECT_EQ(Reg().DeleteValue(read, "x"), kErrorAccessDenied);
  RegKey query = 0;
  ASSERT_EQ(Reg().OpenKey(m_sandbox, "Locked", kKeyQueryValue, &query), 0);
  CRegKeyGuard queryGuard(Reg(), query);
  std::string name;
  EXPECT_EQ(Reg().EnumKey(query, 0, &name, kBufferSize), kErrorAccessDenied);
  RegKey all = 0;
  ASSERT_EQ(Reg().OpenKey(m_sandbox, "Locked", kKeyAllAccess, &all), 0);
  CRegKeyGuard allGuard(Reg(), all);
  EXPECT_EQ(RegWriteString(Reg(), all, "x", "y"), 0);
}

TEST_F(RegistryContract, KeyInfoCounts) {
  Create("one");
  Create("three");
  ASSERT_EQ(RegWriteString(Reg(), m_sandbox, "abc", "12345"), 0);
  ASSERT_EQ(RegWriteDword(Reg(), m_sandbox, "n", 1), 0);
  RegKeyInfo info;
  ASSERT_EQ(Reg().QueryKeyInfo(m_sandbox, &info), 0);
  EXPECT_EQ(info.subKeys, 2u);
  EXPECT_EQ(info.values, 2u);
  EXPECT_EQ(info.maxSubKeyLen, 5u);
  EXPECT_EQ(info.maxValueNameLen, 3u);
  EXPECT_GE(info.maxValueLen, 6u);
}

TEST_F(RegistryContract, DeletedKeyHandleStopsWorking) {
  Create("Gone");
  RegKey k = 0;
  ASSERT_EQ(Reg().OpenKey(m_sandbox, "Gone", kKeyAllAccess, &k), 0);
  CRegKeyGuard guard(Reg(), k);
  ASSERT_EQ(Reg().DeleteKey(m_sandbox, "Gone"), 0);
  EXPECT_NE(RegWriteString(Reg(), k, "x", "y"), 0);
  EXPECT_FALSE(Exists("Gone"));
}

// Double-byte names whose trail byte is "\" or an ASCII letter: the key path
// must not split inside a character, and names differing only in a trail
// byte's case are different names.
TEST_F(RegistryContract, DoubleByteNamesWithBackslashAndLetterTrailBytes) {
  // The test prefix always runs with 936: a skip here would hide the case.
  ASSERT_EQ(GetAnsiCodePage(), 936u) << "the tests run with the ANSI code page 936";
  const std::string table = "\xB1\x5C";  // trail byte 0x5C
  const std::string other = "\x95\x5C";  // trail byte 0x5C
  const std::string upper = "\x83\x41";  // trail byte "A"
  const std::string lower = "\x83\x61";  // trail byte "a"
  Create(table + "\\" + other);
  Create(upper);
  Create(lower);
  EXPECT_TRUE(Exists(table + "\\" + other)) << Dump();
  EXPECT_FALSE(Exists("\xB1"));
  std::vector<std::string> names = Subkeys(m_sandbox);
  std::sort(names.begin(), names.end());
  std::vector<std::string> expected = {table, upper, lower};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected) << Dump();
  RegKey k = 0;
  ASSERT_EQ(Reg().OpenKey(m_sandbox, table, kKeyAllAccess, &k), 0);
  CRegKeyGuard guard(Reg(), k);
  EXPECT_EQ(Subkeys(k), std::vector<std::string>{other});
  ASSERT_EQ(RegWriteString(Reg(), k, upper + "\\" + table, table + "\\"), 0);
  std::string text;
  ASSERT_TRUE(RegReadString(Reg(), k, upper + "\\" + table, &text));
  EXPECT_EQ(text, table + "\\");
  EXPECT_FALSE(RegReadString(Reg(), k, lower + "\\" + table, &text));
  EXPECT_EQ(ValueNames(k), std::vector<std::string>{upper + "\\" + table});
}

// A key made in the 32-bit view lives where RegViewPath says the 64-bit view
// holds it, is seen there by its path, and goes again in its view.
TEST_F(RegistryContract, ThirtyTwoBitViewKeepsKeysWhereThe64BitViewNamesThem) {
  const std::string run = Sandbox().substr(FindLastChar(Sandbox(), '\\') + 1);
  struct Case {
    RegKey root;
    std::string path;      // as the 32-bit view names it
    std::string stored;    // where the 64-bit view holds it
    std::string cleanUp;   // an emptied parent to remove afterwards ("" for none)
  } cases[] = {
      {kHkeyLocalMachine, "Software\\TidewellTest\\" + run, "Software\\Wow6432Node\\TidewellTest\\" + run,
       "Software\\Wow6432Node\\TidewellTest"},
      {kHkeyClassesRoot, "CLSID\\TidewellTest-" + run, "Software\\Classes\\Wow6432Node\\CLSID\\TidewellTest-" + run, ""},
      {kHkeyCurrentUser, Sandbox() + "\\Shared", Sandbox() + "\\Shared", ""},
  };
  for (const Case& c : cases) {
    const RegKey storedRoot = c.root == kHkeyClassesRoot ? kHkeyLocalMachine : c.root;
    EXPECT_EQ(RegViewPath(c.root, c.path, RegView::k32), c.root == kHkeyClassesRoot
                                                            ? "Wow6432Node\\" + c.path
                                                            : c.stored);
    RegKey k = 0;
    ASSERT_EQ(Reg().CreateKey(c.root, c.path, &k, RegView::k32), 0) << c.path;
    EXPECT_EQ(RegWriteString(Reg(), k, "v", "32"), 0);
    Reg().CloseKey(k);
    RegKey seen = 0;
    EXPECT_EQ(Reg().OpenKey(storedRoot, c.stored, kKeyRead, &seen), 0) << c.stored << "\n" << Dump();
    if (seen) Reg().CloseKey(seen);
    if (c.stored != c.path) {
      EXPECT_EQ(Reg().OpenKey(c.root, c.path, kKeyRead, &seen), kErrorFileNotFound) << c.path;
      EXPECT_EQ(Reg().OpenKey(c.root, c.path, kKeyRead, &seen, RegView::k64), kErrorFileNotFound);
    }
    EXPECT_EQ(Reg().DeleteKey(c.root, c.path, RegView::k32), 0) << c.path;
    EXPECT_EQ(Reg().OpenKey(storedRoot, c.stored, kKeyRead, &seen), kErrorFileNotFound) << c.stored;
    if (!c.cleanUp.empty()) Reg().DeleteKey(storedRoot, c.cleanUp);
  }
}

}  // namespace
}  // namespace tw::contract

namespace tw::contract {
namespace {

// Windows lays the user's Software\Classes over the machine's in the classes
// root; Wine 8 shows the machine's alone. The memory backend does as Windows
// does, so that the cleaner's handling of a user's copy of a class can be
// tried natively; callers that must not depend on either read each half by
// its own path.
TEST_F(RegistryContract, ClassesRootMergesTheUserClassesOnWindowsOnly) {
  const bool merges = std::string(m_backend->Name()) == "memory";
  const std::string run = Sandbox().substr(FindLastChar(Sandbox(), '\\') + 1);
  const std::string name = "TidewellTest-" + run;
  const std::string userOnly = name + "-user";
  auto seed = [&](RegKey root, const std::string& path, const char* who) {
    RegKey k = 0;
    ASSERT_EQ(Reg().CreateKey(root, path, &k), 0) << path;
    EXPECT_EQ(RegWriteString(Reg(), k, "who", who), 0);
    Reg().CloseKey(k);
  };
  seed(kHkeyLocalMachine, "Software\\Classes\\" + name + "\\M", "machine");
  seed(kHkeyLocalMachine, "Software\\Classes\\" + name, "machine");
  seed(kHkeyCurrentUser, "Software\\Classes\\" + name + "\\U", "user");
  seed(kHkeyCurrentUser, "Software\\Classes\\" + name, "user");
  seed(kHkeyCurrentUser, "Software\\Classes\\" + userOnly, "user");

  RegKey k = 0;
  ASSERT_EQ(Reg().OpenKey(kHkeyClassesRoot, name, kKeyRead, &k), 0);
  std::string who;
  EXPECT_TRUE(RegReadString(Reg(), k, "who", &who));
  EXPECT_EQ(who, merges ? "user" : "machine");
  const std::vector<std::string> halves =
      merges ? std::vector<std::string>{"M", "U"} : std::vector<std::string>{"M"};
  EXPECT_EQ(Subkeys(k), halves) << Dump();
  Reg().CloseKey(k);
  k = 0;
  EXPECT_EQ(Reg().OpenKey(kHkeyClassesRoot, userOnly, kKeyRead, &k),
            merges ? kErrorSuccess : kErrorFileNotFound);
  if (k) Reg().CloseKey(k);

  for (RegKey root : {kHkeyLocalMachine, kHkeyCurrentUser}) {
    Reg().DeleteKey(root, "Software\\Classes\\" + name + (root == kHkeyCurrentUser ? "\\U" : "\\M"));
    EXPECT_EQ(Reg().DeleteKey(root, "Software\\Classes\\" + name), 0);
  }
  EXPECT_EQ(Reg().DeleteKey(kHkeyCurrentUser, "Software\\Classes\\" + userOnly), 0);
}

}  // namespace
}  // namespace tw::contract
