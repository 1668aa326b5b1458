// The registry: names, enumeration orders, types and sizes, error codes,
// access rights, volatile keys and deletion.
#include "conformance.h"

namespace {

using conformance::kScratchKey;
using conformance::OpenScratch;
using Names = std::vector<std::string>;

const char kArea[] = "registry";

HKEY Create(HKEY parent, const char* path, DWORD options = REG_OPTION_NON_VOLATILE, LONG* result = nullptr,
            DWORD* disposition = nullptr) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(parent, path, 0, nullptr, options, KEY_ALL_ACCESS, nullptr, &key, disposition);
  if (result) *result = rc;
  return rc == ERROR_SUCCESS ? key : nullptr;
}

void MakeKeys(const Names& paths) {
  HKEY scratch = OpenScratch();
  for (const std::string& path : paths) {
    HKEY key = Create(scratch, path.c_str());
    REQUIRE(key != nullptr);
    RegCloseKey(key);
  }
  RegCloseKey(scratch);
}

LONG SetString(HKEY key, const char* name, const std::string& text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1));
}

// Every name an enumeration gives, index by index until it ends.
template <typename Enumerate>
Names EnumNames(Enumerate enumerate) {
  Names names;
  char name[MAX_PATH];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    LONG result = enumerate(i, name, &size);
    if (result != ERROR_SUCCESS) {
      CHECK_EQ(result, ERROR_NO_MORE_ITEMS);
      break;
    }
    CHECK_EQ(size, std::strlen(name));
    names.push_back(name);
  }
  return names;
}

Names EnumKeys(HKEY key) {
  return EnumNames([key](DWORD i, char* name, DWORD* size) {
    return RegEnumKeyExA(key, i, name, size, nullptr, nullptr, nullptr, nullptr);
  });
}

Names EnumValues(HKEY key) {
  return EnumNames([key](DWORD i, char* name, DWORD* size) {
    return RegEnumValueA(key, i, name, size, nullptr, nullptr, nullptr, nullptr);
  });
}

std::string Path(const char* sub) { return std::string(kScratchKey) + "\\" + sub; }

// ---- Names ---------------------------------------------------------------------------

