// Which name of a file met under several names is its first in walk order,
// for the folder scan, which reads each file once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/file_identity.h"

namespace mailsift::detail {

// The files opened in one scan, each with the place in walk order of the
// earliest name it was opened under. Sixteen bytes per file, at most twice
// that with the free cells; not thread-safe.
class FirstReaders {
 public:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // Notes that the file `identity` is opened for the name at `place`, and
  // returns the place noted for it before, or kNone when there is none;
  // the smaller of the two stays. Places from 2^40 on are not noted: such a
  // file would be read under each name. Throws std::bad_alloc.
  std::size_t note(const platform::FileIdentity& identity, std::size_t place);

 private:
  // The number, and the volume's index in m_volumes above the place plus
  // one; 0 there for a free cell.
  struct Cell {
    std::uint64_t number = 0;
    std::uint64_t rest = 0;
  };

  std::uint64_t volumeIndex(std::uint64_t volume);
  Cell& find(std::vector<Cell>& cells, std::uint64_t number, std::uint64_t volume) const;
  void grow();

  std::vector<Cell> m_cells;  // a power of two of them, at most half used
  std::size_t m_used = 0;
  std::vector<std::uint64_t> m_volumes;  // the volumes met, a handful
  std::size_t m_lastVolume = 0;          // the index of the volume met last
};

}  // namespace mailsift::detail
