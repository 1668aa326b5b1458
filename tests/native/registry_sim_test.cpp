// The simulated registry behaves as Windows does where the product relies on
// it: names without regard to case, enumeration orders, buffer-size rules,
// error codes, volatile keys, deletion, byte-exact data and handle counting.
#include <cstring>
#include <string>
#include <vector>

#include "sim_fixture.h"

namespace {

const char kProduct[] = "SOFTWARE\\Velmora Software\\Corvane\\1.5";

class RegistrySimTest : public SimTest {
 protected:
  HKEY Open(const char* path, REGSAM access = KEY_READ, HKEY root = HKEY_LOCAL_MACHINE) {
    HKEY key = reinterpret_cast<HKEY>(0xdeadbeef);
    EXPECT_EQ(RegOpenKeyExA(root, path, 0, access, &key), ERROR_SUCCESS) << path;
    return key;
  }
  HKEY Create(HKEY parent, const char* path, DWORD options, LONG expected = ERROR_SUCCESS,
              DWORD* disposition = nullptr) {
    HKEY key = reinterpret_cast<HKEY>(0xdeadbeef);
    EXPECT_EQ(RegCreateKeyExA(parent, path, 0, nullptr, options, KEY_ALL_ACCESS, nullptr, &key,
                              disposition),
              expected)
        << path;
    return key;
  }
  std::vector<std::string> EnumKeys(HKEY key) {
    std::vector<std::string> names;
    char name[MAX_PATH];
    for (DWORD i = 0;; ++i) {
      DWORD size = sizeof name;
      LONG result = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
      if (result != ERROR_SUCCESS) {
        EXPECT_EQ(result, ERROR_NO_MORE_ITEMS);
        break;
      }
      EXPECT_EQ(size, std::strlen(name));
      names.push_back(name);
    }
    return names;
  }
};

TEST_F(RegistrySimTest, NamesMatchWithoutRegardToCaseAndKeepTheirCreatedCase) {
  sim::SetValue(HKEY_LOCAL_MACHINE, kProduct, "InstallationDirectory", REG_SZ, "C:\\Corvane\\");
  HKEY key = Open("software\\VELMORA software\\corvane\\1.5");
  char data[64];
  DWORD type = 0, size = sizeof data;
  EXPECT_EQ(RegQueryValueExA(key, "installationdirectory", nullptr, &type, reinterpret_cast<BYTE*>(data),
                             &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 12u);
  EXPECT_STREQ(data, "C:\\Corvane\\");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  // Setting through another case keeps the first name; creating reuses the key.
  sim::SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\velmora software\\CORVANE\\1.5", "INSTALLATIONDIRECTORY", 7);
  EXPECT_EQ(sim::ValueNames(HKEY_LOCAL_MACHINE, kProduct),
            std::vector<std::string>{"InstallationDirectory"});
  EXPECT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, "Software\\Velmora Software"),
            std::vector<std::string>{"Corvane"});
  EXPECT_EQ(sim::Subkeys(HKEY_LOCAL_MACHINE, ""),
            (std::vector<std::string>{"HARDWARE", "SAM", "SECURITY", "SOFTWARE", "SYSTEM"}));
  EXPECT_EQ(sim::OpenHandles(), 0);
}

TEST_F(RegistrySimTest, SubkeysEnumerateSortedOnUpperCaseNamesAndValuesInCreationOrder) {
  const char* created[] = {"beta", "Alpha", "_under", "Zulu", "alphabet", "1st"};
  for (const char* name : created) sim::CreateKey(HKEY_LOCAL_MACHINE, std::string("SOFTWARE\\T\\") + name);
  sim::SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "zeta", REG_SZ, "1");
  sim::SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "Alpha", REG_SZ, "2");
  sim::SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "", REG_SZ, "default");
  sim::SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "ZETA", REG_SZ, "replaced, same place");

  HKEY key = Open("SOFTWARE\\T");
  // '_' (0x5F) sorts after 'Z' once letters are upper-cased.
  EXPECT_EQ(EnumKeys(key),
            (std::vector<std::string>{"1st", "Alpha", "alphabet", "beta", "Zulu", "_under"}));
  std::vector<std::string> values;
  char name[MAX_PATH];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    LONG result = RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(result, ERROR_SUCCESS);
    values.push_back(name);
  }
  EXPECT_EQ(values, (std::vector<std::string>{"zeta", "Alpha", ""}));
  EXPECT_EQ(sim::GetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "zeta"), "replaced, same place");
  RegCloseKey(key);
  EXPECT_EQ(sim::OpenHandles(), 0);
}