CASE(kArea, "key and value names match without regard to case") {
  MakeKeys({"Velmora Software\\Corvane"});
  HKEY key = OpenScratch("Velmora Software\\Corvane");
  CHECK_EQ(SetString(key, "InstallationDirectory", "C:\\Corvane\\"), ERROR_SUCCESS);
  RegCloseKey(key);
  key = OpenScratch("VELMORA software\\corvane", KEY_READ);
  char data[64];
  DWORD type = 0, size = sizeof data;
  CHECK_EQ(RegQueryValueExA(key, "installationdirectory", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
           ERROR_SUCCESS);
  CHECK_EQ(type, REG_SZ);
  CHECK_EQ(size, 12);
  CHECK_STR(data, "C:\\Corvane\\");
  RegCloseKey(key);
}

CASE(kArea, "a key keeps the letter case it was created in") {
  MakeKeys({"MixedCase"});
  HKEY scratch = OpenScratch();
  HKEY again = Create(scratch, "MIXEDCASE");
  REQUIRE(again != nullptr);
  RegCloseKey(again);
  CHECK_EQ(EnumKeys(scratch), Names{"MixedCase"});
  RegCloseKey(scratch);
}

CASE(kArea, "setting a value through another case keeps its first name") {
  HKEY key = OpenScratch();
  SetString(key, "FirstName", "1");
  SetString(key, "FIRSTNAME", "2");
  CHECK_EQ(EnumValues(key), Names{"FirstName"});
  char data[8];
  DWORD size = sizeof data;
  CHECK_EQ(RegQueryValueExA(key, "firstname", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size),
           ERROR_SUCCESS);
  CHECK_STR(data, "2");
  RegCloseKey(key);
}

CASE(kArea, "trailing backslashes of a subkey path are ignored") {
  MakeKeys({"T"});
  HKEY key = nullptr;
  CHECK_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (Path("T") + "\\\\").c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  if (key) RegCloseKey(key);
}

CASE(kArea, "a subkey path that starts with a backslash is a bad path name") {
  HKEY key = nullptr;
  CHECK_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\SOFTWARE", 0, KEY_READ, &key), ERROR_BAD_PATHNAME);
}

CASE(kArea, "a key name of 255 characters is made") {
  HKEY scratch = OpenScratch();
  LONG result = 0;
  HKEY key = Create(scratch, std::string(255, 'k').c_str(), REG_OPTION_NON_VOLATILE, &result);
  CHECK_EQ(result, ERROR_SUCCESS);
  if (key) RegCloseKey(key);
  RegCloseKey(scratch);
}

WINE_DIFFERS(kArea, "a key name of 256 characters is refused with 87",
             "Wine's registry takes key names up to 256 characters; Windows' limit is 255") {
  HKEY scratch = OpenScratch();
  LONG result = 0;
  HKEY key = Create(scratch, std::string(256, 'l').c_str(), REG_OPTION_NON_VOLATILE, &result);
  CHECK_EQ(result, ERROR_INVALID_PARAMETER);
  if (key) RegCloseKey(key);
  RegCloseKey(scratch);
}

// ---- Enumeration order -------------------------------------------------------------------

CASE(kArea, "subkeys enumerate sorted without regard to case") {
  MakeKeys({"beta", "Alpha", "Zulu", "alphabet", "1st"});
  HKEY key = OpenScratch("", KEY_READ);
  CHECK_EQ(EnumKeys(key), (Names{"1st", "Alpha", "alphabet", "beta", "Zulu"}));
  RegCloseKey(key);
}

WINE_DIFFERS(kArea, "subkeys enumerate sorted on their upper-case names",
             "Wine sorts names folded to lower case, so '_' (0x5F) comes before the letters; a Windows NT "
             "hive keeps subkeys sorted on their upper-cased names, which puts '_' after 'Z'") {
  MakeKeys({"beta", "Alpha", "_under", "Zulu", "alphabet", "1st"});
  HKEY key = OpenScratch("", KEY_READ);
  CHECK_EQ(EnumKeys(key), (Names{"1st", "Alpha", "alphabet", "beta", "Zulu", "_under"}));
  RegCloseKey(key);
}

CASE(kArea, "values created in sorted order enumerate in that order") {
  HKEY key = OpenScratch();
  for (const char* name : {"", "Alpha", "beta", "Gamma", "zeta"}) SetString(key, name, name);
  CHECK_EQ(EnumValues(key), (Names{"", "Alpha", "beta", "Gamma", "zeta"}));
  RegCloseKey(key);
}

WINE_DIFFERS(kArea, "values enumerate in creation order",
             "Wine sorts values by name without regard to case; Windows NT enumerates them in creation "
             "order (the documentation promises no order), and the report lists them as enumerated") {
  HKEY key = OpenScratch();
  for (const char* name : {"zeta", "Alpha", "", "beta"}) SetString(key, name, name);
  SetString(key, "ZETA", "replaced, same place");
  CHECK_EQ(EnumValues(key), (Names{"zeta", "Alpha", "", "beta"}));
  RegCloseKey(key);
}

CASE(kArea, "a deleted subkey leaves the enumeration at once") {
  MakeKeys({"a", "b", "c"});
  HKEY key = OpenScratch();
  CHECK_EQ(RegDeleteKeyA(key, "b"), ERROR_SUCCESS);
  CHECK_EQ(EnumKeys(key), (Names{"a", "c"}));
  RegCloseKey(key);
}

// ---- Enumeration buffers -----------------------------------------------------------------

CASE(kArea, "enumerated key name needs room for its terminator") {
  MakeKeys({"Four"});
  HKEY key = OpenScratch("", KEY_READ);
  char name[16];
  std::memset(name, 'x', sizeof name);
  DWORD size = 4;
  CHECK_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  size = 5;
  CHECK_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  CHECK_EQ(size, 4);
  CHECK_STR(name, "Four");
  CHECK_EQ(name[5], 'x');
  RegCloseKey(key);
}

CASE(kArea, "enumerating past the last subkey gives no more items") {
  MakeKeys({"Only"});
  HKEY key = OpenScratch("", KEY_READ);
  char name[16];
  DWORD size = sizeof name;
  CHECK_EQ(RegEnumKeyExA(key, 1, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  size = sizeof name;
  CHECK_EQ(RegEnumKeyExA(key, 7, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);
}

// RegEnumValueA of the value "Test" = "foobar" (REG_SZ, 7 bytes) with
// buffers of the given sizes, which start out as "xxxxxxxxxx".
struct EnumTest {
  char name[20] = "xxxxxxxxxx";
  char data[20] = "xxxxxxxxxx";
  DWORD nameSize;
  DWORD dataSize;
  DWORD type = 1234;
  LONG result;

  EnumTest(DWORD nameSize, DWORD dataSize) : nameSize(nameSize), dataSize(dataSize) {
    HKEY key = OpenScratch();
    SetString(key, "Test", "foobar");
    result = RegEnumValueA(key, 0, name, &this->nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data),
                           &this->dataSize);
    RegCloseKey(key);
  }
};

CASE(kArea, "an enumerated value whose data does not fit gives more data and its size") {
  EnumTest call(20, 6);
  CHECK_EQ(call.result, ERROR_MORE_DATA);
  CHECK_EQ(call.dataSize, 7);
  CHECK_EQ(call.type, REG_SZ);
  CHECK_STR(call.data, "xxxxxxxxxx");
}

CASE(kArea, "an enumerated value whose name does not fit gives more data") {
  CHECK_EQ(EnumTest(4, 20).result, ERROR_MORE_DATA);
}

WINE_DIFFERS(kArea, "an enumerated value whose name does not fit leaves the data buffer alone",
             "Wine copies the data although the call fails for the name; Windows NT writes neither") {
  EnumTest call(4, 20);
  CHECK_EQ(call.result, ERROR_MORE_DATA);
  CHECK_STR(call.data, "xxxxxxxxxx");
}

CASE(kArea, "an enumerated value whose name and data fit exactly is read") {
  EnumTest call(5, 7);
  CHECK_EQ(call.result, ERROR_SUCCESS);
  CHECK_EQ(call.nameSize, 4);
  CHECK_EQ(call.dataSize, 7);
  CHECK_EQ(call.type, REG_SZ);
  CHECK_STR(call.name, "Test");
  CHECK_STR(call.data, "foobar");
}

CASE(kArea, "enumerating past the last value gives no more items") {
  HKEY key = OpenScratch();
  SetString(key, "Test", "foobar");
  char name[20];
  DWORD nameSize = sizeof name;
  CHECK_EQ(RegEnumValueA(key, 1, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);
}

// ---- Key information --------------------------------------------------------------------------

// RegQueryInfoKeyA of a key with every count and size asked for.
struct KeyInfo {
  LONG result;
  char keyClass[8] = "xxxxxxx";
  DWORD classSize = sizeof keyClass;
  DWORD subkeys = 1234, longestSubkey = 1234, longestClass = 1234;
  DWORD values = 1234, longestValueName = 1234, longestData = 1234;

  explicit KeyInfo(HKEY key) {
    result = RegQueryInfoKeyA(key, keyClass, &classSize, nullptr, &subkeys, &longestSubkey, &longestClass,
                              &values, &longestValueName, &longestData, nullptr, nullptr);
  }
  // The counts and sizes as one text, to compare at once.
  std::string Figures() const {
    return std::to_string(subkeys) + " subkeys (longest " + std::to_string(longestSubkey) + ", class " +
           std::to_string(longestClass) + "), " + std::to_string(values) + " values (longest name " +
           std::to_string(longestValueName) + ", data " + std::to_string(longestData) + ")";
  }
};

CASE(kArea, "key information counts subkeys and values, names in characters without the terminator") {
  MakeKeys({"A", "Longer", "Longer\\Deeper than the others"});
  HKEY key = OpenScratch();
  SetString(key, "x", "1234567");
  SetString(key, "Longest name", "1");
  const BYTE blob[10] = {1, 2, 3};
  RegSetValueExA(key, "Blob", 0, REG_BINARY, blob, sizeof blob);
  KeyInfo info(key);
  CHECK_EQ(info.result, ERROR_SUCCESS);
  // Strings are kept in UTF-16: the 8 bytes of "1234567" take 16.
  CHECK_STR(info.Figures(), "2 subkeys (longest 6, class 0), 3 values (longest name 12, data 16)");
  CHECK_EQ(info.classSize, 0);
  CHECK_STR(info.keyClass, "");
  RegCloseKey(key);
}

CASE(kArea, "key information of an empty key is all zero") {
  HKEY key = OpenScratch("", KEY_READ);
  KeyInfo info(key);
  CHECK_EQ(info.result, ERROR_SUCCESS);
  CHECK_STR(info.Figures(), "0 subkeys (longest 0, class 0), 0 values (longest name 0, data 0)");
  RegCloseKey(key);
}

CASE(kArea, "key information counts a deleted subkey no more") {
  MakeKeys({"a", "b"});
  HKEY key = OpenScratch();
  CHECK_EQ(RegDeleteKeyA(key, "b"), ERROR_SUCCESS);
  CHECK_EQ(KeyInfo(key).subkeys, 1);
  RegCloseKey(key);
}

CASE(kArea, "key information fills only what is asked for; a class needs its size") {
  MakeKeys({"Sub"});
  HKEY key = OpenScratch("", KEY_READ);
  CHECK_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr),
           ERROR_SUCCESS);
  DWORD subkeys = 0;
  CHECK_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr),
           ERROR_SUCCESS);
  CHECK_EQ(subkeys, 1);
  char keyClass[8];
  CHECK_EQ(RegQueryInfoKeyA(key, keyClass, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr),
           ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

WINE_DIFFERS(kArea, "key information needs the right to query values",
             "Wine answers a handle without KEY_QUERY_VALUE; Windows refuses it with 5") {
  HKEY key = OpenScratch("", KEY_ENUMERATE_SUB_KEYS);
  CHECK_EQ(KeyInfo(key).result, ERROR_ACCESS_DENIED);
  RegCloseKey(key);
}

// ---- Types and sizes -------------------------------------------------------------------------

CASE(kArea, "a size query without a buffer gives type and size") {
  HKEY key = OpenScratch();
  const char text[] = "%SystemRoot%\\x";
  RegSetValueExA(key, "Path", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
  DWORD type = 0, size = 0;
  CHECK_EQ(RegQueryValueExA(key, "Path", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  CHECK_EQ(type, REG_EXPAND_SZ);
  CHECK_EQ(size, 15);
  RegCloseKey(key);
}

CASE(kArea, "a query into a short buffer gives more data and the size needed") {
  HKEY key = OpenScratch();
  const char text[] = "%SystemRoot%\\x";
  RegSetValueExA(key, "Path", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
  char data[32];
  DWORD type = 0, size = 14;
  CHECK_EQ(RegQueryValueExA(key, "Path", nullptr, &type, reinterpret_cast<BYTE*>(data), &size), ERROR_MORE_DATA);
  CHECK_EQ(size, 15);
  RegCloseKey(key);
}

CASE(kArea, "the default value answers to a NULL name and to an empty one") {
  HKEY key = OpenScratch();
  SetString(key, nullptr, "default");
  char data[32];
  DWORD size = sizeof data;
  CHECK_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size), ERROR_SUCCESS);
  CHECK_STR(data, "default");
  size = sizeof data;
  data[0] = 0;
  CHECK_EQ(RegQueryValueExA(key, "", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size), ERROR_SUCCESS);
  CHECK_STR(data, "default");
  RegCloseKey(key);
}

CASE(kArea, "a missing value gives 2") {
  HKEY key = OpenScratch();
  char data[8];
  DWORD type = 0, size = sizeof data;
  CHECK_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
           ERROR_FILE_NOT_FOUND);
  size = 0;
  CHECK_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

CASE(kArea, "a string stored without its terminator reads back as stored") {
  HKEY key = OpenScratch();
  CHECK_EQ(RegSetValueExA(key, "NoNul", 0, REG_SZ, reinterpret_cast<const BYTE*>("abcd"), 3), ERROR_SUCCESS);
  char data[8];
  std::memset(data, 'x', sizeof data);
  DWORD type = 0, size = sizeof data;
  CHECK_EQ(RegQueryValueExA(key, "NoNul", nullptr, &type, reinterpret_cast<BYTE*>(data), &size), ERROR_SUCCESS);
  CHECK_EQ(size, 3);
  CHECK_EQ(std::string(data, 3), std::string("abc"));
  RegCloseKey(key);
}

CASE(kArea, "a string whose terminator follows its count is stored with it") {
  HKEY key = OpenScratch();
  const char text[] = "abc";
  CHECK_EQ(RegSetValueExA(key, "Counted", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 3), ERROR_SUCCESS);
  char data[8];
  DWORD size = sizeof data;
  CHECK_EQ(RegQueryValueExA(key, "Counted", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size), ERROR_SUCCESS);
  CHECK_EQ(size, 4);
  CHECK_EQ(std::string(data, size), std::string("abc\0", 4));
  RegCloseKey(key);
}

CASE(kArea, "a multi-string keeps its bytes") {
  HKEY key = OpenScratch();
  const std::string multi("a\0b\0\0", 5);
  CHECK_EQ(RegSetValueExA(key, "Multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi.data()), 5),
           ERROR_SUCCESS);
  char data[8];
  DWORD type = 0, size = sizeof data;
  CHECK_EQ(RegQueryValueExA(key, "Multi", nullptr, &type, reinterpret_cast<BYTE*>(data), &size), ERROR_SUCCESS);
  CHECK_EQ(type, REG_MULTI_SZ);
  CHECK_EQ(std::string(data, size), multi);
  RegCloseKey(key);
}

CASE(kArea, "a DWORD is stored little-endian in four bytes") {
  HKEY key = OpenScratch();
  DWORD value = 0x01020304;
  CHECK_EQ(RegSetValueExA(key, "D", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4), ERROR_SUCCESS);
  BYTE data[8];
  DWORD type = 0, size = sizeof data;
  CHECK_EQ(RegQueryValueExA(key, "D", nullptr, &type, data, &size), ERROR_SUCCESS);
  CHECK_EQ(type, REG_DWORD);
  CHECK_EQ(size, 4);
  CHECK_EQ(std::string(reinterpret_cast<char*>(data), 4), std::string("\x04\x03\x02\x01", 4));
  RegCloseKey(key);
}

CASE(kArea, "a value of an unknown type keeps its type and bytes") {
  HKEY key = OpenScratch();
  const std::string binary("\x00\xff\x10\x00", 4);
  CHECK_EQ(RegSetValueExA(key, "Odd", 0, 0x1234, reinterpret_cast<const BYTE*>(binary.data()), 4), ERROR_SUCCESS);
  BYTE data[8];
  DWORD type = 0, size = sizeof data;
  CHECK_EQ(RegQueryValueExA(key, "Odd", nullptr, &type, data, &size), ERROR_SUCCESS);
  CHECK_EQ(type, 0x1234);
  CHECK_EQ(std::string(reinterpret_cast<char*>(data), size), binary);
  RegCloseKey(key);
}

CASE(kArea, "an empty binary value has size 0") {
  HKEY key = OpenScratch();
  CHECK_EQ(RegSetValueExA(key, "Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
  DWORD type = 0, size = 99;
  CHECK_EQ(RegQueryValueExA(key, "Empty", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  CHECK_EQ(type, REG_BINARY);
  CHECK_EQ(size, 0);
  RegCloseKey(key);
}

CASE(kArea, "enumeration reports each value's type and size") {
  HKEY key = OpenScratch();
  DWORD dword = 7;
  RegSetValueExA(key, "a", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword), 4);
  RegSetValueExA(key, "b", 0, REG_BINARY, reinterpret_cast<const BYTE*>("xyz"), 3);
  SetString(key, "c", "four");
  const DWORD types[] = {REG_DWORD, REG_BINARY, REG_SZ};
  const DWORD sizes[] = {4, 3, 5};
  for (DWORD i = 0; i < 3; ++i) {
    char name[8];
    DWORD nameSize = sizeof name, type = 0, size = 0;
    CHECK_EQ(RegEnumValueA(key, i, name, &nameSize, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    CHECK_EQ(type, types[i]);
    CHECK_EQ(size, sizes[i]);
  }
  RegCloseKey(key);
}

// ---- Opening, creating and error codes -------------------------------------------------------

CASE(kArea, "opening a missing key gives 2") {
  HKEY key = nullptr;
  CHECK_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, Path("Missing").c_str(), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

CASE(kArea, "opening below a missing key gives 2") {
  HKEY key = nullptr;
  CHECK_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, Path("Missing\\Deeper").c_str(), 0, KEY_READ, &key),
           ERROR_FILE_NOT_FOUND);
}

CASE(kArea, "opening with a NULL parent gives an invalid handle") {
  HKEY key = nullptr;
  CHECK_EQ(RegOpenKeyExA(nullptr, "SOFTWARE", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
}

CASE(kArea, "a closed key handle is invalid") {
  HKEY key = OpenScratch();
  CHECK_EQ(RegCloseKey(key), ERROR_SUCCESS);
  char data[8];
  DWORD size = sizeof data;
  CHECK_EQ(RegQueryValueExA(key, "x", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size),
           ERROR_INVALID_HANDLE);
}

CASE(kArea, "two opens of one key give two handles") {
  HKEY a = OpenScratch("", KEY_READ);
  HKEY b = OpenScratch("", KEY_READ);
  CHECK(a != b);
  CHECK_EQ(RegCloseKey(a), ERROR_SUCCESS);
  CHECK_EQ(RegCloseKey(b), ERROR_SUCCESS);
}

CASE(kArea, "create reports a new key, then an existing one") {
  HKEY scratch = OpenScratch();
  DWORD disposition = 0;
  HKEY key = Create(scratch, "A\\B\\C", REG_OPTION_NON_VOLATILE, nullptr, &disposition);
  CHECK_EQ(disposition, REG_CREATED_NEW_KEY);
  if (key) RegCloseKey(key);
  key = Create(scratch, "a\\b\\c", REG_OPTION_NON_VOLATILE, nullptr, &disposition);
  CHECK_EQ(disposition, REG_OPENED_EXISTING_KEY);
  if (key) RegCloseKey(key);
  RegCloseKey(scratch);
}

CASE(kArea, "create makes the missing parents of a path") {
  HKEY scratch = OpenScratch();
  HKEY key = Create(scratch, "P1\\P2\\P3");
  REQUIRE(key != nullptr);
  RegCloseKey(key);
  CHECK_EQ(EnumKeys(scratch), Names{"P1"});
  RegCloseKey(scratch);
  HKEY middle = OpenScratch("P1\\P2", KEY_READ);
  CHECK_EQ(EnumKeys(middle), Names{"P3"});
  RegCloseKey(middle);
}

CASE(kArea, "setting a value with no data pointer but a size fails") {
  HKEY key = OpenScratch();
  CHECK_EQ(RegSetValueExA(key, "Bad", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
  DWORD size = 0;
  CHECK_EQ(RegQueryValueExA(key, "Bad", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

// ---- Access rights ---------------------------------------------------------------------------

CASE(kArea, "a handle for enumeration only may not read values") {
  HKEY key = OpenScratch();
  SetString(key, "V", "x");
  RegCloseKey(key);
  key = OpenScratch("", KEY_ENUMERATE_SUB_KEYS);
  DWORD size = 0;
  CHECK_EQ(RegQueryValueExA(key, "V", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
  RegCloseKey(key);
}

CASE(kArea, "a handle for enumeration only enumerates subkeys") {
  MakeKeys({"Sub"});
  HKEY key = OpenScratch("", KEY_ENUMERATE_SUB_KEYS);
  CHECK_EQ(EnumKeys(key), Names{"Sub"});
  RegCloseKey(key);
}

CASE(kArea, "a read-only handle may not set values") {
  HKEY key = OpenScratch("", KEY_READ);
  CHECK_EQ(SetString(key, "V", "y"), ERROR_ACCESS_DENIED);
  RegCloseKey(key);
}

CASE(kArea, "a handle for querying only may not enumerate subkeys") {
  MakeKeys({"Sub"});
  HKEY key = OpenScratch("", KEY_QUERY_VALUE);
  char name[16];
  DWORD size = sizeof name;
  CHECK_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
  RegCloseKey(key);
}

CASE(kArea, "a read and write handle sets values") {
  HKEY key = OpenScratch("", KEY_READ | KEY_WRITE);
  CHECK_EQ(SetString(key, "V", "y"), ERROR_SUCCESS);
  RegCloseKey(key);
}

// The documentation asks for KEY_CREATE_SUB_KEY on the parent, yet every
// Windows version ignores the parent handle's rights here.
CASE(kArea, "a subkey is created through a parent handle without the right to create one") {
  HKEY key = OpenScratch("", KEY_NOTIFY);
  HKEY sub = nullptr;
  CHECK_EQ(RegCreateKeyExA(key, "New", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr), ERROR_SUCCESS);
  if (sub) RegCloseKey(sub);
  RegCloseKey(key);
}

// ---- Volatile keys ---------------------------------------------------------------------------

CASE(kArea, "a volatile key refuses a non-volatile child with 1021") {
  HKEY scratch = OpenScratch();
  HKEY stash = Create(scratch, "Stash", REG_OPTION_VOLATILE);
  REQUIRE(stash != nullptr);
  LONG result = 0;
  HKEY child = Create(stash, "Child", REG_OPTION_NON_VOLATILE, &result);
  CHECK_EQ(result, ERROR_CHILD_MUST_BE_VOLATILE);
  CHECK(child == nullptr);
  if (child) RegCloseKey(child);
  CHECK_EQ(EnumKeys(stash), Names{});
  RegCloseKey(stash);
  RegCloseKey(scratch);
}

CASE(kArea, "a volatile key takes volatile children and values") {
  HKEY scratch = OpenScratch();
  HKEY stash = Create(scratch, "Stash", REG_OPTION_VOLATILE);
  REQUIRE(stash != nullptr);
  CHECK_EQ(SetString(stash, "InstallationDirectory", "C:\\X\\"), ERROR_SUCCESS);
  LONG result = 0;
  HKEY child = Create(stash, "Child", REG_OPTION_VOLATILE, &result);
  CHECK_EQ(result, ERROR_SUCCESS);
  if (child) RegCloseKey(child);
  RegCloseKey(stash);
  RegCloseKey(scratch);
}

CASE(kArea, "creating an existing key as volatile keeps it non-volatile") {
  MakeKeys({"Solid"});
  HKEY scratch = OpenScratch();
  HKEY key = Create(scratch, "Solid", REG_OPTION_VOLATILE);
  REQUIRE(key != nullptr);
  LONG result = 0;
  HKEY child = Create(key, "Child", REG_OPTION_NON_VOLATILE, &result);
  CHECK_EQ(result, ERROR_SUCCESS);
  if (child) RegCloseKey(child);
  RegCloseKey(key);
  RegCloseKey(scratch);
}

// ---- Names beyond the code page -----------------------------------------------------------
// The registry keeps names in UTF-16; the ANSI calls hand them out converted
// as WideCharToMultiByte(CP_ACP) converts them (a best fit, else '?') and
// convert the names they are given back: a name that does not survive the
// trip opens another key or none. Microsoft's documentation, "Conventions
// for Function Prototypes" and RegQueryInfoKeyA ("in Unicode characters");
// Wine's dlls/advapi32/tests/registry.c, test_enum_value and
// test_reg_query_info, run both forms over the same keys.

HKEY CreateWide(HKEY parent, const WCHAR* path) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr);
  return rc == ERROR_SUCCESS ? key : nullptr;
}

std::string ToCodePage(const WCHAR* name, BOOL* usedDefault) {
  char bytes[MAX_PATH];
  *usedDefault = FALSE;
  int size = WideCharToMultiByte(CP_ACP, 0, name, -1, bytes, sizeof bytes, nullptr, usedDefault);
  return size > 0 ? std::string(bytes) : std::string();
}

// U+FF3C (FULLWIDTH REVERSE SOLIDUS) has the backslash as its best fit on
// 1252; the two CJK characters are '?' there; U+0E01 is in none of the
// double-byte pages.
const WCHAR kLookAlike[] = L"x\xFF3CSub";
const WCHAR kJapanese[] = L"\x65E5\x672C";
const WCHAR kThai[] = L"\x0E01";

CASE(kArea, "the ANSI enumeration gives each key name as the code page converts it, the wide one the name kept") {
  HKEY scratch = OpenScratch();
  const WCHAR* const names[] = {kLookAlike, kJapanese, kThai};
  for (const WCHAR* name : names) {
    HKEY key = CreateWide(scratch, name);
    REQUIRE(key != nullptr);
    RegCloseKey(key);
  }
  for (DWORD i = 0; i < 3; ++i) {
    WCHAR wide[MAX_PATH];
    DWORD wideSize = sizeof wide / sizeof wide[0];
    CHECK_EQ(RegEnumKeyExW(scratch, i, wide, &wideSize, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    char ansi[MAX_PATH];
    DWORD ansiSize = sizeof ansi;
    CHECK_EQ(RegEnumKeyExA(scratch, i, ansi, &ansiSize, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    BOOL usedDefault;
    CHECK_STR(ansi, ToCodePage(wide, &usedDefault));
    CHECK_EQ(ansiSize, std::strlen(ansi));
    CHECK(wideSize == 1 || wideSize == 2 || wideSize == 5);
  }
  WCHAR wide[MAX_PATH];
  DWORD wideSize = sizeof wide / sizeof wide[0];
  CHECK_EQ(RegEnumKeyExW(scratch, 3, wide, &wideSize, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  RegCloseKey(scratch);
}

CASE(kArea, "a key name that the code page does not keep opens another key or none by its ANSI form") {
  HKEY scratch = OpenScratch();
  HKEY inner = Create(scratch, "x\\Sub");
  HKEY lookAlike = CreateWide(scratch, kLookAlike);
  HKEY japanese = CreateWide(scratch, kJapanese);
  REQUIRE(inner != nullptr && lookAlike != nullptr && japanese != nullptr);
  CHECK_EQ(SetString(inner, "which", "inner"), ERROR_SUCCESS);
  CHECK_EQ(SetString(lookAlike, "which", "look-alike"), ERROR_SUCCESS);
  RegCloseKey(inner);
  RegCloseKey(lookAlike);
  RegCloseKey(japanese);
  BOOL usedDefault;
  const std::string lookAlikeAnsi = ToCodePage(kLookAlike, &usedDefault);
  HKEY key = nullptr;
  REQUIRE(RegOpenKeyExA(scratch, lookAlikeAnsi.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS);
  char data[32];
  DWORD size = sizeof data;
  CHECK_EQ(RegQueryValueExA(key, "which", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size), ERROR_SUCCESS);
  CHECK_STR(data, lookAlikeAnsi == "x\\Sub" ? "inner" : "look-alike");
  RegCloseKey(key);
  const std::string japaneseAnsi = ToCodePage(kJapanese, &usedDefault);
  key = nullptr;
  CHECK_EQ(RegOpenKeyExA(scratch, japaneseAnsi.c_str(), 0, KEY_READ, &key),
           usedDefault ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS);
  if (key) RegCloseKey(key);
  RegCloseKey(scratch);
}

CASE(kArea, "the wide calls open, count, ask and delete a key by the name kept") {
  HKEY scratch = OpenScratch();
  HKEY made = CreateWide(scratch, L"\x65E5\x672C\\\x0E01");
  REQUIRE(made != nullptr);
  CHECK_EQ(SetString(made, "v", "1"), ERROR_SUCCESS);
  RegCloseKey(made);
  HKEY key = nullptr;
  REQUIRE(RegOpenKeyExW(scratch, kJapanese, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS);
  DWORD subkeys = 0, longestSubkey = 0, longestValueName = 0;
  CHECK_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, nullptr,
                            &longestValueName, nullptr, nullptr, nullptr),
           ERROR_SUCCESS);
  CHECK_EQ(subkeys, 1);
  CHECK_EQ(longestSubkey, 1);
  // Counted in UTF-16 characters by the ANSI call too.
  CHECK_EQ(RegQueryInfoKeyA(scratch, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr),
           ERROR_SUCCESS);
  CHECK_EQ(longestSubkey, 2);
  HKEY child = nullptr;
  REQUIRE(RegOpenKeyExW(key, kThai, 0, KEY_QUERY_VALUE, &child) == ERROR_SUCCESS);
  DWORD type = 0;
  WCHAR data[8];
  DWORD size = sizeof data;
  CHECK_EQ(RegQueryValueExW(child, L"v", nullptr, &type, reinterpret_cast<BYTE*>(data), &size), ERROR_SUCCESS);
  CHECK_EQ(type, REG_SZ);
  CHECK_EQ(size, 2 * sizeof(WCHAR));
  CHECK(data[0] == L'1' && data[1] == 0);
  RegCloseKey(child);
  CHECK_EQ(RegDeleteKeyW(key, kThai), ERROR_SUCCESS);
  RegCloseKey(key);
  CHECK_EQ(RegDeleteKeyW(scratch, kJapanese), ERROR_SUCCESS);
  CHECK_EQ(RegDeleteKeyW(scratch, kJapanese), ERROR_FILE_NOT_FOUND);
  RegCloseKey(scratch);
}

// ---- Registry links ---------------------------------------------------------------------------
// Wine's dlls/advapi32/tests/registry.c, test_symlinks: a key made with
// REG_OPTION_CREATE_LINK leads where its REG_LINK value SymbolicLinkValue
// names (the native name in UTF-16, no terminator); REG_OPTION_OPEN_LINK opens
// it as itself; a second link of that name gives ERROR_ALREADY_EXISTS; the
// link takes no REG_SZ under that name.

// The link's value: \Registry\Machine\ + the scratch key + name, UTF-16LE.
std::string NativeTarget(const char* name) {
  std::string text = std::string("\\Registry\\Machine\\") + kScratchKey + "\\" + name;
  std::string bytes;
  for (char c : text) bytes += std::string{c, '\0'};
  return bytes;
}

// A link goes only as itself, by NtDeleteKey on a handle to it, as
// test_symlinks deletes it (RegDeleteKey would delete its target).
void DeleteLink(const char* name) {
#ifdef CVN_SIM
  sim::DeleteKeyTree(HKEY_LOCAL_MACHINE, Path(name));
#else
  HKEY link = nullptr;
  typedef LONG(WINAPI * NtDeleteKeyCall)(HANDLE);
  auto deleteKey = reinterpret_cast<NtDeleteKeyCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Path(name).c_str(), REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &link) ==
      ERROR_SUCCESS) {
    if (deleteKey) deleteKey(link);
    RegCloseKey(link);
  }
#endif
}

CASE(kArea, "a key made as a link leads to the key its SymbolicLinkValue names and opens as itself on request") {
  HKEY scratch = OpenScratch();
  HKEY target = Create(scratch, "target");
  REQUIRE(target != nullptr);
  CHECK_EQ(SetString(target, "which", "target"), ERROR_SUCCESS);
  RegCloseKey(target);
  HKEY link = Create(scratch, "link", REG_OPTION_CREATE_LINK);
  REQUIRE(link != nullptr);
  CHECK_EQ(SetString(link, "SymbolicLinkValue", "x"), ERROR_ACCESS_DENIED);
  const std::string value = NativeTarget("target");
  CHECK_EQ(RegSetValueExA(link, "SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(value.data()),
                          static_cast<DWORD>(value.size())),
           ERROR_SUCCESS);
  RegCloseKey(link);
  HKEY key = OpenScratch("link", KEY_READ);
  char data[32];
  DWORD size = sizeof data;
  CHECK_EQ(RegQueryValueExA(key, "which", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size), ERROR_SUCCESS);
  CHECK_STR(data, "target");
  RegCloseKey(key);
  key = nullptr;
  REQUIRE(RegOpenKeyExA(scratch, "link", REG_OPTION_OPEN_LINK, KEY_READ, &key) == ERROR_SUCCESS);
  // The link has no subkeys and one value whose name is 17 characters long.
  DWORD subkeys = 1, values = 0, longestValueName = 0;
  CHECK_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                            &longestValueName, nullptr, nullptr, nullptr),
           ERROR_SUCCESS);
  CHECK_EQ(subkeys, 0);
  CHECK_EQ(values, 1);
  CHECK_EQ(longestValueName, 17);
  DWORD type = 0;
  size = 0;
  CHECK_EQ(RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  CHECK_EQ(type, REG_LINK);
  CHECK_EQ(size, value.size());
  RegCloseKey(key);
  LONG result = ERROR_SUCCESS;
  CHECK(Create(scratch, "link", REG_OPTION_CREATE_LINK, &result) == nullptr);
  CHECK_EQ(result, ERROR_ALREADY_EXISTS);
  RegCloseKey(scratch);
  DeleteLink("link");
  key = nullptr;
  CHECK_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, Path("link").c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &key),
           ERROR_FILE_NOT_FOUND);
  key = OpenScratch("target", KEY_READ);
  CHECK(key != nullptr);
  if (key) RegCloseKey(key);
}

CASE(kArea, "a link cannot be made where a key of its name is") {
  MakeKeys({"plain"});
  HKEY scratch = OpenScratch();
  LONG result = ERROR_SUCCESS;
  CHECK(Create(scratch, "plain", REG_OPTION_CREATE_LINK, &result) == nullptr);
  CHECK_EQ(result, ERROR_ALREADY_EXISTS);
  RegCloseKey(scratch);
}

// ---- Deletion --------------------------------------------------------------------------------

CASE(kArea, "deleting a key with subkeys is denied") {
  MakeKeys({"P\\Child"});
  CHECK_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, Path("P").c_str()), ERROR_ACCESS_DENIED);
  HKEY key = OpenScratch("P", KEY_READ);
  CHECK_EQ(EnumKeys(key), Names{"Child"});
  RegCloseKey(key);
}

CASE(kArea, "deleting a missing key gives 2") {
  MakeKeys({"P"});
  CHECK_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, Path("P\\Missing").c_str()), ERROR_FILE_NOT_FOUND);
}

CASE(kArea, "a subkey is deleted through its parent in any case") {
  MakeKeys({"P\\Child"});
  HKEY parent = OpenScratch("P", KEY_WRITE);
  CHECK_EQ(RegDeleteKeyA(parent, "CHILD"), ERROR_SUCCESS);
  RegCloseKey(parent);
  CHECK_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, Path("P").c_str()), ERROR_SUCCESS);
  HKEY key = nullptr;
  CHECK_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, Path("P").c_str(), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

CASE(kArea, "a key deleted with values goes with them") {
  MakeKeys({"V"});
  HKEY key = OpenScratch("V");
  SetString(key, "a", "1");
  RegCloseKey(key);
  CHECK_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, Path("V").c_str()), ERROR_SUCCESS);
  key = OpenScratch("", KEY_READ);
  CHECK_EQ(EnumKeys(key), Names{});
  RegCloseKey(key);
}

CASE(kArea, "a handle to a deleted key answers key deleted") {
  MakeKeys({"Gone"});
  HKEY key = OpenScratch("Gone");
  CHECK_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, Path("Gone").c_str()), ERROR_SUCCESS);
  DWORD size = 0;
  CHECK_EQ(RegQueryValueExA(key, "V", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  CHECK_EQ(SetString(key, "V", "y"), ERROR_KEY_DELETED);
  char name[MAX_PATH];
  size = sizeof name;
  CHECK_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
  CHECK_EQ(KeyInfo(key).result, ERROR_KEY_DELETED);
  CHECK_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

CASE(kArea, "creating below a deleted key answers key deleted") {
  MakeKeys({"Gone"});
  HKEY key = OpenScratch("Gone");
  CHECK_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, Path("Gone").c_str()), ERROR_SUCCESS);
  HKEY sub = nullptr;
  CHECK_EQ(RegCreateKeyExA(key, "Sub", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr), ERROR_KEY_DELETED);
  RegCloseKey(key);
}

// ---- Across a restart --------------------------------------------------------------------------

std::string RestartPath(const char* sub) { return std::string(conformance::kRestartKey) + "\\" + sub; }

LONG OpenResult(const std::string& path) {
  HKEY key = nullptr;
  LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key);
  if (result == ERROR_SUCCESS) RegCloseKey(key);
  return result;
}

const bool kVolatileAcrossRestart = conformance::AddAroundRestart(
    kArea, "a volatile key is gone after a restart, a non-volatile one stays with its values",
    [] {
      LONG result = 0;
      HKEY stash = Create(HKEY_LOCAL_MACHINE, RestartPath("Stash").c_str(), REG_OPTION_VOLATILE, &result);
      REQUIRE(stash != nullptr);
      CHECK_EQ(SetString(stash, "InstallationDirectory", "C:\\Corvane\\"), ERROR_SUCCESS);
      RegCloseKey(stash);
      HKEY solid = Create(HKEY_LOCAL_MACHINE, RestartPath("Solid").c_str());
      REQUIRE(solid != nullptr);
      CHECK_EQ(SetString(solid, "Kept", "yes"), ERROR_SUCCESS);
      RegCloseKey(solid);
    },
    [] {
      CHECK_EQ(OpenResult(RestartPath("Stash")), ERROR_FILE_NOT_FOUND);
      HKEY solid = nullptr;
      REQUIRE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, RestartPath("Solid").c_str(), 0, KEY_READ, &solid) ==
              ERROR_SUCCESS);
      char data[8] = "";
      DWORD size = sizeof data;
      CHECK_EQ(RegQueryValueExA(solid, "Kept", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size),
               ERROR_SUCCESS);
      CHECK_STR(data, "yes");
      RegCloseKey(solid);
    });

const bool kVolatileTreeAcrossRestart = conformance::AddAroundRestart(
    kArea, "a volatile key goes with its volatile subkeys at a restart",
    [] {
      HKEY tree = Create(HKEY_LOCAL_MACHINE, RestartPath("Tree").c_str(), REG_OPTION_VOLATILE);
      REQUIRE(tree != nullptr);
      HKEY child = Create(tree, "Child\\Grandchild", REG_OPTION_VOLATILE);
      CHECK(child != nullptr);
      if (child) RegCloseKey(child);
      RegCloseKey(tree);
    },
    [] {
      CHECK_EQ(OpenResult(RestartPath("Tree\\Child\\Grandchild")), ERROR_FILE_NOT_FOUND);
      CHECK_EQ(OpenResult(RestartPath("Tree")), ERROR_FILE_NOT_FOUND);
      CHECK_EQ(OpenResult(conformance::kRestartKey), ERROR_SUCCESS);
    });

// ---- Only the simulation can script these --------------------------------------------------

// ---- Key security ---------------------------------------------------------------------

// Administrators (S-1-5-32-544) and the system (S-1-5-18) in the SID layout.
const DWORD kAdministrators[] = {0x00000201, 0x05000000, 32, 544};
const DWORD kSystem[] = {0x00000101, 0x05000000, 18};

// A descriptor whose access list gives Administrators and the system full
// control; `acl` holds the list.
void AdministratorsOnly(SECURITY_DESCRIPTOR* descriptor, DWORD* acl, DWORD aclSize) {
  REQUIRE(InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION));
  REQUIRE(InitializeAcl(reinterpret_cast<ACL*>(acl), aclSize, ACL_REVISION));
  REQUIRE(AddAccessAllowedAce(reinterpret_cast<ACL*>(acl), ACL_REVISION, KEY_ALL_ACCESS, (PSID)kAdministrators));
  REQUIRE(AddAccessAllowedAce(reinterpret_cast<ACL*>(acl), ACL_REVISION, KEY_ALL_ACCESS, (PSID)kSystem));
  REQUIRE(SetSecurityDescriptorDacl(descriptor, TRUE, reinterpret_cast<ACL*>(acl), FALSE));
}

WINE_DIFFERS(kArea, "a key made with an access list reports it and the token's default owner",
             "Wine gives every new key its own default security (owner Administrators, full control for "
             "Administrators, read for Users on subkeys) whatever descriptor RegCreateKeyExA is given, and "
             "its token's default owner is another SID") {
  SECURITY_DESCRIPTOR descriptor;
  DWORD acl[16];
  AdministratorsOnly(&descriptor, acl, sizeof acl);
  SECURITY_ATTRIBUTES security = {sizeof security, &descriptor, FALSE};
  HKEY scratch = OpenScratch();
  HKEY key = nullptr;
  DWORD disposition = 0;
  REQUIRE(RegCreateKeyExA(scratch, "Stash", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, &security, &key,
                          &disposition) == ERROR_SUCCESS);
  CHECK_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  DWORD buffer[256];
  DWORD size = sizeof buffer;
  CHECK_EQ(RegGetKeySecurity(key, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, buffer, &size),
           ERROR_SUCCESS);
  const auto* header = reinterpret_cast<const SECURITY_DESCRIPTOR_RELATIVE*>(buffer);
  const BYTE* bytes = reinterpret_cast<const BYTE*>(buffer);
  CHECK((header->Control & (SE_SELF_RELATIVE | SE_DACL_PRESENT)) == (SE_SELF_RELATIVE | SE_DACL_PRESENT));
  REQUIRE(header->Dacl != 0 && header->Owner != 0 && header->Dacl < size && header->Owner < size);
  const ACL* list = reinterpret_cast<const ACL*>(bytes + header->Dacl);
  CHECK_EQ(list->AceCount, 2);
  CHECK(std::memcmp(bytes + header->Dacl + sizeof(ACL), reinterpret_cast<const BYTE*>(acl) + sizeof(ACL),
                    2 * 8 + sizeof kAdministrators + sizeof kSystem) == 0);
  // The owner is the one the token gives new objects.
  HANDLE token = nullptr;
  REQUIRE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  DWORD owner[32];
  DWORD length = 0;
  CHECK(GetTokenInformation(token, TokenOwner, owner, sizeof owner, &length));
  TOKEN_OWNER pointer;
  std::memcpy(&pointer, owner, sizeof pointer);
  const BYTE* own = static_cast<const BYTE*>(pointer.Owner);
  CHECK(std::memcmp(bytes + header->Owner, own, 8 + 4 * own[1]) == 0);
  CloseHandle(token);
  RegCloseKey(key);
  RegCloseKey(scratch);
}

// The entries of a key's access list: flags, rights and SID of each.
struct Entry {
  BYTE flags;
  DWORD rights;
  std::string sid;
  bool operator==(const Entry& other) const {
    return flags == other.flags && rights == other.rights && sid == other.sid;
  }
};

std::vector<Entry> AccessEntries(HKEY key) {
  DWORD buffer[256];
  DWORD size = sizeof buffer;
  std::vector<Entry> entries;
  if (RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, buffer, &size) != ERROR_SUCCESS) return entries;
  const BYTE* bytes = reinterpret_cast<const BYTE*>(buffer);
  const auto* header = reinterpret_cast<const SECURITY_DESCRIPTOR_RELATIVE*>(buffer);
  if (header->Dacl == 0 || header->Dacl + sizeof(ACL) > size) return entries;
  ACL list;
  std::memcpy(&list, bytes + header->Dacl, sizeof list);
  size_t at = header->Dacl + sizeof(ACL);
  for (WORD i = 0; i < list.AceCount && at + 8 <= size; ++i) {
    ACE_HEADER ace;
    DWORD rights;
    std::memcpy(&ace, bytes + at, sizeof ace);
    std::memcpy(&rights, bytes + at + 4, sizeof rights);
    entries.push_back({ace.AceFlags, rights, std::string(reinterpret_cast<const char*>(bytes) + at + 8, ace.AceSize - 8)});
    at += ace.AceSize;
  }
  return entries;
}

std::string SidBytes(const void* sid, size_t size) { return std::string(static_cast<const char*>(sid), size); }

// Windows 2000 and later: MSDN, "Automatic Propagation of Inheritable ACEs"
// and "SECURITY_DESCRIPTOR_CONTROL" (SE_DACL_PROTECTED); "Creator Owner"
// in "Well-known SIDs".
WINE_DIFFERS(kArea, "from Windows 2000 an unprotected access list given at creation also gets the parent's inheritable entries",
             "Windows 2000 and later merge the parent's inheritable entries (INHERITED_ACE; CREATOR OWNER's "
             "given to the creator) into an access list given at creation unless the descriptor is marked "
             "SE_DACL_PROTECTED (MSDN: Automatic Propagation of Inheritable ACEs); Wine gives every new key its "
             "own default security whatever descriptor RegCreateKeyExA is given") {
#ifdef CVN_SIM
  sim::OsVersion windows2000;
  windows2000.major = 5;
  sim::SetOsVersion(windows2000);
#endif
  const DWORD kCreatorOwner[] = {0x00000101, 0x03000000, 0};  // S-1-3-0
  // The parent: Administrators for the key and its subkeys, CREATOR OWNER
  // for subkeys only.
  SECURITY_DESCRIPTOR parentDescriptor;
  DWORD parentAcl[16];
  REQUIRE(InitializeSecurityDescriptor(&parentDescriptor, SECURITY_DESCRIPTOR_REVISION));
  REQUIRE(InitializeAcl(reinterpret_cast<ACL*>(parentAcl), sizeof parentAcl, ACL_REVISION));
  REQUIRE(AddAccessAllowedAce(reinterpret_cast<ACL*>(parentAcl), ACL_REVISION, KEY_ALL_ACCESS, (PSID)kAdministrators));
  REQUIRE(AddAccessAllowedAce(reinterpret_cast<ACL*>(parentAcl), ACL_REVISION, KEY_ALL_ACCESS, (PSID)kCreatorOwner));
  BYTE* aces = reinterpret_cast<BYTE*>(parentAcl) + sizeof(ACL);
  aces[1] = CONTAINER_INHERIT_ACE;
  aces[8 + sizeof kAdministrators + 1] = CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE;
  REQUIRE(SetSecurityDescriptorDacl(&parentDescriptor, TRUE, reinterpret_cast<ACL*>(parentAcl), FALSE));
  SECURITY_ATTRIBUTES parentSecurity = {sizeof parentSecurity, &parentDescriptor, FALSE};
  HKEY scratch = OpenScratch();
  HKEY parent = nullptr;
  REQUIRE(RegCreateKeyExA(scratch, "Parent", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, &parentSecurity,
                          &parent, nullptr) == ERROR_SUCCESS);
  // Children given Administrators and the system, unprotected and protected.
  SECURITY_DESCRIPTOR descriptor;
  DWORD acl[16];
  AdministratorsOnly(&descriptor, acl, sizeof acl);
  SECURITY_ATTRIBUTES security = {sizeof security, &descriptor, FALSE};
  HKEY merged = nullptr;
  REQUIRE(RegCreateKeyExA(parent, "Merged", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, &security, &merged,
                          nullptr) == ERROR_SUCCESS);
  typedef BOOL(WINAPI * SetControl)(PSECURITY_DESCRIPTOR, SECURITY_DESCRIPTOR_CONTROL, SECURITY_DESCRIPTOR_CONTROL);
  auto setControl = reinterpret_cast<SetControl>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(GetModuleHandleA("advapi32.dll"), "SetSecurityDescriptorControl")));
  REQUIRE(setControl != nullptr);
  REQUIRE(setControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED));
  HKEY shut = nullptr;
  REQUIRE(RegCreateKeyExA(parent, "Protected", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, &security, &shut,
                          nullptr) == ERROR_SUCCESS);
  HANDLE token = nullptr;
  REQUIRE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  DWORD owner[32];
  DWORD length = 0;
  CHECK(GetTokenInformation(token, TokenOwner, owner, sizeof owner, &length));
  CloseHandle(token);
  TOKEN_OWNER pointer;
  std::memcpy(&pointer, owner, sizeof pointer);
  const BYTE* creator = static_cast<const BYTE*>(pointer.Owner);
  const std::string admins = SidBytes(kAdministrators, sizeof kAdministrators);
  const std::string system = SidBytes(kSystem, sizeof kSystem);
  const std::vector<Entry> own = {{0, KEY_ALL_ACCESS, admins}, {0, KEY_ALL_ACCESS, system}};
  std::vector<Entry> withInherited = own;
  withInherited.push_back({CONTAINER_INHERIT_ACE | INHERITED_ACE, KEY_ALL_ACCESS, admins});
  withInherited.push_back({INHERITED_ACE, KEY_ALL_ACCESS, SidBytes(creator, 8 + 4 * creator[1])});
  withInherited.push_back({CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE | INHERITED_ACE, KEY_ALL_ACCESS,
                           SidBytes(kCreatorOwner, sizeof kCreatorOwner)});
  CHECK(AccessEntries(merged) == withInherited);
  CHECK(AccessEntries(shut) == own);
  RegCloseKey(shut);
  RegCloseKey(merged);
  RegCloseKey(parent);
  RegCloseKey(scratch);
}

CASE(kArea, "a descriptor's control takes the protection bit but no other with 87") {
  typedef BOOL(WINAPI * SetControl)(PSECURITY_DESCRIPTOR, SECURITY_DESCRIPTOR_CONTROL, SECURITY_DESCRIPTOR_CONTROL);
#ifdef CVN_SIM
  sim::OsVersion windows2000;
  windows2000.major = 5;
  sim::SetOsVersion(windows2000);
#endif
  auto setControl = reinterpret_cast<SetControl>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(GetModuleHandleA("advapi32.dll"), "SetSecurityDescriptorControl")));
  REQUIRE(setControl != nullptr);
  SECURITY_DESCRIPTOR descriptor;
  REQUIRE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  CHECK(setControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED));
  CHECK_EQ(descriptor.Control & SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  CHECK(!setControl(&descriptor, SE_DACL_PRESENT, SE_DACL_PRESENT));
  CHECK_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  CHECK_EQ(descriptor.Control & SE_DACL_PRESENT, 0);
}

