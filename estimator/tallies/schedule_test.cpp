#include "tallies/schedule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

const std::uint64_t kMaxBytes = UINT64_MAX;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

PlanClient client(const char* szName, double dSeconds, std::uint64_t nBytes) {
  PlanClient c;
  c.sName = szName;
  c.dSeconds = dSeconds;
  c.nBytes = nBytes;
  return c;
}

PlanSettings settingsOf(int nSessions, double dBandwidth = 0) {
  PlanSettings settings;
  settings.nSessions = nSessions;
  settings.dBandwidth = dBandwidth;
  return settings;
}

struct Placed {
  int nSession;
  double dStart;
  double dEnd;
};

void expectPlaced(const std::vector<PlanClient>& clients, const std::vector<Placed>& want) {
  ASSERT_EQ(clients.size(), want.size());
  for (std::size_t i = 0; i < want.size(); i++) {
    SCOPED_TRACE(clients[i].sName);
    EXPECT_EQ(clients[i].nSession, want[i].nSession);
    EXPECT_DOUBLE_EQ(clients[i].dStart, want[i].dStart);
    EXPECT_DOUBLE_EQ(clients[i].dEnd, want[i].dEnd);
  }
}

std::vector<std::string> namesOf(const std::vector<PlanClient>& clients) {
  std::vector<std::string> names;
  for (const PlanClient& c : clients) names.push_back(c.sName);
  return names;
}

// Five clients on two sessions, the longest first. Each demands a round
// number of bytes per second: alpha 100, bravo 200, charlie 300, delta 50,
// echo 383 1/3.
std::vector<PlanClient> fiveClients() {
  return {client("delta", 1200, 60000), client("alpha", 3600, 360000), client("echo", 600, 230000),
          client("charlie", 1800, 540000), client("bravo", 2400, 480000)};
}

TEST(PlanScheduleTest, FiveClientsOnTwoSessionsAlone) {
  // alpha and bravo start at 0; charlie takes bravo's session at 2400, delta
  // alpha's at 3600, echo charlie's at 4200. From 4200 delta and echo run
  // together at 50 + 383 1/3 bytes per second, the most of the night.
  std::vector<PlanClient> clients = fiveClients();
  orderClients(clients, PlanOrder::kLongest);
  PlanOutcome outcome = planSchedule(clients, settingsOf(2));
  expectPlaced(clients,
               {{1, 0, 3600}, {2, 0, 2400}, {2, 2400, 4200}, {1, 3600, 4800}, {2, 4200, 4800}});
  EXPECT_DOUBLE_EQ(outcome.dEnd, 4800);
  EXPECT_DOUBLE_EQ(outcome.dBusiestStart, 4200);
  EXPECT_DOUBLE_EQ(outcome.dBusiestEnd, 4800);
  EXPECT_DOUBLE_EQ(outcome.dBusiestBytesPerSecond, 50 + 230000.0 / 600);
}

TEST(PlanScheduleTest, FiveClientsOnTwoSessionsSharing360BytesPerSecond) {
  // 0-2400: alpha and bravo demand 300, under the cap.
  // 2400-3600: alpha 100 and charlie 300 demand 400; the level is 260:
  //   alpha keeps 100, charlie gets 260 and moves 312000 of its 540000 bytes.
  // 3600: delta 50 takes alpha's session; charlie's 300 fits again, its
  //   228000 bytes left take 760 s: it ends at 4360.
  // 4360: echo demands 383 1/3 beside delta's 50: the level is 310; by 4800
  //   echo moves 136400 bytes; alone it gets the whole 360 (it demands more)
  //   for the 93600 left: 260 s, to 5060.
  // The bandwidth is full from 2400 to 3600 and from 4360 to 5060: the
  // longer is the busiest.
  std::vector<PlanClient> clients = fiveClients();
  orderClients(clients, PlanOrder::kLongest);
  PlanOutcome outcome = planSchedule(clients, settingsOf(2, 360));
  expectPlaced(clients,
               {{1, 0, 3600}, {2, 0, 2400}, {2, 2400, 4360}, {1, 3600, 4800}, {2, 4360, 5060}});
  EXPECT_DOUBLE_EQ(outcome.dEnd, 5060);
  EXPECT_DOUBLE_EQ(outcome.dBusiestStart, 2400);
  EXPECT_DOUBLE_EQ(outcome.dBusiestEnd, 3600);
  EXPECT_DOUBLE_EQ(outcome.dBusiestBytesPerSecond, 360);
}