TEST_F(RegistrySimTest, EnumKeyNameBufferCountsCharactersWithoutTheNul) {
  sim::CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\T\\Four");
  HKEY key = Open("SOFTWARE\\T");
  char name[16];
  std::memset(name, 'x', sizeof name);
  DWORD size = 4;  // "Four" needs 5 with its NUL
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(name[0], 'x');
  size = 5;
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
  EXPECT_STREQ(name, "Four");
  EXPECT_EQ(name[5], 'x');
  size = sizeof name;
  EXPECT_EQ(RegEnumKeyExA(key, 1, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegEnumKeyExA(key, 0, nullptr, &size, nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST_F(RegistrySimTest, EnumValueReportsTypeAndSizeButWritesNothingWhenEitherBufferIsShort) {
  sim::SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "Test", REG_SZ, "foobar");
  HKEY key = Open("SOFTWARE\\T");
  char name[20], data[20];
  DWORD nameSize, dataSize, type;
  auto reset = [&](DWORD n, DWORD d) {
    std::strcpy(name, "xxxxxxxxxx");
    std::strcpy(data, "xxxxxxxxxx");
    nameSize = n;
    dataSize = d;
    type = 1234;
  };
  auto call = [&] {
    return RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
  };

  reset(4, 20);  // name does not fit
  EXPECT_EQ(call(), ERROR_MORE_DATA);
  EXPECT_EQ(nameSize, 4u);
  EXPECT_EQ(dataSize, 7u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_STREQ(name, "xxxxxxxxxx");
  EXPECT_STREQ(data, "xxxxxxxxxx");

  reset(20, 6);  // data does not fit
  EXPECT_EQ(call(), ERROR_MORE_DATA);
  EXPECT_EQ(nameSize, 20u);
  EXPECT_EQ(dataSize, 7u);
  EXPECT_STREQ(name, "xxxxxxxxxx");
  EXPECT_STREQ(data, "xxxxxxxxxx");

  reset(5, 7);  // both exactly
  EXPECT_EQ(call(), ERROR_SUCCESS);
  EXPECT_EQ(nameSize, 4u);
  EXPECT_EQ(dataSize, 7u);
  EXPECT_STREQ(name, "Test");
  EXPECT_STREQ(data, "foobar");

  reset(20, 20);
  EXPECT_EQ(RegEnumValueA(key, 1, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize),
            ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);
}

TEST_F(RegistrySimTest, QueryValueGivesTypeAndSizeWithoutBufferAndMoreDataWhenShort) {
  sim::SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "Path", REG_EXPAND_SZ, "%SystemRoot%\\x");
  sim::SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "", REG_SZ, "default");
  HKEY key = Open("SOFTWARE\\T");
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Path", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(size, 15u);

  char data[32];
  std::memset(data, 'x', sizeof data);
  size = 14;
  EXPECT_EQ(RegQueryValueExA(key, "Path", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 15u);
  EXPECT_EQ(data[0], 'x');

  // The default value answers to a NULL name and to an empty one.
  size = sizeof data;
  EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(data, "default");
  size = sizeof data;
  EXPECT_EQ(RegQueryValueExA(key, "", nullptr, &type, reinterpret_cast<BYTE*>(data), &size), ERROR_SUCCESS);

  size = 0xdeadbeef;
  EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(size, 0u);
  size = sizeof data;
  EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(size, sizeof data);
  EXPECT_EQ(RegQueryValueExA(key, "Path", nullptr, &type, reinterpret_cast<BYTE*>(data), nullptr),
            ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST_F(RegistrySimTest, ValuesKeepEveryTypeAndTheirBytesExactly) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", REG_OPTION_NON_VOLATILE);
  const std::string noNul = "abc";
  const char beforeNul[] = "xyz";
  const std::string multi("a\0b\0\0", 5);
  const std::string binary("\x00\xff\x10\x00", 4);
  EXPECT_EQ(RegSetValueExA(key, "NoNul", 0, REG_SZ, reinterpret_cast<const BYTE*>("abcd"), 3), ERROR_SUCCESS);
  // A NUL just past the count is counted, as Windows NT does.
  EXPECT_EQ(RegSetValueExA(key, "Counted", 0, REG_SZ, reinterpret_cast<const BYTE*>(beforeNul), 3),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, "Multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi.data()), 5),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, "Odd", 0, 0x1234, reinterpret_cast<const BYTE*>(binary.data()), 4),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, "Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, "Bad", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
  RegCloseKey(key);

  EXPECT_EQ(sim::GetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "nonul")->data, noNul);
  EXPECT_EQ(sim::GetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "Counted")->data, std::string("xyz\0", 4));
  EXPECT_EQ(sim::GetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "Multi")->data, multi);
  EXPECT_EQ(sim::GetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "Odd")->type, 0x1234u);
  EXPECT_EQ(sim::GetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "Odd")->data, binary);
  EXPECT_EQ(sim::GetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "Empty")->data, "");
  EXPECT_FALSE(sim::GetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "Bad"));

  // The control API's helpers store what programs usually store.
  sim::SetDword(HKEY_CURRENT_USER, "Software\\T", "D", 0x01020304);
  sim::SetMultiString(HKEY_CURRENT_USER, "Software\\T", "M", {"a", "b"});
  sim::SetValue(HKEY_CURRENT_USER, "Software\\T", "S", REG_SZ, "x");
  sim::SetValue(HKEY_CURRENT_USER, "Software\\T", "B", REG_BINARY, "x");
  EXPECT_EQ(sim::GetValue(HKEY_CURRENT_USER, "Software\\T", "D")->data, std::string("\x04\x03\x02\x01", 4));
  EXPECT_EQ(sim::GetValue(HKEY_CURRENT_USER, "Software\\T", "M")->data, std::string("a\0b\0\0", 5));
  EXPECT_EQ(sim::GetValue(HKEY_CURRENT_USER, "Software\\T", "S")->data, std::string("x\0", 2));
  EXPECT_EQ(sim::GetValue(HKEY_CURRENT_USER, "Software\\T", "B")->data, "x");
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, "Software\\T\\D"));
}