#ifdef CVN_SIM
NATIVE_CASE(kArea, "the descriptor's control cannot be set before Windows 2000") {
  CHECK(GetProcAddress(GetModuleHandleA("advapi32.dll"), "SetSecurityDescriptorControl") == nullptr);
  CHECK_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
}
#endif

CASE(kArea, "a key's security into too small a buffer gives 122 and the size needed") {
  HKEY scratch = OpenScratch();
  DWORD buffer[2];
  DWORD size = sizeof buffer;
  CHECK_EQ(RegGetKeySecurity(scratch, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, buffer, &size),
           ERROR_INSUFFICIENT_BUFFER);
  CHECK(size > sizeof buffer);
  RegCloseKey(scratch);
}

CASE(kArea, "an entry beyond the access list's size is refused with 1344") {
  DWORD acl[8];
  REQUIRE(InitializeAcl(reinterpret_cast<ACL*>(acl), sizeof(ACL) + 8 + sizeof kAdministrators, ACL_REVISION));
  CHECK(AddAccessAllowedAce(reinterpret_cast<ACL*>(acl), ACL_REVISION, KEY_READ, (PSID)kAdministrators));
  CHECK(!AddAccessAllowedAce(reinterpret_cast<ACL*>(acl), ACL_REVISION, KEY_READ, (PSID)kSystem));
  CHECK_EQ(GetLastError(), 1344u);
  ACL header;
  std::memcpy(&header, acl, sizeof header);
  CHECK_EQ(header.AceCount, 1);
}

