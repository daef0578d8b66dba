// MappedFile on POSIX, with a guard against a file that shrinks while it is
// mapped. Touching a page past the end of such a file raises SIGBUS; the
// guard's handler checks that the address lies in one of our mappings and
// puts a page of zeros there, so the scan goes on and ends normally. Any
// other SIGBUS goes to the handler that was there before (or the default).
#include "platform/mapped_file.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>

namespace mailsift::platform {
namespace {

// The live mappings, readable from the signal handler without locks. A slot
// is free when its begin is 0; begin is written last when a slot is filled
// and first when it is freed, and the handler reads it twice around the end.
constexpr int kGuardSlots = 256;
std::atomic<std::uintptr_t> g_begin[kGuardSlots];
std::atomic<std::uintptr_t> g_end[kGuardSlots];
struct sigaction g_previous;
std::once_flag g_installed;

bool coveredByMapping(std::uintptr_t address) {
  for (int i = 0; i < kGuardSlots; ++i) {
    const std::uintptr_t begin = g_begin[i].load(std::memory_order_acquire);
    if (begin == 0 || address < begin) continue;
    const std::uintptr_t end = g_end[i].load(std::memory_order_acquire);
    if (g_begin[i].load(std::memory_order_acquire) != begin) continue;
    if (address < end) return true;
  }
  return false;
}

void onBusError(int signal, siginfo_t* info, void* context) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  if (coveredByMapping(address)) {
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    void* at = static_cast<char*>(info->si_addr) - (address & (page - 1));  // the start of its page
    if (::mmap(at, page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) return;
  }
  if ((g_previous.sa_flags & SA_SIGINFO) != 0 && g_previous.sa_sigaction != nullptr) {
    g_previous.sa_sigaction(signal, info, context);
    return;
  }
  if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN && g_previous.sa_handler != nullptr) {
    g_previous.sa_handler(signal);
    return;
  }
  // Not ours: the default action, which ends the process. A fault repeats
  // on return and meets it; a signal that was sent is sent again.
  ::signal(SIGBUS, SIG_DFL);
  if (info->si_code <= 0) ::raise(SIGBUS);
}

void installGuard() {
  struct sigaction action {};
  action.sa_sigaction = &onBusError;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, &g_previous);
}

int claimSlot(std::uintptr_t begin, std::uintptr_t end) {
  std::call_once(g_installed, installGuard);
  static std::mutex claiming;
  const std::lock_guard lock(claiming);
  for (int i = 0; i < kGuardSlots; ++i) {
    if (g_begin[i].load(std::memory_order_relaxed) != 0) continue;
    g_end[i].store(end, std::memory_order_release);
    g_begin[i].store(begin, std::memory_order_release);
    return i;
  }
  return -1;
}

void freeSlot(int slot) {
  g_begin[slot].store(0, std::memory_order_release);
  g_end[slot].store(0, std::memory_order_release);
}

}  // namespace

MappedFile MappedFile::map(NativeHandle file, std::size_t length) noexcept {
  const int descriptor = static_cast<int>(file);
  MappedFile mapped;
  void* base = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, descriptor, 0);
  if (base == MAP_FAILED) return mapped;
  const auto begin = reinterpret_cast<std::uintptr_t>(base);
  const int slot = claimSlot(begin, begin + length);
  if (slot < 0) {  // too many mappings at once: unguarded mapping is not worth the risk
    ::munmap(base, length);
    return mapped;
  }
  ::madvise(base, length, MADV_SEQUENTIAL);
  mapped.m_data = static_cast<const char*>(base);
  mapped.m_length = length;
  mapped.m_guardSlot = slot;
  return mapped;
}

MappedFile::~MappedFile() { release(); }

MappedFile::MappedFile(MappedFile&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_length(std::exchange(other.m_length, 0)),
      m_guardSlot(std::exchange(other.m_guardSlot, -1)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    release();
    m_data = std::exchange(other.m_data, nullptr);
    m_length = std::exchange(other.m_length, 0);
    m_guardSlot = std::exchange(other.m_guardSlot, -1);
  }
  return *this;
}

void MappedFile::release() noexcept {
  if (m_data == nullptr) return;
  // Leave the guard before unmapping, so the address range is never
  // claimed while something else may be mapped there.
  freeSlot(m_guardSlot);
  ::munmap(const_cast<char*>(m_data), m_length);
  m_data = nullptr;
  m_length = 0;
  m_guardSlot = -1;
}

}  // namespace mailsift::platform
