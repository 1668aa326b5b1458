// Strings: wsprintfA and wvsprintfA formatting, LoadStringA from the host's
// message catalog and FormatMessageA's system texts.
#include "conformance.h"
#include "wsprintf_rows.h"

namespace {

const char kWsprintf[] = "wsprintf";
const char kLoadString[] = "LoadString";
const char kFormatMessage[] = "FormatMessage";
constexpr char kSentinel = 'Z';

char buffer[2048];

template <typename... Args>
int Format(const char* format, Args... args) {
  std::memset(buffer, kSentinel, sizeof buffer);
  return wsprintfA(buffer, format, args...);
}

// One case: the format with its arguments prints `expected` and returns its length.
template <typename... Args>
bool Row(const char* format, const char* expected, Args... args) {
  std::string name = std::string("\"") + format + "\" prints \"" + expected + "\"";
  return conformance::Add(kWsprintf, name, [=] {
    int rc = Format(format, args...);
    CHECK_STR(buffer, expected);
    CHECK_EQ(rc, std::strlen(expected));
  });
}

// ---- Numbers -------------------------------------------------------------------------------

const bool kIntCases = [] {
  for (const WsprintfIntRow& row : kWsprintfIntRows) Row(row.format, row.expected, row.value);
  return true;
}();

const bool kPrefixCases = Row("%lu", "4294967295", 4294967295u) && Row("%ld", "-5", -5) &&
                          Row("%lx", "deadbeef", 0xdeadbeefu) && Row("%lX|", "ABCDEF|", 0xabcdefu) &&
                          Row("%li|", "-7|", -7) && Row("%hd", "70000", 70000) &&
                          Row("%hu|", "4294901761|", 0xffff0001u) && Row("%hx", "12345", 0x12345) &&
                          Row("%I64d", "543210000000", 543210LL * 1000000) &&
                          Row("%I64X", "FFFFFFFFFFFEDCBB", -0x12345LL) && Row("%I32x", "fffedcbb", -0x12345);

// ---- Strings and characters ------------------------------------------------------------------

const bool kStringCases =
    Row("%5.2s|", "   ab|", "abcdef") && Row("%-5.2s|", "ab   |", "abcdef") && Row("%.0s|", "abc|", "abc") &&
    Row("%.s|", "abc|", "abc") && Row("%05s|", "   ab|", "ab") && Row("%010.4s|", "      abcd|", "abcdefgh") &&
    Row("%2s|", "abcdef|", "abcdef") && Row("%-3s|", "a  |", "a") && Row("%hs", "abc", "abc") &&
    Row("%c%c", "ab", 'a', 'b') && Row("%3c|", "  q|", 'q') && Row("%-3c|", "q  |", 'q') &&
    Row("%03c|", "  q|", 'q') && Row("%.3c|", "x|", 'x') && Row("%hc", "A", 'A' | 0x100);

const bool kWideCases = Row("%ls|", "wi|", L"wi") && Row("%S", "wide", L"wide") && Row("%ws", "wide", L"wide") &&
                        Row("%C", "W", static_cast<int>(L'W')) && Row("%lc|", "Z|", static_cast<int>(L'Z'));

const char* const kNull = nullptr;
const bool kNullCases =
    Row("[%s]", "[(null)]", kNull) && Row("[%10s]", "[    (null)]", kNull) && Row("[%.3s]", "[(nu]", kNull);

// ---- Unknown types ---------------------------------------------------------------------------

const bool kUnknownCases = [] {
  for (const WsprintfTextRow& row : kWsprintfUnknownRows) Row(row.format, row.expected);
  return Row("%f%d|%s", "f7|x", 7, "x");
}();

CASE(kWsprintf, "a pointer prints as upper-case hex of the pointer's width") {
  std::string digits(2 * sizeof(void*) - 4, '0');
  Format("%p", reinterpret_cast<void*>(0x12ab));
  CHECK_STR(buffer, digits + "12AB");
  Format("%#p", reinterpret_cast<void*>(0x12));
  CHECK_STR(buffer, "0X" + digits + "0012");
}

// ---- The 1024-character limit ---------------------------------------------------------------

CASE(kWsprintf, "a longer text stops at 1023 characters and returns 1024") {
  std::string long1100(1100, 'a');
  CHECK_EQ(Format("%s", long1100.c_str()), 1024);
  CHECK_STR(buffer, std::string(1023, 'a'));
}

CASE(kWsprintf, "a text of exactly 1023 characters returns 1024") {
  CHECK_EQ(Format("%s", std::string(1023, 'a').c_str()), 1024);
}

CASE(kWsprintf, "a text of 1022 characters is whole") {
  CHECK_EQ(Format("%s", std::string(1022, 'a').c_str()), 1022);
  CHECK_EQ(std::strlen(buffer), 1022);
}

CASE(kWsprintf, "a number at the limit is cut") {
  CHECK_EQ(Format("%s%d", std::string(1022, 'a').c_str(), 12345), 1024);
  CHECK_STR(buffer + 1018, "aaaa1");
}

WINE_DIFFERS(kWsprintf, "a width beyond the limit pads to the limit",
             "Wine shortens the padding so the number still fits; Windows cuts the whole text at 1023 "
             "characters, padding and all") {
  CHECK_EQ(Format("%1100d", 5), 1024);
  CHECK_STR(buffer, std::string(1023, ' '));
}

CASE(kWsprintf, "a left-aligned width beyond the limit pads to the limit") {
  CHECK_EQ(Format("%-1100d|", 5), 1024);
  CHECK_STR(buffer, "5" + std::string(1022, ' '));
}

CASE(kWsprintf, "a long format text is cut at the limit") {
  Format(std::string(1100, 'b').c_str());
  CHECK_STR(buffer, std::string(1023, 'b'));
}

CASE(kWsprintf, "an overflowing width reaches the limit") { CHECK_EQ(Format("%12345678901d|", 1), 1024); }

CASE(kWsprintf, "an overflowing precision prints the whole string") {
  Format("%.2147483648s|", "abc");
  CHECK_STR(buffer, "abc|");
}

CASE(kWsprintf, "the terminator is written and nothing beyond it") {
  CHECK_EQ(Format("%s", std::string(1500, 'c').c_str()), 1024);
  CHECK_EQ(buffer[1022], 'c');
  CHECK_EQ(buffer[1023], '\0');
  CHECK_EQ(buffer[1024], kSentinel);
}

CASE(kWsprintf, "a NUL character is printed and counted") {
  CHECK_EQ(Format("%c|", 0), 2);
  CHECK_EQ(std::string(buffer, 3), std::string("\0|\0", 3));
}

int VFormat(const char* format, ...) {
  std::memset(buffer, kSentinel, sizeof buffer);
  va_list args;
  va_start(args, format);
  int rc = wvsprintfA(buffer, format, args);
  va_end(args);
  return rc;
}

CASE(kWsprintf, "the va_list form prints the same") {
  CHECK_EQ(VFormat("%s has %d: %#x", "list", 3, 255), 16);
  CHECK_STR(buffer, "list has 3: 0xff");
}

#ifdef CVN_SIM
NATIVE_CASE(kWsprintf, "an injected failure leaves an empty string") {
  sim::FailCall("wsprintfA", ERROR_NOT_ENOUGH_MEMORY);
  CHECK_EQ(Format("%d", 5), 0);
  CHECK_STR(buffer, "");
  CHECK_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
}
#endif

// ---- LoadStringA ----------------------------------------------------------------------------

HINSTANCE Host() { return GetModuleHandleA(nullptr); }

CASE(kLoadString, "a catalog message is read exactly, quotes and line break kept") {
  char text[256];
  int length = LoadStringA(Host(), 50004, text, sizeof text);
  CHECK_STR(text, "Argument \"%s\" not known...\n");
  CHECK_EQ(length, std::strlen("Argument \"%s\" not known...\n"));
}

CASE(kLoadString, "a missing id reads nothing and returns 0") {
  char text[16] = "unchanged";
  CHECK_EQ(LoadStringA(Host(), 50003, text, sizeof text), 0);
}

CASE(kLoadString, "a short buffer gets the text cut and terminated") {
  char text[16];
  std::memset(text, 'x', sizeof text);
  CHECK_EQ(LoadStringA(Host(), 50012, text, 8), 7);
  CHECK_STR(text, "Velmora");
  CHECK_EQ(text[8], 'x');
}

CASE(kLoadString, "a buffer of one character gets an empty text") {
  char text[4] = "abc";
  CHECK_EQ(LoadStringA(Host(), 50012, text, 1), 0);
  CHECK_EQ(text[0], '\0');
}

CASE(kLoadString, "the host module is found by a NULL module name") {
  CHECK(Host() != nullptr);
  char text[128];
  CHECK(LoadStringA(Host(), 50012, text, sizeof text) > 0);
  CHECK_STR(text, "Velmora Software Corvane environment check.\n");
}

CASE(kLoadString, "the catalog holds 144 messages") {
  int found = 0;
  char text[2048];
  for (UINT id = 50000; id <= 55100; ++id) {
    if (LoadStringA(Host(), id, text, sizeof text) > 0) ++found;
  }
  CHECK_EQ(found, 144);
}

// ---- FormatMessageA -------------------------------------------------------------------------

DWORD SystemText(DWORD code, char* text, DWORD size) {
  return FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, size, nullptr);
}

