#include "options.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "reports/jsonreport.h"
#include "reports/output.h"

namespace {

TEST(ParseRateTextTest, ConvertsExactlyAtTheBoundaries) {
  struct Case {
    const char* szText;
    std::int64_t nBytesPerSec;
  };
  const Case kCases[] = {
      {"35", 35840},
      {"0", 0},
      {"0.1", 102},  // 102.4
      {"0.5", 512},
      {".5", 512},
      {"5.", 5120},
      {"+8", 8192},
      {"-1", -1024},
      {"-0.1", -102},
      {" \t35 ", 35840},
      {"0.0009765625", 1},  // exactly one byte
      {"0.0009765624", 0},
      {"0.00097656250000000000000000000001", 1},
      {"000000000000000000000000035", 35840},
      // The largest rate whose bytes per second fit, and one past it.
      {"9007199254740991.999", INT64_MAX - 1023 + 1022},
      {"9007199254740991.9999999", INT64_MAX},
      {"-9007199254740992", INT64_MIN},
  };
  for (const Case& c : kCases) {
    std::int64_t nBytes = 42;
    EXPECT_EQ(parseRateText(c.szText, nBytes), kRateOk) << c.szText;
    EXPECT_EQ(nBytes, c.nBytesPerSec) << c.szText;
  }
}

TEST(ParseRateTextTest, RejectsWhatIsNoRate) {
  const char* const kNotNumbers[] = {"",  " ",     "fast", "35KB", "1e3",  "0,5",     "+",  "-",
                                     ".", "1.2.3", "--1",  "3 5",  "0x10", "\u00A05", "5\n"};
  for (const char* szText : kNotNumbers) {
    std::int64_t nBytes = 42;
    EXPECT_EQ(parseRateText(szText, nBytes), kRateNotNumber) << szText;
    EXPECT_EQ(nBytes, 42) << szText;
  }
  const char* const kOutOfRange[] = {"9007199254740992", "-9007199254740992.001",
                                     "99999999999999999999", "18446744073709551616",
                                     "9007199254740992.0"};
  for (const char* szText : kOutOfRange) {
    std::int64_t nBytes = 42;
    EXPECT_EQ(parseRateText(szText, nBytes), kRateOutOfRange) << szText;
  }
}

// Runs takeLongOptions on the words and returns what it left, or "error".
std::string remaining(std::vector<std::string> words, LongOptions& options) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  int nArgc = -1;
  if (!takeLongOptions(static_cast<int>(words.size()), argv.data(), options, nArgc)) {
    return "error";
  }
  std::string left;
  for (int i = 0; i < nArgc; i++) left += std::string(i > 0 ? " " : "") + argv[i];
  EXPECT_EQ(argv[nArgc], nullptr);
  return left;
}

TEST(TakeLongOptionsTest, TakesThemFromAnywhereUpToALoneDoubleDash) {
  LongOptions options;
  EXPECT_EQ(remaining({"plomet", "--strict", "-d", "a.txt", "1", "--version", "2"}, options),
            "plomet -d a.txt 1 2");
  EXPECT_TRUE(options.bStrict);
  EXPECT_TRUE(options.bVersion);
  EXPECT_FALSE(options.bHelp);

  LongOptions after;
  EXPECT_EQ(remaining({"plomet", "-d", "--", "--help", "--", "-"}, after), "plomet -d --help -- -");
  EXPECT_FALSE(after.bHelp);

  LongOptions none;
  EXPECT_EQ(remaining({"plomet"}, none), "plomet");
}

TEST(TakeLongOptionsTest, RejectsUnknownOptionsAndValuesOfFlags) {
  for (const char* szWord : {"--frob", "--strict=1", "--STRICT", "---strict", "--help=", "--="}) {
    LongOptions options;
    EXPECT_EQ(remaining({"plomet", "-d", szWord}, options), "error") << szWord;
  }
}

TEST(TakeLongOptionsTest, ReadsValuesAndRejectsWhatDoesNotFit) {
  LongOptions options;
  EXPECT_EQ(remaining({"plomet", "--calibrate", "--gap=300", "--json", "a.log"}, options),
            "plomet a.log");
  EXPECT_TRUE(options.bCalibrate && options.bJson && options.bGap);
  EXPECT_EQ(options.nGapSeconds, 300u);

  LongOptions estimate;
  EXPECT_EQ(remaining({"plomet", "--top=5", "--depth=2", "--window=1h30m", "-d",
                       "--since=2026-12-06", "--date-order=DMY"},
                      estimate),
            "plomet -d");
  EXPECT_EQ(estimate.nTop, 5u);
  EXPECT_EQ(estimate.nDepth, 2u);
  EXPECT_EQ(estimate.nWindowSeconds, 5400u);
  EXPECT_TRUE(estimate.bSince && estimate.bDateOrder);
  EXPECT_EQ(estimate.dateOrder, DateOrder::kDayFirst);

  // Bad values, missing values, and options without the one they serve.
  const std::vector<std::vector<std::string>> kRejected = {
      {"--top"},
      {"--top=0"},
      {"--top=-1"},
      {"--top=1.5"},
      {"--top=x"},
      {"--gap=60"},
      {"--calibrate", "--gap="},
      {"--depth=2"},
      {"--top=3", "--depth=0"},
      {"--window=0"},
      {"--window=8 h"},
      {"--since=06.12.2026"},
      {"--since=2026-12-06", "--date-order=myd"},
      {"--date-order=dmy"},
      {"--calibrate", "--top=3"},
      {"--calibrate", "--window=8h"},
      {"--top=99999999999999999999"},
  };
  for (const std::vector<std::string>& words : kRejected) {
    std::vector<std::string> line = {"plomet"};
    line.insert(line.end(), words.begin(), words.end());
    LongOptions rejected;
    EXPECT_EQ(remaining(line, rejected), "error") << words[0];
  }
}

