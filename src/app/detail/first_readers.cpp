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
  const std::uint64_t device = deviceIndex(identity.device);
  Cell& cell = find(m_cells, identity.inode, device);
  if (cell.rest == 0) {
    cell = {identity.inode, device << kPlaceBits | (place + 1)};
    ++m_used;
    return kNone;
  }
  const auto before = static_cast<std::size_t>((cell.rest & kPlaceMask) - 1);
  if (place < before) cell.rest = device << kPlaceBits | (place + 1);
  return before;
}

std::uint64_t FirstReaders::deviceIndex(std::uint64_t device) {
  if (m_lastDevice < m_devices.size() && m_devices[m_lastDevice] == device) return m_lastDevice;
  const auto known = std::find(m_devices.begin(), m_devices.end(), device);
  m_lastDevice = static_cast<std::size_t>(known - m_devices.begin());
  if (known == m_devices.end()) m_devices.push_back(device);
  return m_lastDevice;
}

FirstReaders::Cell& FirstReaders::find(std::vector<Cell>& cells, std::uint64_t inode, std::uint64_t device) const {
  const std::size_t mask = cells.size() - 1;
  // Files of one folder mostly have neighbouring numbers: sixteen in a row
  // share a block of cells, four cache lines, and the blocks are spread.
  const platform::FileIdentity block{device, inode >> 4};
  std::size_t at = ((platform::FileIdentityHash{}(block) << 4) | (inode & 15)) & mask;
  while (cells[at].rest != 0 && !(cells[at].inode == inode && cells[at].rest >> kPlaceBits == device)) {
    at = (at + 1) & mask;
  }
  return cells[at];
}

void FirstReaders::grow() {
  std::vector<Cell> cells(m_cells.empty() ? 1024 : 2 * m_cells.size());
  for (const Cell& cell : m_cells) {
    if (cell.rest != 0) find(cells, cell.inode, cell.rest >> kPlaceBits) = cell;
  }
  m_cells = std::move(cells);
}

}  // namespace mailsift::detail
