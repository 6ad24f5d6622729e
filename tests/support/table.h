// Tables of test cases: a row of a parameterised test carries a name, and the test is named after it, so
// that a failure says which row it was.
#pragma once
#include <gtest/gtest.h>

#include <string>

namespace kelb::test {

// The name generator of INSTANTIATE_TEST_SUITE_P for rows with a `name` member.
struct RowName {
  template <class Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
    return row.param.name;
  }
};

}  // namespace kelb::test
