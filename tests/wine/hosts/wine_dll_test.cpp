// CVNUNIST.dll as its callers meet it: loaded by name, its six exports found
// by name, the message catalog and the version resource read back through
// the system's own calls. cvncheck.exe carries the same catalog.
#include <windows.h>

#include <type_traits>
#include <vector>

// The developer kit's header before the product's own declarations: a
// calling convention the header leaves out, or a parameter type it gets
// wrong, makes a conflicting declaration (call_export.cpp includes them the
// other way round, which catches a convention the header adds).
#include "cvnunist.h"
#include "entry_points.h"
#include "hooks.h"

#include "check.h"

// The header's pointer types for GetProcAddress are the exports' own types.
static_assert(std::is_same<decltype(&UninstInitialize), CVN_UNINST_HOOK>::value, "");
static_assert(std::is_same<decltype(&UninstUnInitialize), CVN_UNINST_HOOK>::value, "");
static_assert(std::is_same<decltype(&ValidateEnvironment), CVN_VALIDATE_ENVIRONMENT>::value, "");
static_assert(std::is_same<decltype(&zrHealthLog), CVN_HEALTH_LOG>::value, "");
static_assert(std::is_same<decltype(&zrPortExists), CVN_PORT_EXISTS>::value, "");
static_assert(std::is_same<decltype(&inEnsureServiceNotRunning),
                           CVN_ENSURE_SERVICE_NOT_RUNNING>::value, "");

namespace {

struct Message {
  UINT id;
  const char* text;
};

const Message kCatalog[] = {
#define MSG(id, text) {id, text},
#include "catalog.inc"
#undef MSG
};

bool InCatalog(UINT id) {
  for (const Message& message : kCatalog) {
    if (message.id == id) return true;
  }
  return false;
}

void CheckExports(HMODULE dll) {
  static const char* const kExports[] = {"UninstInitialize", "UninstUnInitialize",
                                         "ValidateEnvironment", "zrHealthLog",
                                         "zrPortExists", "inEnsureServiceNotRunning"};
  for (const char* name : kExports) {
    SetLastError(0xdeadbeef);
    FARPROC address = GetProcAddress(dll, name);
    DWORD error = GetLastError();
    CHECK_THAT(address != NULL, "export %s not found (error %lu)", name, error);
  }
  // The hooks are stdcall, but only their plain names are published.
  CHECK(GetProcAddress(dll, "UninstInitialize@12") == NULL);
  CHECK(GetProcAddress(dll, "_UninstInitialize@12") == NULL);
  CHECK(GetProcAddress(dll, "UninstUnInitialize@12") == NULL);
}

// Every catalog text reads back byte for byte, terminated, with its length.
void CheckCatalog(HMODULE module, const char* moduleName) {
  static char buffer[4096];
  int mismatches = 0;
  for (const Message& message : kCatalog) {
    memset(buffer, 0xcc, sizeof buffer);
    SetLastError(0xdeadbeef);
    int length = LoadStringA(module, message.id, buffer, sizeof buffer);
    DWORD error = GetLastError();
    size_t expected = strlen(message.text);
    bool same = length >= 0 && static_cast<size_t>(length) == expected &&
                memcmp(buffer, message.text, expected) == 0 && buffer[expected] == '\0';
    if (!CHECK_THAT(same, "%s message %u (LoadStringA %d, error %lu):\n  expected: %s\n  actual:   %s",
                    moduleName, message.id, length, error,
                    check::Quote(message.text, expected).c_str(),
                    check::Quote(buffer, length > 0 ? length : 0).c_str())) {
      ++mismatches;
    }
  }
  CHECK_THAT(sizeof kCatalog / sizeof kCatalog[0] == 144, "catalog source holds %u messages",
             static_cast<unsigned>(sizeof kCatalog / sizeof kCatalog[0]));

  // No other id reads as a message, not even the neighbours in a block of 16.
  std::vector<UINT> strays;
  for (UINT id = 0; id <= 0xffff; ++id) {
    if (InCatalog(id)) continue;
    buffer[0] = 'x';
    if (LoadStringA(module, id, buffer, sizeof buffer) != 0) strays.push_back(id);
  }
  CHECK_THAT(strays.empty(), "%s: %u ids outside the catalog read as text, first %u",
             moduleName, static_cast<unsigned>(strays.size()), strays.empty() ? 0u : strays[0]);
}

void CheckVersion(const char* path, const char* internalName, const char* originalFilename,
                  const char* description, DWORD fileType) {
  DWORD handle = 0xdeadbeef;
  DWORD size = GetFileVersionInfoSizeA(path, &handle);
  if (!CHECK_THAT(size > 0, "%s has no version resource (error %lu)", path, GetLastError())) return;
  std::vector<char> data(size);
  if (!CHECK(GetFileVersionInfoA(path, 0, size, data.data()))) return;

  void* value = NULL;
  UINT length = 0;
  if (CHECK(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &value, &length)) &&
      CHECK_EQ(4u, length)) {
    const WORD* translation = static_cast<const WORD*>(value);
    CHECK_EQ(0x0409, translation[0]);
    CHECK_EQ(1200, translation[1]);
  }

