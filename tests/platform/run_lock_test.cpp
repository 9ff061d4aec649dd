#include "platform/run_lock.hpp"

#include <gtest/gtest.h>

#include "support/test_support.hpp"

namespace modrake {
namespace {

TEST(RunLockTest, OneRunAtATimePerFolder) {
  test::TempDir game;
  test::TempDir home;
  RunLock first;
  int waits = 0;
  first.Add(home.path(), [&] { ++waits; });
  first.Add(game.path(), [&] { ++waits; });
  // The same folder spelled otherwise is the one already held, not a wait.
  first.Add(game.path() / ".", [&] { ++waits; });
  EXPECT_EQ(waits, 0);

  RunLock second;
  EXPECT_FALSE(second.TryAdd(game.path()));
  EXPECT_FALSE(second.TryAdd(home.path()));
  test::TempDir other;
  EXPECT_TRUE(second.TryAdd(other.path()));
  first.ReleaseAll();
  EXPECT_TRUE(second.TryAdd(game.path()));
  // A folder that does not exist has nothing to guard.
  EXPECT_TRUE(second.TryAdd(other.path() / "missing"));
}

}  // namespace
}  // namespace modrake
