// Fixture of the check tests: a fresh machine, an empty pending report,
// counters at zero, and the entries a check left, one string each.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "checks.h"
#include "report.h"
#include "sim_fixture.h"

class CheckTest : public SimTest {
 protected:
  void SetUp() override {
    ReportDiscard();  // while the machine still counts the block
    SimTest::SetUp();
    MessageModule = NULL;
    WarningCount = 0;
    ErrorCount = 0;
    WindowsDirectory[0] = '\0';
  }
  void TearDown() override { ReportDiscard(); }

  static std::vector<std::string> Entries() {
    std::vector<std::string> entries;
    if (!PendingReport) return entries;
    for (const char* p = PendingReport; *p; p += std::strlen(p) + 1) entries.emplace_back(p);
    return entries;
  }
  // The pending report as the driver would print it.
  static std::string Text() {
    std::string text;
    for (const std::string& entry : Entries()) text += entry;
    return text;
  }
  // Text(), then the report emptied: nothing the check opened or allocated
  // may be left.
  static std::string TakeText() {
    std::string text = Text();
    ReportDiscard();
    ExpectReleased();
    return text;
  }
  static void ExpectReleased() {
    EXPECT_EQ(sim::OpenHandles(), 0);
    EXPECT_EQ(sim::HeapBlocks(), 0);
  }
};
