// Removing registered temporary files on SIGINT, SIGTERM and SIGHUP.
//
// The handler may run on any thread at any moment, so it touches only a
// fixed table: each slot holds a folder descriptor and a name, and an atomic
// state says who may use it. A slot is filled while Busy and becomes Armed
// only when complete; the handler claims an Armed slot before unlinking it,
// and a slot being unregistered is claimed by its owner first, so the
// handler never reads a name that is being written.
#include "platform/temporary_files.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <utility>

namespace mailsift::platform {
namespace {

constexpr int kSlots = 32;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

enum SlotState : int { kFree, kBusy, kArmed };

struct Slot {
  std::atomic<int> state{kFree};
  int folder = AT_FDCWD;
  char name[PATH_MAX] = {};
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free atomics");

Slot g_slots[kSlots];

extern "C" void removeTemporaryFilesAndDie(int signal) {
  for (Slot& slot : g_slots) {
    int expected = kArmed;
    // Left Busy: the process is ending, and nobody must reuse the slot.
    if (slot.state.compare_exchange_strong(expected, kBusy)) ::unlinkat(slot.folder, slot.name, 0);
  }
  struct sigaction original {};
  original.sa_handler = SIG_DFL;
  sigemptyset(&original.sa_mask);
  ::sigaction(signal, &original, nullptr);
  // Blocked while this handler runs, so it is delivered, with the default
  // action, as soon as the handler returns.
  ::raise(signal);
}

void installHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const int signal : kSignals) {
      struct sigaction current {};
      if (::sigaction(signal, nullptr, &current) != 0) continue;
      if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
      struct sigaction removing {};
      removing.sa_handler = &removeTemporaryFilesAndDie;
      // Every signal of ours waits while one runs, so two of them never
      // unlink the same slot's name at once.
      sigemptyset(&removing.sa_mask);
      for (const int other : kSignals) sigaddset(&removing.sa_mask, other);
      ::sigaction(signal, &removing, nullptr);
    }
  });
}

// Claims a free slot and fills it; -1 when none is free or `name` is too long.
int registerName(int folder, const std::string& prefix, const std::string& name) noexcept {
  if (prefix.size() + name.size() >= PATH_MAX) return -1;
  installHandlers();
  for (int i = 0; i < kSlots; ++i) {
    Slot& slot = g_slots[i];
    int expected = kFree;
    if (!slot.state.compare_exchange_strong(expected, kBusy)) continue;
    slot.folder = folder;
    std::memcpy(slot.name, prefix.data(), prefix.size());
    std::memcpy(slot.name + prefix.size(), name.c_str(), name.size() + 1);
    slot.state.store(kArmed, std::memory_order_release);
    return i;
  }
  return -1;
}

// The current folder with a closing "/", or "" when it cannot be found.
std::string currentFolder() {
  std::string folder(PATH_MAX, '\0');
  if (::getcwd(folder.data(), folder.size()) == nullptr) return {};
  folder.resize(std::strlen(folder.c_str()));
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

}  // namespace

TemporaryFileGuard::TemporaryFileGuard(const std::string& path) noexcept {
  try {
    const std::string prefix = !path.empty() && path.front() == '/' ? std::string() : currentFolder();
    m_slot = registerName(AT_FDCWD, prefix, path);
  } catch (...) {
    m_slot = -1;  // out of memory: the file is just not covered
  }
}

TemporaryFileGuard::TemporaryFileGuard(NativeHandle folder, const std::string& name) noexcept
    : m_slot(registerName(static_cast<int>(folder), std::string(), name)) {}

TemporaryFileGuard::~TemporaryFileGuard() { release(); }

TemporaryFileGuard::TemporaryFileGuard(TemporaryFileGuard&& other) noexcept : m_slot(std::exchange(other.m_slot, -1)) {}

TemporaryFileGuard& TemporaryFileGuard::operator=(TemporaryFileGuard&& other) noexcept {
  if (this != &other) {
    release();
    m_slot = std::exchange(other.m_slot, -1);
  }
  return *this;
}

void TemporaryFileGuard::release() noexcept {
  if (m_slot < 0) return;
  Slot& slot = g_slots[std::exchange(m_slot, -1)];
  int expected = kArmed;
  // Fails only when a handler has claimed the slot: the process is ending.
  if (slot.state.compare_exchange_strong(expected, kBusy)) slot.state.store(kFree, std::memory_order_release);
}

}  // namespace mailsift::platform
