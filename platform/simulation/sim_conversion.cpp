// Names as Windows keeps them (UTF-16) and as the ANSI calls hand them out.
// MultiByteToWideChar and WideCharToMultiByte for the code page in force:
// - 1252 from its published table, the five bytes it leaves undefined
//   (81 8D 8F 90 9D) passed through as the control characters of the same
//   value, as Windows does;
// - 932, 936, 949 and 950 through the C library's converters for CP932,
//   GBK, UHC and BIG5, which hold the same characters as Windows' tables
//   for names;
// - a character the page lacks becomes its best fit where Windows' tables
//   give one (the rows below), else the default character '?'. The best fit
//   is what lets a name outside the page pose as another: U+FF0E U+FF0E
//   U+FF3C is "..\" on 1252.
#include "sim_internal.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <map>

namespace sim::detail {
namespace {

// cp1252 0x80..0x9F (Microsoft's cp1252.txt); 0 for the five undefined bytes.
constexpr char16_t k1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

struct BestFit {
  UINT codePage;
  char16_t first;
  char16_t last;
  unsigned char to;  // the byte for `first`; the range maps onto consecutive bytes
};

// One-way rows of Microsoft's WindowsBestFit tables that a path can meet.
// bestfit1252.txt: the fullwidth forms FF01..FF5E fall on ASCII 21..7E
// (FF0E on '.', FF0F on '/', FF3C on '\'), DIVISION SLASH and FRACTION
// SLASH on '/'. bestfit932.txt: YEN SIGN on 5C and OVERLINE on 7E.
// bestfit949.txt: WON SIGN on 5C.
constexpr BestFit kBestFits[] = {
    {1252, 0xFF01, 0xFF5E, 0x21}, {1252, 0x2215, 0x2215, '/'}, {1252, 0x2044, 0x2044, '/'},
    {932, 0x00A5, 0x00A5, 0x5C},  {932, 0x203E, 0x203E, 0x7E},  {949, 0x20A9, 0x20A9, 0x5C},
};

const char* ConverterName(UINT codePage) {
  switch (codePage) {
    case 932: return "CP932";
    case 936: return "GBK";
    case 949: return "UHC";
    case 950: return "BIG5";
    default: return nullptr;
  }
}

// One converter each way per page, kept for the process.
struct Converters {
  std::map<std::pair<UINT, bool>, iconv_t> open;
  ~Converters() {
    for (auto& entry : open) {
      if (entry.second != reinterpret_cast<iconv_t>(-1)) iconv_close(entry.second);
    }
  }
};

iconv_t Converter(UINT codePage, bool toUnicode) {
  static Converters converters;
  auto key = std::make_pair(codePage, toUnicode);
  auto found = converters.open.find(key);
  if (found != converters.open.end()) return found->second;
  const char* name = ConverterName(codePage);
  iconv_t converter = toUnicode ? iconv_open("UTF-16LE", name) : iconv_open(name, "UTF-16LE");
  converters.open[key] = converter;
  return converter;
}

// Converts one character with the C library; false when it has none.
bool Iconv(iconv_t converter, const char* in, size_t inSize, char* out, size_t* outSize) {
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  char* source = const_cast<char*>(in);
  char* target = out;
  size_t room = *outSize;
  if (iconv(converter, &source, &inSize, &target, &room) == static_cast<size_t>(-1) || inSize != 0)
    return false;
  *outSize = static_cast<size_t>(target - out);
  return true;
}

bool IsDoubleBytePage(UINT codePage) { return ConverterName(codePage) != nullptr; }

// The ANSI bytes of one UTF-16 character (a lone unit or a surrogate pair),
// empty when the page lacks it.
std::string ExactBytes(UINT codePage, const char16_t* units, size_t count) {
  if (count == 1 && units[0] < 0x80) return std::string(1, static_cast<char>(units[0]));
  if (codePage == 1252 || !IsDoubleBytePage(codePage)) {
    if (count != 1) return {};
    char16_t c = units[0];
    if (c >= 0xA0 && c <= 0xFF) return std::string(1, static_cast<char>(c));
    for (int i = 0; i < 32; ++i) {
      if (k1252High[i] == c || (k1252High[i] == 0 && c == 0x80 + i))
        return std::string(1, static_cast<char>(0x80 + i));
    }
    return {};
  }
  char in[4];
  for (size_t i = 0; i < count; ++i) {
    in[2 * i] = static_cast<char>(units[i] & 0xFF);
    in[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
  char out[8];
  size_t outSize = sizeof out;
  if (!Iconv(Converter(codePage, false), in, 2 * count, out, &outSize)) return {};
  return std::string(out, outSize);
}

int BestFitByte(UINT codePage, char16_t c) {
  for (const BestFit& row : kBestFits) {
    if (row.codePage == codePage && c >= row.first && c <= row.last) return row.to + (c - row.first);
  }
  return -1;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::u16string ToUnicode(const std::string& ansi) {
  UINT codePage = CurrentCodePage();
  if (codePage == kUtf8CodePage) return FromUtf8(ansi);
  std::u16string units;
  for (size_t at = 0; at < ansi.size();) {
    unsigned char c = static_cast<unsigned char>(ansi[at]);
    if (c < 0x80) {
      units.push_back(c);
      ++at;
    } else if (!IsDoubleBytePage(codePage)) {
      char16_t mapped = c >= 0xA0 ? c : k1252High[c - 0x80];
      units.push_back(codePage == 1252 && mapped != 0 ? mapped : c);
      ++at;
    } else {
      size_t size = IsLeadByte(c) && at + 1 < ansi.size() ? 2 : 1;
      char out[8];
      size_t outSize = sizeof out;
      if (Iconv(Converter(codePage, true), ansi.data() + at, size, out, &outSize)) {
        for (size_t i = 0; i + 1 < outSize; i += 2)
          units.push_back(static_cast<char16_t>(static_cast<unsigned char>(out[i]) |
                                                (static_cast<unsigned char>(out[i + 1]) << 8)));
      } else {
        // A character the page's table leaves undefined: Windows gives the
        // page's default Unicode character, the KATAKANA MIDDLE DOT on 932
        // and '?' elsewhere.
        units.push_back(codePage == 932 ? 0x30FB : u'?');
      }
      at += size;
    }
  }
  return units;
}

std::string ToAnsi(const std::u16string& text, bool* usedDefault, bool bestFit) {
  UINT codePage = CurrentCodePage();
  if (usedDefault) *usedDefault = false;
  if (codePage == kUtf8CodePage) return ToUtf8(text);
  std::string bytes;
  for (size_t at = 0; at < text.size();) {
    size_t count = IsHighSurrogate(text[at]) && at + 1 < text.size() && IsLowSurrogate(text[at + 1]) ? 2 : 1;
    std::string exact = ExactBytes(codePage, text.data() + at, count);
    if (!exact.empty()) {
      bytes += exact;
    } else {
      int fit = count == 1 && bestFit ? BestFitByte(codePage, text[at]) : -1;
      if (fit >= 0) {
        bytes.push_back(static_cast<char>(fit));
      } else {
        bytes.push_back('?');
        if (usedDefault) *usedDefault = true;
      }
    }
    at += count;
  }
  return bytes;
}

bool SurvivesAnsi(const std::u16string& text) { return ToUnicode(ToAnsi(text)) == text; }

std::u16string FromUtf8(const std::string& utf8) {
  std::u16string units;
  for (size_t at = 0; at < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[at]);
    size_t size = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t point = size == 1 ? c : size == 2 ? c & 0x1F : size == 3 ? c & 0x0F : c & 0x07;
    for (size_t i = 1; i < size && at + i < utf8.size(); ++i)
      point = (point << 6) | (static_cast<unsigned char>(utf8[at + i]) & 0x3F);
    if (point >= 0x10000) {
      point -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (point >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (point & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(point));
    }
    at += size;
  }
  return units;
}

std::string ToUtf8(const std::u16string& text) {
  std::string utf8;
  for (size_t at = 0; at < text.size(); ++at) {
    char32_t point = text[at];
    if (IsHighSurrogate(text[at]) && at + 1 < text.size() && IsLowSurrogate(text[at + 1])) {
      point = 0x10000 + ((point - 0xD800) << 10) + (text[at + 1] - 0xDC00);
      ++at;
    }
    // A lone surrogate is kept as its own three bytes, so that every name
    // Windows can hold has one spelling here.
    if (point < 0x80) {
      utf8.push_back(static_cast<char>(point));
    } else if (point < 0x800) {
      utf8.push_back(static_cast<char>(0xC0 | (point >> 6)));
      utf8.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else if (point < 0x10000) {
      utf8.push_back(static_cast<char>(0xE0 | (point >> 12)));
      utf8.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else {
      utf8.push_back(static_cast<char>(0xF0 | (point >> 18)));
      utf8.push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    }
  }
  return utf8;
}

std::u16string FromWide(const WCHAR* text, size_t length) {
  std::u16string units;
  for (size_t i = 0; i < length; ++i) units.push_back(static_cast<char16_t>(text[i]));
  return units;
}

std::u16string FromWide(const WCHAR* text) { return FromWide(text, std::wcslen(text)); }

std::wstring ToWide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

namespace {

bool IsAscii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::string KeptFromAnsi(const std::string& ansi) { return IsAscii(ansi) ? ansi : ToUtf8(ToUnicode(ansi)); }

std::string KeptFromWide(const WCHAR* text) { return text ? ToUtf8(FromWide(text)) : std::string(); }

std::string AnsiFromKept(const std::string& kept, bool bestFit) {
  return IsAscii(kept) ? kept : ToAnsi(FromUtf8(kept), nullptr, bestFit);
}

size_t Units(const std::string& kept) {
  size_t units = 0;
  for (char c : kept) {
    unsigned char byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) ++units;
    if (byte >= 0xF0) ++units;  // outside the basic plane: a surrogate pair
  }
  return units;
}

}  // namespace sim::detail

namespace sim {

std::string AnsiSpelling(const std::u16string& name) { return detail::ToAnsi(name); }
std::u16string UnicodeSpelling(const std::string& ansi) { return detail::ToUnicode(ansi); }

}  // namespace sim

namespace {

// CP_ACP or the number of the page in force; other pages are not simulated.
bool IsAnsiPage(UINT codePage) {
  return codePage == CP_ACP || codePage == sim::detail::CurrentCodePage();
}

// Copies `count` units into a buffer of `room` (0: only the size is asked):
// the count, or 0 with ERROR_INSUFFICIENT_BUFFER when they do not fit.
template <typename Unit, typename Source>
int Deliver(const Source& units, Unit* buffer, int room) {
  int count = static_cast<int>(units.size());
  if (room == 0) return count;
  if (count > room) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  for (int i = 0; i < count; ++i) buffer[i] = static_cast<Unit>(units[static_cast<size_t>(i)]);
  return count;
}

}  // namespace

extern "C" {

// Flags: MB_PRECOMPOSED is the default and changes nothing for these pages.
int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  DWORD error;
  if (sim::detail::ShouldFail("MultiByteToWideChar", &error)) {
    SetLastError(error);
    return 0;
  }
  if (!IsAnsiPage(CodePage) || (dwFlags & ~static_cast<DWORD>(MB_PRECOMPOSED)) != 0 ||
      lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
      (cchWideChar > 0 && lpWideCharStr == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // -1: the whole text with its NUL, which is converted and counted too.
  std::string bytes = cbMultiByte == -1 ? std::string(lpMultiByteStr, std::strlen(lpMultiByteStr) + 1)
                                        : std::string(lpMultiByteStr, static_cast<size_t>(cbMultiByte));
  return Deliver(sim::detail::ToUnicode(bytes), lpWideCharStr, cchWideChar);
}

// WC_NO_BEST_FIT_CHARS came with Windows 2000; before it the flag is
// refused with ERROR_INVALID_FLAGS. lpDefaultChar is not simulated ('?').
int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar) {
  DWORD error;
  if (sim::detail::ShouldFail("WideCharToMultiByte", &error)) {
    SetLastError(error);
    return 0;
  }
  if (!IsAnsiPage(CodePage) || lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 ||
      cbMultiByte < 0 || (cbMultiByte > 0 && lpMultiByteStr == nullptr) || lpDefaultChar != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if ((dwFlags & ~static_cast<DWORD>(WC_NO_BEST_FIT_CHARS)) != 0 ||
      ((dwFlags & WC_NO_BEST_FIT_CHARS) && !sim::detail::VersionAtLeast(5, 0))) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  size_t length = cchWideChar == -1 ? std::wcslen(lpWideCharStr) + 1 : static_cast<size_t>(cchWideChar);
  bool usedDefault = false;
  std::string bytes = sim::detail::ToAnsi(sim::detail::FromWide(lpWideCharStr, length), &usedDefault,
                                          (dwFlags & WC_NO_BEST_FIT_CHARS) == 0);
  if (lpUsedDefaultChar != nullptr) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
  return Deliver(bytes, lpMultiByteStr, cbMultiByte);
}

}  // extern "C"
