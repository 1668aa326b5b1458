// Stopping and deleting services: every branch of RemoveService with its
// dialogs and answers, the 65-second wait, and the exported stop-and-wait.
#include <cstring>
#include <string>

#include "dialogs.h"
#include "hooks.h"
#include "service_removal.h"
#include "sim_fixture.h"

namespace {

const std::string kQuestion = "\nDo you wish to continue Uninstalling?\n";

class RemoveServiceTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    scm_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(scm_, nullptr);
  }
  void TearDown() override {
    EXPECT_TRUE(CloseServiceHandle(scm_));
    // Nothing of the routine's own stays open or allocated.
    EXPECT_EQ(sim::OpenHandles(), 0);
    EXPECT_EQ(sim::HeapBlocks(), 0);
  }
  int Remove(const char* name, int tolerateDependents = 0, int silent = 0) {
    return RemoveService(name, scm_, tolerateDependents, silent);
  }
  static void Install(const char* name, DWORD state, int stopsAfterQueries = 0) {
    sim::ServiceSetup setup;
    setup.state = state;
    setup.stopsAfterQueries = stopsAfterQueries;
    sim::AddService(name, setup);
  }
  static void InstallFailingStop(const char* name, DWORD error) {
    sim::ServiceSetup setup;
    setup.type = SERVICE_KERNEL_DRIVER;
    if (error == ERROR_DEPENDENT_SERVICES_RUNNING) {
      setup.dependentsRunning = true;
    } else {
      setup.stopError = error;
    }
    sim::AddService(name, setup);
  }
  static bool Deleted(const char* name) {
    return !sim::ServiceExists(name) || sim::ServiceMarkedForDeletion(name);
  }
  static void ExpectOneWarning(const std::string& text) {
    ASSERT_EQ(sim::Dialogs().size(), 1u);
    const sim::Dialog& d = sim::Dialogs()[0];
    EXPECT_EQ(d.text, text);
    EXPECT_EQ(d.caption, "Corvane UnInstallation");
    EXPECT_EQ(d.owner, sim::FocusWindow());
    EXPECT_EQ(d.style, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
  }
  SC_HANDLE scm_ = nullptr;
};

TEST_F(RemoveServiceTest, ServiceNotInstalledIsSkippedWithoutADialog) {
  EXPECT_EQ(Remove("CVNSvc"), 0);
  EXPECT_TRUE(sim::Dialogs().empty());
}

