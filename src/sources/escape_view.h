// Text with its escapes undone: character references ("&#64;", "&commat;"),
// URL escapes of the characters of an address ("%40", "%2E") and the troff
// escapes of manual pages ("\-", "\&", "\(at"). For the view beside a text
// as it is stored.
#pragma once

#include <string>
#include <string_view>

namespace mailsift {

// True when the first bytes of a text hold an escape worth undoing.
bool holdsEscapes(std::string_view head) noexcept;

// Undoes escapes in a Windows-1252 text arriving in pieces; an escape split
// between pieces is undone whole. Characters a reference names that
// Windows-1252 lacks become `replacement`. Not thread-safe; one per text.
class EscapeDecoder {
 public:
  explicit EscapeDecoder(char replacement) noexcept : m_replacement(replacement) {}

  // Appends `piece` with its escapes undone to `out`.
  void decode(std::string_view piece, std::string& out);
  // Appends what an unfinished escape at the end of the text stands for:
  // itself.
  void finish(std::string& out);

 private:
  // Undoes the escape at the start of `text`; returns the bytes it took, 0
  // when `text` may be an escape cut short, or 1 with the byte copied.
  std::size_t undo(std::string_view text, bool atEnd, std::string& out) const;

  char m_replacement;
  std::string m_pending;  // an escape that may continue in the next piece
};

}  // namespace mailsift
