// The address scanner: turns the bytes of one text into recognised addresses
// (for List1) and unrecognised candidates (for List2), in text order.
#pragma once

#include <string_view>
#include <type_traits>
#include <utility>

namespace mailsift {

// The list an entry belongs to.
enum class TargetList : unsigned char {
  List1,  // recognised addresses: the top-level domain is known
  List2,  // unrecognised candidates
};

// Receives the entries of a scan. The entry text is UTF-8, lower case, and
// valid only during the call; copy it to keep it.
class EntrySink {
 public:
  virtual void addEntry(TargetList target, std::string_view entry) = 0;

 protected:
  ~EntrySink() = default;
};

// Scans `scanText`, one character per byte in Windows-1252, and hands every
// entry to `sink` at the moment it is built, in text order. The text is read
// as if it had first been lower-cased and had its spelled-out forms "(at)",
// "[at]", " at ", "(dot)", "[dot]", "(punkt)" and "[punkt]" replaced by "@"
// and "."; the text itself is never changed or copied. Any text is valid, the
// empty one included. Several threads may scan different texts at once. An
// exception thrown by the sink leaves the scan at once.
void ExtractAddresses(std::string_view scanText, EntrySink& sink);

// Adapts a callable taking (TargetList, std::string_view) to an EntrySink.
template <class Callback>
class CallbackSink final : public EntrySink {
 public:
  explicit CallbackSink(Callback callback) : m_callback(std::move(callback)) {}
  void addEntry(TargetList target, std::string_view entry) override { m_callback(target, entry); }

 private:
  Callback m_callback;
};

// Convenience overload: ExtractAddresses(text, [&](TargetList t, std::string_view e) {...}).
template <class Callback>
  requires std::is_invocable_v<Callback&, TargetList, std::string_view>
void ExtractAddresses(std::string_view scanText, Callback&& callback) {
  CallbackSink<std::remove_cvref_t<Callback>> sink(std::forward<Callback>(callback));
  ExtractAddresses(scanText, static_cast<EntrySink&>(sink));
}

}  // namespace mailsift
