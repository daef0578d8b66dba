// `--format=jsonl` end to end: every object read back by Python's json
// module, the entries against the lines format, the offsets against the
// text they point into, and a scan's origins and summary.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "archive_writer.h"
#include "support/process.h"
#include "support/temp_folder.h"

namespace mailsift {
namespace {

using test::runProcess;
using test::TempFolder;

// Reads lines of JSON and writes each object back as fields: whether the
// line is exactly what json.dumps makes of the object (no spaces, keys in
// the same order), its keys, then its values, "source_bytes" decoded.
constexpr const char* kReadBack = R"(
import sys, json, base64
for line in sys.stdin.buffer.read().split(b'\n'):
    if not line: continue
    o = json.loads(line)
    same = json.dumps(o, separators=(',', ':'), ensure_ascii=False).encode() == line
    values = [base64.b64decode(v) if k == 'source_bytes' else str(v).encode() for k, v in o.items()]
    sys.stdout.buffer.write(b'\x1f'.join([b'C' if same else b'N', ','.join(o).encode()] + values) + b'\x1e')
)";

struct JsonObject {
  bool canonical = false;
  std::string keys;
  std::map<std::string, std::string> values;
  std::string operator[](const std::string& key) const { return values.contains(key) ? values.at(key) : ""; }
};

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(separator, from)) != std::string::npos; from = at + 1) {
    parts.push_back(text.substr(from, at - from));
  }
  if (from < text.size()) parts.push_back(text.substr(from));
  return parts;
}

std::vector<JsonObject> readBack(const std::string& jsonl) {
  const test::ProcessResult parsed = runProcess("/usr/bin/env", {"python3", "-c", kReadBack}, jsonl);
  EXPECT_EQ(parsed.exitCode, 0) << parsed.err;
  std::vector<JsonObject> objects;
  for (const std::string& record : split(parsed.out, '\x1e')) {
    const std::vector<std::string> fields = split(record + '\x1f', '\x1f');
    JsonObject& object = objects.emplace_back();
    object.canonical = fields.at(0) == "C";
    object.keys = fields.at(1);
    const std::vector<std::string> keys = split(object.keys, ',');
    for (std::size_t i = 0; i < keys.size(); ++i) object.values[keys[i]] = i + 2 < fields.size() ? fields[i + 2] : "";
  }
  return objects;
}

test::ProcessResult run(std::vector<std::string> args, const std::string& input = "") {
  return runProcess(MAILSIFT_BINARY, args, input);
}

// Windows-1252 text with every kind of stretch: an entry as it is, the
// spelled-out forms around and inside it, one that starts with a dot form,
// and a wide letter right of the "@".
const std::string kText =
    "Hello Zed@Example.com, john(at)example(dot)com; (dot)lead@x.de mary at example.org\n"
    "amy@b\xDC"
    "ro.de x@y.test first.last[at]sub[dot]example[punkt]org a+tag@plus.com\n";

bool isLeftClass(char c, bool extended) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-' || (extended && c == '+');
}

// Whether the stretch an entry was read from starts at `offset` of `text`:
// the local part or a dot form is there, and no byte of a local part is
// right before it.
bool startsStretch(const std::string& text, std::size_t offset, const std::string& entry, bool extended) {
  if (offset >= text.size() || (offset > 0 && isLeftClass(text[offset - 1], extended))) return false;
  std::string rest = text.substr(offset, 64);
  for (char& c : rest) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (rest.starts_with(entry.substr(0, entry.find('@')))) return true;
  for (const char* form : {"(dot)", "[dot]", "(punkt)", "[punkt]", " dot "}) {
    if (rest.starts_with(form)) return true;
  }
  return false;
}

std::string utf16le(const std::string& latin1) {
  std::string out = "\xFF\xFE";
  for (const char c : latin1) out += {c, '\0'};
  return out;
}

