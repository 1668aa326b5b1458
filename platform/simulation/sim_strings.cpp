// wsprintfA / wvsprintfA with user32's rules, as observed on the real thing:
// - types c C d i p s S u x X; size prefixes h, l, w, I, I32, I64 (h and l do
//   not change the width of a number: both are 32 bits);
// - flags only in the order '-', '#', '0', each at most once; no '+', ' ',
//   '*', no floating point;
// - precision is the minimum count of characters of a number, its sign
//   included; zero padding extends it to the width; "0x" of '#' comes on top
//   of both and is written for 0 as well ("0x0"); a precision of 0 means none;
// - an unknown type character is not consumed: the field's leading padding
//   is written and the character is then copied as ordinary text (a '%'
//   there starts a new field);
// - NULL for %s prints "(null)";
// - output stops at 1023 characters plus the terminating NUL, and a result
//   that reaches that limit is reported as 1024.
#include "sim_internal.h"

#include <climits>
#include <cstring>

namespace {

constexpr int kOutputLimit = 1024;  // characters, the terminating NUL included

struct Output {
  char* text;
  int length;

  bool Full() const { return length >= kOutputLimit - 1; }
  void Put(char c) {
    if (!Full()) text[length++] = c;
  }
  void Repeat(char c, int count) {
    for (int i = 0; i < count && !Full(); ++i) text[length++] = c;
  }
  void Write(const char* s, int count) {
    for (int i = 0; i < count && !Full(); ++i) text[length++] = s[i];
  }
};

enum class Size { Default, Short, Long, Int64 };

struct Field {
  bool left = false;
  bool prefix = false;
  bool zero = false;
  int width = 0;
  int precision = 0;
  Size size = Size::Default;
  char type = 0;  // 0 for an unknown type character
};

// Digits of a width or precision; saturates instead of overflowing.
int ReadNumber(const char*& p) {
  int value = 0;
  while (*p >= '0' && *p <= '9') {
    int digit = *p++ - '0';
    value = value > (INT_MAX - digit) / 10 ? INT_MAX : value * 10 + digit;
  }
  return value;
}

// Parses the field after '%'; leaves `p` on the type character when it is
// unknown, past it otherwise.
Field ParseField(const char*& p) {
  Field f;
  if (*p == '-') f.left = true, ++p;
  if (*p == '#') f.prefix = true, ++p;
  if (*p == '0') f.zero = true, ++p;
  f.width = ReadNumber(p);
  if (*p == '.') {
    ++p;
    f.precision = ReadNumber(p);
  }
  if (*p == 'l' || *p == 'w') {
    f.size = Size::Long;
    ++p;
  } else if (*p == 'h') {
    f.size = Size::Short;
    ++p;
  } else if (*p == 'I') {
    if (p[1] == '6' && p[2] == '4') {
      f.size = Size::Int64;
      p += 3;
    } else if (p[1] == '3' && p[2] == '2') {
      p += 3;
    } else {
      if (sizeof(void*) == 8) f.size = Size::Int64;
      ++p;
    }
  }
  if (*p && std::strchr("cCdipsSuxX", *p)) f.type = *p++;
  return f;
}

// A wide character in the ANSI code page, as WideCharToMultiByte(CP_ACP)
// gives it: up to three bytes where the page is UTF-8.
void PutWide(Output& out, WCHAR c) {
  for (char byte : sim::detail::ToAnsi(std::u16string(1, static_cast<char16_t>(c)))) out.Put(byte);
}

void PutPadded(Output& out, const Field& f, const char* text, const WCHAR* wide, int length) {
  if (!f.left) out.Repeat(' ', f.width - length);
  for (int i = 0; i < length; ++i) {
    if (wide) {
      PutWide(out, wide[i]);
    } else {
      out.Put(text[i]);
    }
  }
  if (f.left) out.Repeat(' ', f.width - length);
}

void PutString(Output& out, const Field& f, va_list& args) {
  bool isWide = f.type == 'S' ? f.size != Size::Short : f.size == Size::Long;
  const char* text = nullptr;
  const WCHAR* wide = nullptr;
  if (isWide) {
    wide = va_arg(args, const WCHAR*);
    if (!wide) text = "(null)";
  } else {
    text = va_arg(args, const char*);
    if (!text) text = "(null)";
  }
  int length = 0;
  if (text) {
    wide = nullptr;
    while (text[length] && (f.precision == 0 || length < f.precision)) ++length;
  } else {
    while (wide[length] && (f.precision == 0 || length < f.precision)) ++length;
  }
  PutPadded(out, f, text, wide, length);
}

void PutChar(Output& out, const Field& f, va_list& args) {
  bool isWide = f.type == 'C' ? f.size != Size::Short : f.size == Size::Long;
  int value = va_arg(args, int);
  if (isWide) {
    WCHAR wide = static_cast<WCHAR>(value);
    PutPadded(out, f, nullptr, &wide, 1);
    return;
  }
  char c = static_cast<char>(value);
  PutPadded(out, f, &c, nullptr, 1);
}

void PutNumber(Output& out, Field f, va_list& args) {
  unsigned long long magnitude;
  bool negative = false;
  if (f.type == 'p') {
    magnitude = reinterpret_cast<uintptr_t>(va_arg(args, void*));
    f.width = 2 * sizeof(void*);
    f.zero = true;
  } else if (f.type == 'd' || f.type == 'i') {
    long long value = f.size == Size::Int64 ? va_arg(args, long long) : va_arg(args, int);
    negative = value < 0;
    magnitude = negative ? 0ull - static_cast<unsigned long long>(value) : value;
  } else {
    magnitude = f.size == Size::Int64 ? va_arg(args, unsigned long long) : va_arg(args, unsigned);
  }
  bool hex = f.type == 'x' || f.type == 'X' || f.type == 'p';
  const char* digitSet = f.type == 'x' ? "0123456789abcdef" : "0123456789ABCDEF";
  char digits[24];
  int count = 0;
  do {
    digits[count++] = digitSet[magnitude % (hex ? 16 : 10)];
    magnitude /= hex ? 16 : 10;
  } while (magnitude);

  int length = count + (negative ? 1 : 0);
  int precision = f.precision > length ? f.precision : length;
  if (f.zero && !f.left && f.width > precision) precision = f.width;
  if (!f.left) out.Repeat(' ', f.width - precision);
  if (hex && f.prefix) {
    out.Put('0');
    out.Put(f.type == 'x' ? 'x' : 'X');
  }
  if (negative) out.Put('-');
  out.Repeat('0', precision - length);
  while (count > 0) out.Put(digits[--count]);
  if (f.left) out.Repeat(' ', f.width - precision);
}

int Format(char* text, const char* format, va_list arglist) {
  va_list args;  // a local copy, so that the helpers can take it by reference
  va_copy(args, arglist);
  Output out{text, 0};
  const char* p = format;
  while (*p && !out.Full()) {
    if (*p != '%') {
      out.Put(*p++);
      continue;
    }
    ++p;
    if (*p == '%') {
      out.Put(*p++);
      continue;
    }
    Field f = ParseField(p);
    switch (f.type) {
      case 's':
      case 'S':
        PutString(out, f, args);
        break;
      case 'c':
      case 'C':
        PutChar(out, f, args);
        break;
      case 0:  // the character at p is copied as text by the loop
        if (!f.left) out.Repeat(' ', f.width - f.precision);
        break;
      default:
        PutNumber(out, f, args);
        break;
    }
  }
  va_end(args);
  text[out.length] = '\0';
  return out.Full() ? kOutputLimit : out.length;
}

}  // namespace

extern "C" {

int WINAPI wvsprintfA(LPSTR lpOut, LPCSTR lpFmt, va_list arglist) {
  DWORD error;
  if (sim::detail::ShouldFail("wvsprintfA", &error)) {
    lpOut[0] = '\0';
    SetLastError(error);
    return 0;
  }
  return Format(lpOut, lpFmt, arglist);
}

int WINAPIV wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
  DWORD error;
  if (sim::detail::ShouldFail("wsprintfA", &error)) {
    lpOut[0] = '\0';
    SetLastError(error);
    return 0;
  }
  va_list args;
  va_start(args, lpFmt);
  int length = Format(lpOut, lpFmt, args);
  va_end(args);
  return length;
}

}  // extern "C"
