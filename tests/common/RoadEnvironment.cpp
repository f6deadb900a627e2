// Linked into the test programs that run jobs: every test runs on a road set up as the
// programs set it up at start-up (deliveries, job processor, package and output readers).
#include "workflow/processing/KOVA_Road.h"

#include <gtest/gtest.h>

namespace {

class RoadEnvironment : public ::testing::Environment {
public:
    void SetUp() override { KOVA_Road::install(); }
};

[[maybe_unused]] ::testing::Environment* const road = ::testing::AddGlobalTestEnvironment(new RoadEnvironment);

} // namespace
