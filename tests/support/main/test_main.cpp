// The main of every test program without one of its own.
#include <gtest/gtest.h>

#include "support/processes.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  vidralo::test::failWhenBrowsersAreLeftBehind();
  return RUN_ALL_TESTS();
}
