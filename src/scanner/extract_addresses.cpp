// The address scanner. It reads the raw text once and never rewrites it:
// lower case comes from a table, and the spelled-out forms are recognised
// where they matter. An "at" form is a hit of its own; a dot form only
// matters inside a candidate, where the walks step over it as one ".".
//
// This gives the same result as lower-casing the text and replacing the
// seven forms one after the other, because no form can overlap another form
// nor be created by a replacement ("@" and "." occur in none of them). The one
// exception is " at ", which can share a blank with the next " at "; the
// left-to-right replacement takes the first of such a pair, which the scan
// reproduces by remembering where the last replaced " at " ended.
#include "scanner/extract_addresses.h"

#include <string>

#include "scanner/detail/candidate_finder.h"
#include "scanner/detail/char_table.h"
#include "scanner/detail/tld_lookup.h"

namespace mailsift {
namespace {

using detail::kClassOf;
using detail::kLowerOf;

constexpr std::size_t kShortDotForm = 5;  // "(dot)"
constexpr std::size_t kLongDotForm = 7;   // "(punkt)"

inline bool equalsLower(const unsigned char* p, std::string_view word) noexcept {
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (kLowerOf[p[i]] != static_cast<unsigned char>(word[i])) return false;
  }
  return true;
}

inline unsigned char closerOf(unsigned char opener) noexcept { return opener == '(' ? ')' : ']'; }

class Scanner {
 public:
  Scanner(std::string_view text, EntrySink& sink)
      : m_text(reinterpret_cast<const unsigned char*>(text.data())), m_size(text.size()), m_sink(sink) {}

  SinkReply run() {
    const detail::CandidateFinder find = detail::bestCandidateFinder();
    std::uint16_t offsets[detail::kCandidateChunk];
    for (std::size_t begin = 0; begin < m_size; begin += detail::kCandidateChunk) {
      const std::size_t end = std::min(m_size, begin + detail::kCandidateChunk);
      const std::size_t count = find(m_text, m_size, begin, end, offsets);
      for (std::size_t i = 0; i < count; ++i) {
        candidate(begin + offsets[i]);
        if (m_reply == SinkReply::Stop) return m_reply;
      }
    }
    return m_reply;
  }

 private:
  // A candidate is "@", or "at" after " ", "(" or "[". Decide whether it is a
  // hit and where its left and right walks start.
  void candidate(std::size_t p) {
    const unsigned char first = m_text[p];
    if (first == '@') {
      hit(p, p + 1);
      return;
    }
    if (p + 3 >= m_size) return;
    const unsigned char last = m_text[p + 3];
    if (first == ' ') {
      if (last != ' ' || p < m_blankAtEnd) return;
      m_blankAtEnd = p + 4;
      hit(p, p + 4);
    } else if (last == closerOf(first)) {
      hit(p, p + 4);
    }
  }

  // The length of the dot form that ends right before `end`, or 0.
  std::size_t dotFormEndingAt(std::size_t end) const noexcept {
    const unsigned char closer = m_text[end - 1];
    const unsigned char opener = closer == ')' ? '(' : '[';
    if (end >= kShortDotForm && m_text[end - kShortDotForm] == opener &&
        equalsLower(m_text + end - kShortDotForm + 1, "dot")) {
      return kShortDotForm;
    }
    if (end >= kLongDotForm && m_text[end - kLongDotForm] == opener &&
        equalsLower(m_text + end - kLongDotForm + 1, "punkt")) {
      return kLongDotForm;
    }
    return 0;
  }

  // The length of the dot form that starts at `begin`, or 0.
  std::size_t dotFormStartingAt(std::size_t begin) const noexcept {
    const unsigned char closer = closerOf(m_text[begin]);
    if (begin + kShortDotForm <= m_size && m_text[begin + kShortDotForm - 1] == closer &&
        equalsLower(m_text + begin + 1, "dot")) {
      return kShortDotForm;
    }
    if (begin + kLongDotForm <= m_size && m_text[begin + kLongDotForm - 1] == closer &&
        equalsLower(m_text + begin + 1, "punkt")) {
      return kLongDotForm;
    }
    return 0;
  }

  // Where the left part begins: the longest run of left-class characters and
  // dot forms that ends at `end`.
  std::size_t leftStart(std::size_t end) const noexcept {
    std::size_t j = end;
    while (j > 0) {
      const unsigned char b = m_text[j - 1];
      if (kClassOf[b] & detail::kLeft) {
        --j;
      } else if (b == ')' || b == ']') {
        const std::size_t form = dotFormEndingAt(j);
        if (form == 0) break;
        j -= form;
      } else {
        break;
      }
    }
    return j;
  }

