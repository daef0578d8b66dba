// The parts of a mail header the mail reader needs: fields unfolded, the
// values of Content-Type and Content-Disposition with their parameters, and
// the encoded words of RFC 2047. Helpers of mail_reader.cpp.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace mailsift::detail {

// Calls `onField` with the name and the unfolded value (line breaks before
// blanks removed, blanks around it trimmed) of every field of `block`, a
// header block without its closing blank line, in order. Lines that are
// neither a field nor the continuation of one are passed over.
void forEachHeaderField(std::string_view block,
                        const std::function<void(std::string_view name, std::string_view value)>& onField);

// The text of the header field value `text` with its RFC 2047 encoded words
// ("=?charset?B?...?=", "=?charset?Q?...?=") decoded, in UTF-8. Blanks
// between two encoded words go; the bytes of neighbouring words in one
// charset are joined before they are converted, so a character split
// between them stays whole. Text outside the words is read as UTF-8.
std::string decodeEncodedWords(std::string_view text);

// True when `text` holds something that looks like an encoded word.
bool hasEncodedWord(std::string_view text) noexcept;

// A structured field value such as "text/plain; charset=utf-8": the value
// before the first ";" in lower case, and the parameters after it, names in
// lower case. Quoted values are unquoted; RFC 2231 values (name*=, name*0*=,
// name*1*= ...) are joined, percent-decoded and converted to UTF-8, and come
// before a plain parameter of the same name.
struct StructuredValue {
  struct Parameter {
    std::string name;
    std::string value;
  };
  std::string value;
  std::vector<Parameter> parameters;

  // The value of the first parameter named `name` (lower case), or "".
  std::string_view parameter(std::string_view name) const noexcept;
};

StructuredValue parseStructuredValue(std::string_view text);

// True when `a` and `b` are equal ignoring ASCII case.
bool equalsIgnoringCase(std::string_view a, std::string_view b) noexcept;

}  // namespace mailsift::detail
