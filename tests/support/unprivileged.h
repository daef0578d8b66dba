// Checks that need a user without privileges (a locked file, a read-only
// folder) are run as the user "nobody" in a child process when the tests run
// as root, who would read and write anything, instead of being skipped.
#pragma once

#include <filesystem>
#include <functional>

namespace mailsift::test {

// True when checks run as someone whom permissions bind: the tests run as
// an ordinary user, or as root on a system with a user "nobody".
bool canRunUnprivileged();

// Hands `path` and everything below it to "nobody" when running as root, so
// that the child of runUnprivileged can reach it; does nothing otherwise.
void giveToUnprivileged(const std::filesystem::path& path);

// Runs `body` as the user "nobody" in a forked child when running as root
// (its groups dropped), in this process otherwise, and returns what it
// returned (0-255), or -1 when the child could not be made or ended by a
// signal. The child must not use gtest's assertions: its failures are not
// seen; report through the return value.
int runUnprivileged(const std::function<int()>& body);

}  // namespace mailsift::test
