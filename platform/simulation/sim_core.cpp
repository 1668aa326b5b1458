// Core of the simulation: fault injection, handle and heap accounting, last
// error, virtual clock, local time, modules, command line and system texts.
#include "sim_internal.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>

namespace sim {
namespace {

struct Fault {
  std::string api;
  DWORD error;
  int skip;   // uses to let through before failing
  int times;  // failing uses left
};

// Something that happens to the machine just before the nth use of an api.
struct Action {
  std::string api;
  int skip;  // uses to let through first
  std::function<void()> run;
};

// The process ends at the nth use of an api: before it goes ahead, or right
// after it.
struct Kill {
  std::string api;
  int skip;  // uses to let through first
  bool afterIt;
};

struct Module {
  std::string name;  // lower case, with extension; empty for the host
  bool hasCatalog;
};

std::vector<char> ExactCopy(const std::string& text) {
  return std::vector<char>(text.c_str(), text.c_str() + text.size() + 1);
}

struct CoreState {
  std::vector<Fault> faults;
  std::vector<Action> actions;
  std::vector<Kill> kills;
  bool killAtNextCall = false;  // the call a kill waited for has gone ahead
  std::map<std::string, int> calls;
  std::map<uintptr_t, HandleKind> handles;
  uintptr_t nextHandle = 0x1000;
  std::map<void*, size_t> heap;
  DWORD lastError = 0;
  uint64_t elapsedMs = 0;
  SYSTEMTIME localTime{2026, 12, 1, 7, 10, 30, 15, 0};
  // In a block of its exact size (NUL included): a read past its end is caught.
  std::vector<char> commandLine = ExactCopy("\"C:\\Program Files\\Setup\\uninst.exe\"");
  std::map<uintptr_t, Module> modules;
  std::map<DWORD, std::string> systemTexts;
  // Upper-cased name -> value.
  std::map<std::string, std::string> environment = {
      {"SYSTEMDRIVE", "C:"}, {"SYSTEMROOT", "C:\\WINNT"}, {"WINDIR", "C:\\WINNT"}};
};

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

CoreState& State() {
  static CoreState state;
  return state;
}

const std::map<DWORD, std::string>& DefaultSystemTexts() {
  static const std::map<DWORD, std::string> texts = {
      {0, "The operation completed successfully.\r\n"},
      {2, "The system cannot find the file specified.\r\n"},
      {3, "The system cannot find the path specified.\r\n"},
      {5, "Access is denied.\r\n"},
      {6, "The handle is invalid.\r\n"},
      {8, "Not enough storage is available to process this command.\r\n"},
      {18, "There are no more files.\r\n"},
      {21, "The device is not ready.\r\n"},
      {32, "The process cannot access the file because it is being used by another process.\r\n"},
      {87, "The parameter is incorrect.\r\n"},
      {122, "The data area passed to a system call is too small.\r\n"},
      {126, "The specified module could not be found.\r\n"},
      {127, "The specified procedure could not be found.\r\n"},
      {145, "The directory is not empty.\r\n"},
      {ERROR_BAD_EXE_FORMAT, "%1 is not a valid Win32 application.\r\n"},
      {234, "More data is available.\r\n"},
      {259, "No more data is available.\r\n"},
      {1051, "A stop control has been sent to a service that other running services are dependent on.\r\n"},
      {1052, "The requested control is not valid for this service.\r\n"},
      {1053, "The service did not respond to the start or control request in a timely fashion.\r\n"},
      {1060, "The specified service does not exist as an installed service.\r\n"},
      {1061, "The service cannot accept control messages at this time.\r\n"},
      {1062, "The service has not been started.\r\n"},
      {1072, "The specified service has been marked for deletion.\r\n"},
      {1115, "A system shutdown is in progress.\r\n"},
      {1314, "A required privilege is not held by the client.\r\n"},
      {1400, "Invalid window handle.\r\n"},
      {10050, "A socket operation encountered a dead network.\r\n"},
      {10060,
       "A connection attempt failed because the connected party did not properly respond after a "
       "period of time, or established connection failed because connected host has failed to "
       "respond.\r\n"},
      {10061, "No connection could be made because the target machine actively refused it.\r\n"},
      {11001, "No such host is known.\r\n"},
      {11004, "The requested name is valid, but no data of the requested type was found.\r\n"},
      {11010, "Request timed out.\r\n"},
      {11050, "General failure.\r\n"},
  };
  return texts;
}

constexpr uintptr_t kHostModule = 0x400000;
constexpr uintptr_t kLibraryModule = 0x10000000;
// Loaded in every process: the product looks up the calls of later versions there.
constexpr uintptr_t kNtdllModule = 0x77F00000;
constexpr uintptr_t kKernel32Module = 0x77E00000;

void ResetCore() {
  CoreState& s = State();
  s = CoreState{};
  s.modules[kHostModule] = Module{"", true};
  s.modules[kLibraryModule] = Module{"cvnunist.dll", true};
  s.modules[kNtdllModule] = Module{"ntdll.dll", false};
  s.modules[kKernel32Module] = Module{"kernel32.dll", false};
  s.systemTexts = DefaultSystemTexts();
}

}  // namespace

namespace detail {

std::string ModuleName(HMODULE module) {
  auto it = State().modules.find(reinterpret_cast<uintptr_t>(module));
  return it == State().modules.end() ? std::string() : it->second.name;
}

bool ShouldFail(const char* api, DWORD* error) {
  CoreState& s = State();
  if (s.killAtNextCall) {
    s.killAtNextCall = false;
    throw ProcessKilled{};
  }
  ++s.calls[api];
  for (auto it = s.kills.begin(); it != s.kills.end(); ++it) {
    if (it->api != api) continue;
    if (it->skip-- > 0) continue;
    bool afterIt = it->afterIt;
    s.kills.erase(it);
    if (!afterIt) throw ProcessKilled{};
    s.killAtNextCall = true;
    break;
  }
  for (auto it = s.actions.begin(); it != s.actions.end(); ++it) {
    if (!it->api.empty() && it->api != api) continue;
    if (it->skip-- > 0) continue;
    std::function<void()> run = std::move(it->run);
    s.actions.erase(it);
    run();
    break;
  }
  for (auto it = s.faults.begin(); it != s.faults.end(); ++it) {
    if (it->api != api) continue;
    if (it->skip > 0) {
      --it->skip;
      continue;
    }
    *error = it->error;
    if (--it->times == 0) s.faults.erase(it);
    return true;
  }
  return false;
}

uintptr_t NewHandle(HandleKind kind) {
  CoreState& s = State();
  uintptr_t value = s.nextHandle;
  s.nextHandle += 4;
  s.handles[value] = kind;
  return value;
}

bool ReleaseHandle(HandleKind kind, uintptr_t value) {
  CoreState& s = State();
  auto it = s.handles.find(value);
  if (it == s.handles.end() || it->second != kind) return false;
  s.handles.erase(it);
  return true;
}

bool IsOpen(HandleKind kind, uintptr_t value) {
  auto it = State().handles.find(value);
  return it != State().handles.end() && it->second == kind;
}

void* CountedAlloc(size_t size) {
  void* block = std::malloc(size ? size : 1);
  if (block) State().heap[block] = size;
  return block;
}

bool CountedFree(void* block) {
  if (!block) return true;
  auto it = State().heap.find(block);
  if (it == State().heap.end()) return false;
  State().heap.erase(it);
  std::free(block);
  return true;
}

size_t CountedSize(void* block) {
  auto it = State().heap.find(block);
  return it == State().heap.end() ? 0 : it->second;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && FoldCase(a, std::tolower) == FoldCase(b, std::tolower);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace detail

void ResetStdio();
void ResetDialogs();

void Reset() {
  ResetCore();
  ResetStdio();
  ResetDialogs();
  detail::ResetSecurity();
  detail::ResetRegistry();
  detail::ResetFiles();
  detail::ResetServices();
  detail::ResetPrivileges();
  detail::ResetSysinfo();
  detail::ResetEventLog();
  detail::ResetNetwork();
  detail::ResetCodePage();
  detail::ResetModules();
}

void Reboot() {
  detail::RebootRegistry();
  detail::RebootServices();
  detail::RebootFiles();
}

void FailCall(const std::string& api, DWORD error, int nth, int times) {
  State().faults.push_back(Fault{api, error, nth - 1, times});
}

std::map<std::string, int> CallCounts() { return State().calls; }

void BeforeCall(const std::string& api, int nth, std::function<void()> action) {
  State().actions.push_back(Action{api, nth - 1, std::move(action)});
}

void KillAtCall(const std::string& api, int nth, bool afterIt) {
  State().kills.push_back(Kill{api, nth - 1, afterIt});
}

void KillIfDue() {
  if (!State().killAtNextCall) return;
  State().killAtNextCall = false;
  throw ProcessKilled{};
}

void EndProcess() {
  CoreState& s = State();
  s.kills.clear();
  s.killAtNextCall = false;
  // The system closes what the process held; that is none of its calls.
  std::vector<Fault> faults = std::move(s.faults);
  std::vector<Action> actions = std::move(s.actions);
  s.faults.clear();
  s.actions.clear();
  std::map<std::string, int> calls = s.calls;
  std::vector<std::pair<uintptr_t, HandleKind>> open(s.handles.begin(), s.handles.end());
  for (const auto& handle : open) {
    switch (handle.second) {
      case HandleKind::Key: RegCloseKey(reinterpret_cast<HKEY>(handle.first)); break;
      case HandleKind::Find: FindClose(reinterpret_cast<HANDLE>(handle.first)); break;
      case HandleKind::ScManager:
      case HandleKind::Service: CloseServiceHandle(reinterpret_cast<SC_HANDLE>(handle.first)); break;
      case HandleKind::EventLog: CloseEventLog(reinterpret_cast<HANDLE>(handle.first)); break;
      case HandleKind::Icmp: IcmpCloseHandle(reinterpret_cast<HANDLE>(handle.first)); break;
      case HandleKind::Socket: closesocket(static_cast<SOCKET>(handle.first)); break;
      default: CloseHandle(reinterpret_cast<HANDLE>(handle.first)); break;
    }
  }
  for (const auto& block : s.heap) std::free(block.first);
  s.heap.clear();
  s.faults = std::move(faults);
  s.actions = std::move(actions);
  s.calls = std::move(calls);
  s.lastError = 0;
}

int CallCount(const std::string& api) {
  auto it = State().calls.find(api);
  return it == State().calls.end() ? 0 : it->second;
}

int OpenHandles(HandleKind kind) {
  if (kind == HandleKind::Library) return detail::LibraryReferences();
  return static_cast<int>(std::count_if(State().handles.begin(), State().handles.end(),
                                        [kind](const auto& h) { return h.second == kind; }));
}

int OpenHandles() {
  return static_cast<int>(State().handles.size()) + detail::LibraryReferences();
}

int HeapBlocks() { return static_cast<int>(State().heap.size()); }

size_t HeapBytes() {
  size_t total = 0;
  for (const auto& block : State().heap) total += block.second;
  return total;
}

uint64_t ElapsedMs() { return State().elapsedMs; }
void SetLocalTime(const SYSTEMTIME& time) { State().localTime = time; }
void SetCommandLine(const std::string& commandLine) { State().commandLine = ExactCopy(commandLine); }

void SetEnvironmentVariable(const std::string& name, const std::string& value) {
  if (value.empty()) {
    State().environment.erase(Upper(name));
  } else {
    State().environment[Upper(name)] = value;
  }
}

HMODULE HostModule() { return reinterpret_cast<HMODULE>(kHostModule); }

HMODULE AddModule(const std::string& name, bool hasCatalog) {
  uintptr_t value = kLibraryModule + 0x10000 * State().modules.size();
  State().modules[value] = Module{detail::Lower(name), hasCatalog};
  return reinterpret_cast<HMODULE>(value);
}

void SetModuleCatalog(HMODULE module, bool hasCatalog) {
  auto it = State().modules.find(reinterpret_cast<uintptr_t>(module));
  if (it != State().modules.end()) it->second.hasCatalog = hasCatalog;
}

void SetSystemMessage(DWORD code, const std::string& text) {
  if (text.empty()) {
    State().systemTexts.erase(code);
  } else {
    State().systemTexts[code] = text;
  }
}

}  // namespace sim

// ---- Win32 entry points --------------------------------------------------------
using sim::State;
namespace detail = sim::detail;

namespace {

const char* const kCatalog[][2] = {
#define MSG(id, text) {#id, text},
#include "catalog.inc"
#undef MSG
};

const char* CatalogText(UINT id) {
  for (const auto& entry : kCatalog) {
    if (static_cast<UINT>(std::atoi(entry[0])) == id) return entry[1];
  }
  return nullptr;
}

}  // namespace

extern "C" {

DWORD WINAPI GetLastError(void) { return State().lastError; }
void WINAPI SetLastError(DWORD dwErrCode) { State().lastError = dwErrCode; }

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  DWORD error;
  if (detail::ShouldFail("GetModuleHandleA", &error)) {
    SetLastError(error);
    return nullptr;
  }
  if (!lpModuleName) return sim::HostModule();
  std::string wanted = detail::Lower(lpModuleName);
  if (wanted.find('.') == std::string::npos) wanted += ".dll";
  if (uintptr_t resident = detail::ResidentModule(wanted)) return reinterpret_cast<HMODULE>(resident);
  for (const auto& module : State().modules) {
    if (!module.second.name.empty() && module.second.name == wanted)
      return reinterpret_cast<HMODULE>(module.first);
  }
  SetLastError(126);  // ERROR_MOD_NOT_FOUND
  return nullptr;
}

LPSTR WINAPI GetCommandLineA(void) {
  DWORD error;
  if (detail::ShouldFail("GetCommandLineA", &error)) return nullptr;
  return State().commandLine.data();
}

// A reference %NAME% to a defined variable becomes its value; any other
// text, an undefined reference or a lone percent sign included, is copied as
// it stands. The count includes the terminator; a buffer too small for the
// whole text is left alone and the count needed returned.
DWORD WINAPI ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize) {
  DWORD error;
  if (detail::ShouldFail("ExpandEnvironmentStringsA", &error)) {
    SetLastError(error);
    return 0;
  }
  std::string out;
  for (const char* p = lpSrc; *p != '\0';) {
    const char* close = *p == '%' ? std::strchr(p + 1, '%') : nullptr;
    if (close != nullptr) {
      auto it = State().environment.find(sim::Upper(std::string(p + 1, close)));
      if (it != State().environment.end()) {
        out += it->second;
        p = close + 1;
        continue;
      }
      out.append(p, close + 1);
      p = close + 1;
      continue;
    }
    out += *p++;
  }
  DWORD needed = static_cast<DWORD>(out.size() + 1);
  if (lpDst != nullptr && needed <= nSize) std::memcpy(lpDst, out.c_str(), needed);
  return needed;
}

DWORD WINAPI SleepEx(DWORD dwMilliseconds, BOOL bAlertable) {
  DWORD error;
  detail::ShouldFail("SleepEx", &error);
  State().elapsedMs += dwMilliseconds;
  return 0;
}

void WINAPI Sleep(DWORD dwMilliseconds) { State().elapsedMs += dwMilliseconds; }
DWORD WINAPI GetTickCount(void) { return static_cast<DWORD>(State().elapsedMs); }

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
  DWORD error;
  detail::ShouldFail("GetLocalTime", &error);
  *lpSystemTime = State().localTime;
}

