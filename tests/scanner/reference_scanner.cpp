// The oracle scanner: every step done literally, one after the other.
#include "scanner/reference_scanner.h"

#include <algorithm>
#include <memory>
#include <set>

#include "scanner/top_level_domains.h"

namespace mailsift::test {
namespace {

unsigned char lowerOne(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<unsigned char>(c + 16);
  if (c == 0x9F) return 0xFF;
  return c;
}

bool inClass(std::string_view members, char c) { return members.find(c) != std::string_view::npos; }

const std::string_view kLeftClass = "abcdefghijklmnopqrstuvwxyz0123456789-_.";
const std::string_view kLeftClassWithPlus = "abcdefghijklmnopqrstuvwxyz0123456789-_.+";
const std::string_view kRightClass = "abcdefghijklmnopqrstuvwxyz0123456789-\xFC\xF6\xE4.";
const std::string_view kTldClass = "abcdefghijklmnopqrstuvwxyz";

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
  std::string out;
  std::size_t start = 0;
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, start)) {
    out.append(text, start, at - start);
    out.append(to);
    start = at + from.size();
  }
  out.append(text, start);
  text = out;
}

// Every form of extended rules with what it stands for. Those between blanks
// come first; where one of them starts, no bracketed one does.
const std::vector<std::pair<std::string_view, char>> kExtendedForms = {
    {" at ", '@'},      {" (at) ", '@'},    {" [at] ", '@'},  {" <at> ", '@'},  {" {at} ", '@'},  {" -at- ", '@'},
    {" dot ", '.'},     {" (dot) ", '.'},   {" [dot] ", '.'}, {" <dot> ", '.'}, {" {dot} ", '.'}, {" -dot- ", '.'},
    {" (punkt) ", '.'}, {" [punkt] ", '.'}, {"(at)", '@'},    {"[at]", '@'},    {"<at>", '@'},    {"{at}", '@'},
    {"(dot)", '.'},     {"[dot]", '.'},     {"<dot>", '.'},   {"{dot}", '.'},   {"(punkt)", '.'}, {"[punkt]", '.'},
};

// One pass from left to right: at each place the form that starts there, if
// any, is replaced and the pass goes on after it.
std::string replaceFormsLeftToRight(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    bool replaced = false;
    for (const auto& [form, replacement] : kExtendedForms) {
      if (text.compare(i, form.size(), form) == 0) {
        out.push_back(replacement);
        i += form.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out.push_back(text[i++]);
  }
  return out;
}

bool isKnownTld(const std::string& tld, bool current) {
  static const std::set<std::string> fixed = [] {
    std::set<std::string> names;
    for (const std::string_view name : kTopLevelDomains) {
      std::string lower(name);
      for (char& c : lower) c = static_cast<char>(c + ('a' - 'A'));
      names.insert(lower);
    }
    return names;
  }();
  static const std::set<std::string> all = [] {
    std::set<std::string> names = fixed;
    for (const std::string_view name : currentTopLevelDomains()) names.emplace(name);
    return names;
  }();
  return (current ? all : fixed).count(tld) == 1;
}

std::string toUtf8(std::string_view cp1252) {
  std::string out;
  for (const char ch : cp1252) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out.push_back(ch);
    } else {  // entries hold only ä, ö and ü beyond ASCII, all in Latin-1
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::vector<std::string> splitLabels(const std::string& right) {
  std::vector<std::string> labels(1);
  for (const char c : right) {
    if (c == '.') {
      labels.emplace_back();
    } else {
      labels.back().push_back(c);
    }
  }
  return labels;
}

}  // namespace

ReferenceRules referenceRulesOf(ScanRules rules) {
  const bool extended = rules == ScanRules::Extended;
  return {extended, extended, extended, extended, extended};
}

std::vector<Entry> referenceExtract(std::string_view input, const ReferenceRules& rules) {
  std::string text(input);
  for (char& c : text) c = static_cast<char>(lowerOne(static_cast<unsigned char>(c)));
  if (rules.moreForms) {
    text = replaceFormsLeftToRight(text);
  } else {
    replaceAll(text, "(at)", "@");
    replaceAll(text, "[at]", "@");
    replaceAll(text, " at ", "@");
    replaceAll(text, "(dot)", ".");
    replaceAll(text, "[dot]", ".");
    replaceAll(text, "(punkt)", ".");
    replaceAll(text, "[punkt]", ".");
  }
  const std::string_view leftClass = rules.plusInLocalPart ? kLeftClassWithPlus : kLeftClass;

  std::vector<Entry> entries;
  const std::size_t length = text.size();
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] != '@') continue;
    std::string left;
    for (std::size_t j = i; j > 0 && inClass(leftClass, text[j - 1]); --j) left.insert(left.begin(), text[j - 1]);
    std::string right;
    for (std::size_t j = i + 1; j < length && inClass(kRightClass, text[j]); ++j) right.push_back(text[j]);
    if (rules.fullStopEndsSentence && !right.empty() && right.back() == '.') right.pop_back();

    const std::vector<std::string> labels = splitLabels(right);
    std::string tld;
    if (labels.size() > 1) {
      for (const char c : labels.back()) {
        if (!inClass(kTldClass, c)) break;
        tld.push_back(c);
      }
    }

    if (tld.empty() || !isKnownTld(tld, rules.currentTlds)) {
      if (!left.empty() && !right.empty()) entries.emplace_back(TargetList::List2, toUtf8(left + "@" + right));
      continue;
    }
    const bool longLabels = labels[0].size() >= 2 && labels[1].size() >= 2;
    const bool shortLowerLabels =
        rules.shortLowerLabels && labels.size() >= 3 && !labels[0].empty() && labels[labels.size() - 2].size() >= 2;
    if (left.empty() || !(longLabels || shortLowerLabels)) continue;
    std::string domain;
    if (labels.size() == 2) {
      domain = labels[0] + "." + tld;
    } else {
      for (const std::string& label : labels) {
        if (!label.empty()) domain += label + ".";
      }
      domain.pop_back();
    }
    entries.emplace_back(TargetList::List1, toUtf8(left + "@" + domain));
  }
  return entries;
}

std::vector<Entry> fastExtract(std::string_view text, ScanRules rules) {
  // An exact-size copy, so that AddressSanitizer sees a read past either end.
  const std::unique_ptr<char[]> copy(new char[text.size()]);
  std::copy(text.begin(), text.end(), copy.get());
  std::vector<Entry> entries;
  extractAddresses(
      std::string_view(copy.get(), text.size()),
      [&](TargetList target, std::string_view entry) { entries.emplace_back(target, entry); }, rules);
  return entries;
}

}  // namespace mailsift::test