TEST(PlanScheduleTest, SharesMaxMinFairlyAsClientsComeAndGo) {
  // A bandwidth of 2, shared by c (8 s, 8 bytes: demands 1), a (4 s, 2: 1/2),
  // b (3 s, 4: 4/3) and d (1 s, 6: 6) on three sessions.
  // 0-4: a gets its 1/2; c and b 3/4 each. a ends at 4, c has 5 bytes left,
  //   b 1. d starts: c, b and d get 2/3 each.
  // 5.5: b ends; c gets its 1 and d 1. c's 4 bytes end at 9.5.
  // 9.5: d alone gets the whole 2 for its last byte: it ends at 10.
  std::vector<PlanClient> clients = {client("c", 8, 8), client("a", 4, 2), client("b", 3, 4),
                                     client("d", 1, 6)};
  PlanOutcome outcome = planSchedule(clients, settingsOf(3, 2));
  expectPlaced(clients, {{1, 0, 9.5}, {2, 0, 4}, {3, 0, 5.5}, {2, 4, 10}});
  EXPECT_DOUBLE_EQ(outcome.dEnd, 10);
  // Two sessions: c and b end together at 8, and d takes the lower one.
  outcome = planSchedule(clients, settingsOf(2, 2));
  expectPlaced(clients, {{1, 0, 8}, {2, 0, 4}, {2, 4, 8}, {1, 8, 11}});
  // All at once: a gets 1/2, the others 1/2 each, then 2/3, then c and d 1.
  outcome = planSchedule(clients, settingsOf(4, 2));
  expectPlaced(clients, {{1, 0, 11}, {2, 0, 4}, {3, 0, 7}, {4, 0, 9}});
  EXPECT_DOUBLE_EQ(outcome.dBusiestStart, 0);
  EXPECT_DOUBLE_EQ(outcome.dBusiestEnd, 9);  // then c alone moves 1 byte a second
  EXPECT_DOUBLE_EQ(outcome.dBusiestBytesPerSecond, 2);
}