TEST(JsonOutput, EntryObjectsAreTheLinesWithOffsetsIntoTheirViews) {
  TempFolder folder;
  const auto layout = [](std::string_view label) {
    for (const test::Layout& each : test::allLayouts()) {
      if (each.label == label) return each;
    }
    throw std::runtime_error("no layout");
  };
  std::string big;
  while (big.size() < (std::size_t{17} << 20)) big += kText + std::string(1000, 'q') + "\n";
  const std::string escaped = "contact: joe&#64;example.net, ann@example.com\n";
  // A file and the views its entries must come from, each with the text it
  // shows where the test knows it.
  struct Case {
    std::string name;
    std::string content;
    std::map<std::string, std::string> views;
  };
  const std::vector<Case> corpus = {
      {"plain.txt", kText, {{"", kText}}},
      {"text.gz", test::writeContainer(layout("gzip"), {{"", kText}}), {{"gzip", kText}}},
      {"a.tar", test::writeContainer(layout("ustar"), {{"docs/a.txt", kText}}), {{"tar member docs/a.txt", kText}}},
      {"a.tgz",
       test::writeContainer(layout("tar.gz"), {{"docs/a.txt", kText}}),
       {{"gzip, tar member docs/a.txt", kText}}},
      {"a.zip",
       test::writeContainer(
           layout("zip"),
           {{"notes/a, b.txt", kText}, {"word/document.xml", "<w:document><w:t>ann@example.com</w:t></w:document>"}}),
       {{"zip member notes/a, b.txt", kText}, {"zip member word/document.xml, markup text", ""}}},
      {"u16.txt", utf16le(kText), {{"utf-16le", kText}}},
      {"escaped.txt", escaped, {{"", escaped}, {"escapes", "contact: joe@example.net, ann@example.com\n"}}},
      {"big.txt", big, {{"", big}}},  // in pieces on several threads
  };
  for (const bool extended : {false, true}) {
    const std::string rules = extended ? "--rules=extended" : "--rules=specified";
    for (const Case& each : corpus) {
      if (extended && each.name == "big.txt") continue;  // pieces are cut alike under both rules
      SCOPED_TRACE(each.name + " " + rules);
      const std::string file = folder.write(each.name, each.content);
      const test::ProcessResult lines = run({"extract", rules, "--jobs=3", file});
      const test::ProcessResult json = run({"extract", rules, "--jobs=3", "--format=jsonl", file});
      ASSERT_EQ(json.exitCode, 0) << json.err;
      const std::vector<std::string> expected = split(lines.out, '\n');
      const std::vector<JsonObject> objects = readBack(json.out);
      ASSERT_EQ(objects.size(), expected.size());
      std::map<std::string, int> seen;
      for (std::size_t i = 0; i < objects.size(); ++i) {
        const JsonObject& object = objects[i];
        EXPECT_TRUE(object.canonical) << i;
        EXPECT_EQ(object["type"], "entry");
        EXPECT_EQ(object["list"] + "\t" + object["entry"], expected[i]) << i;
        EXPECT_EQ(object["source"], file);
        const std::string view = object["decoded"];
        EXPECT_EQ(object.keys,
                  view.empty() ? "type,entry,list,source,offset" : "type,entry,list,source,offset,decoded");
        ASSERT_TRUE(each.views.contains(view)) << "unexpected view '" << view << "' of " << expected[i];
        ++seen[view];
        const std::string& shown = each.views.at(view);
        if (shown.empty()) continue;
        // The entries' texts are UTF-8; the text shown is Windows-1252.
        EXPECT_TRUE(startsStretch(shown, std::stoull(object["offset"]), object["entry"], extended))
            << expected[i] << " at " << object["offset"] << " in view '" << view << "'";
      }
      EXPECT_EQ(seen.size(), each.views.size()) << "every view gives entries";
    }
  }
}

TEST(JsonOutput, NamesAndEntriesOfAnyBytesComeBackWhole) {
  TempFolder folder;
  const std::string content = "ann@b\xDCro.de\n";
  const std::vector<std::string> names = {"q\"uote\\back\tslash.txt", "ctl\x1b[31m\nline\x01.txt",
                                          "bad\xFF\xC0name.txt", "m\xC3\xBCnchen.txt"};
  std::vector<std::string> args = {"extract", "--format=jsonl"};
  for (const std::string& name : names) args.push_back(folder.write(name, content));
  args.push_back("-");
  const std::string member = "we\"ird\\\n\x01/na\xFFme.txt";
  args.push_back(folder.write("t.tar", test::writeContainer(test::allLayouts()[6], {{member, content}})));
  const test::ProcessResult json = run(args, content);
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const std::vector<JsonObject> objects = readBack(json.out);
  ASSERT_EQ(objects.size(), names.size() + 2);
  for (std::size_t i = 0; i < objects.size(); ++i) {
    const JsonObject& object = objects[i];
    EXPECT_TRUE(object.canonical) << i;
    EXPECT_EQ(object["entry"], "ann@b\xC3\xBCro.de");
    const std::string& path = args[i + 2];
    if (i == 2) {  // not UTF-8: shown with U+FFFD, and whole in "source_bytes"
      EXPECT_EQ(object.keys, "type,entry,list,source,source_bytes,offset");
      EXPECT_EQ(object["source_bytes"], path);
      EXPECT_EQ(object["source"], folder.file("bad\xEF\xBF\xBD\xEF\xBF\xBDname.txt"));
    } else {
      EXPECT_EQ(object["source"], path);
      EXPECT_FALSE(object.values.contains("source_bytes"));
    }
  }
  EXPECT_EQ(objects.back()["decoded"], "tar member we\"ird\\\n\x01/na\xEF\xBF\xBDme.txt");
}

