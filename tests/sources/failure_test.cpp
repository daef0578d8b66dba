// The one mapping from system error numbers to failures, and the helpers
// that reword a failure for a larger task and show it in one line.
#include "platform/failure.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <system_error>

namespace mailsift::platform {
namespace {

TEST(FailureFromSystemError, MapsEachNumberToItsKindWithTheSystemsText) {
  struct Case {
    int systemError;
    FailureKind otherwise;
    FailureKind expected;
  };
  const Case cases[] = {
      {ENOENT, FailureKind::ReadFailed, FailureKind::NotFound},
      {ENOTDIR, FailureKind::WriteFailed, FailureKind::NotFound},
      {EACCES, FailureKind::ReadFailed, FailureKind::AccessDenied},
      {EPERM, FailureKind::WriteFailed, FailureKind::AccessDenied},
      {EISDIR, FailureKind::WriteFailed, FailureKind::IsFolder},
      {EEXIST, FailureKind::WriteFailed, FailureKind::Exists},
      {EIO, FailureKind::ReadFailed, FailureKind::ReadFailed},
      {ENOSPC, FailureKind::WriteFailed, FailureKind::WriteFailed},
  };
  for (const Case& c : cases) {
    const Failure failure = failureFromSystemError(c.systemError, "some/path", c.otherwise);
    EXPECT_EQ(failure.kind, c.expected) << c.systemError;
    EXPECT_EQ(failure.systemError, c.systemError);
    EXPECT_EQ(failure.target, "some/path");
    EXPECT_EQ(failure.message, std::error_code(c.systemError, std::generic_category()).message());
  }
}

TEST(FailureFromSystemError, NeverReportsTheNumberZero) {
  const Failure failure = failureFromSystemError(0, "x", FailureKind::WriteFailed);
  EXPECT_EQ(failure.systemError, EIO);
  EXPECT_EQ(failure.kind, FailureKind::WriteFailed);
}

TEST(Failure, OwnFailuresHaveTheirKindsTextAndNoNumber) {
  const Failure folder = failureOf(FailureKind::IsFolder, "docs");
  EXPECT_EQ(folder.systemError, 0);
  EXPECT_EQ(describe(folder), "docs: is a folder");
  EXPECT_EQ(describe(failureOf(FailureKind::NotRegularFile, "/dev/zero")), "/dev/zero: not a regular file");
  EXPECT_EQ(describe(failureOf(FailureKind::Damaged, "a.pdf")), "a.pdf: damaged or truncated data");
}

TEST(Failure, AStepOfALargerTaskKeepsKindAndNumber) {
  const Failure step = asStepOf(failureFromSystemError(EACCES, "/tmp/a.tmp", FailureKind::WriteFailed), "http://host/a",
                                "cannot create /tmp/a.tmp");
  EXPECT_EQ(step.kind, FailureKind::AccessDenied);
  EXPECT_EQ(step.systemError, EACCES);
  EXPECT_EQ(describe(step),
            "http://host/a: cannot create /tmp/a.tmp: " + std::error_code(EACCES, std::generic_category()).message());
}

}  // namespace
}  // namespace mailsift::platform