TEST(TakeLongOptionsTest, ValuesPastTheirRangeSaySo) {
  struct Case {
    const char* szArg;
    bool bTaken;
    const char* szError;  // the message, when not taken
  };
  const char* const kTop = "error: --top needs a whole number of 1 or more, not '0'\n";
  const Case kCases[] = {
      {"--top=2147483647", true, ""},
      {"--top=2147483648", false, "error: --top=2147483648 is out of range\n"},
      {"--top=18446744073709551615", false, "error: --top=18446744073709551615 is out of range\n"},
      {"--top=0", false, kTop},
      {"--depth=2147483648", false, "error: --depth=2147483648 is out of range\n"},
      {"--gap=18446744073709551615", true, ""},
      {"--gap=18446744073709551616", false, "error: --gap=18446744073709551616 is out of range\n"},
      {"--window=18446744073709551615", true, ""},
      {"--window=5124095576030432h", false, "error: --window=5124095576030432h is out of range\n"},
      {"--window=5124095576030431h16m", false,
       "error: --window=5124095576030431h16m is out of range\n"},
      {"--window=99999999999999999999x", false,
       "error: --window needs a duration such as 8h, 90m, 1h30m or 5400, not "
       "'99999999999999999999x'\n"},
  };
  for (const Case& c : kCases) {
    std::string sArg = c.szArg;
    bool bGap = sArg.compare(0, 6, "--gap=") == 0;
    bool bDepth = sArg.compare(0, 8, "--depth=") == 0;
    std::vector<std::string> line = {"plomet", sArg};
    if (bGap) line.emplace_back("--calibrate");
    if (bDepth) line.emplace_back("--top=1");
    LongOptions options;
    testing::internal::CaptureStderr();
    std::string sLeft = remaining(line, options);
    std::string sError = testing::internal::GetCapturedStderr();
    EXPECT_EQ(sLeft, c.bTaken ? "plomet" : "error") << c.szArg;
    EXPECT_EQ(sError, c.szError) << c.szArg;
  }
}

// The gap limit stays within the session gap: one given alone moves the
// other's default; both given, a gap past the session gap is refused.
TEST(TakeLongOptionsTest, TheGapLimitStaysWithinTheSessionGap) {
  const struct {
    std::vector<std::string> words;
    std::uint64_t nGap;
    std::uint64_t nSessionGap;
    const char* szError;
  } kCases[] = {
      {{"--gap=7200"}, 7200, 7200, ""},
      {{"--gap=7201"}, 7201, 7201, ""},
      {{"--gap=18446744073709551615"}, UINT64_MAX, UINT64_MAX, ""},
      {{"--session-gap=60"}, 60, 60, ""},
      {{"--session-gap=59"}, 59, 59, ""},
      {{"--session-gap=1"}, 1, 1, ""},
      {{"--gap=100", "--session-gap=100"}, 100, 100, ""},
      {{"--session-gap=99", "--gap=100"},
       0,
       0,
       "error: --gap=100 is longer than --session-gap (99 seconds): a step longer than the "
       "session gap starts a new session and is never busy\n"},
      {{"--gap=7201", "--session-gap=2h"},
       0,
       0,
       "error: --gap=7201 is longer than --session-gap (7200 seconds): a step longer than the "
       "session gap starts a new session and is never busy\n"},
  };
  for (const auto& c : kCases) {
    std::vector<std::string> line = {"plomet", "--calibrate"};
    line.insert(line.end(), c.words.begin(), c.words.end());
    LongOptions options;
    testing::internal::CaptureStderr();
    std::string sLeft = remaining(line, options);
    std::string sError = testing::internal::GetCapturedStderr();
    EXPECT_EQ(sError, c.szError) << c.words[0];
    if (*c.szError != '\0') continue;
    EXPECT_EQ(options.nGapSeconds, c.nGap) << c.words[0];
    EXPECT_EQ(options.nSessionGapSeconds, c.nSessionGap) << c.words[0];
  }
}

TEST(RateNumberTextTest, KeepsTheDigitsAsAJsonNumber) {
  const char* const kCases[][2] = {
      {"35", "35"},       {" +.50 ", "0.50"}, {"-.5", "-0.5"}, {"5.", "5"},
      {"007.10", "7.10"}, {"0", "0"},         {"-000", "-0"},  {"0.0009765625", "0.0009765625"},
      {"\t12\t", "12"}};
  for (const auto& c : kCases) EXPECT_EQ(rateNumberText(c[0]), c[1]) << c[0];
}

TEST(PrintableTest, ShowsControlBytesAsQuestionMarks) {
  EXPECT_EQ(printable("a\x1b[2Jb\x7f\t\n\xC3\xA9 ~"), "a?[2Jb???\xC3\xA9 ~");
  EXPECT_EQ(printable(""), "");
}

}  // namespace
