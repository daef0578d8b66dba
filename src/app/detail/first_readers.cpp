// An open-addressing table of files, asked once per file of a folder scan:
// no allocation per file, and the files of one folder in few cache lines.
#include "app/detail/first_readers.h"

#include <algorithm>

namespace mailsift::detail {
namespace {

constexpr unsigned kPlaceBits = 40;
constexpr std::uint64_t kPlaceMask = (std::uint64_t{1} << kPlaceBits) - 1;

}  // namespace

std::size_t FirstReaders::note(const platform::FileIdentity& identity, std::size_t place) {
  if (place >= kPlaceMask) return kNone;
  if (2 * (m_used + 1) > m_cells.size()) grow();
  const std::uint64_t volume = volumeIndex(identity.volume);
  Cell& cell = find(m_cells, identity.number, volume);
  if (cell.rest == 0) {
    cell = {identity.number, volume << kPlaceBits | (place + 1)};
    ++m_used;
    return kNone;
  }
  const auto before = static_cast<std::size_t>((cell.rest & kPlaceMask) - 1);
  if (place < before) cell.rest = volume << kPlaceBits | (place + 1);
  return before;
}

std::uint64_t FirstReaders::volumeIndex(std::uint64_t volume) {
  if (m_lastVolume < m_volumes.size() && m_volumes[m_lastVolume] == volume) return m_lastVolume;
  const auto known = std::find(m_volumes.begin(), m_volumes.end(), volume);
  m_lastVolume = static_cast<std::size_t>(known - m_volumes.begin());
  if (known == m_volumes.end()) m_volumes.push_back(volume);
  return m_lastVolume;
}

FirstReaders::Cell& FirstReaders::find(std::vector<Cell>& cells, std::uint64_t number, std::uint64_t volume) const {
  const std::size_t mask = cells.size() - 1;
  // Files of one folder mostly have neighbouring numbers: sixteen in a row
  // share a block of cells, four cache lines, and the blocks are spread.
  const platform::FileIdentity block{volume, number >> 4};
  std::size_t at = ((platform::FileIdentityHash{}(block) << 4) | (number & 15)) & mask;
  while (cells[at].rest != 0 && !(cells[at].number == number && cells[at].rest >> kPlaceBits == volume)) {
    at = (at + 1) & mask;
  }
  return cells[at];
}

void FirstReaders::grow() {
  std::vector<Cell> cells(m_cells.empty() ? 1024 : 2 * m_cells.size());
  for (const Cell& cell : m_cells) {
    if (cell.rest != 0) find(cells, cell.number, cell.rest >> kPlaceBits) = cell;
  }
  m_cells = std::move(cells);
}

}  // namespace mailsift::detail
