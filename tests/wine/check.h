// A small check framework for the win32 test hosts run under Wine.
//
//   CHECK(condition)                 CHECK_EQ(expected, actual)
//   CHECK_STR(expected, actual)      CHECK_MEM(expected, expected_len, actual, actual_len)
//   CHECK_THAT(condition, "printf format", ...)   (context printed on failure)
//   return check::Summary();         ("N passed, N failed"; 1 on any failure)
//
// Each macro counts one check, prints the failure with file, line and values,
// and yields the condition, so a host can skip what depends on it.
#pragma once

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>

namespace check {

inline int passed = 0;
inline int failed = 0;

inline bool Record(bool ok, const char* file, int line, const char* what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    printf("%s:%d: FAILED: %s\n", file, line, what);
  }
  return ok;
}

// Bytes as a C literal, so a difference in \r, \t or a quote shows.
inline std::string Quote(const char* bytes, size_t length) {
  std::string out = "\"";
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    char escaped[8];
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      default:
        if (c < 0x20 || c >= 0x7f) {
          snprintf(escaped, sizeof escaped, "\\x%02x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

inline bool Mem(const char* expected, size_t expectedLength, const char* actual,
                size_t actualLength, const char* file, int line, const char* what) {
  bool ok = actual != nullptr && expectedLength == actualLength &&
            memcmp(expected, actual, expectedLength) == 0;
  if (!Record(ok, file, line, what)) {
    printf("  expected: %s\n", Quote(expected, expectedLength).c_str());
    printf("  actual:   %s\n",
           actual ? Quote(actual, actualLength).c_str() : "(null)");
  }
  return ok;
}

inline bool Str(const char* expected, const char* actual, const char* file, int line,
                const char* what) {
  return Mem(expected, strlen(expected), actual, actual ? strlen(actual) : 0, file, line, what);
}

template <typename A, typename B>
bool Eq(const A& expected, const B& actual, const char* file, int line, const char* what) {
  bool ok = expected == actual;
  if (!Record(ok, file, line, what)) {
    printf("  expected: %s\n  actual:   %s\n", std::to_string(expected).c_str(),
           std::to_string(actual).c_str());
  }
  return ok;
}

#if defined(__GNUC__)
__attribute__((format(printf, 5, 6)))
#endif
inline bool That(bool ok, const char* file, int line, const char* what, const char* format, ...) {
  if (!Record(ok, file, line, what)) {
    va_list args;
    va_start(args, format);
    printf("  ");
    vprintf(format, args);
    printf("\n");
    va_end(args);
  }
  return ok;
}

inline int Summary() {
  printf("%d passed, %d failed\n", passed, failed);
  fflush(stdout);
  return failed == 0 ? 0 : 1;
}

}  // namespace check

#define CHECK(condition) check::Record(static_cast<bool>(condition), __FILE__, __LINE__, #condition)
#define CHECK_EQ(expected, actual) \
  check::Eq((expected), (actual), __FILE__, __LINE__, #expected " == " #actual)
#define CHECK_STR(expected, actual) \
  check::Str((expected), (actual), __FILE__, __LINE__, #expected " == " #actual)
#define CHECK_MEM(expected, expectedLength, actual, actualLength)                     \
  check::Mem((expected), (expectedLength), (actual), (actualLength), __FILE__, __LINE__, \
             #actual " holds " #expected)
#define CHECK_THAT(condition, ...) \
  check::That(static_cast<bool>(condition), __FILE__, __LINE__, #condition, __VA_ARGS__)