  // Appends the normalised text of [begin, end) to m_entry; the range holds
  // only class characters and whole dot forms.
  void appendLeft(std::size_t begin, std::size_t end) {
    // Each byte gives at most one: room first, then plain stores.
    const std::size_t before = m_entry.size();
    m_entry.resize(before + (end - begin));
    char* out = m_entry.data() + before;
    for (std::size_t k = begin; k < end;) {
      const unsigned char b = m_text[k];
      if (b == '(' || b == '[') {
        *out++ = '.';
        k += (m_text[k + 1] | 0x20) == 'd' ? kShortDotForm : kLongDotForm;
      } else {
        *out++ = static_cast<char>(kLowerOf[b]);
        ++k;
      }
    }
    m_entry.resize(static_cast<std::size_t>(out - m_entry.data()));
  }

  // Grows the right part from `begin` into m_right (lower-case Windows-1252).
  void growRight(std::size_t begin) {
    // First where the part ends, then its text: each byte gives at most one.
    std::size_t end = begin;
    while (end < m_size) {
      const unsigned char b = m_text[end];
      if (kClassOf[b] & detail::kRight) {
        ++end;
      } else if (b == '(' || b == '[') {
        const std::size_t form = dotFormStartingAt(end);
        if (form == 0) break;
        end += form;
      } else {
        break;
      }
    }
    m_right.resize(end - begin);
    char* out = m_right.data();
    for (std::size_t k = begin; k < end;) {
      const unsigned char b = m_text[k];
      if (kClassOf[b] & detail::kRight) {
        *out++ = static_cast<char>(kLowerOf[b]);
        ++k;
      } else {
        *out++ = '.';
        k += dotFormStartingAt(k);
      }
    }
    m_right.resize(static_cast<std::size_t>(out - m_right.data()));
  }

  // Appends right-part text to m_entry as UTF-8; only ä, ö and ü need two bytes.
  void appendRight(std::string_view part) {
    const std::size_t before = m_entry.size();
    m_entry.resize(before + 2 * part.size());
    char* out = m_entry.data() + before;
    for (const char ch : part) {
      const auto b = static_cast<unsigned char>(ch);
      if (b < 0x80) {
        *out++ = ch;
      } else {
        *out++ = static_cast<char>(0xC0 | (b >> 6));
        *out++ = static_cast<char>(0x80 | (b & 0x3F));
      }
    }
    m_entry.resize(static_cast<std::size_t>(out - m_entry.data()));
  }

  void hit(std::size_t leftEnd, std::size_t rightBegin) {
    // An empty left part drops the hit whatever the right part holds, and
    // an empty right part has no top-level domain, which drops it too.
    const std::size_t leftBegin = leftStart(leftEnd);
    if (leftBegin == leftEnd) return;
    growRight(rightBegin);
    if (m_right.empty()) return;

    const std::string_view right(m_right);
    m_entry.clear();
    appendLeft(leftBegin, leftEnd);
    m_entry.push_back('@');

    const std::size_t firstDot = right.find('.');
    const std::size_t lastDot = right.rfind('.');
    std::size_t tldLength = 0;
    if (firstDot != std::string_view::npos) {
      const std::size_t lastLabel = lastDot + 1;
      while (lastLabel + tldLength < right.size() && (kClassOf[static_cast<unsigned char>(right[lastLabel + tldLength])] & detail::kTld)) {
        ++tldLength;
      }
    }
    if (tldLength == 0 || !detail::isTldLower(right.substr(lastDot + 1, tldLength))) {
      appendRight(right);
      m_reply = m_sink.addEntry(TargetList::List2, m_entry);
      return;
    }

    const std::size_t secondDot = right.find('.', firstDot + 1);
    const std::size_t secondLabelEnd = secondDot == std::string_view::npos ? right.size() : secondDot;
    if (firstDot < 2 || secondLabelEnd - (firstDot + 1) < 2) return;

    if (firstDot == lastDot) {
      appendRight(right.substr(0, firstDot + 1 + tldLength));
    } else {
      // Every non-empty label, whole, joined by single dots.
      bool first = true;
      std::size_t labelBegin = 0;
      while (labelBegin <= right.size()) {
        std::size_t labelEnd = right.find('.', labelBegin);
        if (labelEnd == std::string_view::npos) labelEnd = right.size();
        if (labelEnd > labelBegin) {
          if (!first) m_entry.push_back('.');
          appendRight(right.substr(labelBegin, labelEnd - labelBegin));
          first = false;
        }
        labelBegin = labelEnd + 1;
      }
    }
    m_reply = m_sink.addEntry(TargetList::List1, m_entry);
  }

  const unsigned char* m_text;
  std::size_t m_size;
  EntrySink& m_sink;
  SinkReply m_reply = SinkReply::Continue;  // the sink's answer to the last entry
  std::size_t m_blankAtEnd = 0;  // end of the last " at " taken as "@"
  std::string m_right;           // the right part of the current hit
  std::string m_entry;           // the entry being built, UTF-8
};

}  // namespace

SinkReply extractAddresses(std::string_view scanText, EntrySink& sink) { return Scanner(scanText, sink).run(); }

}  // namespace mailsift