TEST(PlanScheduleTest, EdgeCases) {
  const double kYears = 3e8;  // about ten years
  struct Case {
    const char* szWhat;
    std::vector<PlanClient> clients;  // in plan order
    PlanSettings settings;
    std::vector<Placed> placed;
    double dEnd;
    double adBusiest[3];
  };
  const Case kCases[] = {
      {"no clients", {}, settingsOf(3), {}, 0, {0, 0, 0}},
      {"T = 0 ends at its start and frees its session at once",
       {client("zero", 0, 5000), client("next", 10, 0), client("last", 5, 0)},
       settingsOf(1),
       {{1, 0, 0}, {1, 0, 10}, {1, 10, 15}},
       15,
       {0, 15, 0}},
      {"B = 0 demands nothing and is never slowed",
       {client("none", 10, 0), client("much", 10, 1000)},
       settingsOf(2, 1),
       {{1, 0, 10}, {2, 0, 1000}},
       1000,
       {0, 1000, 1}},
      {"a bandwidth of 0 caps nothing",
       {client("a", 10, 1000), client("b", 10, 1000)},
       settingsOf(2, 0),
       {{1, 0, 10}, {2, 0, 10}},
       10,
       {0, 10, 200}},
      {"nor does one below 0, NaN or infinite",
       {client("a", 10, 1000), client("b", 10, 1000)},
       settingsOf(2, -5),
       {{1, 0, 10}, {2, 0, 10}},
       10,
       {0, 10, 200}},
      {"more sessions than clients",
       {client("a", 10, 0), client("b", 20, 0)},
       settingsOf(5),
       {{1, 0, 10}, {2, 0, 20}},
       20,
       {0, 20, 0}},
      {"sessions below 1 count as 1",
       {client("a", 10, 0), client("b", 20, 0)},
       settingsOf(0),
       {{1, 0, 10}, {1, 10, 30}},
       30,
       {0, 30, 0}},
      {"sessions that end together: the lowest-numbered takes the next client",
       {client("long", 10, 0), client("x", 5, 0), client("y", 5, 0), client("p", 1, 0),
        client("q", 1, 0)},
       settingsOf(3),
       {{1, 0, 10}, {2, 0, 5}, {3, 0, 5}, {2, 5, 6}, {3, 5, 6}},
       10,
       {0, 10, 0}},
      {"ends equal by hand but not in doubles free their sessions together",
       // c gets its 0.2, a exactly its 1.4 at the level, b the 1.4 left:
       // all three end at 5, and d takes the lowest session.
       {client("a", 5, 7), client("c", 5, 1), client("b", 2, 7), client("d", 2, 1)},
       settingsOf(3, 3),
       {{1, 0, 5}, {2, 0, 5}, {3, 0, 5}, {1, 5, 7}},
       7,
       {0, 5, 3}},
      {"a client demanding more than the bandwidth alone runs at the bandwidth",
       {client("big", 10, 1000)},
       settingsOf(1, 50),
       {{1, 0, 20}},
       20,
       {0, 20, 50}},
      {"demanding the bandwidth exactly is not slowed",
       {client("even", 10, 500), client("none", 30, 0)},
       settingsOf(2, 50),
       {{1, 0, 10}, {2, 0, 30}},
       30,
       {0, 10, 50}},
      {"2^64 - 1 bytes over years, two sharing a bandwidth each demands alone",
       {client("a", kYears, kMaxBytes), client("b", kYears, kMaxBytes)},
       settingsOf(2, 18446744073709551616.0 / kYears),
       {{1, 0, 2 * kYears}, {2, 0, 2 * kYears}},
       2 * kYears,
       {0, 2 * kYears, 18446744073709551616.0 / kYears}},
      {"2^64 - 1 bytes in one second beside one byte, without a cap",
       {client("huge", 1, kMaxBytes), client("one", 2, 1)},
       settingsOf(2),
       {{1, 0, 1}, {2, 0, 2}},
       2,
       {0, 1, 18446744073709551616.0}},
      {"estimates at the largest whole number of seconds",
       {client("a", 18446744073709551615.0, kMaxBytes), client("b", 1, 0)},
       settingsOf(1),
       {{1, 0, 18446744073709551616.0}, {1, 18446744073709551616.0, 18446744073709551616.0}},
       18446744073709551616.0,
       {0, 18446744073709551616.0, 1}},
      {"NaN and estimates below 0 take no time",
       {client("nan", kNaN, 100), client("minus", -7, 100), client("one", 1, 0)},
       settingsOf(1),
       {{1, 0, 0}, {1, 0, 0}, {1, 0, 1}},
       1,
       {0, 1, 0}},
      {"the busiest of equal rates is the longer, later stretch",
       {client("p", 2, 20), client("q", 1, 0), client("r", 5, 50)},
       settingsOf(1, 10),
       {{1, 0, 2}, {1, 2, 3}, {1, 3, 8}},
       8,
       {3, 8, 10}},
      {"and of equally long ones the first",
       {client("p", 2, 20), client("q", 1, 0), client("r", 2, 20)},
       settingsOf(1, 10),
       {{1, 0, 2}, {1, 2, 3}, {1, 3, 5}},
       5,
       {0, 2, 10}},
      {"one rate across clients that follow each other is one stretch",
       {client("p", 2, 20), client("r", 3, 30), client("q", 1, 0)},
       settingsOf(1),
       {{1, 0, 2}, {1, 2, 5}, {1, 5, 6}},
       6,
       {0, 5, 10}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szWhat);
    std::vector<PlanClient> clients = c.clients;
    PlanOutcome outcome = planSchedule(clients, c.settings);
    expectPlaced(clients, c.placed);
    EXPECT_DOUBLE_EQ(outcome.dEnd, c.dEnd);
    EXPECT_DOUBLE_EQ(outcome.dBusiestStart, c.adBusiest[0]);
    EXPECT_DOUBLE_EQ(outcome.dBusiestEnd, c.adBusiest[1]);
    EXPECT_DOUBLE_EQ(outcome.dBusiestBytesPerSecond, c.adBusiest[2]);
  }
  for (double dBandwidth : {kNaN, std::numeric_limits<double>::infinity()}) {
    std::vector<PlanClient> clients = {client("a", 10, 1000), client("b", 10, 1000)};
    EXPECT_DOUBLE_EQ(planSchedule(clients, settingsOf(2, dBandwidth)).dEnd, 10);
  }
}

