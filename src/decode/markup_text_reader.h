// Markup read as text: the words of an HTML page, an XHTML chapter or an
// office document's XML parts, as a stream of UTF-8.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "decode/byte_reader.h"

namespace mailsift {

// Markup read as text, as it streams from `source`:
//   - Tags are dropped. Those that end a paragraph, a cell, a row, a list
//     item or a line (</w:p>, <w:br/>, </text:p>, <text:line-break/>, </si>,
//     <br>, </p>, </div>, </td>, </tr>, </li>, </h1> ...) give a line end,
//     tabs and <text:s/> a blank, all others nothing, so a word split into
//     several runs stays whole.
//   - The values of the attributes that hold links or readable text (href,
//     src, Target, action, content, title, alt, value, label, placeholder,
//     data-*) are kept, but never where the tag was: they come as a line of
//     their own after the next line end, so they cannot split a word.
//   - Character references and the named entities decodeCharacterReference
//     knows are undone; an unknown one stays as written.
//   - The content of comments and of <script> and <style> stays, verbatim,
//     as lines of their own: addresses are often left there. CDATA content
//     stays verbatim in its place. Processing instructions and declarations
//     are dropped.
// State is bounded: a tag longer than 8 KiB is read to its end but only its
// first 8 KiB are looked at, so it never grows without bound. The text is
// UTF-8 when the markup is (other bytes pass through unchanged). A failure of
// `source` comes after the text read before it. `source` is borrowed and must
// outlive the reader. Used by one thread at a time.
class MarkupTextReader final : public ByteReader {
 public:
  explicit MarkupTextReader(ByteReader& source);
  ~MarkupTextReader() override;
  MarkupTextReader(const MarkupTextReader&) = delete;
  MarkupTextReader& operator=(const MarkupTextReader&) = delete;
  [[nodiscard]] ReadOutcome read(char* buffer, std::size_t capacity) override;

 private:
  struct State;
  ByteReader& m_source;
  std::unique_ptr<State> m_state;
};

// True when a member's name or first bytes show markup worth reading as
// text: office XML parts and other .xml, .rels, .html, .htm, .xhtml, .xht,
// .svg, .opf, .ncx by name (any case); otherwise a head that starts, after a
// byte order mark and blanks, with "<?xml", "<!DOCTYPE html", "<html" or
// "<svg" (any case).
bool isMarkupMember(std::string_view name, std::string_view head) noexcept;

}  // namespace mailsift
