// Names as Windows keeps them, under Wine, which converts them for the ANSI
// calls as Windows does. One step per run, each with "-a " on the command
// line (unattended):
//   no-backslash   the first hook with InstallationDirectory lacking its
//                  closing backslash: the status file comes from inside the
//                  directory, not from the file the bare name runs into
//   trees          both hooks over product trees holding a registry link x,
//                  a key x＼Sub (FULLWIDTH REVERSE SOLIDUS) beside it and keys
//                  named outside the code page (日本): the second hook returns
//                  within a minute, x＼Sub and the 日本 keys go, the link's
//                  target keeps its Sub
#include <windows.h>

#include <string>

#include "check.h"
#include "product_machine.h"

namespace {

using namespace machine;

const char kProductTree[] = "SOFTWARE\\Velmora Software\\Corvane";
const WCHAR kLink[] = L"SOFTWARE\\Velmora Software\\Corvane\\x";
const WCHAR kBesideLink[] = L"SOFTWARE\\Velmora Software\\Corvane\\x\xFF3CSub";
const WCHAR kMachineJapanese[] = L"SOFTWARE\\Velmora Software\\Corvane\\1.5\\\x65E5\x672C";
const WCHAR kUserJapanese[] = L"SOFTWARE\\Velmora Software\\Corvane\\\x65E5\x672C\\Sub";
const char kTarget[] = "SOFTWARE\\CvnLinkTarget";
const WCHAR kTargetNative[] = L"\\Registry\\Machine\\SOFTWARE\\CvnLinkTarget";
const DWORD kHookLimitMs = 60000;

typedef LONG(WINAPI* Hook)(HWND, HANDLE, LONG);

bool CreateWide(HKEY root, const WCHAR* path, DWORD options, HKEY* key) {
  return RegCreateKeyExW(root, path, 0, NULL, options, KEY_ALL_ACCESS, NULL, key, NULL) == ERROR_SUCCESS;
}

bool MakeWideKey(HKEY root, const WCHAR* path) {
  HKEY key;
  if (!CreateWide(root, path, REG_OPTION_NON_VOLATILE, &key)) return false;
  RegCloseKey(key);
  return true;
}

bool WideKeyExists(HKEY root, const WCHAR* path) {
  HKEY key;
  if (RegOpenKeyExW(root, path, REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// A registry link: REG_OPTION_CREATE_LINK, then its target's native name in
// UTF-16 without a terminator.
bool MakeLink(const WCHAR* path, const WCHAR* target) {
  HKEY link;
  if (!CreateWide(HKEY_LOCAL_MACHINE, path, REG_OPTION_CREATE_LINK, &link)) return false;
  LONG set = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, (const BYTE*)target,
                            (DWORD)(wcslen(target) * sizeof(WCHAR)));
  RegCloseKey(link);
  return set == ERROR_SUCCESS;
}

struct HookRun {
  Hook hook;
  LONG result;
};

DWORD WINAPI RunHookThread(void* parameter) {
  HookRun* run = (HookRun*)parameter;
  run->result = run->hook(NULL, NULL, 0);
  return 0;
}

// The hook on a thread of its own, given a minute: a hook that does not
// return in time ends the host.
LONG RunHook(HMODULE dll, const char* name) {
  HookRun run = {reinterpret_cast<Hook>(reinterpret_cast<void*>(GetProcAddress(dll, name))), -2};
  if (!CHECK_THAT(run.hook != NULL, "no export %s", name)) return -2;
  HANDLE thread = CreateThread(NULL, 0, RunHookThread, &run, 0, NULL);
  if (!CHECK(thread != NULL)) return -2;
  DWORD waited = WaitForSingleObject(thread, kHookLimitMs);
  CloseHandle(thread);
  if (!CHECK_THAT(waited == WAIT_OBJECT_0, "%s did not return within %lu ms", name, kHookLimitMs)) {
    check::Summary();
    ExitProcess(1);
  }
  return run.result;
}

int NoBackslash() {
  const std::string directory = "C:\\Program Files\\Corvane";
  const std::string windows = Directory(GetWindowsDirectoryA);
  CHECK(InstallProduct());
  CHECK(SetString(HKEY_LOCAL_MACHINE, kProductKey, "InstallationDirectory", directory));
  CHECK(MakeFile(directory + "cvnunins.mi_", "planted"));
  DeleteFileA((windows + "\\cvnunins.mi_").c_str());
  HMODULE dll = LoadLibraryA("CVNUNIST.dll");
  if (!CHECK_THAT(dll != NULL, "LoadLibraryA: %lu", GetLastError())) return check::Summary();
  CHECK_EQ(0L, RunHook(dll, "UninstInitialize"));
  CHECK_STR(kShippedStatus, ReadFileText(windows + "\\cvnunins.mi_").c_str());
  CHECK_STR("planted", ReadFileText(directory + "cvnunins.mi_").c_str());
  for (const char* name : kLeftovers) CHECK_THAT(!Exists(directory + "\\" + name), "%s not deleted", name);
  FreeLibrary(dll);
  return check::Summary();
}

int Trees() {
  CHECK(InstallProduct());
  CHECK(SetDword(HKEY_LOCAL_MACHINE, (std::string(kTarget) + "\\Sub").c_str(), "Keep", 1));
  CHECK(MakeLink(kLink, kTargetNative));
  CHECK(MakeWideKey(HKEY_LOCAL_MACHINE, kBesideLink));
  CHECK(MakeWideKey(HKEY_LOCAL_MACHINE, kMachineJapanese));
  CHECK(MakeWideKey(HKEY_CURRENT_USER, kUserJapanese));
  HMODULE dll = LoadLibraryA("CVNUNIST.dll");
  if (!CHECK_THAT(dll != NULL, "LoadLibraryA: %lu", GetLastError())) return check::Summary();
  CHECK_EQ(0L, RunHook(dll, "UninstInitialize"));
  DWORD started = GetTickCount();
  CHECK_EQ(0L, RunHook(dll, "UninstUnInitialize"));
  printf("second hook: %lu ms\n", GetTickCount() - started);
  CHECK_THAT(!WideKeyExists(HKEY_LOCAL_MACHINE, kBesideLink), "x\\uFF3CSub not deleted");
  CHECK_THAT(!WideKeyExists(HKEY_LOCAL_MACHINE, kMachineJapanese), "HKLM 1.5\\\\u65E5\\u672C not deleted");
  CHECK_THAT(!KeyExists(HKEY_CURRENT_USER, kProductTree), "the HKCU tree not deleted");
  CHECK_THAT(KeyExists(HKEY_LOCAL_MACHINE, (std::string(kTarget) + "\\Sub").c_str()),
             "the link's target lost its Sub");
  CHECK_THAT(WideKeyExists(HKEY_LOCAL_MACHINE, kLink), "the link itself went");
  CHECK_THAT(!KeyExists(HKEY_LOCAL_MACHINE, kProductKey), "the product key not deleted");
  FreeLibrary(dll);
  return check::Summary();
}

}  // namespace

int main(int argc, char** argv) {
  std::string step = argc > 1 ? argv[1] : "";
  if (step == "no-backslash") return NoBackslash();
  if (step == "trees") return Trees();
  printf("usage: registry_names no-backslash -a ... | trees -a ...\n");
  return 2;
}
