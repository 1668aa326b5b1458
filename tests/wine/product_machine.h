// The product as the Wine hosts install it: its keys, files and services, and
// small readers of the machine's state. Paths stay inside the Wine prefix (C:).
#pragma once

#include <windows.h>

#include <string>

namespace machine {

inline const char kProductKey[] = "SOFTWARE\\Velmora Software\\Corvane\\1.5";
inline const char kStashKey[] = "SOFTWARE\\Velmora Software Uninstall";
inline const char kSharedDlls[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
inline const char kAppPath[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\cvnsvc.exe";
inline const char kInstallDir[] = "C:\\Program Files\\Corvane\\";
inline const char kDatabases[] = "C:\\CVN\\Databases";
inline const char kJournals[] = "C:\\CVN\\Journals";
inline const char kPidFile[] = "C:\\cvn_test_service.pid";
inline const char kShippedStatus[] = "[MIF]\r\nProduct=Corvane\r\nStatus=Uninstalled\r\n";

inline const char* const kProgramFiles[] = {"cvnadmin.exe", "cvnsvc.exe", "cvnbase.dll",
                                            "cvnmapi.dll", "DeIsL1.isu"};
inline const char* const kLeftovers[] = {"WinHelp.GID", "Search.FTS", "nightly.rpt",
                                         "Logs\\cvnsvc.log"};
// Removed by the uninstaller itself between the hooks (its own log).
inline const char* const kLoggedFiles[] = {"cvnax.ocx", "readme.txt", "cvnunins.mi_"};
inline const char* const kDriverFiles[] = {"cvn-rec.sys", "cvn-fltr.sys", "cvn-jnl.sys",
                                           "cvnmapi.log"};
inline const char* const kDrivers[] = {"cvn-jnl", "cvn-fltr", "cvn-rec"};
inline const char kPortMapper[] = "NobleNet Portmapper for TCP";

// Stops (when running) and deletes a service; waits until it is gone.
inline void RemoveServiceNow(SC_HANDLE scm, const char* name) {
  SC_HANDLE service = OpenServiceA(scm, name, SERVICE_ALL_ACCESS);
  if (service) {
    SERVICE_STATUS status = {};
    if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
      for (int i = 0; i < 200 && status.dwCurrentState != SERVICE_STOPPED; ++i) {
        Sleep(20);
        if (!QueryServiceStatus(service, &status)) break;
      }
    }
    DeleteService(service);
    CloseServiceHandle(service);
  }
  for (int i = 0; i < 200; ++i) {
    SC_HANDLE left = OpenServiceA(scm, name, SERVICE_QUERY_STATUS);
    if (!left) break;
    CloseServiceHandle(left);
    Sleep(20);
  }
}

inline std::string Directory(UINT(WINAPI* get)(LPSTR, UINT)) {
  char buffer[MAX_PATH];
  UINT length = get(buffer, MAX_PATH);
  return length && length < MAX_PATH ? std::string(buffer) : std::string();
}

inline std::string ReadFileText(const std::string& path) {
  std::string text;
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, NULL) && got > 0) text.append(buffer, got);
  CloseHandle(file);
  return text;
}

inline bool WriteFileText(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok =
      WriteFile(file, text.data(), (DWORD)text.size(), &written, NULL) && written == text.size();
  CloseHandle(file);
  return ok;
}

inline bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Every missing directory of a path, then the file. Separators are found a
// character at a time: a second byte may be the backslash's.
inline bool MakeFile(const std::string& path, const std::string& text = "x") {
  for (const char* at = path.c_str() + 3; *at != '\0'; at = CharNextA(at)) {
    if (*at == '\\') CreateDirectoryA(path.substr(0, at - path.c_str()).c_str(), NULL);
  }
  return WriteFileText(path, text);
}

inline bool SetValue(HKEY root, const char* key, const char* name, DWORD type, const void* data,
                     DWORD size) {
  HKEY handle;
  LONG status = RegCreateKeyExA(root, key, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &handle, NULL);
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExA(handle, name, 0, type, (const BYTE*)data, size);
    RegCloseKey(handle);
  }
  return status == ERROR_SUCCESS;
}

inline bool SetString(HKEY root, const char* key, const char* name, const std::string& value) {
  return SetValue(root, key, name, REG_SZ, value.c_str(), (DWORD)value.size() + 1);
}

