// The C runtime as the product sees it: counted heap, standard output that is
// either the console (captured for tests) or a simulated file after freopen,
// exit() as an exception, and ctime that can be made to fail. printf and
// wprintf calls are counted and can fail (-1, nothing written).
#include "sim_internal.h"
#include "win_crt.h"

#include <cstdarg>
#include <cwchar>

// The product's names are macros for the functions below; this file needs
// the real ones.
#undef malloc
#undef calloc
#undef realloc
#undef free
#undef printf
#undef wprintf
#undef freopen
#undef fclose
#undef fflush
#undef stdout
#undef exit
#undef ctime

namespace sim {
namespace {

enum class Sink { Console, File, Closed };

struct StdioState {
  Sink sink = Sink::Console;
  std::string console;
  std::string filePath;
};

StdioState& Stdio() {
  static StdioState state;
  return state;
}

// The FILE* the product holds for its standard output; only compared, never used.
FILE* StdoutToken() { return ::stdout; }

int Emit(const std::string& text) {
  StdioState& s = Stdio();
  switch (s.sink) {
    case Sink::Console:
      s.console += text;
      return static_cast<int>(text.size());
    case Sink::File:
      detail::FileAppend(s.filePath, text);
      return static_cast<int>(text.size());
    case Sink::Closed:
      break;
  }
  return -1;
}

}  // namespace

void ResetStdio() { Stdio() = StdioState{}; }
const std::string& ConsoleText() { return Stdio().console; }
void ClearConsole() { Stdio().console.clear(); }
bool StdoutClosed() { return Stdio().sink == Sink::Closed; }

}  // namespace sim

namespace detail = sim::detail;

extern "C" {

void* SimMalloc(size_t size) {
  DWORD error;
  if (detail::ShouldFail("malloc", &error)) return nullptr;
  return detail::CountedAlloc(size);
}

void* SimCalloc(size_t count, size_t size) {
  DWORD error;
  if (detail::ShouldFail("calloc", &error)) return nullptr;
  void* block = detail::CountedAlloc(count * size);
  if (block) std::memset(block, 0, count * size);
  return block;
}

void* SimRealloc(void* block, size_t size) {
  DWORD error;
  if (detail::ShouldFail("realloc", &error)) return nullptr;
  if (!block) return detail::CountedAlloc(size);
  void* grown = detail::CountedAlloc(size);
  if (!grown) return nullptr;
  size_t old = detail::CountedSize(block);
  std::memcpy(grown, block, old < size ? old : size);
  detail::CountedFree(block);
  return grown;
}

void SimFree(void* block) { detail::CountedFree(block); }

int SimPrintf(const char* format, ...) {
  DWORD error;
  if (detail::ShouldFail("printf", &error)) return -1;
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(length > 0 ? length : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  return sim::Emit(text);
}

// msvcrt rules: in the wide family %s and %c take wide arguments.
int SimWprintf(const wchar_t* format, ...) {
  DWORD error;
  if (detail::ShouldFail("wprintf", &error)) return -1;
  std::wstring converted;
  for (const wchar_t* p = format; *p; ++p) {
    converted += *p;
    if (*p != L'%') continue;
    ++p;
    if (*p == L'%') {
      converted += *p;
      continue;
    }
    while (*p && std::wcschr(L"-+ #0123456789.", *p)) converted += *p++;
    if (*p == L's' || *p == L'c') converted += L'l';
    if (!*p) break;
    converted += *p;
  }
  va_list args;
  va_start(args, format);
  std::wstring wide(4096, L'\0');
  int length = std::vswprintf(wide.data(), wide.size(), converted.c_str(), args);
  va_end(args);
  if (length < 0) return -1;
  std::string text;
  for (int i = 0; i < length; ++i) text += wide[i] < 0x80 ? static_cast<char>(wide[i]) : '?';
  return sim::Emit(text) < 0 ? -1 : length;
}

FILE* SimFreopen(const char* path, const char* mode, FILE* stream) {
  DWORD error;
  sim::StdioState& s = sim::Stdio();
  if (detail::ShouldFail("freopen", &error) || stream != sim::StdoutToken() ||
      !detail::FileCreateForWrite(path, &error)) {
    s.sink = sim::Sink::Closed;
    return nullptr;
  }
  s.sink = sim::Sink::File;
  s.filePath = path;
  return sim::StdoutToken();
}

int SimFclose(FILE* stream) {
  if (stream != sim::StdoutToken()) return std::fclose(stream);
  sim::StdioState& s = sim::Stdio();
  if (s.sink == sim::Sink::Closed) return EOF;
  s.sink = sim::Sink::Closed;
  return 0;
}

int SimFflush(FILE* stream) { return 0; }

FILE* SimStdout(void) { return sim::StdoutToken(); }

void SimExit(int code) { throw sim::ProcessExit{code}; }

char* SimCtime(const time_t* when) {
  DWORD error;
  if (detail::ShouldFail("ctime", &error)) return nullptr;
  return std::ctime(when);
}

}  // extern "C"
