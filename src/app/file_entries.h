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
// string, with the target list and end offset of each.
class FileEntries final : public EntrySink {
 public:
  SinkReply addEntry(TargetList target, std::string_view entry) override;
  void clear() noexcept;

  std::size_t size() const noexcept { return m_ends.size(); }
  TargetList target(std::size_t index) const noexcept { return m_targets[index]; }
  std::string_view text(std::size_t index) const noexcept;

 private:
  std::string m_texts;
  std::vector<std::size_t> m_ends;
  std::vector<TargetList> m_targets;
};

}  // namespace mailsift
