// The plan's reports: whole seconds at their bounds, and the lines of the
// text plan for each verdict of the window.
#include "reports/planreport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "reports/output.h"

namespace {

TEST(WholePlanSecondsTest, RoundsUpButForTheSumsLastBillionth) {
  struct Case {
    double d;
    std::uint64_t n;
  };
  const Case kCases[] = {
      {0, 0},
      {-1, 0},
      {0.2, 1},
      {1, 1},
      {3600.0000001, 3600},  // a sum's rounding above a whole second
      {3599.9999999, 3600},
      {3600.001, 3601},
      {28800 * (1 + 1e-10), 28800},
      {4294967295.0, 4294967295u},
      {4294967296.5, 4294967297u},
      {1e30, UINT64_MAX},
      {18446744073709551615.0, UINT64_MAX},
  };
  for (const Case& c : kCases) EXPECT_EQ(wholePlanSeconds(c.d), c.n) << c.d;
}

// A plan of the clients (name, T, B) with the settings and a window of
// nWindow seconds (0: none), printed.
std::string printed(std::vector<PlanClient> clients, int nSessions, double dBandwidth,
                    std::uint64_t nWindow) {
  std::vector<PlanReportFacts> facts(clients.size());
  for (std::size_t i = 0; i < clients.size(); i++) {
    clients[i].nTag = i;
    facts[i].sReport = clients[i].sName + ".json";
    facts[i].nSeconds = static_cast<std::uint64_t>(clients[i].dSeconds);
    facts[i].bModel = i % 2 == 1;
  }
  PlanFigures figures;
  figures.settings.nSessions = nSessions;
  figures.settings.dBandwidth = dBandwidth;
  orderClients(clients, figures.settings.order);
  figures.outcome = planSchedule(clients, figures.settings);
  figures.pClients = &clients;
  figures.pFacts = &facts;
  if (nWindow > 0) {
    figures.bWindow = true;
    figures.nWindowSeconds = nWindow;
    figures.fit = fitWindow(clients, figures.settings, static_cast<double>(nWindow));
  }
  outFlush();
  testing::internal::CaptureStdout();
  printPlan(figures);
  outFlush();
  return testing::internal::GetCapturedStdout();
}

PlanClient client(const char* szName, double dSeconds, std::uint64_t nBytes) {
  PlanClient c;
  c.sName = szName;
  c.dSeconds = dSeconds;
  c.nBytes = nBytes;
  return c;
}

// The lines after the table.
std::string tail(const std::string& text) { return text.substr(text.rfind("\n\n") + 2); }

TEST(PrintPlanTest, PrintsTheClientsInStartOrderThenTheVerdicts) {
  std::string text =
      printed({client("b", 3600, 3600000), client("a", 7200, 7200000), client("c", 1800, 0)}, 2, 0,
              3 * 3600);
  EXPECT_EQ(text,
            "Plan of 3 clients on 2 sessions, the longest estimate first, no bandwidth limit\n"
            "\n" +
                std::string(132, '=') +
                "\n"
                "Client              Session  Start                    End                      "
                "Time                     Bytes                By\n" +
                std::string(132, '=') +
                "\n\n"
                "a                   1        0 hours 0 mins 0 sec     2 hours 0 mins 0 sec     "
                "2 hours 0 mins 0 sec     7200000              model\n"
                "b                   2        0 hours 0 mins 0 sec     1 hours 0 mins 0 sec     "
                "1 hours 0 mins 0 sec     3600000              classes\n"
                "c                   2        1 hours 0 mins 0 sec     1 hours 30 mins 0 sec    "
                "0 hours 30 mins 0 sec    0                    classes\n"
                "\n"
                "Plan ends after 2 hours 0 mins 0 sec\n"
                "Backup window 3 hours 0 mins 0 sec: fits, 1 hours 0 mins 0 sec to spare\n"
                "Sessions needed to fit: 2\n"
                "Busiest stretch: 0 hours 0 mins 0 sec to 1 hours 0 mins 0 sec, 2000 bytes per "
                "second\n");
}

TEST(PrintPlanTest, SaysWhyNoNumberOfSessionsFits) {
  // A client alone longer than the window; one second over it.
  EXPECT_EQ(
      tail(printed({client("big", 3601, 1), client("small", 60, 1)}, 2, 0, 3600)),
      "Plan ends after 1 hours 0 mins 1 sec\n"
      "Backup window 1 hours 0 mins 0 sec: does not fit; 0 hours 0 mins 1 sec over\n"
      "Sessions needed to fit: none; big alone takes 1 hours 0 mins 1 sec, longer than the "
      "window\n"
      "Its report big.json shows no folders: make it with --top=N to see how to split it.\n"
      "Busiest stretch: 0 hours 0 mins 0 sec to 0 hours 1 mins 0 sec, 0.0169 bytes per second\n");
  // All bytes over the bandwidth: 7200 s, in a window of 7199.
  EXPECT_EQ(tail(printed({client("x", 3600, 3600), client("y", 3600, 3600)}, 2, 1, 7199)),
            "Plan ends after 2 hours 0 mins 0 sec\n"
            "Backup window 1 hours 59 mins 59 sec: does not fit; 0 hours 0 mins 1 sec over\n"
            "Sessions needed to fit: none; the bytes of all clients take 2 hours 0 mins 0 sec "
            "over the bandwidth, longer than the window\n"
            "Busiest stretch: 0 hours 0 mins 0 sec to 2 hours 0 mins 0 sec, 1 bytes per second, "
            "100.0% of the bandwidth\n");
  // Exactly the window fits, with no second to spare.
  EXPECT_EQ(tail(printed({client("x", 3600, 3600), client("y", 3600, 3600)}, 2, 1, 7200)),
            "Plan ends after 2 hours 0 mins 0 sec\n"
            "Backup window 2 hours 0 mins 0 sec: fits, 0 hours 0 mins 0 sec to spare\n"
            "Sessions needed to fit: 1\n"
            "Busiest stretch: 0 hours 0 mins 0 sec to 2 hours 0 mins 0 sec, 1 bytes per second, "
            "100.0% of the bandwidth\n");
}

}  // namespace