const DWORD kReportedCodes[] = {2, 3, 5, 32, 145, 1051, 1060, 1061, 1062, 1072, 10061, 11001, 11010};
constexpr DWORD kIcmpStatusBase = 11002;

const bool kSystemTextCases = [] {
  for (DWORD code : kReportedCodes) {
    bool icmpStatus = code >= kIcmpStatusBase;
    conformance::Add(kFormatMessage, "the system text of " + std::to_string(code) + " is one line ending in CR LF",
                     [code] {
                       char text[512];
                       DWORD length = SystemText(code, text, sizeof text);
                       REQUIRE(length > 2);
                       CHECK_EQ(length, std::strlen(text));
                       CHECK_STR(text + length - 2, "\r\n");
                       CHECK(std::strchr(text, '\n') == text + length - 1);
                     },
                     icmpStatus ? conformance::Kind::WineDiffers : conformance::Kind::Both,
                     icmpStatus ? "Wine's message table has no texts for the ICMP status codes" : nullptr);
  }
  return true;
}();

struct WindowsText {
  DWORD code;
  const char* text;
};

const WindowsText kWindowsTexts[] = {
    {2, "The system cannot find the file specified.\r\n"},
    {5, "Access is denied.\r\n"},
    {1060, "The specified service does not exist as an installed service.\r\n"},
    {1062, "The service has not been started.\r\n"},
    {10061, "No connection could be made because the target machine actively refused it.\r\n"},
    {11010, "Request timed out.\r\n"},
};

