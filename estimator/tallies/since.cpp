#include "tallies/since.h"

namespace {

void addToTally(AsideTally& tally, std::uint64_t nSize) {
  int k = sizeClass(nSize);
  tally.anFiles[k]++;
  if (tally.anBytes[k] > ~std::uint64_t{0} - nSize) tally.abPassedMax[k] = true;
  tally.anBytes[k] = addSaturating(tally.anBytes[k], nSize);
}

}  // namespace

OrderEvidence sinceEvidence(const SinceFilter& filter) {
  OrderEvidence evidence = filter.evidence;
  for (int k = 0; k < kOutcomes; k++) addOutcomes(evidence, k, filter.anOutcomes[k]);
  return evidence;
}

std::uint64_t unreadableDates(const SinceFilter& filter) {
  if (filter.bOrderGiven) return filter.nUnreadableGiven;
  const OrderEvidence evidence = sinceEvidence(filter);
  return dayFirstChosen(filter) ? evidence.nUnreadableDayFirst : evidence.nUnreadableMonthFirst;
}

void startSince(SinceFilter& filter, std::int64_t nSince, bool bOrderGiven, DateOrder order) {
  filter = SinceFilter();
  filter.nSince = nSince;
  filter.bOrderGiven = bOrderGiven;
  filter.order = order;
}

namespace {

// Counts a line of nSize bytes among those judged.
void countLine(SinceFilter& filter, bool bDayMonth, std::uint64_t nSize) {
  filter.nLines++;
  filter.nBytes = addSaturating(filter.nBytes, nSize);
  filter.bDayMonthDates |= bDayMonth;
}

// Counts a line of nSize bytes judged with the outcome given.
Selection countOutcome(SinceFilter& filter, int nOutcome, bool bDayMonth, std::uint64_t nSize) {
  countLine(filter, bDayMonth, nSize);
  filter.anOutcomes[nOutcome]++;
  return selectionOf(nOutcome);
}

}  // namespace

Selection judgeLine(SinceFilter& filter, const LineStamp& stamp, std::uint64_t nSize) {
  const bool bDayMonth = stamp.bHasDate && !stamp.bYearFirst;
  if (!filter.bOrderGiven) {
    return countOutcome(filter, judgeStamp(stamp, filter.nSince), bDayMonth, nSize);
  }
  countLine(filter, bDayMonth, nSize);
  std::int64_t nMoment = 0;
  bool bRead = computeMoment(stamp, filter.order, nMoment);
  if (!bRead) filter.nUnreadableGiven++;
  Selection selection;
  selection.bMonthFirst = selection.bDayFirst = bRead && nMoment >= filter.nSince;
  if (selection.bMonthFirst) filter.nSelectedGiven++;
  return selection;
}

Selection judgeLineText(SinceFilter& filter, const char* szLine, std::size_t nLength, bool bListing,
                        std::uint64_t nSize) {
  if (filter.bOrderGiven) {
    LineStamp stamp;
    if (bListing) {
      readListingStamp(szLine, nLength, stamp, filter.stamps);
    } else {
      readLogStamp(szLine, nLength, stamp, filter.stamps);
    }
    return judgeLine(filter, stamp, nSize);
  }
  bool bDayMonth = false;
  const int nOutcome =
      judgeLineStamp(szLine, nLength, bListing, filter.nSince, bDayMonth, filter.stamps);
  return countOutcome(filter, nOutcome, bDayMonth, nSize);
}

std::uint64_t selectedLines(const SinceFilter& filter) {
  if (filter.bOrderGiven) return filter.nSelectedGiven;
  const OrderEvidence evidence = sinceEvidence(filter);
  return dayFirstChosen(filter) ? evidence.nSelectedDayFirst : evidence.nSelectedMonthFirst;
}

void setAside(SinceFilter& filter, const Selection& selection, std::uint64_t nSize) {
  if (selection.bMonthFirst && !selection.bDayFirst) addToTally(filter.monthFirstOnly, nSize);
  if (selection.bDayFirst && !selection.bMonthFirst) addToTally(filter.dayFirstOnly, nSize);
}

bool dayFirstChosen(const SinceFilter& filter) {
  return !filter.bOrderGiven && chooseOrder(sinceEvidence(filter)) == DateOrder::kDayFirst;
}

const AsideTally& chosenAside(const SinceFilter& filter) {
  return dayFirstChosen(filter) ? filter.dayFirstOnly : filter.monthFirstOnly;
}

const char* chosenOrderName(const SinceFilter& filter) {
  if (filter.bOrderGiven) {
    return filter.order == DateOrder::kDayFirst    ? "day first"
           : filter.order == DateOrder::kYearFirst ? "year first"
                                                   : "month first";
  }
  if (!filter.bDayMonthDates) return "year first";
  return dayFirstChosen(filter) ? "day first" : "month first";
}

const char* orderDecidedBy(const SinceFilter& filter) {
  if (filter.bOrderGiven) return "option";
  if (!filter.bDayMonthDates || judgeOrder(sinceEvidence(filter)) != OrderVerdict::kUndecided) {
    return "listing";
  }
  return "assumed";
}
