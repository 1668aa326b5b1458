// Conformance cases of the Win32 simulation: each case states how Windows
// behaves through Win32 calls and is compiled twice, over the simulation
// (native build, CVN_SIM) and over the real API (win32 build, run under
// Wine). A case sets up its state through Win32 calls in the scratch key
// (kScratchKey under HKEY_LOCAL_MACHINE) and the scratch directory
// (kScratchDir), both made empty before every case.
//
//   CASE("registry", "missing key gives 2") { CHECK_EQ(..., ...); }
//   NATIVE_CASE(...)  the simulation only: its setup needs the control API
//                     (failures, the clock, remote hosts)
//   WINE_DIFFERS(area, name, reason)  Windows' documented behaviour that
//                     Wine does not give: checked on the simulation only,
//                     run under Wine for information
#pragma once

#ifdef CVN_SIM
#include "sim.h"
#else
#include <windows.h>
#include <winsock.h>

#include "icmp_api.h"
#endif

#include <cstdint>
#include <cstring>
#include <functional>
#include <sstream>
#include <type_traits>
#include <string>
#include <vector>

namespace conformance {

constexpr char kScratchKey[] = "SOFTWARE\\CvnConformance";
constexpr char kScratchDir[] = "C:\\cvnconf";
// The places of the cases around a restart, which keep what the first parts
// left until the second parts have run.
constexpr char kRestartKey[] = "SOFTWARE\\CvnConformanceRestart";
constexpr char kRestartDir[] = "C:\\cvnconf-restart";

enum class Kind { Both, NativeOnly, WineDiffers };

// Registers a case; a name may be registered once per area.
bool Add(const char* area, const std::string& name, std::function<void()> run, Kind kind = Kind::Both,
         const char* reason = nullptr);

// Registers a case around a restart: `before` runs, the machine restarts,
// then `after` runs. Each uses names of its own in kRestartKey and kRestartDir.
bool AddAroundRestart(const char* area, const std::string& name, std::function<void()> before,
                      std::function<void()> after);
// kRestartDir + "\\" + name.
std::string RestartScratch(const std::string& name);

// A failed expectation: recorded, the case goes on.
void Fail(const char* file, int line, const std::string& what);
// A failed requirement: recorded, the case ends.
struct Abort {};

template <typename T>
std::string Show(const T& value) {
  std::ostringstream out;
  if constexpr (std::is_pointer_v<T> && !std::is_same_v<T, const char*> && !std::is_same_v<T, char*>) {
    out << reinterpret_cast<const void*>(value);
  } else if constexpr (std::is_enum_v<T>) {
    out << static_cast<long long>(value);
  } else {
    out << value;
  }
  return out.str();
}
// Quoted, with control characters written as \xNN.
inline std::string Show(const std::string& value) {
  std::string text = "\"";
  for (char c : value) {
    if (static_cast<unsigned char>(c) < 0x20) {
      const char digits[] = "0123456789ABCDEF";
      text += std::string("\\x") + digits[(c >> 4) & 0xF] + digits[c & 0xF];
    } else {
      text += c;
    }
  }
  return text + "\"";
}
inline std::string Show(const char* value) { return value ? Show(std::string(value)) : "(null)"; }
inline std::string Show(char* value) { return Show(static_cast<const char*>(value)); }
inline std::string Show(const std::vector<std::string>& values) {
  std::string text = "{";
  for (const std::string& value : values) text += (text.size() > 1 ? ", " : "") + Show(value);
  return text + "}";
}

template <typename A, typename B>
bool Same(const A& a, const B& b) {
  if constexpr (std::is_integral_v<A> && std::is_integral_v<B>) {
    return static_cast<long long>(a) == static_cast<long long>(b) ||
           static_cast<unsigned long long>(a) == static_cast<unsigned long long>(b);
  } else {
    return a == b;
  }
}

// The whole scratch key (recursively) and directory are removed; both helpers
// use only Win32 calls.
void DeleteKeyTree(HKEY parent, const std::string& name);
void DeleteDirectoryTree(const std::string& path);
// kScratchDir + "\\" + name.
std::string Scratch(const std::string& name);
// An ANSI path as the ANSI calls read it (MultiByteToWideChar, CP_ACP).
std::wstring Wide(const std::string& ansi);
// A character of two bytes of the machine's ANSI code page (in 932, 936 and
// 950 one whose second byte is the backslash's), or null on a page of one
// byte a character.
const char* DoubleByteCharacter();
// Writes a file through CreateFileA/WriteFile.
bool WriteWholeFile(const std::string& path, const std::string& contents);
// Opens kScratchKey (+ "\\" + sub) with the access asked for.
HKEY OpenScratch(const std::string& sub = "", REGSAM access = KEY_ALL_ACCESS);

}  // namespace conformance

#define CONF_JOIN2(a, b) a##b
#define CONF_JOIN(a, b) CONF_JOIN2(a, b)
#define CONF_REGISTER(area, name, kind, reason)                                                      \
  static void CONF_JOIN(conformance_case_, __LINE__)();                                              \
  static const bool CONF_JOIN(conformance_added_, __LINE__) =                                        \
      conformance::Add(area, name, CONF_JOIN(conformance_case_, __LINE__), kind, reason);            \
  static void CONF_JOIN(conformance_case_, __LINE__)()

#define CASE(area, name) CONF_REGISTER(area, name, conformance::Kind::Both, nullptr)
#define WINE_DIFFERS(area, name, reason) CONF_REGISTER(area, name, conformance::Kind::WineDiffers, reason)
#ifdef CVN_SIM
#define NATIVE_CASE(area, name) CONF_REGISTER(area, name, conformance::Kind::NativeOnly, nullptr)
#endif

#define CHECK(condition)                                                             \
  do {                                                                               \
    if (!(condition)) conformance::Fail(__FILE__, __LINE__, "not true: " #condition); \
  } while (0)
#define CHECK_EQ(actual, expected)                                                                     \
  do {                                                                                                 \
    const auto& conf_a = (actual);                                                                     \
    const auto& conf_e = (expected);                                                                   \
    if (!conformance::Same(conf_a, conf_e))                                                            \
      conformance::Fail(__FILE__, __LINE__,                                                            \
                        #actual ": " + conformance::Show(conf_a) + ", expected " + conformance::Show(conf_e)); \
  } while (0)
#define CHECK_STR(actual, expected) CHECK_EQ(std::string(actual), std::string(expected))
#define REQUIRE(condition)                                                                    \
  do {                                                                                        \
    if (!(condition)) {                                                                       \
      conformance::Fail(__FILE__, __LINE__, "required: " #condition);                         \
      throw conformance::Abort{};                                                             \
    }                                                                                         \
  } while (0)