static int CopyFormatted(const std::string& text, LPSTR out, int size, const char* api) {
  int needed = static_cast<int>(text.size()) + 1;
  if (size == 0) return needed;
  if (!out || size < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(out, text.c_str(), needed);
  return needed;
}

// The user's locale answers LOCALE_USER_DEFAULT and its own identifier; null
// for US English, which the calls format themselves.
static const sim::UserLocale* LocaleOf(LCID locale) {
  const sim::UserLocale& user = detail::CurrentUserLocale();
  if (locale != LOCALE_USER_DEFAULT && locale != user.lcid) return nullptr;
  return user.days.size() == 7 && user.months.size() == 12 ? &user : nullptr;
}

static UINT ConversionPage(const sim::UserLocale& locale, DWORD flags) {
  return flags & LOCALE_USE_CP_ACP ? GetACP() : locale.codePage;
}

int WINAPI GetDateFormatA(LCID Locale, DWORD dwFlags, const SYSTEMTIME* lpDate, LPCSTR lpFormat,
                          LPSTR lpDateStr, int cchDate) {
  static const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday",
                                      "Thursday", "Friday", "Saturday"};
  static const char* const kMonths[] = {"January", "February", "March", "April",
                                        "May", "June", "July", "August",
                                        "September", "October", "November", "December"};
  DWORD error;
  if (detail::ShouldFail("GetDateFormatA", &error)) {
    SetLastError(error);
    return 0;
  }
  SYSTEMTIME t = lpDate ? *lpDate : State().localTime;
  if (t.wMonth < 1 || t.wMonth > 12 || t.wDayOfWeek > 6) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  char text[64];
  const sim::UserLocale* user = LocaleOf(Locale);
  if (user && (dwFlags & DATE_LONGDATE)) {
    std::string day = detail::ToCodePage(user->days[t.wDayOfWeek], ConversionPage(*user, dwFlags));
    std::string month = detail::ToCodePage(user->months[t.wMonth - 1], ConversionPage(*user, dwFlags));
    std::snprintf(text, sizeof text, "%s, %u %s %u", day.c_str(), t.wDay, month.c_str(), t.wYear);
  } else if (dwFlags & DATE_LONGDATE) {
    std::snprintf(text, sizeof text, "%s, %s %u, %u", kDays[t.wDayOfWeek], kMonths[t.wMonth - 1],
                  t.wDay, t.wYear);
  } else {
    std::snprintf(text, sizeof text, "%u/%u/%u", t.wMonth, t.wDay, t.wYear);
  }
  return CopyFormatted(text, lpDateStr, cchDate, "GetDateFormatA");
}

