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

TEST(TakeLongOptionsTest, TakesAValueFromTheNextArgumentAsGnuToolsDo) {
  LongOptions options;
  EXPECT_EQ(remaining({"plomet", "-s", "a", "--top", "3", "--exclude", "*.tmp", "--exclude=b/",
                       "--exclude", "-", "--json", "b", "--human"},
                      options),
            "error");  // --human does not go with --json
  LongOptions taken;
  EXPECT_EQ(remaining({"plomet", "-s", "a", "--top", "3", "--exclude", "*.tmp", "--exclude=b/",
                       "--exclude", "-", "b", "--human"},
                      taken),
            "plomet -s a b");
  EXPECT_EQ(taken.nTop, 3u);
  ASSERT_EQ(taken.excludes.size(), 3u);
  EXPECT_EQ(taken.excludes[0], "*.tmp");
  EXPECT_EQ(taken.excludes[1], "b/");
  EXPECT_EQ(taken.excludes[2], "-");  // a lone dash is a value
  EXPECT_TRUE(taken.bHuman);
  // A flag never takes the next argument; a value never begins with two
  // dashes; "--name=" keeps its empty value; "--" still ends the options.
  LongOptions flags;
  EXPECT_EQ(remaining({"plomet", "--strict", "3", "-d"}, flags), "plomet 3 -d");
  const std::vector<std::vector<std::string>> kRejected = {
      {"--top", "--json"}, {"--top", "--"}, {"--top="}, {"--top=", "3"}, {"--html", "--x"}};
  for (const std::vector<std::string>& words : kRejected) {
    std::vector<std::string> line = {"plomet"};
    line.insert(line.end(), words.begin(), words.end());
    LongOptions rejected;
    testing::internal::CaptureStderr();
    EXPECT_EQ(remaining(line, rejected), "error") << words[0] << " " << words.back();
    testing::internal::GetCapturedStderr();
  }
  LongOptions ended;
  EXPECT_EQ(remaining({"plomet", "--", "--top", "3"}, ended), "plomet --top 3");
  EXPECT_EQ(ended.nTop, 0u);
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

// --measure and its two options: the seconds a set takes, from just above 0
// to a day, and the options that go with --measure alone or not with it.
TEST(TakeLongOptionsTest, MeasureTakesItsOwnOptions) {
  // The folders' names point into argv, which lives on.
  std::string asWords[] = {"plomet", "--measure=/mnt/b", "--from=/var/tmp", "--measure-seconds=2.5",
                           "--json", "--strict"};
  char* apArgv[] = {&asWords[0][0], &asWords[1][0], &asWords[2][0], &asWords[3][0],
                    &asWords[4][0], &asWords[5][0], nullptr};
  LongOptions options;
  int nArgc = 0;
  EXPECT_TRUE(takeLongOptions(6, apArgv, options, nArgc));
  EXPECT_EQ(nArgc, 1);
  EXPECT_STREQ(options.szMeasure, "/mnt/b");
  EXPECT_STREQ(options.szFrom, "/var/tmp");
  EXPECT_DOUBLE_EQ(options.dMeasureSeconds, 2.5);
  LongOptions byDefault;
  EXPECT_EQ(remaining({"plomet", "--measure=t"}, byDefault), "plomet");
  EXPECT_DOUBLE_EQ(byDefault.dMeasureSeconds, 10);
  EXPECT_EQ(byDefault.szFrom, nullptr);

  struct Case {
    const char* szSeconds;
    double dSeconds;  // 0: refused
  };
  const Case kSeconds[] = {{"10", 10},
                           {".5", 0.5},
                           {"5.", 5},
                           {"0.001", 0.001},
                           {"86400", 86400},
                           {"0", 0},
                           {"0.0", 0},
                           {"86400.01", 0},
                           {"86401", 0},
                           {"-1", 0},
                           {"1e3", 0},
                           {"", 0},
                           {".", 0},
                           {"1.2.3", 0},
                           {"10s", 0},
                           {" 10", 0},
                           {"99999999999999999999999999999999999999999999999999", 0}};
  for (const Case& c : kSeconds) {
    LongOptions seconds;
    testing::internal::CaptureStderr();
    std::string sLeft = remaining(
        {"plomet", "--measure=t", std::string("--measure-seconds=") + c.szSeconds}, seconds);
    std::string sError = testing::internal::GetCapturedStderr();
    EXPECT_EQ(sLeft, c.dSeconds > 0 ? "plomet" : "error") << c.szSeconds;
    if (c.dSeconds > 0) {
      EXPECT_DOUBLE_EQ(seconds.dMeasureSeconds, c.dSeconds) << c.szSeconds;
    } else {
      EXPECT_EQ(sError, std::string("error: --measure-seconds needs seconds above 0 and at most "
                                    "86400, such as 10 or 2.5, not '") +
                            c.szSeconds + "'\n");
    }
  }

  const std::vector<std::vector<std::string>> kRefused = {
      {"--from=/tmp", "-d"},
      {"--measure-seconds=5", "--calibrate"},
      {"--measure="},
      {"--measure"},
      {"--measure=t", "--from="},
      {"--measure=t", "--calibrate"},
      {"--measure=t", "--top=3"},
      {"--measure=t", "--rates-from=a.json"},
      {"--measure=t", "--list=l"},
      {"--measure=t", "--since=2026-12-06"},
      {"--measure=t", "--window=8h"},
      {"--measure=t", "--html=p.html"},
  };
  for (const std::vector<std::string>& words : kRefused) {
    std::vector<std::string> line = {"plomet"};
    line.insert(line.end(), words.begin(), words.end());
    LongOptions refused;
    testing::internal::CaptureStderr();
    EXPECT_EQ(remaining(line, refused), "error") << words.back();
    EXPECT_NE(testing::internal::GetCapturedStderr(), "") << words.back();
  }
}

TEST(ParseBandwidthTest, ReadsBytesInPowersOf1024AndBitsInPowersOf1000) {
  struct Case {
    const char* szText;
    double dBytesPerSecond;
  };
  const Case kCases[] = {
      {"115343360", 115343360},
      {"1", 1},
      {"0.5", 0.5},
      {"110MB/s", 110.0 * 1048576},
      {"110mb/s", -1},  // b alone could be bits or bytes
      {"110MiB/s", 110.0 * 1048576},
      {"1.5GB", 1.5 * 1073741824},
      {"2TiB/s", 2 * 1099511627776.0},
      {"512KB/s", 512 * 1024},
      {"512kB/s", 512 * 1024},
      {"100B/s", 100},
      {"100/s", 100},
      {"1Gbit/s", 125e6},
      {"10gbit", 1.25e9},
      {"8bit/s", 1},
      {"100Mbit/s", 12.5e6},
      {"1000000000000000000", 1e18},  // the largest
      {"", -1},
      {".", -1},
      {"0", -1},
      {"0MB/s", -1},
      {"-1", -1},
      {"+1", -1},
      {"1e9", -1},
      {"110 MB/s", -1},
      {"110MB/", -1},
      {"110MB/ss", -1},
      {"110MB/h", -1},
      {"1Gbps", -1},
      {"M", -1},
      {"1M", -1},
      {"1KiBit", -1},
  };
  for (const Case& c : kCases) {
    double dBytes = -1;
    bool bTaken = parseBandwidth(c.szText, dBytes);
    EXPECT_EQ(bTaken, c.dBytesPerSecond > 0) << c.szText;
    EXPECT_DOUBLE_EQ(dBytes, c.dBytesPerSecond) << c.szText;
  }
  // One past the largest is out of range, and says so.
  double dBytes = 7;
  bool bOutOfRange = false;
  EXPECT_FALSE(parseBandwidth("1000000000000000001000", dBytes, &bOutOfRange));
  EXPECT_TRUE(bOutOfRange);
  EXPECT_FALSE(parseBandwidth("1000000TB/s", dBytes, &bOutOfRange));
  EXPECT_TRUE(bOutOfRange);
  bOutOfRange = false;
  EXPECT_FALSE(parseBandwidth("0", dBytes, &bOutOfRange));
  EXPECT_FALSE(bOutOfRange);
  EXPECT_EQ(dBytes, 7);
}

TEST(TakeLongOptionsTest, PlanOptionsGoWithPlanAloneAndClientWithJson) {
  LongOptions plan;
  EXPECT_EQ(remaining({"plomet", "--sessions=4", "--plan", "r/", "--bandwidth=1Gbit/s",
                       "--order=shortest", "--window=22:00-06:00", "--json"},
                      plan),
            "plomet r/");
  EXPECT_TRUE(plan.bPlan && plan.bShortestFirst && plan.bWindowClock);
  EXPECT_EQ(plan.nSessions, 4u);
  EXPECT_EQ(plan.dBandwidth, 125e6);
  EXPECT_EQ(plan.nWindowSeconds, 8u * 3600);
  EXPECT_EQ(plan.nWindowStartSecond, 22 * 3600);

  // The estimate's window takes the clock form too. The client's name stays
  // in argv, which outlives the options.
  std::vector<std::string> words = {"plomet", "-d", "--window=23:30-00:15", "--client=fs01",
                                    "--json"};
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  LongOptions estimate;
  int nArgc = 0;
  ASSERT_TRUE(takeLongOptions(static_cast<int>(words.size()), argv.data(), estimate, nArgc));
  EXPECT_EQ(nArgc, 2);
  EXPECT_EQ(estimate.nWindowSeconds, 2700u);
  EXPECT_STREQ(estimate.szClient, "fs01");

  struct Case {
    std::vector<std::string> words;
    const char* szError;
  };
  const Case kRejected[] = {
      {{"--sessions=2"}, "error: --sessions goes with --plan\n"},
      {{"-d", "--bandwidth=1MB/s"}, "error: --bandwidth goes with --plan\n"},
      {{"--order=longest"}, "error: --order goes with --plan\n"},
      {{"--plan", "--sessions=0"},
       "error: --sessions needs a whole number of 1 or more, not '0'\n"},
      {{"--plan", "--sessions=2147483648"}, "error: --sessions=2147483648 is out of range\n"},
      {{"--plan", "--order=random"}, "error: --order needs longest or shortest, not 'random'\n"},
      {{"--plan", "--bandwidth=fast"},
       "error: --bandwidth needs a rate such as 110MB/s, 1Gbit/s or 115343360 (bytes per second), "
       "not 'fast'\n"},
      {{"--window=25:00-06:00", "--plan"},
       "error: --window needs a duration such as 8h, 90m or 5400, or clock times such as "
       "22:00-06:00, not '25:00-06:00'\n"},
      {{"--plan", "--top=3"}, "error: --top does not go with --plan\n"},
      {{"--plan", "--calibrate"}, "error: --calibrate does not go with --plan\n"},
      {{"--plan", "--since=2026-12-06"}, "error: --since does not go with --plan\n"},
      {{"--plan", "--rates-from=a.log"}, "error: --rates-from does not go with --plan\n"},
      {{"--plan", "--list=x"}, "error: --list does not go with --plan\n"},
      {{"--plan", "--client=a", "--json"}, "error: --client does not go with --plan\n"},
      {{"-d", "--client=a"},
       "error: --client goes with --json: it names the client in the JSON report\n"},
      {{"--calibrate", "--client=a", "--json"}, "error: --client does not go with --calibrate\n"},
      {{"-d", "--client=", "--json"}, "error: --client needs a name of 1 to 4096 bytes\n"},
      {{"-d", "--client=" + std::string(4097, 'x'), "--json"},
       "error: --client needs a name of 1 to 4096 bytes\n"},
  };
  for (const Case& c : kRejected) {
    std::vector<std::string> line = {"plomet"};
    line.insert(line.end(), c.words.begin(), c.words.end());
    LongOptions options;
    testing::internal::CaptureStderr();
    std::string sLeft = remaining(line, options);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.szError) << c.words[0];
    EXPECT_EQ(sLeft, "error") << c.words[0];
  }
  LongOptions longest;
  EXPECT_EQ(remaining({"plomet", "-d", "--client=" + std::string(4096, 'x'), "--json"}, longest),
            "plomet -d");
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
