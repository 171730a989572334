// The measurement's report as printed, its warnings, and the JSON of a
// measurement and of a calibration read back as the rates they give.
#include "reports/measurereport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>

#include "reports/jsonreport.h"
#include "reports/output.h"
#include "reports/warnings.h"
#include "sources/ratesreport.h"

namespace {

// Four sets: 1000 files in 10 s, 9 files (one short of steady), 10 files,
// and 3 files of 10 MiB.
MeasureResult measured() {
  MeasureResult result;
  const std::uint64_t anFiles[kMeasureSets] = {1000, 9, 10, 3};
  const double adSeconds[kMeasureSets] = {10.0, 0.128, 0.5, 0.25};
  for (int k = 0; k < kMeasureSets; k++) {
    result.aClasses[k] = {anFiles[k], anFiles[k] * kMeasureFileSizes[k], adSeconds[k], 1};
  }
  result.sFrom = "/var/tmp";
  return result;
}

MeasureSettings settings() {
  MeasureSettings s;
  s.sTarget = "/mnt/back\x1bup";
  s.dSecondsPerClass = 2.5;
  return s;
}

using Writer = void (*)(const MeasureResult&, const CalibrationResult&);

void printReport(const MeasureResult& m, const CalibrationResult& r) {
  printMeasurement(settings(), m, r);
}
void writeMeasurementJson(const MeasureResult& m, const CalibrationResult& r) {
  writeJsonMeasurement(settings(), m, r);
}
void writeCalibrationJson(const MeasureResult&, const CalibrationResult& r) {
  ReportFigures figures;
  figures.listing = "night.log";
  writeJsonCalibration(figures, r);
}

std::string stdoutOf(Writer pWrite, const MeasureResult& m, const CalibrationResult& r) {
  outFlush();
  testing::internal::CaptureStdout();
  pWrite(m, r);
  outFlush();
  return testing::internal::GetCapturedStdout();
}

TEST(PrintMeasurement, ShowsEachSetAndEndsWithTheRates) {
  MeasureResult m = measured();
  CalibrationResult result;
  calibrateMeasurement(m.aClasses, result);
  std::string sReport = stdoutOf(printReport, m, result);
  for (const char* szPart : {
           "Measured /mnt/back?up, copying from /var/tmp, 2.5 sec a set\n\n",
           "0..< 1KB            1000      1024000        10.00     100.0     100\n",
           "1KB..< 10KB         9         92160          0.13      703.1     703\n",
           "10KB..< 100KB       10        1024000        0.50      2000.0    2000\n",
           "100KB and up        3         31457280       0.25      122880.0  122880\n",
           "\nTotal for all 1022 objects copied: 33597440 bytes in 10.88 sec\n",
           "Model fitted to: 4 classes\n",
       }) {
    EXPECT_NE(sReport.find(szPart), std::string::npos) << szPart << "\nin\n" << sReport;
  }
  const std::string sRates = "\nrates: 100 703 2000 122880\n";
  ASSERT_GE(sReport.size(), sRates.size());
  EXPECT_EQ(sReport.substr(sReport.size() - sRates.size()), sRates);
}

// A set of 9 files is warned of, one of 10 is not.
TEST(WarnMeasurement, WarnsOfSetsOfFewerThanTenFiles) {
  resetWarnings();
  testing::internal::CaptureStderr();
  warnMeasurement(measured());
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "warning: the set of 10 KiB files copied only 9 in 0.13 sec; its rate is rough (a "
            "longer --measure-seconds measures it better)\n"
            "warning: the set of 10 MiB files copied only 3 in 0.25 sec; its rate is rough (a "
            "longer --measure-seconds measures it better)\n");
  EXPECT_EQ(warningCount(), 2u);
  resetWarnings();
}

// What a report writes, --rates-from reads: the same rates, cost, bandwidth
// and objects, and where they came from.
TEST(RatesModel, ReadsBackFromTheJsonOfAMeasurementAndOfACalibration) {
  MeasureResult m = measured();
  CalibrationResult result;
  calibrateMeasurement(m.aClasses, result);
  result.dSecondsPerByte = 0;  // and a bandwidth without bound, written as null
  result.dBandwidthKBps = std::numeric_limits<double>::infinity();
  for (bool bMeasured : {true, false}) {
    SCOPED_TRACE(bMeasured);
    resetWarnings();
    Writer pWrite = writeMeasurementJson;
    if (!bMeasured) pWrite = writeCalibrationJson;
    std::string sJson = stdoutOf(pWrite, m, result);
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    std::fwrite(sJson.data(), 1, sJson.size(), stream);
    std::rewind(stream);
    EXPECT_TRUE(startsWithJsonObject(stream));
    RatesReport report;
    EXPECT_TRUE(readRatesReport(stream, report)) << report.sError << "\n" << sJson;
    std::fclose(stream);
    for (int k = 0; k < kMeasureSets; k++) {
      EXPECT_EQ(report.anRates[k], result.aClasses[k].nRateKBps) << k;
    }
    EXPECT_EQ(report.dCostMs, result.dCostSeconds * 1000.0);
    EXPECT_TRUE(report.bUnbounded);
    EXPECT_EQ(report.nObjects, 1022u);
    EXPECT_EQ(report.bMeasured, bMeasured);
    EXPECT_EQ(report.sOrigin, bMeasured ? "/mnt/back\x1bup" : "night.log");
  }
}

}  // namespace
