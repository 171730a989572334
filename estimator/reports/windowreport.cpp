#include "reports/windowreport.h"

#include <cinttypes>

#include "reports/output.h"

namespace {

void putDuration(std::uint64_t nSeconds, bool bHuman) {
  char szTime[kDurationTextSize];
  formatTime(bHuman, nSeconds, szTime);
  outText(szTime);
}

}  // namespace

void printWindowVerdict(const WindowVerdict& verdict) { printWindowVerdict(verdict, nullptr); }

void printWindowVerdict(const WindowVerdict& verdict, const char* szWhat, bool bHuman) {
  outText("Backup window ");
  putDuration(verdict.nWindowSeconds, bHuman);
  if (szWhat != nullptr) outFormat(" %s", szWhat);
  if (verdict.bFits) {
    outText(": fits, ");
    putDuration(verdict.nSpareSeconds, bHuman);
    outText(" to spare\n");
    return;
  }
  outText(": does not fit; ");
  putDuration(verdict.nOverSeconds, bHuman);
  outFormat(" over, rates would have to be %" PRIu64 ".%02u times as high\n", verdict.nFactorWhole,
            verdict.nFactorHundredths);
}