  if (CHECK(VerQueryValueA(data.data(), "\\", &value, &length)) &&
      CHECK_EQ(sizeof(VS_FIXEDFILEINFO), static_cast<size_t>(length))) {
    const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    CHECK_EQ(0xfeef04bdul, fixed->dwSignature);
    CHECK_EQ(static_cast<DWORD>(MAKELONG(5, 1)), fixed->dwFileVersionMS);
    CHECK_EQ(static_cast<DWORD>(MAKELONG(841, 1)), fixed->dwFileVersionLS);
    CHECK_EQ(static_cast<DWORD>(MAKELONG(5, 1)), fixed->dwProductVersionMS);
    CHECK_EQ(static_cast<DWORD>(MAKELONG(841, 1)), fixed->dwProductVersionLS);
    CHECK_EQ(static_cast<DWORD>(VOS_NT_WINDOWS32), fixed->dwFileOS);
    CHECK_EQ(fileType, fixed->dwFileType);
  }

  const struct {
    const char* name;
    const char* text;
  } kStrings[] = {{"FileDescription", description},
                  {"FileVersion", "V1.5.1 Build 841-0"},
                  {"ProductVersion", "V1.5.1 Build 841-0"},
                  {"InternalName", internalName},
                  {"OriginalFilename", originalFilename},
                  {"ProductName", "Corvane"},
                  {"CompanyName", "Velmora Software"}};
  for (const auto& entry : kStrings) {
    char query[128];
    snprintf(query, sizeof query, "\\StringFileInfo\\040904b0\\%s", entry.name);
    value = NULL;
    length = 0;
    bool found = VerQueryValueA(data.data(), query, &value, &length) && value != NULL;
    if (CHECK_THAT(found, "%s: no %s", path, query)) {
      CHECK_STR(entry.text, static_cast<const char*>(value));
    }
  }
}

}  // namespace

int main() {
  SetLastError(0xdeadbeef);
  HMODULE dll = LoadLibraryA("CVNUNIST.dll");
  DWORD error = GetLastError();
  if (CHECK_THAT(dll != NULL, "LoadLibraryA(\"CVNUNIST.dll\") failed with %lu", error)) {
    CHECK(GetModuleHandleA("cvnunist.dll") == dll);
    CheckExports(dll);
    CheckCatalog(dll, "CVNUNIST.dll");
    char path[MAX_PATH];
    if (CHECK(GetModuleFileNameA(dll, path, sizeof path) > 0)) {
      CheckVersion(path, "cvnunist", "cvnunist.dll", "unInstallShield helper", VFT_DLL);
    }
    CHECK(FreeLibrary(dll));
  }

  // cvncheck.exe lies next to this host.
  char cvncheck[MAX_PATH];
  DWORD length = GetModuleFileNameA(NULL, cvncheck, sizeof cvncheck);
  char* slash = strrchr(cvncheck, '\\');
  if (CHECK(length > 0 && slash != NULL && slash - cvncheck + sizeof "\\cvncheck.exe" <= MAX_PATH)) {
    strcpy(slash, "\\cvncheck.exe");
    HMODULE host = LoadLibraryExA(cvncheck, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (CHECK_THAT(host != NULL, "%s cannot be loaded as data (%lu)", cvncheck, GetLastError())) {
      CheckCatalog(host, "cvncheck.exe");
      FreeLibrary(host);
    }
    CheckVersion(cvncheck, "cvncheck", "cvncheck.exe", "Corvane environment check", VFT_APP);
  }
  return check::Summary();
}
