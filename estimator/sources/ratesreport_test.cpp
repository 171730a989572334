// Tests of the rates read back from a JSON report: what a report of
// --calibrate or --measure gives, every way a report is refused, and how a
// stream is told to be JSON rather than a log.
#include "sources/ratesreport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// A stream holding sText, read from its start.
std::FILE* streamOf(const std::string& sText) {
  std::FILE* stream = std::tmpfile();
  EXPECT_NE(stream, nullptr);
  if (stream == nullptr) return nullptr;
  std::fwrite(sText.data(), 1, sText.size(), stream);
  std::rewind(stream);
  return stream;
}

bool readText(const std::string& sText, RatesReport& report) {
  std::FILE* stream = streamOf(sText);
  if (stream == nullptr) return false;
  bool bRead = readRatesReport(stream, report);
  std::fclose(stream);
  return bRead;
}

// A report whose model member is sModel, among members a reader passes over.
std::string reportWith(const std::string& sModel) {
  return "{\"format\": 1, \"input\": {\"kind\": \"measurement\", \"target\": \"/mnt/b\"},\n"
         " \"measurement\": {\"classes\": [{\"label\": \"0..< 1KB\", \"below_bytes\": null,"
         " \"seconds\": 1.5e1, \"x\": [[], {}, true, false]}]},\n \"model\": " +
         sModel + ",\n \"warnings\": [\"a \\\"quoted\\\" one\"]}\n";
}

const char kModel[] =
    "{\"target\": \"/mnt/b\", \"cost_ms_per_object\": 0.5, \"bandwidth_kb_per_s\": 1024.25, "
    "\"objects\": 6000, \"rates\": [512, 5000, 40000, 1000000000000]}";

