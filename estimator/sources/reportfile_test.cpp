// The reports --plan reads: the members it takes, strict about them and
// tolerant of the rest, whatever the blocks the stream is read in.
#include "sources/reportfile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// The reports of text, read in blocks of nBlock bytes: each one's facts as
// "client|objects|bytes|classes|model-or-dash|folders", then "end", or the
// error as "bad: ...".
std::vector<std::string> readAll(const std::string& text, std::size_t nBlock) {
  std::unique_ptr<ReportReader> pReader(new ReportReader());
  std::FILE* pFile = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), pFile);
  std::rewind(pFile);
  startReports(*pReader, pFile);
  pReader->nBlockSize = nBlock;
  std::vector<std::string> found;
  ReportFacts facts;
  for (;;) {
    ReportStatus status = nextReport(*pReader, facts);
    if (status == ReportStatus::kNoMore) {
      found.emplace_back("end");
      break;
    }
    if (status == ReportStatus::kBad) {
      found.push_back("bad: " + pReader->sError);
      break;
    }
    std::string line = (facts.bClient ? facts.sClient : "-") + "|" +
                       std::to_string(facts.nObjects) + "|" + std::to_string(facts.nBytes) + "|" +
                       std::to_string(facts.nClassSeconds) + "|" +
                       (facts.bModel ? std::to_string(facts.nModelSeconds) : "-") + "|";
    for (const ReportFolder& folder : facts.folders) {
      line += folder.sName + "=" + std::to_string(static_cast<int>(folder.dSeconds)) + ";";
    }
    if (!facts.bBytesExact) line += "|inexact";
    found.push_back(line);
  }
  std::fclose(pFile);
  return found;
}

// A report as jsonreport writes one, with members a plan does not read.
const char kReport[] =
    "{\n  \"format\": 1,\n  \"client\": \"fs01\",\n  \"input\": {\"kind\": \"scan\", "
    "\"listing\": \"/srv\", \"total\": {\"bytes\": 5}},\n  \"classes\": [{\"files\": 3, "
    "\"bytes\": 9, \"seconds\": 0.5}],\n  \"total\": {\"files\": 28, \"bytes\": "
    "18446744073709551615, \"bytes_exact\": true},\n  \"average\": {\"bytes\": 3},\n"
    "  \"estimate_seconds\": 1868,\n  \"estimate_by_average_seconds\": 1867,\n"
    "  \"model\": {\"log\": \"x.log\", \"estimate_seconds\": 836, \"sessions\": "
    "[{\"estimate_seconds\": 1}]},\n  \"folders\": {\"found\": true, \"top\": "
    "[{\"folder\": \"Pictures\", \"files\": 5, \"seconds\": 1826.2}, {\"folder\": \"Docs\", "
    "\"seconds\": 39.6, \"extra\": {\"seconds\": 1}}], \"all\": {\"seconds\": 3}},\n"
    "  \"warnings\": []\n}\n";

TEST(ReportFileTest, TakesWhatThePlanUsesInBlocksOfAnySize) {
  for (std::size_t nBlock : {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{65536}}) {
    EXPECT_EQ(readAll(kReport, nBlock),
              (std::vector<std::string>{
                  "fs01|28|18446744073709551615|1868|836|Pictures=1826;Docs=39;", "end"}))
        << nBlock;
  }
  // Several reports one after another, one a line or with no blank between.
  const std::string kSmall =
      "{\"format\":1,\"total\":{\"files\":0,\"bytes\":0},\"estimate_seconds\":0}";
  EXPECT_EQ(readAll(kSmall + "\n" + kSmall + kSmall + "\n\n", 3),
            (std::vector<std::string>{"-|0|0|0|-|", "-|0|0|0|-|", "-|0|0|0|-|", "end"}));
  EXPECT_EQ(readAll("", 5), std::vector<std::string>{"end"});
  EXPECT_EQ(readAll("\xEF\xBB\xBF" + kSmall, 1), (std::vector<std::string>{"-|0|0|0|-|", "end"}));
  EXPECT_EQ(readAll("{\"format\":1,\"total\":{\"files\":1,\"bytes\":2,\"bytes_exact\":false},"
                    "\"estimate_seconds\":3}",
                    4),
            (std::vector<std::string>{"-|1|2|3|-||inexact", "end"}));
}

TEST(ReportFileTest, KeepsTenFoldersOfCutNames) {
  std::string text =
      "{\"format\":1,\"total\":{\"files\":1,\"bytes\":2},\"estimate_seconds\":3,"
      "\"folders\":{\"top\":[";
  for (int i = 0; i < 12; i++)
    text += std::string(i ? "," : "") + "{\"folder\":\"f\",\"seconds\":1}";
  text += "]}}";
  std::string sLong(300, 'a');
  sLong[239] = '\xC3';  // a two-byte character across the cut is left out whole
  sLong[240] = '\xA9';
  std::string longName =
      "{\"format\":1,\"total\":{\"files\":1,\"bytes\":2},\"estimate_seconds\":3,"
      "\"folders\":{\"top\":[{\"folder\":\"" +
      sLong + "\",\"seconds\":2}]}}";
  std::unique_ptr<ReportReader> pReader(new ReportReader());
  for (const std::string* p : {&text, &longName}) {
    std::FILE* pFile = std::tmpfile();
    std::fwrite(p->data(), 1, p->size(), pFile);
    std::rewind(pFile);
    startReports(*pReader, pFile);
    ReportFacts facts;
    ASSERT_EQ(nextReport(*pReader, facts), ReportStatus::kReport);
    if (p == &text) {
      EXPECT_EQ(facts.folders.size(), kReportFolders);
    } else {
      ASSERT_EQ(facts.folders.size(), 1u);
      EXPECT_EQ(facts.folders[0].sName, sLong.substr(0, 239));
    }
    std::fclose(pFile);
  }
}

