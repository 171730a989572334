// The schedule of one night's backups: every client's estimate, as the JSON
// report written on that client gives it, placed into a number of sessions
// that share the server's (or the link's) bandwidth.
//
// Clients are taken in order and each starts, when a session is free, on the
// lowest-numbered free one; at time 0 the first sessions take the first
// clients. A client alone takes its estimate T to move its B bytes: it demands
// d = B / T bytes per second. While the running clients together demand more
// than the bandwidth, they share it max-min fairly: there is a level L such
// that every client gets min(d, L) and the shares add up to the bandwidth.
// A client that gets less than it demands progresses at share / d of its own
// speed, all of its time stretched alike, its cost per object too (the server
// is what it waits for). Without a bandwidth, clients do not slow each other.
//
// A simulation takes O(log n) for n clients per event and per client whose
// speed the event changes: the clients that run at their own speed are
// ordered by when they would end, the slowed ones by the bytes they have left
// (they all move bytes at the level's speed), and the level is found by a
// descent over the clients ranked by demand. The search for the least number
// of sessions that fit a window reuses one simulation's memory, a few numbers
// per client.
//
// Times are doubles in seconds from the plan's start. Ends that differ by less
// than a trillionth of the clock are one instant, so that clients which end
// together by hand free their sessions together.
#ifndef PLOMET_ESTIMATOR_TALLIES_SCHEDULE_H_
#define PLOMET_ESTIMATOR_TALLIES_SCHEDULE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// One client's report, as read, and where the plan puts it.
struct PlanClient {
  std::string sName;         // the client's name
  double dSeconds = 0;       // T: its estimate alone; NaN or below 0 count as 0, past 1e30 as 1e30
  std::uint64_t nBytes = 0;  // B: the bytes it moves
  std::size_t nTag = 0;      // the caller's own, kept with the client when ordered
  // Set by planSchedule:
  int nSession = 0;  // 1-based
  double dStart = 0;
  double dEnd = 0;
};

/// The order in which clients take sessions: the longest estimate first (the
/// default), or the shortest first; equal estimates by name, byte by byte.
enum class PlanOrder { kLongest, kShortest };

/// The work fitWindow may spend with a cap trying one number of sessions
/// after another, in steps: an event, a client started or moved between its
/// own speed and the shared one, or 16 clients made ready for a simulation
/// (well under a microsecond each). 2^18 is about a tenth of a second, and
/// every number up to one per client for fleets of a few hundred.
const std::uint64_t kPlanSearchSteps = std::uint64_t{1} << 18;

struct PlanSettings {
  int nSessions = 1;  // below 1 counts as 1
  PlanOrder order = PlanOrder::kLongest;
  double dBandwidth = 0;  // bytes per second the clients share; 0 (or less): no cap
  std::uint64_t nSearchSteps = kPlanSearchSteps;  // see kPlanSearchSteps
};

/// What the night comes to.
struct PlanOutcome {
  double dEnd = 0;  // when the last client ends (0 without clients)
  // The busiest stretch: the time, unbroken, in which the clients together
  // move the most bytes per second; of several at that rate the longest, and
  // of equally long ones the first (with a cap, the longest time the
  // bandwidth is full). All 0 when nothing runs for any time.
  double dBusiestStart = 0;
  double dBusiestEnd = 0;
  double dBusiestBytesPerSecond = 0;
};

/// Why no number of sessions makes a plan fit its window.
enum class PlanMiss {
  kNone,                // some number of sessions fits
  kClientTooLong,       // a client alone takes longer than the window
  kBytesOverBandwidth,  // the bytes over the bandwidth take longer than the window
  kSharing,             // the shared bandwidth stretches clients past it, however many run
};

/// The verdict of a window on a plan.
struct WindowFit {
  bool bFits = false;       // with the settings' sessions the plan ends within the window
  int nSessionsNeeded = 0;  // the least number of sessions with which it does; 0 when none
  PlanMiss why = PlanMiss::kNone;
  // With kClientTooLong: the index, in the order given, of the client that
  // takes the longest alone (the first of equals).
  std::size_t nLongClient = 0;
  // Every smaller number of sessions was tried or ruled out, so that
  // nSessionsNeeded is the least, and with kSharing none fits. False only
  // where the search with a cap went past its budget (see fitWindow).
  bool bEveryTried = true;
};

/// Orders the clients as order says, the longest or shortest estimate first,
/// equal estimates by name in byte order, equal names as they came.
void orderClients(std::vector<PlanClient>& clients, PlanOrder order);

/// Returns the time a client takes when it runs alone: its estimate, or its
/// bytes over the bandwidth when it demands more than the bandwidth (then it
/// is slowed even alone). dBandwidth <= 0: no cap.
double aloneSeconds(const PlanClient& client, double dBandwidth);

/// Simulates the night for clients in the order given (order them first with
/// orderClients; settings.order is not applied here): sets each client's
/// session, start and end. Returns when the plan ends and its busiest
/// stretch. A client of T = 0 ends at its start (its session is free again at
/// once); one of B = 0 demands nothing and is never slowed. Sessions beyond
/// the number of clients stay idle. Finite for any finite T and any B.
PlanOutcome planSchedule(std::vector<PlanClient>& clients, const PlanSettings& settings);

/// Returns whether the plan of the clients, in the order given, with
/// settings.nSessions ends within dWindow seconds, and the least number of
/// sessions with which it would, searched upward from the sessions that the
/// clients' times alone fill (no fewer can fit). An end equal to the window,
/// or past it by a billionth of it, fits. When none fits, says why: a client
/// longer than the window alone (named by its index), or the bytes of all
/// clients that take time (those of T = 0 pass no link) over the bandwidth
/// longer than the window, or, where neither holds, the sharing of
/// the bandwidth with any number of sessions (up to one per client, which all
/// larger numbers equal). Without clients the plan fits with 1 session.
/// The clients are not changed.
///
/// Without a cap the end never grows with sessions, and halving finds the
/// least number. With a cap it can (one more client beside a long one slows
/// it), so every number is tried, from the least that fits without the cap,
/// while the work stays within settings.nSearchSteps. Past it, numbers are
/// probed at steps that double, the last being one per client, and halving
/// between the last miss and the first fit gives a number that fits, not
/// proven the least; bEveryTried says which.
WindowFit fitWindow(const std::vector<PlanClient>& clients, const PlanSettings& settings,
                    double dWindow);

#endif  // PLOMET_ESTIMATOR_TALLIES_SCHEDULE_H_