TEST_F(RemoveServiceTest, OpenFailureAsksAndTheAnswerDecides) {
  Install("CVNSvc", SERVICE_RUNNING);
  sim::FailCall("OpenServiceA", ERROR_ACCESS_DENIED, 1, 2);
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(Remove("CVNSvc"), -1);
  ExpectOneWarning("Error Opening CVNSvc service\n\nAccess is denied.\r\n" + kQuestion);
  sim::QueueAnswer(IDYES);
  EXPECT_EQ(Remove("CVNSvc"), 0);
  EXPECT_EQ(sim::ServiceState("CVNSvc"), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(RemoveServiceTest, OpenFailureInSilentModeContinuesQuietly) {
  Install("CVNSvc", SERVICE_RUNNING);
  sim::FailCall("OpenServiceA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(Remove("CVNSvc", 0, 1), 0);
  EXPECT_TRUE(sim::Dialogs().empty());
}

TEST_F(RemoveServiceTest, HarmlessStopErrorsGoStraightToTheDeletion) {
  struct Case {
    DWORD error;
    int tolerateDependents;
  } cases[] = {{ERROR_INVALID_SERVICE_CONTROL, 0},
               {ERROR_INVALID_SERVICE_CONTROL, 1},
               {ERROR_SERVICE_NOT_ACTIVE, 0},
               {ERROR_SERVICE_NOT_ACTIVE, 1},
               {ERROR_DEPENDENT_SERVICES_RUNNING, 1}};
  for (const Case& c : cases) {
    std::string name = "cvn-jnl-" + std::to_string(c.error) + "-" + std::to_string(c.tolerateDependents);
    InstallFailingStop(name.c_str(), c.error);
    EXPECT_EQ(Remove(name.c_str(), c.tolerateDependents), 0) << name;
    EXPECT_TRUE(Deleted(name.c_str())) << name;
  }
  EXPECT_EQ(sim::CallCount("QueryServiceStatus"), 0);
  EXPECT_TRUE(sim::Dialogs().empty());
  EXPECT_EQ(sim::ElapsedMs(), 0u);
}

TEST_F(RemoveServiceTest, OrdinaryServiceWithRunningDependentsAsks) {
  InstallFailingStop("CVNSvc", ERROR_DEPENDENT_SERVICES_RUNNING);
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(Remove("CVNSvc", 0), -1);
  ExpectOneWarning(
      "Error attempting to stop CVNSvc service\n\n"
      "A stop control has been sent to a service that other running services are dependent on.\r\n" +
      kQuestion);
  EXPECT_FALSE(Deleted("CVNSvc"));

  sim::QueueAnswer(IDYES);
  EXPECT_EQ(Remove("CVNSvc", 0), 0);
  EXPECT_TRUE(Deleted("CVNSvc"));
}

TEST_F(RemoveServiceTest, OtherStopErrorsAskEvenForDrivers) {
  InstallFailingStop("cvn-rec", ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(Remove("cvn-rec", 1), -1);
  ExpectOneWarning("Error attempting to stop cvn-rec service\n\n"
                   "The service cannot accept control messages at this time.\r\n" +
                   kQuestion);
  EXPECT_FALSE(Deleted("cvn-rec"));
}

TEST_F(RemoveServiceTest, StopErrorInSilentModeDeletesWithoutAsking) {
  InstallFailingStop("CVNSvc", ERROR_DEPENDENT_SERVICES_RUNNING);
  EXPECT_EQ(Remove("CVNSvc", 0, 1), 0);
  EXPECT_TRUE(sim::Dialogs().empty());
  EXPECT_TRUE(Deleted("CVNSvc"));
}

TEST_F(RemoveServiceTest, StoppedServiceIsDeletedAtOnceWithoutWaiting) {
  Install("cvn-fltr", SERVICE_STOPPED);
  EXPECT_EQ(Remove("cvn-fltr", 1), 0);
  EXPECT_FALSE(sim::ServiceExists("cvn-fltr"));
  EXPECT_EQ(sim::ElapsedMs(), 0u);
  EXPECT_EQ(sim::CallCount("SleepEx"), 0);
  EXPECT_EQ(sim::CallCount("QueryServiceStatus"), 0);
  EXPECT_TRUE(sim::Dialogs().empty());
}

TEST_F(RemoveServiceTest, ServiceThatStopsAfterSomePollsIsDeleted) {
  Install("CVNSvc", SERVICE_RUNNING, 3);
  EXPECT_EQ(Remove("CVNSvc"), 0);
  EXPECT_EQ(sim::CallCount("QueryServiceStatus"), 3);
  EXPECT_EQ(sim::ElapsedMs(), 15000u);
  EXPECT_FALSE(sim::ServiceExists("CVNSvc"));
  EXPECT_TRUE(sim::Dialogs().empty());
}

TEST_F(RemoveServiceTest, ServiceStoppingOnTheTwelfthQueryNeedsNoDialog) {
  Install("CVNSvc", SERVICE_RUNNING, 12);
  EXPECT_EQ(Remove("CVNSvc"), 0);
  EXPECT_EQ(sim::CallCount("QueryServiceStatus"), 12);
  EXPECT_EQ(sim::ElapsedMs(), 60000u);
  EXPECT_TRUE(sim::Dialogs().empty());
}

TEST_F(RemoveServiceTest, ServiceThatNeverStopsAsksOnceAfterTheWaitAndNoAborts) {
  Install("CVNSvc", SERVICE_RUNNING, sim::kNeverStops);
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(Remove("CVNSvc"), -1);
  EXPECT_EQ(sim::CallCount("QueryServiceStatus"), 12);
  EXPECT_EQ(sim::CallCount("SleepEx"), 13);
  EXPECT_EQ(sim::ElapsedMs(), 65000u);
  ExpectOneWarning("Error attempting to stop service CVNSvc" + kQuestion);
  EXPECT_FALSE(Deleted("CVNSvc"));
}

TEST_F(RemoveServiceTest, ServiceThatNeverStopsIsStillDeletedOnYesOrWhenSilent) {
  Install("CVNSvc", SERVICE_RUNNING, sim::kNeverStops);
  sim::QueueAnswer(IDYES);
  EXPECT_EQ(Remove("CVNSvc"), 0);
  EXPECT_TRUE(sim::ServiceMarkedForDeletion("CVNSvc"));

  Install("cvn-rec", SERVICE_RUNNING, sim::kNeverStops);
  EXPECT_EQ(Remove("cvn-rec", 1, 1), 0);
  EXPECT_TRUE(sim::ServiceMarkedForDeletion("cvn-rec"));
  EXPECT_EQ(sim::Dialogs().size(), 1u);
  EXPECT_EQ(sim::ElapsedMs(), 130000u);
}

TEST_F(RemoveServiceTest, FailingStatusQueryAsksWithoutSystemText) {
  Install("CVNSvc", SERVICE_RUNNING, 5);
  sim::FailCall("QueryServiceStatus", ERROR_ACCESS_DENIED, 2);
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(Remove("CVNSvc"), -1);
  ExpectOneWarning("Error attempting to get status for service CVNSvc" + kQuestion);
  EXPECT_EQ(sim::ElapsedMs(), 10000u);
  EXPECT_FALSE(Deleted("CVNSvc"));

  sim::FailCall("QueryServiceStatus", ERROR_ACCESS_DENIED);
  Install("cvn-jnl", SERVICE_RUNNING, 5);
  EXPECT_EQ(Remove("cvn-jnl", 1, 1), 0);
  EXPECT_TRUE(Deleted("cvn-jnl"));
  EXPECT_EQ(sim::Dialogs().size(), 1u);
}

TEST_F(RemoveServiceTest, FailingDeleteAsksWithTheSystemText) {
  sim::ServiceSetup setup;
  setup.deleteError = ERROR_SERVICE_MARKED_FOR_DELETE;
  sim::AddService("NobleNet Portmapper for TCP", setup);
  sim::QueueAnswer(IDNO);
  sim::QueueAnswer(IDYES);
  EXPECT_EQ(Remove("NobleNet Portmapper for TCP"), -1);
  EXPECT_EQ(Remove("NobleNet Portmapper for TCP"), 0);
  ASSERT_EQ(sim::Dialogs().size(), 2u);
  EXPECT_EQ(sim::Dialogs()[0].text,
            "Error attemping to delete NobleNet Portmapper for TCP service\n\n"
            "The specified service has been marked for deletion.\r\n" +
                kQuestion);
  EXPECT_EQ(Remove("NobleNet Portmapper for TCP", 0, 1), 0);
  EXPECT_EQ(sim::Dialogs().size(), 2u);
}

TEST_F(RemoveServiceTest, LongSystemTextIsCutSoTheQuestionSurvives) {
  sim::ServiceSetup setup;
  setup.deleteError = 4242;
  sim::AddService("CVNSvc", setup);
  sim::SetSystemMessage(4242, std::string(600, 'x'));
  sim::QueueAnswer(IDYES);
  EXPECT_EQ(Remove("CVNSvc"), 0);
  ASSERT_EQ(sim::Dialogs().size(), 1u);
  const std::string& text = sim::Dialogs()[0].text;
  const std::string first = "Error attemping to delete CVNSvc service\n\n";
  EXPECT_EQ(text.size(), 259u);
  EXPECT_EQ(text.substr(0, first.size()), first);
  EXPECT_EQ(text.substr(text.size() - kQuestion.size()), kQuestion);
  EXPECT_EQ(text.find_first_not_of('x', first.size()), text.size() - kQuestion.size());
}

TEST_F(RemoveServiceTest, ErrorWithoutSystemTextJoinsLineAndQuestion) {
  sim::ServiceSetup setup;
  setup.deleteError = 4243;  // no text for it
  sim::AddService("CVNSvc", setup);
  sim::QueueAnswer(IDYES);
  EXPECT_EQ(Remove("CVNSvc"), 0);
  ExpectOneWarning("Error attemping to delete CVNSvc service\n\n" + kQuestion);
}

TEST_F(RemoveServiceTest, ServiceNameLongerThanTheFirstLineIsCutBeforeTheQuestion) {
  const std::string name(300, 'n');
  sim::FailCall("OpenServiceA", ERROR_ACCESS_DENIED);
  sim::QueueAnswer(IDNO);
  EXPECT_EQ(Remove(name.c_str()), -1);
  // The first line keeps the room the question leaves: 259 - 40 characters.
  const std::string first = "Error Opening ";
  ExpectOneWarning(first + name.substr(0, 259 - kQuestion.size() - first.size()) + kQuestion);
}

// ---- Dialog texts ----------------------------------------------------------------

TEST(DialogTextTest, NameIsCutOnlyWhenTheFirstLineWouldNotFitItsBuffer) {
  const char format[] = "Error Opening %s service\n\n";
  const size_t room = DIALOG_TEXT_SIZE - 1 - (sizeof format - 1 - 2);
  char line[DIALOG_TEXT_SIZE + 1];
  for (size_t length : {room, room + 1, size_t{1000}}) {
    const std::string name(length, 'n');
    memset(line, '#', sizeof line);
    FormatNamedLine(line, format, name.c_str());
    EXPECT_EQ(std::string(line), "Error Opening " + std::string(room, 'n') + " service\n\n") << length;
    EXPECT_EQ(strlen(line), DIALOG_TEXT_SIZE - 1u);
    EXPECT_EQ(line[DIALOG_TEXT_SIZE], '#');
  }
  FormatNamedLine(line, format, "CVNSvc");
  EXPECT_EQ(std::string(line), "Error Opening CVNSvc service\n\n");
}

TEST(DialogTextTest, NameIsCutBeforeACharacterOfTwoBytesThatWouldNotFit) {
  sim::SetCodePage(932);
  const char format[] = "Error Opening %s service\n\n";  // room for 235 bytes of the name
  std::string name;
  for (int i = 0; i < 200; ++i) name += "\x83\x5c";  // ソ
  char line[DIALOG_TEXT_SIZE];
  FormatNamedLine(line, format, name.c_str());
  EXPECT_EQ(std::string(line), "Error Opening " + name.substr(0, 234) + " service\n\n");
  ComposeDialogText(line, "first\n", name.c_str(), "??");  // room for 251 bytes of the name
  EXPECT_EQ(std::string(line), "first\n" + name.substr(0, 250) + "??");
  sim::Reset();
}

TEST(DialogTextTest, QuestionLongerThanTheBufferIsAllThatIsShown) {
  const std::string question(300, 'q');
  char text[DIALOG_TEXT_SIZE + 1];
  memset(text, '#', sizeof text);
  ComposeDialogText(text, "first\n", "middle\n", question.c_str());
  EXPECT_EQ(std::string(text), question.substr(0, DIALOG_TEXT_SIZE - 1));
  EXPECT_EQ(text[DIALOG_TEXT_SIZE], '#');
  ComposeDialogText(text, "first\n", "middle\n", question.substr(0, DIALOG_TEXT_SIZE - 1).c_str());
  EXPECT_EQ(std::string(text), question.substr(0, DIALOG_TEXT_SIZE - 1));
}

// ---- inEnsureServiceNotRunning ---------------------------------------------------

class EnsureServiceNotRunningTest : public SimTest {
 protected:
  void TearDown() override {
    EXPECT_EQ(sim::OpenHandles(), 0);
    EXPECT_EQ(sim::HeapBlocks(), 0);
    EXPECT_TRUE(sim::Dialogs().empty());
  }
};

TEST_F(EnsureServiceNotRunningTest, StoppedMissingOrNotRunningServiceGivesZeroWithoutWaiting) {
  EXPECT_EQ(inEnsureServiceNotRunning("CVNSvc"), 0);
  sim::ServiceSetup stopped;
  stopped.state = SERVICE_STOPPED;
  sim::AddService("CVNSvc", stopped);
  EXPECT_EQ(inEnsureServiceNotRunning("CVNSvc"), 0);
  sim::AddService("cvn-rec");  // stops at once
  EXPECT_EQ(inEnsureServiceNotRunning("cvn-rec"), 0);
  EXPECT_EQ(sim::ServiceState("cvn-rec"), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(sim::ElapsedMs(), 0u);
  EXPECT_TRUE(sim::ServiceExists("CVNSvc"));  // never deleted
}

TEST_F(EnsureServiceNotRunningTest, WaitsUntilTheFirstQueryShowsItStopped) {
  sim::ServiceSetup setup;
  setup.stopsAfterQueries = 2;
  sim::AddService("CVNSvc", setup);
  EXPECT_EQ(inEnsureServiceNotRunning("CVNSvc"), 0);
  EXPECT_EQ(sim::CallCount("QueryServiceStatus"), 2);
  EXPECT_EQ(sim::ElapsedMs(), 10000u);
}

TEST_F(EnsureServiceNotRunningTest, NeverStoppingOrUnqueryableServiceGivesMinusOne) {
  sim::ServiceSetup setup;
  setup.stopsAfterQueries = sim::kNeverStops;
  sim::AddService("CVNSvc", setup);
  EXPECT_EQ(inEnsureServiceNotRunning("CVNSvc"), -1);
  EXPECT_EQ(sim::CallCount("QueryServiceStatus"), 12);
  EXPECT_EQ(sim::ElapsedMs(), 65000u);

  setup.stopsAfterQueries = 3;
  setup.queryError = ERROR_ACCESS_DENIED;
  sim::AddService("cvn-rec", setup);
  EXPECT_EQ(inEnsureServiceNotRunning("cvn-rec"), -1);
  EXPECT_EQ(sim::ElapsedMs(), 70000u);
}

TEST_F(EnsureServiceNotRunningTest, OpenAndStopFailuresPassTheirErrorCodeThrough) {
  sim::ServiceSetup setup;
  setup.dependentsRunning = true;
  sim::AddService("CVNSvc", setup);
  EXPECT_EQ(inEnsureServiceNotRunning("CVNSvc"), ERROR_DEPENDENT_SERVICES_RUNNING);
  sim::FailCall("OpenServiceA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(inEnsureServiceNotRunning("CVNSvc"), ERROR_ACCESS_DENIED);
  sim::FailCall("OpenSCManagerA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(inEnsureServiceNotRunning("CVNSvc"), -1);
}

}  // namespace
