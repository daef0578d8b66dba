// The command line as users of grep and ripgrep type it: long options with
// "=VALUE" or the value in the next word, short letters that may be grouped
// ("-q0", "-j4"), "--" to end the options and "-" for standard input. Each
// command describes its options in a table; the parser adds -h/--help and
// -V/--version to every table.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mailsift::cli {

// Reads one option's value (empty for an option without one) into the
// command's settings; returns false when the value is wrong, after printing
// why.
using OptionHandler = std::function<bool(std::string_view value)>;

// The handler of an option without a value that turns `field` on.
inline OptionHandler setFlag(bool& field) {
  return [&field](std::string_view) {
    field = true;
    return true;
  };
}

struct Option {
  std::string_view longName;  // without the leading "--"
  char shortName = '\0';      // '\0' when the option has no short form
  bool takesValue = false;
  OptionHandler handle;
};

class OptionParser {
 public:
  // `command` names the command in messages ("mailsift scan"); `help` is
  // printed for -h or --help. The table and the help text must outlive the
  // parser.
  OptionParser(std::string_view command, std::string_view help, std::span<const Option> options);

  // Goes through `args` in order, handing each option to its handler and
  // collecting the other words in `operands`. Options and operands may be
  // mixed, except that with `stopAtOperand` the first operand and all words
  // after it are operands. Returns the exit status to end with when the
  // command should not go on: 0 after the help or the version was printed,
  // 2 after a wrong option or value (the message printed); std::nullopt to
  // go on.
  std::optional<int> parse(std::span<const std::string_view> args, std::vector<std::string>& operands,
                           bool stopAtOperand = false) const;

 private:
  const Option* findLong(std::string_view name) const;
  const Option* findShort(char letter) const;
  std::optional<int> handle(const Option& option, std::string_view value) const;
  std::optional<int> parseLong(std::string_view arg, std::span<const std::string_view> args, std::size_t& i) const;
  std::optional<int> parseShort(std::string_view arg, std::span<const std::string_view> args, std::size_t& i) const;
  int unknownOption(std::string_view shown, std::string_view typed) const;

  std::string_view m_command;
  std::string_view m_help;
  std::span<const Option> m_options;
};

// The name among `names` closest to `typed` for a "Did you mean" hint, the
// case of letters ignored: the first at the smallest edit distance
// (insertions, deletions, substitutions and swaps of neighbours each count
// one) when that is at most 2 and less than the length of `typed`, else the
// only one that starts with `typed`; empty when there is none.
std::string_view closestName(std::string_view typed, std::span<const std::string_view> names);

// Prints the version on its first line ("mailsift VERSION", as scripts read
// it) and where the current top-level domains come from. Returns 0.
int printVersion();

}  // namespace mailsift::cli
