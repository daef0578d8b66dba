// The entries the scanner found in one text, kept compactly until they are
// added to the result lists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scanner/extract_addresses.h"

namespace mailsift {

// The entries of one text in text order: their texts back to back in one
// string, with the target list and end offset of each, and, when asked
// for, where each was read.
class FileEntries final : public EntrySink {
 public:
  // With `origins`, the entries' origins are kept too (wantsOrigins).
  explicit FileEntries(bool origins = false) noexcept : m_keepOrigins(origins) {}

  SinkReply addEntry(TargetList target, std::string_view entry) override;
  bool wantsOrigins() const noexcept override { return m_keepOrigins; }
  SinkReply addEntryFrom(TargetList target, std::string_view entry, const EntryOrigin& origin) override;
  void clear() noexcept;

  std::size_t size() const noexcept { return m_ends.size(); }
  TargetList target(std::size_t index) const noexcept { return m_targets[index]; }
  std::string_view text(std::size_t index) const noexcept;
  // Where the entry was read, when the entries keep origins (else an empty
  // origin). Its view is valid until the next change of the entries.
  bool hasOrigins() const noexcept { return m_keepOrigins; }
  EntryOrigin origin(std::size_t index) const noexcept;

 private:
  SinkReply append(TargetList target, std::string_view entry);

  std::string m_texts;
  std::vector<std::size_t> m_ends;
  std::vector<TargetList> m_targets;
  bool m_keepOrigins;
  std::vector<std::uint64_t> m_offsets;
  // Entries come in runs of one view: each names the last view it differs from.
  std::vector<std::uint32_t> m_viewOf;
  std::vector<std::string> m_views;
};

}  // namespace mailsift