inline bool SetDword(HKEY root, const char* key, const char* name, DWORD value) {
  return SetValue(root, key, name, REG_DWORD, &value, sizeof value);
}

inline bool KeyExists(HKEY root, const char* key) {
  HKEY handle;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

// A value's bytes as stored (a string with its terminator), or "<none>".
inline std::string GetValue(HKEY root, const char* key, const char* name) {
  HKEY handle;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return "<none>";
  DWORD size = 0;
  std::string value = "<none>";
  if (RegQueryValueExA(handle, name, NULL, NULL, NULL, &size) == ERROR_SUCCESS) {
    value.assign(size, '\0');
    if (RegQueryValueExA(handle, name, NULL, NULL, (BYTE*)&value[0], &size) == ERROR_SUCCESS)
      value.resize(size);
    else
      value = "<none>";
  }
  RegCloseKey(handle);
  return value;
}

// A service's state, or 0 with the error of opening it in *openError.
inline DWORD ServiceState(SC_HANDLE scm, const char* name, DWORD* openError) {
  SC_HANDLE service = OpenServiceA(scm, name, SERVICE_QUERY_STATUS);
  *openError = service ? 0 : GetLastError();
  if (!service) return 0;
  SERVICE_STATUS status = {};
  QueryServiceStatus(service, &status);
  CloseServiceHandle(service);
  return status.dwCurrentState;
}

// Our test service program (next to the host) as CVNSvc's command line.
inline std::string TestServiceBinary() {
  char self[MAX_PATH];
  GetModuleFileNameA(NULL, self, MAX_PATH);
  std::string binary = self;
  return "\"" + binary.substr(0, binary.rfind('\\') + 1) + "cvn_test_service.exe\" " + kPidFile;
}

// Creates a demand-start service, and starts it when asked to (waiting until
// it runs).
inline bool CreateNamedService(SC_HANDLE scm, const char* name, DWORD type,
                               const std::string& binary, bool start) {
  SC_HANDLE service =
      CreateServiceA(scm, name, name, SERVICE_ALL_ACCESS, type, SERVICE_DEMAND_START,
                     SERVICE_ERROR_NORMAL, binary.c_str(), NULL, NULL, NULL, NULL, NULL);
  if (!service) return false;
  bool ok = true;
  if (start) {
    ok = StartServiceA(service, 0, NULL) != FALSE;
    SERVICE_STATUS status = {};
    for (int i = 0; ok && i < 250; ++i) {
      if (QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING) break;
      Sleep(20);
    }
    ok = ok && status.dwCurrentState == SERVICE_RUNNING;
  }
  CloseServiceHandle(service);
  return ok;
}

// The product's keys and files (not its services); true when all were made.
inline bool InstallProduct() {
  std::string install = kInstallDir;
  std::string system = Directory(GetSystemDirectoryA);
  bool ok = !system.empty();
  ok &= SetString(HKEY_LOCAL_MACHINE, kProductKey, "InstallationDirectory", install);
  ok &= SetString(HKEY_LOCAL_MACHINE, kProductKey, "ProtectedDatasetDirectory", kDatabases);
  ok &= SetString(HKEY_LOCAL_MACHINE, kProductKey, "JournalRoot", kJournals);
  ok &= SetDword(HKEY_LOCAL_MACHINE, kProductKey, "Type", 1);
  ok &= SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora Software\\Corvane\\1.5\\Jobs\\Nightly",
                 "Hour", 2);
  ok &= SetString(HKEY_LOCAL_MACHINE, kAppPath, NULL, install + "cvnsvc.exe");
  ok &= SetString(HKEY_CURRENT_USER, "SOFTWARE\\Velmora Software\\Corvane\\1.5\\Admin", "Window",
                  "0 0 640 480");
  ok &= SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, (install + "cvnax.ocx").c_str(), 3);
  for (const char* name : kProgramFiles) ok &= MakeFile(install + name);
  for (const char* name : kLeftovers) ok &= MakeFile(install + name);
  for (const char* name : kLoggedFiles) ok &= MakeFile(install + name);
  ok &= MakeFile(install + "cvnunins.mi_", kShippedStatus);
  for (const char* name : kDriverFiles) ok &= MakeFile(system + "\\drivers\\" + name);
  ok &= MakeFile(std::string(kDatabases) + "\\jobs.db");
  ok &= MakeFile(std::string(kJournals) + "\\job1\\0001.jnl");
  return ok;
}

}  // namespace machine
