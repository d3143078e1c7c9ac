// The behaviour every call store must show, run against each real store by its own test:
// searches answered exactly as the reference rules answer them (a differential test over
// seeded random calls), and the refresh's bookkeeping kept across upserts and removals.
// The test file of a store adds call_store_conformance.cpp to its sources and instantiates
//   INSTANTIATE_TEST_SUITE_P(Sqlite, CallStoreConformance, testing::Values(StoreMaker{...}));
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "index/core/call_store.h"

namespace pell::test {

struct StoreMaker {
    std::string name;
    // A new, empty store; a test may call it more than once for several connections to one
    // database (`fresh` false) or for a new database (`fresh` true).
    std::function<std::unique_ptr<CallStore>(bool fresh)> make;
};

class CallStoreConformance : public testing::TestWithParam<StoreMaker> {};

inline std::string StoreMakerName(const testing::TestParamInfo<StoreMaker>& info) { return info.param.name; }

}  // namespace pell::test
