// Entry point of the `mailsift` command-line tool: picks the subcommand.
#include <array>
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "app/display_text.h"
#include "cli/commands.h"
#include "cli/option_parser.h"
#include "cli/output.h"
#include "platform/command_line.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: mailsift COMMAND [OPTIONS] [ARGS...]\n"
    "\n"
    "Finds e-mail addresses in files, folder trees and web pages.\n"
    "\n"
    "Commands:\n"
    "  scan      scan files, folders and web pages into the two result lists,\n"
    "            then print them or export the recognised addresses\n"
    "  extract   print every address and candidate in text order, unsorted\n"
    "  help      show this help, or with a COMMAND that command's help\n"
    "\n"
    "Both commands read addresses by the specified rules, or with\n"
    "--rules=extended by wider ones (\"+\" in the local part, more spelled-out\n"
    "forms, the current top-level domains); see 'mailsift extract --help'.\n"
    "\n"
    "Run 'mailsift COMMAND --help' for the options of a command.\n"
    "Options: -h, --help; -V, --version (the version, and where the current\n"
    "top-level domains come from)\n";

constexpr std::array<std::string_view, 3> kCommands = {"scan", "extract", "help"};

int unknownCommand(std::string_view command) {
  using namespace mailsift::cli;
  std::string message = "unknown command '" + mailsift::escapeControls(command) + "'";
  if (const std::string_view closest = closestName(command, kCommands); !closest.empty()) {
    message += "\nDid you mean '" + std::string(closest) + "'?";
  }
  printError(message + "\nTry 'mailsift --help'.");
  return 2;
}

int run(std::span<const std::string_view> args) {
  using namespace mailsift::cli;
  // Options before the command: only help and version.
  std::vector<std::string> words;
  if (const std::optional<int> status = OptionParser("mailsift", kUsage, {}).parse(args, words, true)) {
    return *status;
  }
  if (words.empty()) {
    std::fputs(kUsage.data(), stderr);
    return 2;
  }
  const std::vector<std::string_view> rest(words.begin() + 1, words.end());
  const std::string_view command = words.front();
  if (command == "extract") return runExtract(rest);
  if (command == "scan") return runScan(rest);
  if (command == "help") {
    if (rest.empty() || rest.front() == "help") {
      std::fputs(kUsage.data(), stdout);
      return 0;
    }
    constexpr std::string_view kHelpOption[] = {"--help"};
    if (rest.front() == "extract") return runExtract(kHelpOption);
    if (rest.front() == "scan") return runScan(kHelpOption);
    return unknownCommand(rest.front());
  }
  return unknownCommand(command);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    mailsift::platform::prepareStandardStreams();
    const std::vector<std::string> arguments = mailsift::platform::commandArguments(argc, argv);
    const std::vector<std::string_view> args(arguments.begin(), arguments.end());
    return run(args);
  } catch (const std::bad_alloc&) {
    mailsift::cli::printError("out of memory");
    return 2;
  }
}
