// wsprintfA / wvsprintfA of the simulation against what user32 prints (the
// expected texts were taken from the real function).
#include <cstring>
#include <string>

#include "sim_fixture.h"
#include "wsprintf_rows.h"

namespace {

constexpr char kSentinel = 'Z';

struct Result {
  std::string text;
  int rc;
};

template <typename... Args>
Result Format(const char* format, Args... args) {
  static char buffer[2048];
  std::memset(buffer, kSentinel, sizeof buffer);
  int rc = wsprintfA(buffer, format, args...);
  return Result{buffer, rc};
}

Result VFormat(const char* format, ...) {
  static char buffer[2048];
  std::memset(buffer, kSentinel, sizeof buffer);
  va_list args;
  va_start(args, format);
  int rc = wvsprintfA(buffer, format, args);
  va_end(args);
  return Result{buffer, rc};
}

class WsprintfTest : public SimTest {};

TEST_F(WsprintfTest, NumbersFollowWidthPrecisionAndFlagRules) {
  for (const WsprintfIntRow& c : kWsprintfIntRows) {
    Result r = Format(c.format, c.value);
    EXPECT_EQ(r.text, c.expected) << c.format;
    EXPECT_EQ(r.rc, static_cast<int>(std::strlen(c.expected))) << c.format;
  }
}

TEST_F(WsprintfTest, LongAndShortPrefixesKeepThirtyTwoBits) {
  EXPECT_EQ(Format("%lu", 4294967295u).text, "4294967295");
  EXPECT_EQ(Format("%ld", -5).text, "-5");
  EXPECT_EQ(Format("%lx", 0xdeadbeefu).text, "deadbeef");
  EXPECT_EQ(Format("%lX|", 0xabcdefu).text, "ABCDEF|");
  EXPECT_EQ(Format("%li|", -7).text, "-7|");
  EXPECT_EQ(Format("%hd", 70000).text, "70000");
  EXPECT_EQ(Format("%hu|", 0xffff0001u).text, "4294901761|");
  EXPECT_EQ(Format("%hx", 0x12345).text, "12345");
  EXPECT_EQ(Format("%I64d", 543210LL * 1000000).text, "543210000000");
  EXPECT_EQ(Format("%I64X", -0x12345LL).text, "FFFFFFFFFFFEDCBB");
  EXPECT_EQ(Format("%I32x", -0x12345).text, "fffedcbb");
}

TEST_F(WsprintfTest, StringsAndCharactersPadWithBlanksOnly) {
  EXPECT_EQ(Format("%5.2s|", "abcdef").text, "   ab|");
  EXPECT_EQ(Format("%-5.2s|", "abcdef").text, "ab   |");
  EXPECT_EQ(Format("%.0s|", "abc").text, "abc|");
  EXPECT_EQ(Format("%.s|", "abc").text, "abc|");
  EXPECT_EQ(Format("%05s|", "ab").text, "   ab|");
  EXPECT_EQ(Format("%010.4s|", "abcdefgh").text, "      abcd|");
  EXPECT_EQ(Format("%2s|", "abcdef").text, "abcdef|");
  EXPECT_EQ(Format("%-3s|", "a").text, "a  |");
  EXPECT_EQ(Format("%hs", "abc").text, "abc");
  EXPECT_EQ(Format("%c%c", 'a', 'b').text, "ab");
  EXPECT_EQ(Format("%3c|", 'q').text, "  q|");
  EXPECT_EQ(Format("%-3c|", 'q').text, "q  |");
  EXPECT_EQ(Format("%03c|", 'q').text, "  q|");
  EXPECT_EQ(Format("%.3c|", 'x').text, "x|");
  EXPECT_EQ(Format("%hc", 'A' | 0x100).text, "A");
}

TEST_F(WsprintfTest, WideArgumentsAreNarrowed) {
  EXPECT_EQ(Format("%ls|", L"wi").text, "wi|");
  EXPECT_EQ(Format("%S", L"wide").text, "wide");
  EXPECT_EQ(Format("%ws", L"wide").text, "wide");
  EXPECT_EQ(Format("%C", static_cast<int>(L'W')).text, "W");
  EXPECT_EQ(Format("%lc|", static_cast<int>(L'Z')).text, "Z|");
}

TEST_F(WsprintfTest, NullStringPrintsNullInParentheses) {
  const char* none = nullptr;
  EXPECT_EQ(Format("[%s]", none).text, "[(null)]");
  EXPECT_EQ(Format("[%10s]", none).text, "[    (null)]");
  EXPECT_EQ(Format("[%.3s]", none).text, "[(nu]");
}

TEST_F(WsprintfTest, UnknownTypeIsCopiedAsTextAfterItsPaddingAndTakesNoArgument) {
  for (const WsprintfTextRow& c : kWsprintfUnknownRows) {
    Result r = Format(c.format);
    EXPECT_EQ(r.text, c.expected) << c.format;
    EXPECT_EQ(r.rc, static_cast<int>(std::strlen(c.expected))) << c.format;
  }
  EXPECT_EQ(Format("%f%d|%s", 7, "x").text, "f7|x");
}

TEST_F(WsprintfTest, PointerIsUpperCaseHexOfFullWidth) {
  std::string digits(2 * sizeof(void*) - 4, '0');
  EXPECT_EQ(Format("%p", reinterpret_cast<void*>(0x12ab)).text, digits + "12AB");
  EXPECT_EQ(Format("%#p", reinterpret_cast<void*>(0x12)).text, "0X" + digits + "0012");
}

TEST_F(WsprintfTest, OutputStopsAt1023CharactersAndReportsTheLimit) {
  std::string long1100(1100, 'a');
  Result r = Format("%s", long1100.c_str());
  EXPECT_EQ(r.rc, 1024);
  EXPECT_EQ(r.text, std::string(1023, 'a'));

  EXPECT_EQ(Format("%s", std::string(1023, 'a').c_str()).rc, 1024);
  r = Format("%s", std::string(1022, 'a').c_str());
  EXPECT_EQ(r.rc, 1022);
  EXPECT_EQ(r.text.size(), 1022u);

  r = Format("%s%d", std::string(1022, 'a').c_str(), 12345);
  EXPECT_EQ(r.rc, 1024);
  EXPECT_EQ(r.text.substr(1018), "aaaa1");

  r = Format("%1100d", 5);
  EXPECT_EQ(r.rc, 1024);
  EXPECT_EQ(r.text, std::string(1023, ' '));
  r = Format("%-1100d|", 5);
  EXPECT_EQ(r.text, "5" + std::string(1022, ' '));
  EXPECT_EQ(Format(std::string(1100, 'b').c_str()).text, std::string(1023, 'b'));
  EXPECT_EQ(Format("%12345678901d|", 1).rc, 1024);
  EXPECT_EQ(Format("%.2147483648s|", "abc").text, "abc|");
}

TEST_F(WsprintfTest, TerminatorIsWrittenAndNothingBeyondIt) {
  static char buffer[2048];
  std::memset(buffer, kSentinel, sizeof buffer);
  EXPECT_EQ(wsprintfA(buffer, "%s", std::string(1500, 'c').c_str()), 1024);
  EXPECT_EQ(buffer[1022], 'c');
  EXPECT_EQ(buffer[1023], '\0');
  EXPECT_EQ(buffer[1024], kSentinel);

  std::memset(buffer, kSentinel, sizeof buffer);
  EXPECT_EQ(wsprintfA(buffer, "%c|", 0), 2);
  EXPECT_EQ(std::string(buffer, 3), std::string("\0|\0", 3));
}

TEST_F(WsprintfTest, VaListFormIsTheSame) {
  Result r = VFormat("%s has %d: %#x", "list", 3, 255);
  EXPECT_EQ(r.text, "list has 3: 0xff");
  EXPECT_EQ(r.rc, 16);
}

TEST_F(WsprintfTest, InjectedFailureLeavesAnEmptyString) {
  sim::FailCall("wsprintfA", ERROR_NOT_ENOUGH_MEMORY);
  SetLastError(0xdeadbeef);
  Result r = Format("%d", 5);
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.text, "");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(Format("%d", 5).text, "5");
}

}  // namespace
