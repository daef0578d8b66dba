// The temporary folder: which variable wins, the closing "/", and that it is
// worked out once.
#include "sources/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>

#include "support/temp_folder.h"

namespace mailsift {
namespace {

std::string resolveWith(const std::map<std::string, std::string>& environment) {
  return detail::resolveTemporaryFolder([&](const char* name) {
    const auto it = environment.find(name);
    return it == environment.end() ? std::string() : it->second;
  });
}

TEST(TemporaryFolder, TakesTheFirstVariableThatIsSetAndEndsInASlash) {
  EXPECT_EQ(resolveWith({{"TEMP", "/t"}, {"TMP", "/u"}, {"TMPDIR", "/v"}}), "/t/");
  EXPECT_EQ(resolveWith({{"TEMP", "/t/"}}), "/t/");
  EXPECT_EQ(resolveWith({{"TEMP", ""}, {"TMP", "/u"}}), "/u/");
  EXPECT_EQ(resolveWith({{"TMPDIR", "/v"}}), "/v/");
  EXPECT_EQ(resolveWith({}), "/tmp/");
  EXPECT_EQ(resolveWith({{"TEMP", ""}, {"TMP", ""}, {"TMPDIR", ""}}), "/tmp/");
  EXPECT_EQ(resolveWith({{"TEMP", "relative"}}), "relative/");
}

// The only test in this program that calls temporaryFolder(), which is worked out
// once per process.
TEST(TemporaryFolder, IsCreatedOnFirstUseAndKeptForTheProcess) {
  test::TempFolder folder;
  const std::string chosen = folder.file("downloads");
  ASSERT_EQ(setenv("TEMP", chosen.c_str(), 1), 0);
  EXPECT_EQ(temporaryFolder(), chosen + "/");
  EXPECT_TRUE(std::filesystem::is_directory(chosen));
  EXPECT_EQ(temporaryDownloadPath(), chosen + "/kelvaro.tmp");

  ASSERT_EQ(setenv("TEMP", folder.file("elsewhere").c_str(), 1), 0);
  EXPECT_EQ(temporaryFolder(), chosen + "/");
  unsetenv("TEMP");
}

}  // namespace
}  // namespace mailsift
