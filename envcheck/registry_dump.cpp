// The configuration registry section: the trees that shape how the product
// runs, listed value by value and printed key by key as the dump goes.
#include "configuration_checks.h"
#include "code_page.h"
#include "readers.h"
#include "report.h"

namespace {

const char* const kConfigurationTrees[] = {
    "Software\\Velmora Software",
    "SYSTEM\\CurrentControlSet\\Services\\CVNSvc",
    "SYSTEM\\CurrentControlSet\\Services\\NobleNet Portmapper",
    "SYSTEM\\CurrentControlSet\\Services\\cvn-fltr",
    "SYSTEM\\CurrentControlSet\\Services\\cvn-jnl",
    "SYSTEM\\CurrentControlSet\\Services\\cvn-rec",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
    "SYSTEM\\CurrentControlSet\\Services\\Tcpip",
    "SYSTEM\\CurrentControlSet\\Services\\SNMP",
    "SYSTEM\\CurrentControlSet\\Services\\WinSock",
    "SYSTEM\\CurrentControlSet\\Services\\LanmanServer",
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management",
};

const char kLargeSystemCacheValue[] =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management\\LargeSystemCache";

const UINT kValuesHeading = 50014;
const UINT kTextLine = 50015;
const UINT kDwordLine = 50016;
const UINT kUnsupportedLine = 50017;
const UINT kLargeSystemCacheNote = 52013;

// A list whose length was not given: enumerated until the system says it ends.
const DWORD kUnknownCount = 0xFFFFFFFF;
// Registry names hold at most 16383 characters; data beyond 16 MiB is not
// read for the first 1023 characters of its line.
const DWORD kLongestName = 16383;
const DWORD kLongestData = 0x1000000;

// The strings of a multi-string list, each after one blank, up to the first
// empty string or the end of the data, whichever comes first; a cut keeps
// whole characters.
void JoinMultiString(const BYTE* data, DWORD size, char* text, size_t textSize) {
  size_t used = 0;
  bool cut = false;
  DWORD at = 0;
  text[used++] = ' ';
  while (at < size && data[at] != '\0') {
    if (at > 0 && used < textSize - 1) text[used++] = ' ';
    for (; at < size && data[at] != '\0'; ++at) {
      if (used < textSize - 1) {
        text[used++] = static_cast<char>(data[at]);
      } else {
        cut = true;
      }
    }
    ++at;  // past the string's terminator
  }
  if (cut) used = WholeCharacters(text, used);
  text[used] = '\0';
}

// A report line holds no more than this; a longer joined list is cut.
const size_t kJoinedTextSize = 1024;

void AddValueLine(const char* name, DWORD type, BYTE* data, DWORD size) {
  char text[kJoinedTextSize];
  char decimal[16];
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      data[size] = '\0';  // the buffer holds one byte more than it lends
      ReportAddLine(LoadMessage(kTextLine), name, reinterpret_cast<char*>(data));
      break;
    case REG_DWORD: {
      DWORD number = 0;
      memcpy(&number, data, size < sizeof number ? size : sizeof number);
      wsprintfA(text, "%x", number);
      wsprintfA(decimal, "%d", static_cast<LONG>(number));
      ReportAddLine(LoadMessage(kDwordLine), name, text, decimal);
      break;
    }
    case REG_MULTI_SZ:
      JoinMultiString(data, size, text, sizeof text);
      ReportAddLine(LoadMessage(kTextLine), name, text);
      break;
    default:
      ReportAddLine(LoadMessage(kUnsupportedLine), name, static_cast<int>(type));
      break;
  }
}

