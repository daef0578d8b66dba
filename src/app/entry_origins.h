// Where each entry of a scan was first read: the source (a file's path as
// given or walked, a page's URL) and the entry's origin in it, kept beside
// the result lists for the command line's lines of JSON.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "results/result_lists.h"
#include "scanner/extract_addresses.h"

namespace mailsift {

// The first origin of every entry of each list. Entries are keyed by their
// text, so the duplicates that the lists remove keep the origin of the one
// met first. Costs one map entry per distinct entry; scans that do not ask
// for it keep none. Not thread-safe.
class EntryOrigins {
 public:
  struct Origin {
    std::string_view source;  // the path or URL
    std::uint64_t offset = 0;
    std::string_view view;  // empty: the bytes as stored
  };

  // Notes that `entry` of `list` was read at `origin` in `source`, unless
  // it was read before. Sources are compared with the last one noted, so
  // the entries of one source should come together.
  void note(ListId list, std::string_view entry, std::string_view source, const EntryOrigin& origin);

  // Where `entry` of `list` was first read; false when it never was. The
  // texts stay valid until the next note().
  bool find(ListId list, std::string_view entry, Origin& origin) const;

 private:
  struct Kept {
    std::uint32_t source;
    std::uint32_t view;
    std::uint64_t offset;
  };
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
  };
  using Map = std::unordered_map<std::string, Kept, Hash, std::equal_to<>>;

  static std::uint32_t indexOf(std::vector<std::string>& names, std::string_view name);

  Map m_first[2];  // List1, List2
  std::vector<std::string> m_sources;
  std::vector<std::string> m_views;
};

}  // namespace mailsift