#ifdef CVN_SIM
NATIVE_CASE(kArea, "volatile keys vanish at a restart, others stay") {
  HKEY scratch = OpenScratch();
  HKEY stash = Create(scratch, "Stash", REG_OPTION_VOLATILE);
  HKEY solid = Create(scratch, "Solid");
  RegCloseKey(stash);
  RegCloseKey(solid);
  RegCloseKey(scratch);
  sim::Reboot();
  CHECK(!sim::KeyExists(HKEY_LOCAL_MACHINE, Path("Stash")));
  CHECK(sim::KeyExists(HKEY_LOCAL_MACHINE, Path("Solid")));
}

NATIVE_CASE(kArea, "a key whose security shuts the user out is denied") {
  MakeKeys({"Locked"});
  sim::DenyKeyAccess(HKEY_LOCAL_MACHINE, Path("Locked"));
  HKEY key = nullptr;
  CHECK_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, Path("Locked").c_str(), 0, KEY_READ, &key), ERROR_ACCESS_DENIED);
  CHECK_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, Path("Locked").c_str()), ERROR_ACCESS_DENIED);
  sim::DenyKeyAccess(HKEY_LOCAL_MACHINE, Path("Locked"), false);
}

NATIVE_CASE(kArea, "an injected failure gives its code and leaves the handle open") {
  HKEY key = OpenScratch();
  sim::FailCall("RegCloseKey", 1234);
  CHECK_EQ(RegCloseKey(key), 1234);
  CHECK_EQ(sim::OpenHandles(), 1);
  CHECK_EQ(RegCloseKey(key), ERROR_SUCCESS);
}
#endif

}  // namespace