int WINAPI GetTimeFormatA(LCID Locale, DWORD dwFlags, const SYSTEMTIME* lpTime, LPCSTR lpFormat,
                          LPSTR lpTimeStr, int cchTime) {
  DWORD error;
  if (detail::ShouldFail("GetTimeFormatA", &error)) {
    SetLastError(error);
    return 0;
  }
  SYSTEMTIME t = lpTime ? *lpTime : State().localTime;
  unsigned hour12 = t.wHour % 12 == 0 ? 12 : t.wHour % 12;
  char text[64];
  if (LocaleOf(Locale)) {
    std::snprintf(text, sizeof text, "%u:%02u:%02u", t.wHour, t.wMinute, t.wSecond);
  } else {
    std::snprintf(text, sizeof text, "%u:%02u:%02u %s", hour12, t.wMinute, t.wSecond,
                  t.wHour < 12 ? "AM" : "PM");
  }
  return CopyFormatted(text, lpTimeStr, cchTime, "GetTimeFormatA");
}

// "%1" to "%99": a place for an argument.
static bool HasInsert(const std::string& text) {
  for (size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 2)) {
    if (at + 1 < text.size() && text[at + 1] >= '1' && text[at + 1] <= '9') return true;
  }
  return false;
}

DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                            LPSTR lpBuffer, DWORD nSize, va_list* Arguments) {
  DWORD error;
  if (detail::ShouldFail("FormatMessageA", &error)) {
    SetLastError(error);
    return 0;
  }
  auto it = State().systemTexts.find(dwMessageId);
  if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) || it == State().systemTexts.end()) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  const std::string& text = it->second;
  // An insert with nothing to fill it fails the call; IGNORE_INSERTS keeps
  // it as written (kernel32/tests/format_msg.c, test_message_from_hmodule:
  // 193 without arguments). The simulation fills no inserts.
  if (!(dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS) && HasInsert(text)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    char* block = static_cast<char*>(detail::CountedAlloc(text.size() + 1));
    std::memcpy(block, text.c_str(), text.size() + 1);
    *reinterpret_cast<char**>(lpBuffer) = block;
    return static_cast<DWORD>(text.size());
  }
  if (nSize < text.size() + 1) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(lpBuffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
  DWORD error;
  if (detail::ShouldFail("LocalAlloc", &error)) {
    SetLastError(error);
    return nullptr;
  }
  void* block = detail::CountedAlloc(uBytes);
  if (block && (uFlags & LMEM_ZEROINIT)) std::memset(block, 0, uBytes);
  return block;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  if (!detail::CountedFree(hMem)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return hMem;
  }
  return nullptr;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
  DWORD error;
  if (detail::ShouldFail("CloseHandle", &error)) {
    SetLastError(error);
    return FALSE;
  }
  auto value = reinterpret_cast<uintptr_t>(hObject);
  if (detail::IsOpen(sim::HandleKind::File, value)) return detail::CloseFileHandle(value);
  if (detail::IsOpen(sim::HandleKind::Token, value)) return detail::CloseTokenHandle(value);
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
  DWORD error;
  if (detail::ShouldFail("LoadStringA", &error)) {
    SetLastError(error);
    return 0;
  }
  uintptr_t value = reinterpret_cast<uintptr_t>(hInstance);
  if (value == 0) value = reinterpret_cast<uintptr_t>(sim::HostModule());
  auto module = State().modules.find(value);
  const char* text = nullptr;
  if (module != State().modules.end() && module->second.hasCatalog) text = CatalogText(uID);
  if (!text) {
    SetLastError(1814);  // ERROR_RESOURCE_NAME_NOT_FOUND
    return 0;
  }
  if (!lpBuffer || cchBufferMax <= 0) return 0;
  int length = static_cast<int>(std::strlen(text));
  if (length > cchBufferMax - 1) length = cchBufferMax - 1;
  std::memcpy(lpBuffer, text, length);
  lpBuffer[length] = '\0';
  return length;
}

}  // extern "C"
