// Entry point of the `mailsift` command-line tool: picks the subcommand.
#include <cstdio>
#include <exception>
#include <new>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/output.h"
#include "mailsift/version.h"
#include "scanner/top_level_domains.h"

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
    "\n"
    "Both commands read addresses by the specified rules, or with\n"
    "--rules=extended by wider ones (\"+\" in the local part, more spelled-out\n"
    "forms, the current top-level domains); see 'mailsift extract --help'.\n"
    "\n"
    "Run 'mailsift COMMAND --help' for the options of a command.\n"
    "Options: --help, --version (the version, and where the current\n"
    "top-level domains come from)\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace mailsift::cli;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(kUsage.data(), stderr);
    return 2;
  }
  const std::string_view command = args.front();
  const std::span<const std::string_view> rest(args.data() + 1, args.size() - 1);
  try {
    if (command == "extract") return runExtract(rest);
    if (command == "scan") return runScan(rest);
  } catch (const std::bad_alloc&) {
    printError("out of memory");
    return 2;
  }
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage.data(), stdout);
    return 0;
  }
  if (command == "--version") {
    // The first line is the program's version alone, as scripts read it.
    const std::string_view source = mailsift::currentTopLevelDomainsSource();
    std::printf("mailsift %s\n", MAILSIFT_VERSION);
    std::printf("top-level domains of --rules=extended: %zu, from %.*s\n", mailsift::currentTopLevelDomains().size(),
                static_cast<int>(source.size()), source.data());
    return 0;
  }
  printError("unknown command '" + std::string(command) + "'\nTry 'mailsift --help'.");
  return 2;
}
