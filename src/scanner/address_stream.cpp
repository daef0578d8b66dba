// Scanning a text in pieces. Every piece is cut after its last boundary
// byte: the part before is complete and scanned where it lies; the part
// after waits, joined with the start of the next piece up to that piece's
// first boundary byte.
#include "scanner/address_stream.h"

#include <array>

#include "scanner/detail/char_table.h"

namespace mailsift {
namespace {

// Keeping a buffer this large after a very long run would hold memory that
// ordinary text never needs again.
constexpr std::size_t kKeepPendingCapacity = std::size_t{1} << 20;

using BoundaryTable = std::array<bool, 256>;

const BoundaryTable& boundariesOf(ScanRules rules) noexcept {
  return rules == ScanRules::Extended ? detail::kBoundaryExtended : detail::kBoundary;
}

// The position right after the last boundary byte of `text`, or 0.
std::size_t afterLastBoundary(std::string_view text, const BoundaryTable& boundary) noexcept {
  for (std::size_t i = text.size(); i > 0; --i) {
    if (boundary[static_cast<unsigned char>(text[i - 1])]) return i;
  }
  return 0;
}

// The position right after the first boundary byte of `text`, or 0.
std::size_t afterFirstBoundary(std::string_view text, const BoundaryTable& boundary) noexcept {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (boundary[static_cast<unsigned char>(text[i])]) return i + 1;
  }
  return 0;
}

}  // namespace

bool isScanBoundary(unsigned char byte, ScanRules rules) noexcept { return boundariesOf(rules)[byte]; }

SinkReply AddressStream::scan(std::string_view text, std::uint64_t offset) {
  if (m_reply == SinkReply::Continue && !text.empty()) m_reply = extractAddresses(text, m_sink, m_rules, offset);
  return m_reply;
}

SinkReply AddressStream::feed(std::string_view piece) {
  if (m_reply == SinkReply::Stop) return m_reply;
  const BoundaryTable& boundary = boundariesOf(m_rules);
  const std::size_t cut = afterLastBoundary(piece, boundary);
  const std::uint64_t pieceOffset = m_fed;
  m_fed += piece.size();
  if (cut == 0) {  // no boundary at all: the whole piece continues the open run
    m_pending.append(piece);
    return m_reply;
  }
  std::size_t from = 0;
  if (!m_pending.empty()) {
    from = afterFirstBoundary(piece, boundary);
    const std::uint64_t pendingOffset = pieceOffset - m_pending.size();
    m_pending.append(piece.substr(0, from));
    scan(m_pending, pendingOffset);
    m_pending.clear();
    if (m_pending.capacity() > kKeepPendingCapacity) std::string().swap(m_pending);
  }
  scan(piece.substr(from, cut - from), pieceOffset + from);
  m_pending.assign(piece.substr(cut));
  return m_reply;
}

SinkReply AddressStream::finish() {
  const SinkReply reply = scan(m_pending, m_fed - m_pending.size());
  m_fed = 0;
  m_pending.clear();
  if (m_pending.capacity() > kKeepPendingCapacity) std::string().swap(m_pending);
  m_reply = SinkReply::Continue;
  return reply;
}

}  // namespace mailsift