const bool kWindowsTextCases = [] {
  for (const WindowsText& row : kWindowsTexts) {
    conformance::Add(
        kFormatMessage, "the system text of " + std::to_string(row.code) + " is Windows' own",
        [&row] {
          char text[512] = "";
          SystemText(row.code, text, sizeof text);
          CHECK_STR(text, row.text);
        },
        conformance::Kind::WineDiffers, "Wine's message table has texts of its own");
  }
  return true;
}();

// kernel32/tests/format_msg.c, test_message_from_hmodule: the system text of
// 193 has an insert, and without arguments the call fails.
CASE(kFormatMessage, "a system text with an insert fails without IGNORE_INSERTS and keeps it with it") {
  char text[256] = "";
  CHECK_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_BAD_EXE_FORMAT,
                          MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr),
           0);
  char* allocated = nullptr;
  CHECK_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
                          ERROR_BAD_EXE_FORMAT, 0, reinterpret_cast<LPSTR>(&allocated), 0, nullptr),
           0);
  REQUIRE(SystemText(ERROR_BAD_EXE_FORMAT, text, sizeof text) > 0);
  CHECK(std::strstr(text, "%1") != nullptr);
}

CASE(kFormatMessage, "an unknown code gives 317") {
  char text[64];
  SetLastError(0xdeadbeef);
  CHECK_EQ(SystemText(0x2000FFFF, text, sizeof text), 0);
  CHECK_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
}

CASE(kFormatMessage, "a buffer too small for the text gives 122") {
  char text[4];
  SetLastError(0xdeadbeef);
  CHECK_EQ(SystemText(ERROR_FILE_NOT_FOUND, text, sizeof text), 0);
  CHECK_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

CASE(kFormatMessage, "an allocated text is released with LocalFree") {
  char* text = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, ERROR_ACCESS_DENIED, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  REQUIRE(text != nullptr);
  CHECK_EQ(length, std::strlen(text));
  CHECK(LocalFree(text) == nullptr);
}

}  // namespace
