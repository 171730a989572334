#include "reports/windowreport.h"

#include <cinttypes>

#include "reports/output.h"

namespace {

void putDuration(std::uint64_t nSeconds) {
  char szTime[kDurationTextSize];
  formatDuration(nSeconds, szTime);
  outText(szTime);
}

}  // namespace

void printWindowVerdict(const WindowVerdict& verdict) { printWindowVerdict(verdict, nullptr); }

void printWindowVerdict(const WindowVerdict& verdict, const char* szWhat) {
  outText("Backup window ");
  putDuration(verdict.nWindowSeconds);
  if (szWhat != nullptr) outFormat(" %s", szWhat);
  if (verdict.bFits) {
    outText(": fits, ");
    putDuration(verdict.nSpareSeconds);
    outText(" to spare\n");
    return;
  }
  outText(": does not fit; ");
  putDuration(verdict.nOverSeconds);
  outFormat(" over, rates would have to be %" PRIu64 ".%02u times as high\n", verdict.nFactorWhole,
            verdict.nFactorHundredths);
}