TEST(PlanScheduleTest, SessionsFromOneToPastTheLargestNumber) {
  // Four clients of 1, 2, 3 and 4 seconds, the longest first.
  struct Case {
    int nSessions;
    double dEnd;
  };
  const Case kCases[] = {{INT_MIN, 10}, {-1, 10}, {0, 10}, {1, 10},     {2, 5},
                         {3, 4},        {4, 4},   {5, 4},  {INT_MAX, 4}};
  for (const Case& c : kCases) {
    std::vector<PlanClient> clients = {client("d", 4, 4), client("c", 3, 3), client("b", 2, 2),
                                       client("a", 1, 1)};
    EXPECT_DOUBLE_EQ(planSchedule(clients, settingsOf(c.nSessions)).dEnd, c.dEnd) << c.nSessions;
    EXPECT_DOUBLE_EQ(planSchedule(clients, settingsOf(c.nSessions, 1e9)).dEnd, c.dEnd);
  }
}

TEST(OrderClientsTest, LongestOrShortestFirstThenNamesByByte) {
  std::vector<PlanClient> clients = {
      client("b", 10, 0),   client("\xC3\xA4rger", 10, 0), client("Z", 10, 0),
      client("a", 10, 0),   client("short", 1, 0),         client("nan", kNaN, 0),
      client("zero", 0, 0), client("long", 99, 0),         client("minus", -1, 0)};
  clients[3].nBytes = 1;  // tells the two clients named "a" apart
  clients.push_back(client("a", 10, 2));
  std::vector<PlanClient> longest = clients;
  orderClients(longest, PlanOrder::kLongest);
  EXPECT_EQ(namesOf(longest), (std::vector<std::string>{"long", "Z", "a", "a", "b", "\xC3\xA4rger",
                                                        "short", "minus", "nan", "zero"}));
  EXPECT_EQ(longest[2].nBytes, 1u);  // equal names stay as they came
  std::vector<PlanClient> shortest = clients;
  orderClients(shortest, PlanOrder::kShortest);
  EXPECT_EQ(namesOf(shortest), (std::vector<std::string>{"minus", "nan", "zero", "short", "Z", "a",
                                                         "a", "b", "\xC3\xA4rger", "long"}));
}

TEST(AloneSecondsTest, TheEstimateOrTheBytesOverTheBandwidth) {
  struct Case {
    double dSeconds;
    std::uint64_t nBytes;
    double dBandwidth;
    double dAlone;
  };
  const Case kCases[] = {
      {10, 100, 10, 10},                  // demands the bandwidth: not slowed
      {10, 101, 10, 10.1},                // one byte more is
      {10, 0, 1, 10},                     //
      {0, kMaxBytes, 1, 0},               // takes no time whatever its bytes
      {10, kMaxBytes, 0, 10},             // no cap
      {10, kMaxBytes, -1, 10},            //
      {1, 4294967295u, 1, 4294967295.0},  // 2^32 - 1
      {1, 4294967296u, 4294967295.0, 1 + 1.0 / 4294967295.0},
      {1, kMaxBytes, 4294967296.0, 4294967296.0},
      {kNaN, 100, 1, 0},
      {-5, 100, 1, 0},
  };
  for (const Case& c : kCases) {
    EXPECT_DOUBLE_EQ(aloneSeconds(client("x", c.dSeconds, c.nBytes), c.dBandwidth), c.dAlone)
        << c.dSeconds << " s, " << c.nBytes << " bytes, " << c.dBandwidth;
  }
}

// Fleets made of whole hours.
std::vector<PlanClient> hours(std::initializer_list<double> adHours) {
  std::vector<PlanClient> clients;
  for (double dHours : adHours) {
    clients.push_back(client(("h" + std::to_string(clients.size())).c_str(), dHours * 3600, 0));
  }
  return clients;
}

TEST(FitWindowTest, FitsWithExactlyFourSessionsNotThree) {
  // 24 hours of clients fill 3 sessions of 8 hours, but with 3 the last
  // 2-hour client starts at 7 hours: 6 | 5 2 2 | 4 3 ... With 4 the plan
  // ends at 7 hours.
  std::vector<PlanClient> clients = hours({6, 5, 4, 3, 2, 2, 2});
  PlanOutcome three = planSchedule(clients, settingsOf(3));
  EXPECT_DOUBLE_EQ(three.dEnd, 9 * 3600);
  EXPECT_DOUBLE_EQ(planSchedule(clients, settingsOf(4)).dEnd, 7 * 3600);
  for (int nSessions : {1, 3, 4, 7, 100}) {
    WindowFit fit = fitWindow(clients, settingsOf(nSessions), 8 * 3600);
    EXPECT_EQ(fit.bFits, nSessions >= 4) << nSessions;
    EXPECT_EQ(fit.nSessionsNeeded, 4);
    EXPECT_EQ(fit.why, PlanMiss::kNone);
    EXPECT_TRUE(fit.bEveryTried);
  }
  // A window of exactly 9 hours fits 3; a second less needs 4.
  EXPECT_EQ(fitWindow(clients, settingsOf(1), 9 * 3600).nSessionsNeeded, 3);
  EXPECT_EQ(fitWindow(clients, settingsOf(1), 9 * 3600 - 1).nSessionsNeeded, 4);
}

