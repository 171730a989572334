#include "reports/sincereport.h"

#include <cinttypes>

#include "reports/output.h"
#include "reports/warnings.h"

void printSelection(const SinceFilter& filter, const char* szWhat, std::uint64_t nSelected) {
  char szSince[kMomentTextSize];
  formatMoment(filter.nSince, szSince);
  outFormat("%s since %s: %" PRIu64 " of %" PRIu64 "\n", szWhat, szSince, nSelected, filter.nLines);
}

void warnSince(const SinceFilter& filter) {
  std::uint64_t nUnreadable = unreadableDates(filter);
  if (nUnreadable > 0) {
    warn("the dates of %" PRIu64 " files could not be read; they were not counted", nUnreadable);
  }
  if (filter.bOrderGiven) return;
  const OrderEvidence e = sinceEvidence(filter);
  if (!orderMatters(e)) return;
  switch (judgeOrder(e)) {
    case OrderVerdict::kUndecided:
      warn(
          "the listing's dates could be month first or day first; month first was used (set "
          "--date-order to choose)");
      break;
    case OrderVerdict::kContradicted:
      warn("the listing's dates contradict each other: %" PRIu64
           " are dates only month first, %" PRIu64
           " only day first; %s was used (set --date-order to choose)",
           e.nMonthFirstProofs, e.nDayFirstProofs, chosenOrderName(filter));
      break;
    default:
      break;
  }
}
