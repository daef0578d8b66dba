// The scan controller runs a scan on its own thread and publishes what the
// lists hold; the result must be that of the same scan run directly.
#include "app/scan_controller.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>

#include "results/entry_order.h"
#include "support/temp_folder.h"

namespace mailsift {
namespace {

using test::TempFolder;

std::vector<std::string> entriesOf(const ListSnapshot& snapshot) {
  std::vector<std::string> entries;
  for (std::size_t i = 0; i < snapshot.size(); ++i) entries.emplace_back(snapshot.at(i));
  return entries;
}

std::vector<std::string> entriesOf(const ResultLists& lists, ListId list) {
  return entriesOf(ListSnapshot(lists, list));
}

bool waitUntilFinished(const ScanController& controller) {
  for (int i = 0; i < 3000 && controller.isRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return !controller.isRunning();
}

TEST(ScanController, ScansOnItsOwnThreadAndPublishesTheResult) {
  TempFolder folder;
  for (int i = 0; i < 400; ++i) {
    folder.write("tree/f" + std::to_string(i),
                 "u" + std::to_string(i % 150) + "@example.com x" + std::to_string(i % 7) + "@host.test");
  }
  const std::vector<ScanSource> sources = {{SourceKind::Folder, folder.file("tree")},
                                           {SourceKind::File, folder.write("one.txt", "aa@example.org")}};
  ScanController controller;
  ASSERT_TRUE(controller.start(sources));
  EXPECT_FALSE(controller.start(sources)) << "one scan at a time";
  ASSERT_TRUE(waitUntilFinished(controller));
  const std::optional<ScanReport> report = controller.takeReport();
  ASSERT_TRUE(report.has_value());
  EXPECT_FALSE(report->stopped);
  EXPECT_FALSE(controller.takeReport().has_value()) << "the report is handed over once";

  ResultLists direct;
  const ScanReport directReport = runScan(sources, direct, {});
  const PublishedLists published = controller.published();
  EXPECT_EQ(entriesOf(*published.list1), entriesOf(direct, ListId::List1));
  EXPECT_EQ(entriesOf(*published.list2), entriesOf(direct, ListId::List2));
  EXPECT_EQ(entriesOf(controller.lists(), ListId::List1), entriesOf(direct, ListId::List1));
  EXPECT_EQ(report->last, directReport.last);
  EXPECT_EQ(published.list1->size(), 151u);

  const ProgressReport progress = controller.progress();
  EXPECT_FALSE(progress.running);
  EXPECT_EQ(progress.target, folder.file("one.txt"));
}

TEST(ScanJob, TheRulesReachEveryKindOfSource) {
  // A small file, a folder's file, and a file large enough to be scanned in
  // pieces on two threads, each with one address whose local part has "+".
  TempFolder folder;
  std::string large;
  while (large.size() < (std::size_t{17} << 20)) large += "filler text <ab+large@example.com> {at} and more\n";
  const std::vector<ScanSource> sources = {{SourceKind::File, folder.write("small.txt", "ab+small@example.com")},
                                           {SourceKind::Folder, folder.file("tree")},
                                           {SourceKind::File, folder.write("large.txt", large)}};
  folder.write("tree/f.txt", "ab+folder@example.com");
  for (const ScanRules rules : {ScanRules::Specified, ScanRules::Extended}) {
    ResultLists lists;
    ScanOptions options;
    options.jobs = 2;
    options.rules = rules;
    runScan(sources, lists, options);
    const std::vector<std::string> expected =
        rules == ScanRules::Extended
            ? std::vector<std::string>{"ab+folder@example.com", "ab+large@example.com", "ab+small@example.com"}
            : std::vector<std::string>{"folder@example.com", "large@example.com", "small@example.com"};
    EXPECT_EQ(entriesOf(lists, ListId::List1), expected);
  }
}

TEST(ScanController, ACancelledScanKeepsWhatItFound) {
  TempFolder folder;
  for (int i = 0; i < 3000; ++i) folder.write("big/f" + std::to_string(i), "u" + std::to_string(i) + "@example.com");
  ScanController controller;
  ASSERT_TRUE(controller.start({{SourceKind::Folder, folder.file("big")}}));
  controller.cancel();
  ASSERT_TRUE(waitUntilFinished(controller));
  const std::optional<ScanReport> report = controller.takeReport();
  ASSERT_TRUE(report.has_value());
  const std::size_t found = controller.lists().count(ListId::List1);
  EXPECT_EQ(controller.published().list1->size(), found) << "the last publication shows the final lists";
  if (report->stopped) {
    EXPECT_LT(found, 3000u);
  } else {
    EXPECT_EQ(found, 3000u);  // it was quicker than the cancel
  }

  // After the scan the interface may change the lists and publish them.
  controller.lists().clear();
  controller.publish();
  EXPECT_TRUE(controller.published().list1->empty());
}

TEST(ScanController, PublishedSnapshotsCanBeReadWhileTheScanGoesOn) {
  // This thread reads every published snapshot in full while the worker
  // goes on changing the lists they share their storage with: each shows
  // List1 as the closing steps of some file left it, sorted and without
  // duplicates, and a later one never holds fewer entries. The files are
  // large enough for several publications during the scan; each brings
  // new addresses and some of the file before.
  TempFolder folder;
  std::vector<ScanSource> sources;
  for (std::int64_t i = 0; i < 16; ++i) {
    std::string content;
    for (std::int64_t k = 0; k < 80'000; ++k) {
      content += "p" + std::to_string((i * 60'000 + k) * 7919 % 1'000'003) + "@mail.de ";
    }
    sources.push_back({SourceKind::File, folder.write("f" + std::to_string(i), content)});
  }
  ScanController controller;
  ASSERT_TRUE(controller.start(sources));
  std::size_t shown = 0;
  while (controller.isRunning()) {
    const PublishedLists published = controller.published();
    const ListSnapshot& list1 = *published.list1;
    for (std::size_t i = 1; i < list1.size(); ++i) {
      ASSERT_TRUE(compareEntries(list1.at(i - 1), list1.at(i)) < 0) << "at " << i << " of " << list1.size();
    }
    ASSERT_GE(list1.size(), shown);
    shown = list1.size();
  }
  ASSERT_TRUE(waitUntilFinished(controller));
  ASSERT_TRUE(controller.takeReport().has_value());
  EXPECT_EQ(controller.published().list1->size(), 16U * 60'000 + 20'000);
  EXPECT_EQ(controller.published().list1->size(), controller.lists().count(ListId::List1));
}

}  // namespace
}  // namespace mailsift
