#include "tallies/dates.h"

namespace {

// A date that is a date under one reading only proves that reading.
void weighReadings(OrderEvidence& evidence, bool bMonthFirst, bool bDayFirst) {
  evidence.nMonthFirstProofs += static_cast<unsigned>(bMonthFirst && !bDayFirst);
  evidence.nDayFirstProofs += static_cast<unsigned>(bDayFirst && !bMonthFirst);
}

}  // namespace

void weighStamp(OrderEvidence& evidence, const LineStamp& stamp) {
  std::int64_t nMoment;
  weighReadings(evidence, computeMoment(stamp, DateOrder::kMonthFirst, nMoment),
                computeMoment(stamp, DateOrder::kDayFirst, nMoment));
}

Selection selectionOf(int nOutcome) {
  Selection selection;
  selection.bMonthFirst = (nOutcome & kSelectedMonthFirst) != 0;
  selection.bDayFirst = (nOutcome & kSelectedDayFirst) != 0;
  return selection;
}

void addOutcomes(OrderEvidence& evidence, int nOutcome, std::uint64_t nLines) {
  const bool bMonthFirst = (nOutcome & kReadMonthFirst) != 0;
  const bool bDayFirst = (nOutcome & kReadDayFirst) != 0;
  const Selection selection = selectionOf(nOutcome);
  if (bMonthFirst && !bDayFirst) evidence.nMonthFirstProofs += nLines;
  if (bDayFirst && !bMonthFirst) evidence.nDayFirstProofs += nLines;
  if (!bMonthFirst) evidence.nUnreadableMonthFirst += nLines;
  if (!bDayFirst) evidence.nUnreadableDayFirst += nLines;
  if (selection.bMonthFirst) evidence.nSelectedMonthFirst += nLines;
  if (selection.bDayFirst) evidence.nSelectedDayFirst += nLines;
  if (selection.bMonthFirst != selection.bDayFirst) evidence.nDisagreeing += nLines;
}

Selection selectStamp(OrderEvidence& evidence, const LineStamp& stamp, std::int64_t nSince) {
  const int nOutcome = judgeStamp(stamp, nSince);
  addOutcomes(evidence, nOutcome, 1);
  return selectionOf(nOutcome);
}

OrderVerdict judgeOrder(const OrderEvidence& evidence) {
  if (evidence.nMonthFirstProofs > 0 && evidence.nDayFirstProofs > 0) {
    return OrderVerdict::kContradicted;
  }
  if (evidence.nMonthFirstProofs > 0) return OrderVerdict::kMonthFirst;
  if (evidence.nDayFirstProofs > 0) return OrderVerdict::kDayFirst;
  return OrderVerdict::kUndecided;
}

DateOrder chooseOrder(const OrderEvidence& evidence) {
  return evidence.nDayFirstProofs > evidence.nMonthFirstProofs ? DateOrder::kDayFirst
                                                               : DateOrder::kMonthFirst;
}

bool orderMatters(const OrderEvidence& evidence) {
  return evidence.nDisagreeing > 0 ||
         evidence.nUnreadableMonthFirst != evidence.nUnreadableDayFirst;
}