TEST(FitWindowTest, AnEndPastTheWindowByABillionthFits) {
  std::vector<PlanClient> clients = hours({6, 5, 4, 3, 2, 2, 2});
  const double kEnd = 7 * 3600;
  EXPECT_TRUE(fitWindow(clients, settingsOf(4), kEnd).bFits);
  EXPECT_TRUE(fitWindow(clients, settingsOf(4), kEnd / (1 + 1e-10)).bFits);
  EXPECT_FALSE(fitWindow(clients, settingsOf(4), kEnd * (1 - 1e-8)).bFits);
}

TEST(FitWindowTest, TheCapCanMakeMoreSessionsEndLater) {
  // The clients of SharesMaxMinFairlyAsClientsComeAndGo end at 18, 11, 10
  // and 11 with 1 to 4 sessions (without the cap at 16, 8, 8, 8): a window
  // of 10 needs 3, which fit where 4 do not.
  std::vector<PlanClient> clients = {client("c", 8, 8), client("a", 4, 2), client("b", 3, 4),
                                     client("d", 1, 6)};
  WindowFit fit = fitWindow(clients, settingsOf(4, 2), 10);
  EXPECT_FALSE(fit.bFits);
  EXPECT_EQ(fit.nSessionsNeeded, 3);
  EXPECT_TRUE(fit.bEveryTried);
  EXPECT_EQ(fitWindow(clients, settingsOf(4), 10).nSessionsNeeded, 2);
  EXPECT_EQ(fitWindow(clients, settingsOf(1, 2), 11).nSessionsNeeded, 2);
  EXPECT_EQ(fitWindow(clients, settingsOf(1, 2), 18).nSessionsNeeded, 1);
}

TEST(FitWindowTest, SaysWhyNoNumberOfSessionsFits) {
  struct Case {
    const char* szWhat;
    std::vector<PlanClient> clients;
    double dBandwidth;
    double dWindow;
    PlanMiss why;
    std::size_t nLongClient;
  };
  const Case kCases[] = {
      {"a client longer than the window", hours({1, 9, 9, 2}), 0, 8 * 3600,
       PlanMiss::kClientTooLong, 1},
      {"a client slowed by the bandwidth alone is the longest",
       {client("p", 15, 0), client("q", 5, 200), client("r", 5, 200)},
       10,
       10,
       PlanMiss::kClientTooLong,
       1},
      {"the bytes over the bandwidth (those of T = 0 pass no link)",
       {client("x", 10, 60), client("z", 10, 41), client("w", 0, 1000000)},
       10,
       10,
       PlanMiss::kBytesOverBandwidth,
       0},
      {"sharing: y beside x slows it to 10.2, after it the plan ends at 11",
       {client("x", 10, 60), client("y", 1, 6)},
       10,
       10,
       PlanMiss::kSharing,
       0},
      {"a window of 0", {client("x", 1, 0)}, 0, 0, PlanMiss::kClientTooLong, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.szWhat);
    WindowFit fit = fitWindow(c.clients, settingsOf(3, c.dBandwidth), c.dWindow);
    EXPECT_FALSE(fit.bFits);
    EXPECT_EQ(fit.nSessionsNeeded, 0);
    EXPECT_EQ(fit.why, c.why);
    EXPECT_EQ(fit.nLongClient, c.nLongClient);
    EXPECT_TRUE(fit.bEveryTried);
  }
  // One byte fewer and the bytes fit: 100 bytes at 10 a second in 10
  // seconds, beside a client that takes no time.
  WindowFit fit = fitWindow({client("x", 10, 60), client("z", 10, 40), client("w", 0, 1000000)},
                            settingsOf(1, 10), 10);
  EXPECT_EQ(fit.nSessionsNeeded, 2);
  EXPECT_EQ(fit.why, PlanMiss::kNone);
  // No clients fit in any window, with one session.
  fit = fitWindow({}, settingsOf(3), 0);
  EXPECT_TRUE(fit.bFits);
  EXPECT_EQ(fit.nSessionsNeeded, 1);
}

