// Helpers shared by the test suites.
#pragma once

#include <string>

namespace nyxtest {

// The temporary directory of the running test case (also its current directory, HOME and ZIL_HOME).
const std::string &testDirectory();

} // namespace nyxtest