TEST(ReadRatesReport, TakesTheModelOfEitherReport) {
  struct Case {
    const char* szName;
    std::string sText;
    std::uint64_t anRates[4];
    double dCostMs;
    bool bUnbounded;
    double dBandwidth;
    std::uint64_t nObjects;
    bool bMeasured;
    std::string sOrigin;
  };
  const std::string sLong(5000, 'x');
  const Case cases[] = {
      {"a measurement",
       reportWith(kModel),
       {512, 5000, 40000, 1000000000000},
       0.5,
       false,
       1024.25,
       6000,
       true,
       "/mnt/b"},
      {"a calibration, unbounded, model first, a mark and blanks before it",
       "\xEF\xBB\xBF \r\n\t{\"model\": {\"rates\": [1, 1, 1, 1], \"bandwidth_kb_per_s\": null, "
       "\"log\": \"night.log\", \"cost_ms_per_object\": 0, \"sessions\": [{\"start\": "
       "\"2026-12-05T22:00:00\"}], \"objects\": 0}, \"calibration\": {}, \"format\": 1}",
       {1, 1, 1, 1},
       0,
       true,
       0,
       0,
       false,
       "night.log"},
      {"a long name is kept to 4096 bytes, and escapes read",
       "{\"format\": 1, \"model\": {\"log\": \"" + sLong +
           "\", \"rates\": [2, 3, 4, 5], "
           "\"cost_ms_per_object\": 1e-3, \"bandwidth_kb_per_s\": 2E+3, \"\\u0072ates2\": 0}}",
       {2, 3, 4, 5},
       0.001,
       false,
       2000,
       0,
       false,
       std::string(4096, 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.szName);
    RatesReport report;
    ASSERT_TRUE(readText(c.sText, report)) << report.sError;
    EXPECT_EQ(report.sError, "");
    for (int k = 0; k < 4; k++) EXPECT_EQ(report.anRates[k], c.anRates[k]) << k;
    EXPECT_DOUBLE_EQ(report.dCostMs, c.dCostMs);
    EXPECT_EQ(report.bUnbounded, c.bUnbounded);
    EXPECT_DOUBLE_EQ(report.dBandwidthKBps, c.dBandwidth);
    EXPECT_EQ(report.nObjects, c.nObjects);
    EXPECT_EQ(report.bMeasured, c.bMeasured);
    EXPECT_EQ(report.sOrigin, c.sOrigin);
  }
}

TEST(ReadRatesReport, RefusesWhatIsNoReportOfTheRates) {
  struct Case {
    std::string sText;
    std::string sError;  // the whole reason
  };
  const std::string sRates =
      "its \"model\" member \"rates\" is not four whole numbers of KB/s from 1 to "
      "1000000000000";
  const std::string sCarriers = "; the JSON reports of --calibrate and --measure carry it";
  auto withRates = [](const char* szRates) {
    return reportWith(std::string("{\"cost_ms_per_object\": 1, \"bandwidth_kb_per_s\": 1, "
                                  "\"rates\": ") +
                      szRates + "}");
  };
  const Case cases[] = {
      {"", "it is not a JSON object"},
      {"[1, 2]", "it is not a JSON object"},
      {"{\"format\": 1, \"model\": {", "it ends inside an object"},
      {"{\"format\": 1,}", "it is not valid JSON: expected a member's name in quotes at byte 14"},
      {reportWith(kModel) + "{}", "it holds more than one JSON value"},
      {"{\"model\": " + std::string(kModel) + "}", "it has no \"format\": 1"},
      {"{\"format\": 2, \"model\": " + std::string(kModel) + "}", "its \"format\" is not 1"},
      {"{\"format\": \"1\"}", "its \"format\" is not 1"},
      {"{\"format\": 1, \"models\": {}}", "it has no member \"model\"" + sCarriers},
      {reportWith("[]"), "its member \"model\" is not an object"},
      // An estimate's own model names the log but carries no rates.
      {reportWith("{\"log\": \"night.log\", \"cost_ms_per_object\": 1, \"bandwidth_kb_per_s\": "
                  "1, \"objects\": 3, \"estimate_seconds\": 9, \"sessions\": []}"),
       "its \"model\" has no member \"rates\"" + sCarriers},
      {reportWith("{\"rates\": [1, 2, 3, 4], \"bandwidth_kb_per_s\": 1}"),
       "its \"model\" has no member \"cost_ms_per_object\"" + sCarriers},
      {reportWith("{\"rates\": [1, 2, 3, 4], \"cost_ms_per_object\": 1}"),
       "its \"model\" has no member \"bandwidth_kb_per_s\"" + sCarriers},
      {withRates("[1, 2, 3]"), sRates},
      {withRates("[1, 2, 3, 4, 5]"), sRates},
      {withRates("[0, 2, 3, 4]"), sRates},
      {withRates("[1, 2, 3, 1000000000001]"), sRates},
      {withRates("[1, 2, 3, 18446744073709551616]"), sRates},
      {withRates("[1, 2.5, 3, 4]"), sRates},
      {withRates("[1, -2, 3, 4]"), sRates},
      {withRates("[1, \"2\", 3, 4]"), sRates},
      {withRates("{}"), sRates},
      {reportWith("{\"cost_ms_per_object\": -0.5}"),
       "its \"model\" member \"cost_ms_per_object\" is not a number of 0 or more"},
      {reportWith("{\"cost_ms_per_object\": \"1\"}"),
       "its \"model\" member \"cost_ms_per_object\" is not a number of 0 or more"},
      {reportWith("{\"bandwidth_kb_per_s\": 0}"),
       "its \"model\" member \"bandwidth_kb_per_s\" is neither a number above 0 nor null"},
      {reportWith("{\"bandwidth_kb_per_s\": 1e999}"),
       "its \"model\" member \"bandwidth_kb_per_s\" is neither a number above 0 nor null"},
      {reportWith("{\"objects\": -1}"),
       "its \"model\" member \"objects\" is not a whole number of 0 or more"},
      {reportWith("{\"log\": 3}"), "its \"model\" member \"log\" is not a text"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sText);
    RatesReport report;
    EXPECT_FALSE(readText(c.sText, report));
    EXPECT_EQ(report.sError, c.sError);
  }
}

TEST(StartsWithJsonObject, LooksAtTheFirstByteThatIsNotWhiteSpace) {
  struct Case {
    std::string sText;
    bool bJson;
    int nNext;  // the byte read after the call, put back
  };
  const Case cases[] = {
      {"{}", true, '{'},
      {" \t\r\n{", true, '{'},
      {"\xEF\xBB\xBF{", true, '{'},
      {"\xEF\xBB\xBF\n {", true, '{'},
      {"2026-12-05 22:00:00 Sending file-->", false, '2'},
      {"\xFF\xFE{\0", false, 0xFF},
      {"  [1]", false, '['},
      {"", false, EOF},
      {"\n\n", false, EOF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sText);
    std::FILE* stream = streamOf(c.sText);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(startsWithJsonObject(stream), c.bJson);
    EXPECT_EQ(std::fgetc(stream), c.nNext);
    std::fclose(stream);
  }
}

}  // namespace
