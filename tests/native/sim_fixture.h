// Base fixture of the native tests: a fresh simulated machine for every test.
#pragma once

#include <gtest/gtest.h>

#include "sim.h"

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override { sim::Reset(); }
};
