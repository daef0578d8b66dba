// The input buffer of a decoder: a fixed size, taken from a small pool of
// the thread and given back to it.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace mailsift::detail {

inline constexpr std::size_t kFeedSize = std::size_t{64} << 10;

// Taking and giving back a few fixed buffers keeps the heap's top from being
// handed back to the system and faulted in again for every small file of a
// folder full of .gz files (allocating 64 KiB afresh for each cost about
// 200 us a file). A decoder inside another's callback (a zip inside a tar)
// takes a second buffer. Not movable: used as a member.
class FeedBuffer {
 public:
  FeedBuffer() {
    spares().reserve(kKept);  // so that giving back never allocates
    if (spares().empty()) {
      m_bytes = std::make_unique_for_overwrite<char[]>(kFeedSize);
    } else {
      m_bytes = std::move(spares().back());
      spares().pop_back();
    }
  }
  ~FeedBuffer() {
    if (spares().size() < kKept) spares().push_back(std::move(m_bytes));
  }
  FeedBuffer(const FeedBuffer&) = delete;
  FeedBuffer& operator=(const FeedBuffer&) = delete;

  char* get() const noexcept { return m_bytes.get(); }

 private:
  static constexpr std::size_t kKept = 4;
  static std::vector<std::unique_ptr<char[]>>& spares() {
    thread_local std::vector<std::unique_ptr<char[]>> buffers;
    return buffers;
  }
  std::unique_ptr<char[]> m_bytes;
};

}  // namespace mailsift::detail