TEST(JsonOutput, AScanGivesFirstOriginsAndTheCountersOfItsSummary) {
  TempFolder folder;
  const std::string first = folder.write("one.txt", "shared@example.com x@y.test\n");
  const std::string second = folder.write("two/2.txt", "zz@example.com shared@example.com x@y.test new@z.test\n");
  const std::string missing = folder.file("missing.txt");
  const std::vector<std::string> paths = {first, folder.file("two"), missing, first};
  std::vector<std::string> args = {"scan", "--list=both", "--format=jsonl"};
  args.insert(args.end(), paths.begin(), paths.end());
  const test::ProcessResult json = run(args);
  EXPECT_EQ(json.exitCode, 2);
  std::vector<std::string> lineArgs = {"scan", "--list=both"};
  lineArgs.insert(lineArgs.end(), paths.begin(), paths.end());
  const test::ProcessResult lines = run(lineArgs);
  EXPECT_EQ(json.err, lines.err) << "the counters line and messages are the same";

  const std::vector<JsonObject> objects = readBack(json.out);
  ASSERT_EQ(objects.size(), 5u);
  std::string listed;
  for (std::size_t i = 0; i + 1 < objects.size(); ++i) {
    listed +=
        objects[i]["list"] + " " + objects[i]["entry"] + " " + objects[i]["source"] + " " + objects[i]["offset"] + "\n";
  }
  EXPECT_EQ(listed, "found shared@example.com " + first + " 0\n" +   //
                        "found zz@example.com " + second + " 0\n" +  // a folder's file as walked
                        "unknown x@y.test " + first + " 19\n" +      //
                        "unknown new@z.test " + second + " 43\n");
  std::string entries;
  for (std::size_t i = 0; i + 1 < objects.size(); ++i) entries += objects[i]["entry"] + "\n";
  EXPECT_EQ(lines.out, "shared@example.com\nzz@example.com\n\nx@y.test\nnew@z.test\n");
  EXPECT_EQ(entries, "shared@example.com\nzz@example.com\nx@y.test\nnew@z.test\n");

  const JsonObject& summary = objects.back();
  EXPECT_EQ(summary.keys,
            "type,found,unknown,duplicate,duplicates_removed,unreadable_files,unlisted_folders,failed_sources,seconds");
  // "Found:2 Unknown:2 Duplicate 1": the last file gave shared@example.com again.
  EXPECT_NE(json.err.find("Found:" + summary["found"] + " Unknown:" + summary["unknown"] + " Duplicate " +
                          summary["duplicate"] + "\n"),
            std::string::npos)
      << json.err;
  EXPECT_EQ(summary["found"] + summary["unknown"] + summary["duplicate"], "221");
  EXPECT_EQ(summary["duplicates_removed"], "2");  // shared@example.com in the folder and in the last file
  EXPECT_EQ(summary["failed_sources"], "1");
  EXPECT_EQ(summary["unreadable_files"] + summary["unlisted_folders"], "00");
  EXPECT_GE(std::stod(summary["seconds"]), 0.0);

  // With an export, the summary object is all there is.
  const test::ProcessResult exported = run({"scan", "--format=JSONL", "--export=" + folder.file("out.csv"), first});
  EXPECT_EQ(exported.exitCode, 0) << exported.err;
  const std::vector<JsonObject> only = readBack(exported.out);
  ASSERT_EQ(only.size(), 1u);
  EXPECT_EQ(only[0]["type"] + only[0]["found"] + only[0]["duplicate"], "summary10");
  EXPECT_EQ(run({"scan", "--format=json", first}).exitCode, 2);
}

}  // namespace
}  // namespace mailsift