TEST(FitWindowTest, PastItsBudgetTheSearchSaysItTriedNotEveryNumber) {
  // x fits the window exactly at its own speed; beside any of the others,
  // which demand as much, it is slowed past it. No number fits, but to prove
  // it every number up to 3000 would be simulated.
  const double kBandwidth = 1e9;
  std::vector<PlanClient> clients = {client("x", 28800, 28800 * 6e8)};
  for (int i = 1; i < 3000; i++) clients.push_back(client("y", 1, 6e8));
  WindowFit fit = fitWindow(clients, settingsOf(2, kBandwidth), 28800);
  EXPECT_EQ(fit.why, PlanMiss::kSharing);
  EXPECT_EQ(fit.nSessionsNeeded, 0);
  EXPECT_FALSE(fit.bEveryTried);
  // Without the cap, 2 sessions fit: the others one after another beside x.
  fit = fitWindow(clients, settingsOf(2), 28800);
  EXPECT_EQ(fit.nSessionsNeeded, 2);
  EXPECT_TRUE(fit.bEveryTried);
}

TEST(FitWindowTest, PastItsBudgetTheSearchProbesAndHalves) {
  // Without a cap 3 sessions fit a window of 8; with a bandwidth of 2 the
  // plan ends at 10.75, 9.5, 8 and 8 with 3 to 6 sessions. With no steps to
  // spend, the search probes 3 (misses) and 5 (fits), and halving tries 4.
  std::vector<PlanClient> clients = {client("d", 6, 2), client("e", 6, 4), client("b", 4, 0),
                                     client("c", 4, 1), client("f", 2, 6), client("a", 1, 3)};
  PlanSettings settings = settingsOf(1, 2);
  WindowFit fit = fitWindow(clients, settings, 8);
  EXPECT_EQ(fit.nSessionsNeeded, 5);
  EXPECT_TRUE(fit.bEveryTried);
  settings.nSearchSteps = 0;
  fit = fitWindow(clients, settings, 8);
  EXPECT_EQ(fit.nSessionsNeeded, 5);
  EXPECT_FALSE(fit.bEveryTried);
  // Where the end grows with sessions, probing can miss: the clients of
  // SharesMaxMinFairlyAsClientsComeAndGo fit a window of 10 with 3 sessions
  // only, and the probes try 2 and 4.
  clients = {client("c", 8, 8), client("a", 4, 2), client("b", 3, 4), client("d", 1, 6)};
  fit = fitWindow(clients, settings, 10);
  EXPECT_EQ(fit.nSessionsNeeded, 0);
  EXPECT_EQ(fit.why, PlanMiss::kSharing);
  EXPECT_FALSE(fit.bEveryTried);
  // The last probe is one session per client, however the steps fall: these
  // end at 21, 11, 8.25, 8.65, 8.35 and 8 with 1 to 6 sessions; the probes
  // try 3, 5 and then 6, not 9.
  clients = {client("b", 4, 3), client("e", 4, 4), client("f", 4, 1),
             client("a", 3, 3), client("c", 3, 1), client("d", 3, 4)};
  for (std::uint64_t nSteps : {std::uint64_t{0}, kPlanSearchSteps}) {
    settings.nSearchSteps = nSteps;
    fit = fitWindow(clients, settings, 8);
    EXPECT_EQ(fit.nSessionsNeeded, 6) << nSteps;
    EXPECT_EQ(fit.bEveryTried, nSteps > 0);
  }
}

// A plain model to hold the heaps, the byte clock and the descent for the
// level against: at every event it shares the bandwidth anew by filling it
// from the smallest demand, and steps to the first end.
struct PlainRun {
  std::vector<double> left;  // seconds left at own speed; < 0 not running
  std::vector<double> ends;
  std::vector<double> starts;
  std::vector<int> sessions;
};

