// The table-driven parser of the command line.
#include "cli/option_parser.h"

#include <algorithm>
#include <cstdio>

#include "app/display_text.h"
#include "cli/option_values.h"
#include "cli/output.h"
#include "mailsift/version.h"
#include "scanner/top_level_domains.h"

namespace mailsift::cli {
namespace {

const Option kHelpOption{"help", 'h', false, {}};
const Option kVersionOption{"version", 'V', false, {}};

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// The optimal string alignment distance, letter case ignored. Names are
// short; a long word is not compared at all.
std::size_t editDistance(std::string_view a, std::string_view b) {
  constexpr std::size_t kLongest = 64;
  if (a.size() > kLongest || b.size() > kLongest) return kLongest;
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) && lower(a[i - 2]) == lower(b[j - 1])) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

std::string_view closestName(std::string_view typed, std::span<const std::string_view> names) {
  constexpr std::size_t kFarthest = 2;
  std::string_view best;
  std::size_t bestDistance = kFarthest + 1;
  for (const std::string_view name : names) {
    const std::size_t distance = editDistance(typed, name);
    // A match keeps at least one typed letter: "xy" is two edits from any
    // name of two letters.
    if (distance < bestDistance && distance < typed.size()) {
      best = name;
      bestDistance = distance;
    }
  }
  if (!best.empty() || typed.empty()) return best;
  std::string_view only;
  for (const std::string_view name : names) {
    if (!startsWithNoCase(name, typed)) continue;
    if (!only.empty()) return {};
    only = name;
  }
  return only;
}

int printVersion() {
  const std::string_view source = currentTopLevelDomainsSource();
  std::printf("mailsift %s\n", MAILSIFT_VERSION);
  std::printf("top-level domains of --rules=extended: %zu, from %.*s\n", currentTopLevelDomains().size(),
              static_cast<int>(source.size()), source.data());
  return 0;
}

OptionParser::OptionParser(std::string_view command, std::string_view help, std::span<const Option> options)
    : m_command(command), m_help(help), m_options(options) {}

const Option* OptionParser::findLong(std::string_view name) const {
  if (name == kHelpOption.longName) return &kHelpOption;
  if (name == kVersionOption.longName) return &kVersionOption;
  const auto found = std::ranges::find(m_options, name, &Option::longName);
  return found == m_options.end() ? nullptr : &*found;
}

const Option* OptionParser::findShort(char letter) const {
  if (letter == kHelpOption.shortName) return &kHelpOption;
  if (letter == kVersionOption.shortName) return &kVersionOption;
  const auto found = std::ranges::find(m_options, letter, &Option::shortName);
  return found == m_options.end() ? nullptr : &*found;
}

std::optional<int> OptionParser::handle(const Option& option, std::string_view value) const {
  if (&option == &kHelpOption) {
    std::fwrite(m_help.data(), 1, m_help.size(), stdout);
    return 0;
  }
  if (&option == &kVersionOption) return printVersion();
  if (!option.handle(value)) return 2;
  return std::nullopt;
}

int OptionParser::unknownOption(std::string_view shown, std::string_view typed) const {
  std::vector<std::string_view> names = {kHelpOption.longName, kVersionOption.longName};
  for (const Option& option : m_options) names.push_back(option.longName);
  std::string message = "unknown option '" + escapeControls(shown) + "'";
  if (const std::string_view closest = closestName(typed, names); !closest.empty()) {
    message += "\nDid you mean '--" + std::string(closest) + "'?";
  }
  printError(message + "\nTry '" + std::string(m_command) + " --help'.");
  return 2;
}

// "--name", "--name=value" or "--name value".
std::optional<int> OptionParser::parseLong(std::string_view arg, std::span<const std::string_view> args,
                                           std::size_t& i) const {
  const std::size_t equals = arg.find('=');
  const std::string_view name = arg.substr(2, equals == std::string_view::npos ? std::string_view::npos : equals - 2);
  const Option* option = findLong(name);
  if (option == nullptr) return unknownOption(arg.substr(0, name.size() + 2), name);
  if (!option->takesValue) {
    if (equals == std::string_view::npos) return handle(*option, {});
    printError("option '--" + std::string(name) + "' takes no value\nTry '" + std::string(m_command) + " --help'.");
    return 2;
  }
  if (equals != std::string_view::npos) return handle(*option, arg.substr(equals + 1));
  if (i + 1 == args.size()) {
    printError("option '--" + std::string(name) + "' needs a value\nTry '" + std::string(m_command) + " --help'.");
    return 2;
  }
  return handle(*option, args[++i]);
}

// "-abc": letters without values, the last of which may take one, in the
// rest of the word ("-j4") or in the next word ("-j 4").
std::optional<int> OptionParser::parseShort(std::string_view arg, std::span<const std::string_view> args,
                                            std::size_t& i) const {
  for (std::size_t at = 1; at < arg.size(); ++at) {
    const Option* option = findShort(arg[at]);
    if (option == nullptr) {
      // "-verbose" for "--verbose" is a likelier slip than an unknown letter.
      return unknownOption("-" + std::string(1, arg[at]), arg.size() > 3 ? arg.substr(1) : std::string_view());
    }
    if (option->takesValue) {
      if (at + 1 < arg.size()) return handle(*option, arg.substr(at + 1));
      if (i + 1 == args.size()) {
        printError("option '-" + std::string(1, arg[at]) + "' needs a value\nTry '" + std::string(m_command) +
                   " --help'.");
        return 2;
      }
      return handle(*option, args[++i]);
    }
    if (const std::optional<int> status = handle(*option, {})) return status;
  }
  return std::nullopt;
}

std::optional<int> OptionParser::parse(std::span<const std::string_view> args, std::vector<std::string>& operands,
                                       bool stopAtOperand) const {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--") {
      operands.insert(operands.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    }
    if (arg == "-" || !arg.starts_with("-")) {
      if (stopAtOperand) {
        operands.insert(operands.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
        break;
      }
      operands.emplace_back(arg);
      continue;
    }
    const std::optional<int> status = arg.starts_with("--") ? parseLong(arg, args, i) : parseShort(arg, args, i);
    if (status) return status;
  }
  return std::nullopt;
}

}  // namespace mailsift::cli
