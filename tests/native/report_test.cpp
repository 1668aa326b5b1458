// The pending report: layout, order, take-backs, limits and allocation failures.
#include <string>

#include "report.h"
#include "sim_fixture.h"

namespace {

class ReportTest : public SimTest {
 protected:
  void SetUp() override {
    ReportDiscard();  // while the machine still counts the block
    SimTest::SetUp();
    MessageModule = NULL;
  }
  void TearDown() override { ReportDiscard(); }

  // The bytes of the list up to and including its closing double NUL.
  static std::string ListBytes() {
    if (!PendingReport) return "<null>";
    std::string bytes;
    for (const char* p = PendingReport;; ++p) {
      bytes += *p;
      if (p[0] == '\0' && p[1] == '\0') break;
    }
    return bytes + '\0';
  }
};

TEST_F(ReportTest, EntriesAreConsecutiveStringsClosedByAnExtraNul) {
  ReportAdd("first %d\n", 1);
  ReportAdd("%s", "two\nlines\n");
  EXPECT_EQ(ListBytes(), std::string("first 1\n\0two\nlines\n\0\0", 21));
  EXPECT_EQ(sim::HeapBlocks(), 1);
}

TEST_F(ReportTest, FlushPrintsInOrderAndKeepsTheEntriesForASecondFlush) {
  ReportAdd("a");
  ReportAdd("b%c", 'c');
  ReportAdd("%#x|", 0);
  ReportFlush();
  EXPECT_EQ(sim::ConsoleText(), "abc0x0|");
  ReportFlush();
  EXPECT_EQ(sim::ConsoleText(), "abc0x0|abc0x0|");
}

TEST_F(ReportTest, EntryWithPercentSignsIsPrintedVerbatim) {
  ReportAdd("%s", "100%d done");
  ReportFlush();
  EXPECT_EQ(sim::ConsoleText(), "100%d done");
}

TEST_F(ReportTest, FlushAndDropLastWithoutAListDoNothing) {
  ReportFlush();
  ReportDropLast();
  EXPECT_EQ(PendingReport, nullptr);
  EXPECT_EQ(sim::ConsoleText(), "");
  EXPECT_EQ(sim::HeapBlocks(), 0);
}

TEST_F(ReportTest, DropLastOnTheOnlyEntryFreesTheList) {
  ReportAdd("only\n");
  ReportDropLast();
  EXPECT_EQ(PendingReport, nullptr);
  EXPECT_EQ(sim::HeapBlocks(), 0);
  ReportFlush();
  EXPECT_EQ(sim::ConsoleText(), "");
}

TEST_F(ReportTest, DropLastTakesBackTheNewestAndTheNextAddFollowsTheRest) {
  ReportAdd("one\n");
  ReportAdd("two\n");
  ReportAdd("three\n");
  ReportDropLast();
  EXPECT_EQ(ListBytes(), std::string("one\n\0two\n\0\0", 11));
  ReportDropLast();
  ReportAdd("four\n");
  EXPECT_EQ(ListBytes(), std::string("one\n\0four\n\0\0", 12));
  ReportFlush();
  EXPECT_EQ(sim::ConsoleText(), "one\nfour\n");
  ReportDropLast();
  ReportDropLast();
  EXPECT_EQ(PendingReport, nullptr);
  EXPECT_EQ(sim::HeapBlocks(), 0);
}

TEST_F(ReportTest, DiscardFreesEveryEntry) {
  for (int i = 0; i < 50; ++i) ReportAdd("entry %d\n", i);
  ReportDiscard();
  EXPECT_EQ(PendingReport, nullptr);
  EXPECT_EQ(sim::HeapBlocks(), 0);
  ReportAdd("again");
  ReportFlush();
  EXPECT_EQ(sim::ConsoleText(), "again");
}

TEST_F(ReportTest, EmptyResultAddsNoEntry) {
  EXPECT_EQ(ReportAdd(""), 0);
  EXPECT_EQ(PendingReport, nullptr);
  EXPECT_EQ(sim::HeapBlocks(), 0);
  EXPECT_EQ(ReportAdd("x"), 0);
  EXPECT_EQ(ReportAdd("%s", ""), 0);
  EXPECT_EQ(ReportAdd("y"), 0);
  EXPECT_EQ(ListBytes(), std::string("x\0y\0\0", 5));
  EXPECT_EQ(sim::CallCount("malloc") + sim::CallCount("realloc"), 1);
}

TEST_F(ReportTest, FormattedEntryIsCutAt1023Characters) {
  std::string longText(1500, 'w');
  ReportAdd("%s", longText.c_str());
  ReportAdd("next");
  EXPECT_EQ(ListBytes(), std::string(1023, 'w') + '\0' + "next" + '\0' + '\0');
}

TEST_F(ReportTest, EntryCutInsideACharacterOfTwoBytesEndsBeforeIt) {
  sim::SetCodePage(932);
  const std::string character = "\x95\x5c";  // 表
  ReportAdd("%s", (std::string(1022, 'w') + character + "Recommendation").c_str());
  ReportAdd("%s", (std::string(1021, 'w') + character + "Recommendation").c_str());
  ReportAdd("Recommendation");
  EXPECT_EQ(ListBytes(), std::string(1022, 'w') + '\0' + std::string(1021, 'w') + character + '\0' +
                             "Recommendation" + '\0' + '\0');
}

TEST_F(ReportTest, LineCutAtTheLimitKeepsItsBreakAndWholeCharacters) {
  sim::SetCodePage(932);
  const std::string character = "\x95\x5c";  // 表
  ReportAddLine("%s\n", std::string(1500, 'w').c_str());
  ReportAddLine("%s\n", (std::string(1021, 'w') + character).c_str());
  ReportAddLine("%s\n", (std::string(1020, 'w') + character).c_str());
  ReportAddLine("short\n");
  EXPECT_EQ(ListBytes(), std::string(1022, 'w') + "\n" + '\0' + std::string(1021, 'w') + "\n" + '\0' +
                             std::string(1020, 'w') + character + "\n" + '\0' + "short\n" + '\0' + '\0');
}

TEST_F(ReportTest, GrowthIsGeometricNotOneReallocPerEntry) {
  for (int i = 0; i < 10000; ++i) ReportAdd("line %d of a long report\n", i);
  EXPECT_LT(sim::CallCount("realloc"), 20);
  EXPECT_EQ(sim::HeapBlocks(), 1);
  ReportFlush();
  EXPECT_EQ(sim::ConsoleText().substr(0, 50),
            "line 0 of a long report\nline 1 of a long report\nli");
  EXPECT_NE(sim::ConsoleText().find("line 9999 of a long report\n"), std::string::npos);
}

TEST_F(ReportTest, FailedFirstAllocationLeavesNoListAndTheNextAddWorks) {
  sim::FailCall("malloc", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(ReportAdd("lost"), 0);
  EXPECT_EQ(PendingReport, nullptr);
  EXPECT_EQ(sim::HeapBlocks(), 0);
  ReportAdd("kept");
  EXPECT_EQ(ListBytes(), std::string("kept\0\0", 6));
}

TEST_F(ReportTest, FailedGrowthKeepsEveryEntryAlreadyHeld) {
  sim::FailCall("realloc", ERROR_NOT_ENOUGH_MEMORY);
  std::string expected;
  std::string lost;
  for (int i = 0; i < 100; ++i) {
    char entry[64];
    wsprintfA(entry, "entry %03d %s\n", i, std::string(40, '.').c_str());
    int reallocsBefore = sim::CallCount("realloc");
    ReportAdd("%s", entry);
    if (sim::CallCount("realloc") == 1 && reallocsBefore == 0) {
      lost = entry;  // the append whose growth failed
    } else {
      expected += entry;
    }
  }
  ASSERT_FALSE(lost.empty());
  ReportFlush();
  EXPECT_EQ(sim::ConsoleText(), expected);
  EXPECT_EQ(sim::HeapBlocks(), 1);
}

TEST_F(ReportTest, CatalogLinesFromAHostWithoutCatalogReadBadStringId) {
  sim::SetModuleCatalog(sim::HostModule(), false);
  ReportAdd(LoadMessage(51001));
  ReportAdd(LoadMessage(50039));
  ReportFlush();
  EXPECT_EQ(sim::ConsoleText(), "***BAD STRING ID******BAD STRING ID***");
  EXPECT_EQ(MessageModule, sim::HostModule());
}

TEST_F(ReportTest, CatalogLineFormatsItsArguments) {
  ReportAdd(LoadMessage(50041), 3);
  ReportFlush();
  EXPECT_EQ(sim::ConsoleText(), "\nThere were 3 serious problems detected.\n");
}

}  // namespace
