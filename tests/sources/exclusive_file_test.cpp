// Exclusive creation, removal and renaming of files on paths that the system
// cannot take as they are.
#include "platform/exclusive_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_folder.h"

namespace mailsift::platform {
namespace {

using namespace std::string_literals;

TEST(ExclusiveFile, APathWithANulByteIsRefusedAndNoOtherFileIsTouched) {
  // The system would read such a path only up to the NUL and act on the
  // file named by that prefix instead.
  const test::TempFolder folder;
  const std::string prefix = folder.file("page");
  const std::string withNul = prefix + "\0 (2).tmp"s;

  const ExclusiveCreateResult created = createExclusiveFile(withNul);
  ASSERT_FALSE(created.ok());
  EXPECT_NE(created.failure->kind, FailureKind::Exists);
  EXPECT_EQ(created.failure->target, withNul);
  EXPECT_FALSE(std::filesystem::exists(prefix));

  const std::string source = folder.write("source", "new");
  EXPECT_TRUE(replaceFile(source, withNul).has_value());
  EXPECT_TRUE(replaceFile(source + "\0x"s, prefix).has_value());
  EXPECT_FALSE(std::filesystem::exists(prefix));
  EXPECT_EQ(test::readFile(source), "new");

  folder.write("page", "old");
  EXPECT_TRUE(removeFile(withNul).has_value());
  EXPECT_EQ(test::readFile(prefix), "old");
}

}  // namespace
}  // namespace mailsift::platform