std::vector<double> plainShares(const std::vector<double>& demands, double dCap) {
  std::vector<std::size_t> order(demands.size());
  for (std::size_t i = 0; i < order.size(); i++) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&demands](std::size_t a, std::size_t b) { return demands[a] < demands[b]; });
  std::vector<double> shares(demands.size());
  double dLeft = dCap;
  for (std::size_t k = 0; k < order.size(); k++) {
    double dEqual = dLeft / static_cast<double>(order.size() - k);
    shares[order[k]] = std::min(demands[order[k]], dEqual);
    dLeft -= shares[order[k]];
  }
  return shares;
}

PlainRun plainPlan(const std::vector<PlanClient>& clients, int nSessions, double dCap) {
  std::size_t n = clients.size();
  PlainRun run{std::vector<double>(n, -1), std::vector<double>(n), std::vector<double>(n),
               std::vector<int>(n)};
  std::vector<int> freeSessions;
  for (int s = 1; s <= std::min<int>(nSessions, static_cast<int>(n)); s++)
    freeSessions.push_back(s);
  double dNow = 0;
  for (std::size_t nNext = 0;;) {
    for (; nNext < n && !freeSessions.empty(); nNext++) {
      auto lowest = std::min_element(freeSessions.begin(), freeSessions.end());
      run.sessions[nNext] = *lowest;
      run.starts[nNext] = run.ends[nNext] = dNow;
      freeSessions.erase(lowest);
      run.left[nNext] = clients[nNext].dSeconds;
      if (clients[nNext].dSeconds == 0) freeSessions.push_back(run.sessions[nNext]);
    }
    std::vector<std::size_t> running;
    std::vector<double> demands;
    for (std::size_t i = 0; i < n; i++) {
      if (run.left[i] <= 0) continue;
      running.push_back(i);
      demands.push_back(static_cast<double>(clients[i].nBytes) / clients[i].dSeconds);
    }
    if (running.empty()) return run;
    double dTotal = 0;
    for (double d : demands) dTotal += d;
    std::vector<double> shares = dTotal > dCap ? plainShares(demands, dCap) : demands;
    std::vector<double> speeds(running.size());
    double dStep = std::numeric_limits<double>::infinity();
    for (std::size_t k = 0; k < running.size(); k++) {
      speeds[k] = demands[k] > 0 ? shares[k] / demands[k] : 1;
      dStep = std::min(dStep, run.left[running[k]] / speeds[k]);
    }
    dNow += dStep;
    for (std::size_t k = 0; k < running.size(); k++) {
      std::size_t i = running[k];
      run.left[i] -= speeds[k] * dStep;
      if (run.left[i] <= 1e-9 * clients[i].dSeconds) {  // ends now
        run.left[i] = -1;
        run.ends[i] = dNow;
        freeSessions.push_back(run.sessions[i]);
      }
    }
  }
}

TEST(PlanScheduleTest, AgreesWithAPlainModelOnLargeFleets) {
  // Hundreds of clients keep dozens of demands in the level's descent and
  // move many clients between their own speed and the shared one.
  std::mt19937_64 random(7);
  std::lognormal_distribution<double> seconds(7, 1), demand(15, 1.5);
  for (int nRound = 0; nRound < 12; nRound++) {
    std::vector<PlanClient> clients;
    double dDemands = 0;
    for (int i = 0; i < 300; i++) {
      double dSeconds = std::floor(seconds(random)) + 1;
      double dDemand = random() % 10 == 0 ? 0 : demand(random);
      dDemands += dDemand;
      clients.push_back(client(("c" + std::to_string(i)).c_str(), dSeconds,
                               static_cast<std::uint64_t>(dSeconds * dDemand)));
    }
    orderClients(clients, nRound % 2 == 0 ? PlanOrder::kLongest : PlanOrder::kShortest);
    const int anSessions[] = {1, 7, 60, 300};
    int nSessions = anSessions[nRound % 4];
    double dCap = dDemands * std::min(nSessions, 300) / 300 * (nRound % 3 + 1) / 8;
    SCOPED_TRACE("round " + std::to_string(nRound));
    PlainRun plain = plainPlan(clients, nSessions, dCap);
    planSchedule(clients, settingsOf(nSessions, dCap));
    for (std::size_t i = 0; i < clients.size(); i++) {
      ASSERT_EQ(clients[i].nSession, plain.sessions[i]) << i;
      ASSERT_NEAR(clients[i].dStart, plain.starts[i], 1e-6 * plain.starts[i]) << i;
      ASSERT_NEAR(clients[i].dEnd, plain.ends[i], 1e-6 * plain.ends[i]) << i;
    }
  }
}

}  // namespace
