// Temporary files removed when a signal ends the process, and only those
// still registered.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "platform/temporary_files.h"
#include "support/temp_folder.h"

namespace mailsift::platform {
namespace {

std::set<std::string> namesIn(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

TEST(TemporaryFileGuard, ASignalRemovesTheRegisteredFilesAndStillEndsTheProcess) {
  // "fast" forks without re-running the test, so the child sees this folder.
  GTEST_FLAG_SET(death_test_style, "fast");
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    const test::TempFolder folder;
    const std::string byPath = folder.write("by-path.tmp", "x");
    folder.write("in-folder.tmp", "x");
    const std::string released = folder.write("released.tmp", "x");
    folder.write("kept.csv", "x");
    const auto registerAndRaise = [&] {
      const TemporaryFileGuard first(byPath);
      const TemporaryFileGuard second(::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY), "in-folder.tmp");
      TemporaryFileGuard third(released);
      TemporaryFileGuard moved(std::move(third));
      moved.release();
      if (!first.isRegistered() || !second.isRegistered() || third.isRegistered()) std::_Exit(1);
      std::raise(signal);
      std::_Exit(0);
    };
    EXPECT_EXIT(registerAndRaise(), testing::KilledBySignal(signal), "");
    EXPECT_EQ(namesIn(folder.path()), (std::set<std::string>{"kept.csv", "released.tmp"}));
  }
}

}  // namespace
}  // namespace mailsift::platform
