// The address scanner: turns the bytes of one text into recognised addresses
// (for List1) and unrecognised candidates (for List2), in text order.
#pragma once

#include <cstdint>
#include <string_view>
#include <type_traits>
#include <utility>

#include "scanner/scan_rules.h"

namespace mailsift {

// The list an entry belongs to.
enum class TargetList : unsigned char {
  List1,  // recognised addresses: the top-level domain is known
  List2,  // unrecognised candidates
};

// What a sink answers for each entry: go on, or end the scan right after
// this entry (a reader that went away, a limit reached).
enum class SinkReply : unsigned char { Continue, Stop };

// Where an entry was read. `offset` is the position of the first byte of the
// stretch of text the entry was read from (its first character, or the
// spelled-out form it starts with), counted in the text that was scanned
// from its beginning. `view` names how that text was made from the bytes as
// stored (a decompressed member, the text of a PDF...), outermost first;
// empty for the bytes as stored. The scanner itself leaves it empty: the
// layers that decode fill it in. Valid only during the call.
struct EntryOrigin {
  std::uint64_t offset = 0;
  std::string_view view;
};

// Receives the entries of a scan. The entry text is UTF-8, lower case, and
// valid only during the call; copy it to keep it.
class EntrySink {
 public:
  virtual SinkReply addEntry(TargetList target, std::string_view entry) = 0;

  // A sink that answers true gets every entry through addEntryFrom instead,
  // with where it was read. Asked once per text, before its first entry;
  // most sinks do not care, and their entries cost nothing more.
  virtual bool wantsOrigins() const noexcept { return false; }
  virtual SinkReply addEntryFrom(TargetList target, std::string_view entry, const EntryOrigin& origin) {
    static_cast<void>(origin);
    return addEntry(target, entry);
  }

 protected:
  ~EntrySink() = default;
};

// Scans `scanText`, one character per byte in Windows-1252, and hands every
// entry to `sink` at the moment it is built, in text order. The text is read
// as if it had first been lower-cased and had its spelled-out forms "(at)",
// "[at]", " at ", "(dot)", "[dot]", "(punkt)" and "[punkt]" replaced by "@"
// and "."; the text itself is never changed or copied. Extended `rules`
// replace their further forms too, each where no form replaced before it
// overlaps, from left to right (see ScanRules). Any text is valid, the
// empty one included. Several threads may scan different texts at once.
// When the sink answers SinkReply::Stop, the scan ends right after that
// entry and the result is Stop; otherwise it is Continue. An exception
// thrown by the sink leaves the scan at once.
SinkReply extractAddresses(std::string_view scanText, EntrySink& sink, ScanRules rules = ScanRules::Specified);

// The same for a text that is a part of a longer one and starts
// `textOffset` bytes into it: the origins the sink gets count from the start
// of the longer text.
SinkReply extractAddresses(std::string_view scanText, EntrySink& sink, ScanRules rules, std::uint64_t textOffset);

// Adapts a callable taking (TargetList, std::string_view) to an EntrySink.
// The callable returns a SinkReply, or nothing for a sink that never stops.
template <class Callback>
class CallbackSink final : public EntrySink {
 public:
  explicit CallbackSink(Callback callback) : m_callback(std::move(callback)) {}
  SinkReply addEntry(TargetList target, std::string_view entry) override {
    if constexpr (std::is_void_v<std::invoke_result_t<Callback&, TargetList, std::string_view>>) {
      m_callback(target, entry);
      return SinkReply::Continue;
    } else {
      return m_callback(target, entry);
    }
  }

 private:
  Callback m_callback;
};

// Convenience overload: extractAddresses(text, [&](TargetList t, std::string_view e) {...}).
template <class Callback>
  requires std::is_invocable_v<Callback&, TargetList, std::string_view> SinkReply
  extractAddresses(std::string_view scanText, Callback&& callback, ScanRules rules = ScanRules::Specified) {
    CallbackSink<std::remove_cvref_t<Callback>> sink(std::forward<Callback>(callback));
    return extractAddresses(scanText, static_cast<EntrySink&>(sink), rules);
  }

}  // namespace mailsift