TEST_F(RegistrySimTest, OpenReportsMissingKeysBadPathsAndInvalidHandles) {
  HKEY key = reinterpret_cast<HKEY>(0xdeadbeef);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\SOFTWARE", 0, KEY_READ, &key), ERROR_BAD_PATHNAME);
  key = reinterpret_cast<HKEY>(0xdeadbeef);
  EXPECT_EQ(RegOpenKeyExA(nullptr, "SOFTWARE", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(key, reinterpret_cast<HKEY>(0xdeadbeef));

  // Trailing backslashes are ignored; no subkey on a root gives the root.
  key = Open("SOFTWARE\\\\");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(Open(""), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_EQ(sim::OpenHandles(), 0);
}

TEST_F(RegistrySimTest, HandlesAreCountedUntilClosed) {
  HKEY a = Open("SOFTWARE");
  HKEY b = Open("software");
  HKEY c = Open("", KEY_READ, a);  // a new handle to the same key
  EXPECT_NE(a, b);
  EXPECT_NE(a, c);
  EXPECT_EQ(sim::OpenHandles(sim::HandleKind::Key), 3);
  EXPECT_EQ(RegCloseKey(a), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(b), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(c), ERROR_SUCCESS);
  EXPECT_EQ(sim::OpenHandles(), 0);
}

TEST_F(RegistrySimTest, AccessRightsOfAHandleLimitWhatItCanDo) {
  sim::SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "V", REG_SZ, "x");
  sim::CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\T\\Sub");
  HKEY enumOnly = Open("SOFTWARE\\T", KEY_ENUMERATE_SUB_KEYS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(enumOnly, "V", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegSetValueExA(enumOnly, "V", 0, REG_SZ, reinterpret_cast<const BYTE*>("y"), 2),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(EnumKeys(enumOnly), std::vector<std::string>{"Sub"});
  HKEY readOnly = Open("SOFTWARE\\T", KEY_READ);
  EXPECT_EQ(RegSetValueExA(readOnly, "V", 0, REG_SZ, reinterpret_cast<const BYTE*>("y"), 2),
            ERROR_ACCESS_DENIED);
  HKEY readWrite = Open("SOFTWARE\\T", KEY_READ | KEY_WRITE);
  EXPECT_EQ(RegSetValueExA(readWrite, "V", 0, REG_SZ, reinterpret_cast<const BYTE*>("y"), 2), ERROR_SUCCESS);
  RegCloseKey(enumOnly);
  RegCloseKey(readOnly);
  RegCloseKey(readWrite);

  sim::DenyKeyAccess(HKEY_LOCAL_MACHINE, "SOFTWARE\\T\\Sub");
  HKEY key;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\T\\Sub", 0, KEY_READ, &key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\T\\Sub"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(sim::OpenHandles(), 0);
}

TEST_F(RegistrySimTest, CreateReportsDispositionAndMakesMissingParents) {
  DWORD disposition = 0;
  HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\A\\B\\C", REG_OPTION_NON_VOLATILE, ERROR_SUCCESS,
                    &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  RegCloseKey(key);
  key = Create(HKEY_LOCAL_MACHINE, "software\\a\\b\\c", REG_OPTION_VOLATILE, ERROR_SUCCESS, &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  RegCloseKey(key);
  EXPECT_FALSE(sim::IsVolatileKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\A\\B\\C"));  // options of an existing key stay
  Create(HKEY_LOCAL_MACHINE, std::string(256, 'k').c_str(), 0, ERROR_INVALID_PARAMETER);
  key = Create(HKEY_LOCAL_MACHINE, std::string(255, 'k').c_str(), 0);
  RegCloseKey(key);
  EXPECT_EQ(sim::OpenHandles(), 0);
}

TEST_F(RegistrySimTest, VolatileKeysRefuseNonVolatileChildrenAndVanishAtReboot) {
  HKEY software = Open("SOFTWARE", KEY_ALL_ACCESS);
  HKEY stash = Create(software, "Velmora Software Uninstall", REG_OPTION_VOLATILE);
  EXPECT_EQ(RegSetValueExA(stash, "InstallationDirectory", 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\X\\"), 6),
            ERROR_SUCCESS);
  HKEY child = Create(stash, "Child", REG_OPTION_NON_VOLATILE, ERROR_CHILD_MUST_BE_VOLATILE);
  EXPECT_EQ(child, nullptr);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software Uninstall\\Child"));
  child = Create(stash, "Child", REG_OPTION_VOLATILE);
  RegCloseKey(child);
  RegCloseKey(stash);
  RegCloseKey(software);
  sim::SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software\\Corvane\\1.5", "Type", REG_DWORD,
                std::string(4, '\0'));
  EXPECT_TRUE(sim::IsVolatileKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software Uninstall\\Child"));
  EXPECT_THROW(sim::CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software Uninstall\\Solid"),
               std::logic_error);

  sim::Reboot();
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software Uninstall"));
  EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software\\Corvane\\1.5"));
  EXPECT_EQ(sim::OpenHandles(), 0);
}

TEST_F(RegistrySimTest, DeleteRefusesKeysWithSubkeysAndReportsMissingOnes) {
  sim::CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\P\\Child");
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\P"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\P\\Missing"), ERROR_FILE_NOT_FOUND);
  HKEY parent = Open("SOFTWARE\\P", KEY_WRITE);
  EXPECT_EQ(RegDeleteKeyA(parent, "CHILD"), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(parent), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\P"), ERROR_SUCCESS);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\P"));
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
  EXPECT_EQ(sim::OpenHandles(), 0);
}

TEST_F(RegistrySimTest, HandleToADeletedKeyAnswersKeyDeletedUntilClosed) {
  sim::SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Gone", "V", REG_SZ, "x");
  HKEY key = Open("SOFTWARE\\Gone", KEY_ALL_ACCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Gone"), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "V", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(RegSetValueExA(key, "V", 0, REG_SZ, reinterpret_cast<const BYTE*>("y"), 2), ERROR_KEY_DELETED);
  char name[MAX_PATH];
  size = sizeof name;
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
  HKEY sub;
  EXPECT_EQ(RegCreateKeyExA(key, "Sub", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr), ERROR_KEY_DELETED);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Gone"));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(sim::OpenHandles(), 0);
}

TEST_F(RegistrySimTest, EveryCallCanBeMadeToFail) {
  sim::SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "V", REG_SZ, "x");
  HKEY key = Open("SOFTWARE\\T", KEY_ALL_ACCESS);
  const char* apis[] = {"RegOpenKeyExA", "RegCreateKeyExA", "RegQueryValueExA", "RegSetValueExA",
                        "RegEnumKeyExA", "RegEnumValueA",   "RegQueryInfoKeyA", "RegDeleteKeyA",
                        "RegCloseKey"};
  for (const char* api : apis) sim::FailCall(api, 1234);
  HKEY other = reinterpret_cast<HKEY>(0xdeadbeef);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &other), 1234);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(RegCreateKeyExA(key, "N", 0, nullptr, 0, KEY_READ, nullptr, &other, nullptr), 1234);
  DWORD size = 0;
  char name[MAX_PATH];
  EXPECT_EQ(RegQueryValueExA(key, "V", nullptr, nullptr, nullptr, &size), 1234);
  EXPECT_EQ(RegSetValueExA(key, "W", 0, REG_SZ, reinterpret_cast<const BYTE*>("y"), 2), 1234);
  size = sizeof name;
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), 1234);
  size = sizeof name;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), 1234);
  EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &size, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr),
            1234);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\T"), 1234);
  EXPECT_EQ(RegCloseKey(key), 1234);
  EXPECT_EQ(sim::OpenHandles(), 1);  // a failed close leaves the handle open
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\T\\N"));
  EXPECT_FALSE(sim::GetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "W"));
  EXPECT_EQ(sim::CallCount("RegCloseKey"), 2);
}

}  // namespace
