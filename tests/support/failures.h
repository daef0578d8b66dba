// Reading optional failures in test assertions and their diagnostics.
#pragma once

#include <optional>
#include <string>

#include "platform/failure.h"

namespace mailsift::test {

// The kind of `failure`, or std::nullopt when there is none, so that a
// success and each kind compare in one expectation.
inline std::optional<platform::FailureKind> kindOf(const std::optional<platform::Failure>& failure) {
  if (!failure) return std::nullopt;
  return failure->kind;
}

// The message of `failure`, or "" when there is none.
inline std::string messageOf(const std::optional<platform::Failure>& failure) {
  return failure ? failure->message : std::string();
}

}  // namespace mailsift::test