// Adds one line per value of `key`, of the first `count`. The buffers fit
// the longest name (`maxName` characters, each of up to two bytes in ANSI)
// and data (`maxData` bytes) the key reported; they are on the heap when
// longer than MAX_PATH, and stay of MAX_PATH when the heap has no room. A
// value that does not fit is skipped; a line cut at the report's limit keeps
// its line break.
void AddValueLines(HKEY key, DWORD count, DWORD maxName, DWORD maxData) {
  char fixedName[MAX_PATH];
  BYTE fixedData[MAX_PATH + 1];
  char* name = fixedName;
  BYTE* data = fixedData;
  DWORD nameRoom = sizeof fixedName;
  DWORD dataRoom = MAX_PATH;
  void* block = NULL;
  if ((maxName >= MAX_PATH / 2 || maxData > MAX_PATH) && maxName <= kLongestName &&
      maxData <= kLongestData) {
    DWORD longName = 2 * maxName + 1;
    DWORD longData = maxData > MAX_PATH ? maxData : MAX_PATH;
    block = malloc(longName + longData + 1);
    if (block != NULL) {
      name = static_cast<char*>(block);
      nameRoom = longName;
      data = static_cast<BYTE*>(block) + longName;
      dataRoom = longData;
    }
  }
  for (DWORD index = 0; index < count; ++index) {
    DWORD nameSize = nameRoom;
    DWORD dataSize = dataRoom;
    DWORD type = REG_NONE;
    LONG rc = RegEnumValueA(key, index, name, &nameSize, NULL, &type, data, &dataSize);
    if (rc == ERROR_MORE_DATA) continue;  // grew past its buffer: skipped
    if (rc != ERROR_SUCCESS) break;       // the end, or the key went away
    AddValueLine(name, type, data, dataSize);
  }
  free(block);
}

}  // namespace

LONG DumpRegistryKey(HKEY root, const char* path) {
  HKEY key;
  LONG rc = RegOpenKeyExA(root, path, 0, KEY_READ, &key);
  if (rc != ERROR_SUCCESS) return rc;

  // One query gives both counts, so neither list is read past its end; when
  // they cannot be had, both lists are read until the system says they end.
  // The same query tells the longest value name and data, to size the buffers.
  DWORD subkeys = kUnknownCount;
  DWORD values = kUnknownCount;
  DWORD maxName = 0;
  DWORD maxData = 0;
  if (RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, &values, &maxName, &maxData, NULL,
                       NULL) != ERROR_SUCCESS) {
    subkeys = kUnknownCount;
    values = kUnknownCount;
    maxName = 0;
    maxData = 0;
  }

  size_t pathLength = strlen(path);
  for (DWORD index = 0; index < subkeys; ++index) {
    char name[MAX_PATH];
    DWORD nameSize = sizeof name;
    if (RegEnumKeyExA(key, index, name, &nameSize, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
    // Each key is opened by its full path; one that would not fit is skipped
    // rather than cut into the path of some other key.
    char subkeyPath[MAX_PATH];
    if (pathLength + 1 + nameSize >= sizeof subkeyPath) continue;
    memcpy(subkeyPath, path, pathLength);
    subkeyPath[pathLength] = '\\';
    memcpy(subkeyPath + pathLength + 1, name, nameSize + 1);
    DumpRegistryKey(root, subkeyPath);
  }

  // A key's values are listed only under its heading, and the heading only
  // above a value line the list really took: without room, neither stays.
  size_t before = ReportLength();
  ReportAdd(LoadMessage(kValuesHeading), path);
  size_t headed = ReportLength();
  if (headed != before) {
    AddValueLines(key, values, maxName, maxData);
    if (ReportLength() == headed) ReportDropLast();
  }
  RegCloseKey(key);

  ReportFlush();
  ReportDiscard();
  return ERROR_SUCCESS;
}

void DumpConfigurationRegistry(void) {
  for (const char* tree : kConfigurationTrees) DumpRegistryKey(HKEY_LOCAL_MACHINE, tree);

  DWORD largeSystemCache = 0;
  if (ReadRegistryDword(HKEY_LOCAL_MACHINE, kLargeSystemCacheValue, &largeSystemCache) == 0 &&
      largeSystemCache != 0) {
    ReportAdd(LoadMessage(kLargeSystemCacheNote));
    ReportFlush();
  }
}
