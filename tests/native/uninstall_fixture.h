// Fixture of the uninstall extension's tests: a fresh machine with a second
// drive D:, and nothing of the product's left open or allocated afterwards.
#pragma once

#include "removal.h"
#include "sim_fixture.h"

class UninstallSimTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    sim::AddDrive('D');
    // As a hook would on this machine (Windows NT 4.0 unless a test says otherwise).
    LearnDeferralRule();
  }
  void TearDown() override {
    EXPECT_EQ(sim::OpenHandles(), 0);
    EXPECT_EQ(sim::HeapBlocks(), 0);
  }
};