TEST(ReportFileTest, SaysWhatIsWrongWithWhatIsNoReport) {
  const std::string kTotal = "\"total\":{\"files\":1,\"bytes\":2}";
  struct Case {
    std::string text;
    const char* szError;
  };
  const Case kCases[] = {
      {"[1]", "bad: holds a JSON array, not a plomet report"},
      {"\"x\"", "bad: holds a string, not a plomet report"},
      {"42 ", "bad: holds a number, not a plomet report"},
      {"null", "bad: holds true, false or null, not a plomet report"},
      {"{}", "bad: no \"format\" member: not a plomet report"},
      {"{\"format\":2," + kTotal + ",\"estimate_seconds\":1}",
       "bad: a report of format 2, but this version of plomet reads format 1"},
      {"{\"format\":1.0}",
       "bad: a report of format 1.0, but this version of plomet reads format 1"},
      {"{\"format\":\"1\"}", "bad: \"format\" is not a number"},
      {"{\"format\":1,\"calibration\":{},\"total\":{\"files\":1,\"bytes\":2},"
       "\"estimate_seconds\":1}",
       "bad: a report of --calibrate, which holds no estimate to plan"},
      {"{\"format\":1,\"estimate_seconds\":1}", "bad: no \"total.files\" member"},
      {"{\"format\":1,\"total\":{\"files\":1},\"estimate_seconds\":1}",
       "bad: no \"total.bytes\" member"},
      {"{\"format\":1,\"input\":{\"total\":{\"files\":1,\"bytes\":2}},\"estimate_seconds\":1}",
       "bad: no \"total.files\" member"},
      {"{\"format\":1," + kTotal + "}", "bad: no \"estimate_seconds\" member"},
      {"{\"format\":1," + kTotal + ",\"estimate_seconds\":1,\"model\":{}}",
       "bad: no \"model.estimate_seconds\" member in its \"model\""},
      {"{\"format\":1,\"total\":{\"files\":1,\"bytes\":-2},\"estimate_seconds\":1}",
       "bad: \"total.bytes\" is not a whole number from 0 to 18446744073709551615"},
      {"{\"format\":1,\"total\":{\"files\":1,\"bytes\":18446744073709551616}}",
       "bad: \"total.bytes\" is not a whole number from 0 to 18446744073709551615"},
      {"{\"format\":1,\"total\":{\"files\":\"1\",\"bytes\":2}}",
       "bad: \"total.files\" is not a whole number from 0 to 18446744073709551615"},
      {"{\"format\":1," + kTotal + ",\"estimate_seconds\":1.5}",
       "bad: \"estimate_seconds\" is not a whole number from 0 to 18446744073709551615"},
      {"{\"format\":1," + kTotal + ",\"estimate_seconds\":{}}",
       "bad: \"estimate_seconds\" is not a whole number from 0 to 18446744073709551615"},
      {"{\"format\":1,\"total\":[1,2]}", "bad: \"total\" is not an object"},
      {"{\"format\":1,\"total\":null}", "bad: \"total\" is not an object"},
      {"{\"format\":1,\"model\":5}", "bad: \"model\" is not an object"},
      {"{\"format\":1,\"total\":{\"files\":1,\"bytes\":2,\"bytes_exact\":1}}",
       "bad: \"total.bytes_exact\" is not true or false"},
      {"{\"format\":1,\"client\":7}", "bad: \"client\" is not a string"},
      {"{\"format\":1,\"client\":\"\"}", "bad: \"client\" is empty"},
      {"{\"format\":1,\"client\":\"" + std::string(4097, 'c') + "\"}",
       "bad: \"client\" is longer than 4096 bytes"},
      {"{\"format\":1,", "bad: cut short: it ends inside an object"},
      {"{\"format\":1,\"client\":\"ab", "bad: cut short: it ends inside a string"},
      {"{\"format\":1,}", "bad: not JSON: expected a member's name in quotes at byte 12"},
      {"{\"format\":1," + kTotal + ",\"estimate_seconds\":1} x",
       "bad: not JSON: expected a value at byte 64"},
  };
  for (const Case& c : kCases) {
    for (std::size_t nBlock : {std::size_t{1}, std::size_t{65536}}) {
      std::vector<std::string> found = readAll(c.text, nBlock);
      EXPECT_EQ(found.back(), c.szError) << c.text.substr(0, 80) << " in blocks of " << nBlock;
    }
  }
  // A client's name of 4096 bytes is the longest taken.
  std::string sLongest = "{\"format\":1,\"client\":\"" + std::string(4096, 'c') + "\"," + kTotal +
                         ",\"estimate_seconds\":1}";
  EXPECT_EQ(readAll(sLongest, 100).back(), "end");
}

}  // namespace
