// What the Windows side of the platform layer must get right beyond what the
// shared tests check: folder identity whatever the spelling of the path
// (the walk's guard against links and junctions rests on it), paths past
// 260 characters, names outside the code page, and the export's swap.
// Wine cannot create links or junctions (CreateSymbolicLinkW succeeds there
// but makes nothing), so the walk's loop guard is tested through identity.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/atomic_write.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "sources/folder_walk.h"
#include "sources/temp_dir.h"
#include "support/temp_folder.h"

namespace mailsift {
namespace {

std::wstring wide(const std::string& utf8) {
  std::wstring text(utf8.size(), L'\0');
  text.resize(static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                             text.data(), static_cast<int>(text.size()))));
  return text;
}

platform::FileIdentity identityOf(const std::string& path) {
  platform::OpenedFolder opened = platform::FolderHandle::open(path);
  EXPECT_TRUE(opened.ok()) << path << ": " << (opened.failure ? opened.failure->message : "");
  return opened.identity;
}

TEST(Win32Folders, OneFolderHasOneIdentityHoweverItsPathIsSpelled) {
  test::TempFolder folder;
  const std::string root = folder.path().string();
  ASSERT_TRUE(platform::createFolder(root + "\\Mail"));
  ASSERT_TRUE(platform::createFolder(root + "\\Other"));
  const platform::FileIdentity mail = identityOf(root + "\\Mail");
  EXPECT_NE(mail, identityOf(root + "\\Other"));
  EXPECT_NE(mail, identityOf(root));
  char current[MAX_PATH];
  ASSERT_NE(::GetCurrentDirectoryA(MAX_PATH, current), 0u);
  ASSERT_TRUE(::SetCurrentDirectoryA(root.c_str()));
  for (const std::string& spelling : {root + "/Mail", root + "\\MAIL\\", root + "\\Other\\..\\Mail",
                                      "\\\\?\\" + root + "\\Mail", std::string("Mail"), std::string(".\\mail")}) {
    EXPECT_EQ(identityOf(spelling), mail) << spelling;
  }
  ::SetCurrentDirectoryA(current);
}

TEST(Win32Folders, LongPathsAndNamesOutsideTheCodePageAreWalkedAndRead) {
  test::TempFolder folder;
  // 24 levels of 20 characters: far past MAX_PATH.
  std::string path = folder.path().string();
  const std::string level =
      "\xce\xb5\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xe6\x97\xa5\xe6\x9c\xac-folder-x";  // "ελλην日本-folder-x"
  for (int i = 0; i < 24; ++i) {
    path = platform::joinPath(path, level + std::to_string(i % 10));
    ASSERT_TRUE(platform::createFolder(path)) << i;
  }
  ASSERT_GT(path.size(), 480u);
  const std::string file =
      platform::joinPath(path, "\xd0\xbf\xd0\xb8\xd1\x81\xd1\x8c\xd0\xbc\xd0\xbe.txt");  // "письмо.txt"
  ASSERT_FALSE(platform::writeFileReplacing(file, "to: anna@example.org\n"));
  EXPECT_TRUE(platform::pathExists(file));
  EXPECT_TRUE(platform::isFolder(path));
  EXPECT_FALSE(platform::isFolder(file));
  const platform::FileContent content = platform::readWholeFile(file);
  ASSERT_TRUE(content.ok());
  EXPECT_EQ(std::string(content.data(), content.size), "to: anna@example.org\n");

  std::vector<std::string> files;
  const WalkSummary summary = walkFolderTree(folder.path().string(), [&](const WalkEntry& entry) {
    if (entry.kind == platform::EntryKind::RegularFile) files.push_back(entry.path);
  });
  EXPECT_EQ(summary.folders, 24u);
  EXPECT_EQ(summary.unlistedFolders, 0u);
  EXPECT_EQ(files, std::vector<std::string>{file});
  // The name the walk reports is the one the system stores, in UTF-16.
  EXPECT_NE(::GetFileAttributesW((L"\\\\?\\" + wide(file)).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Win32Export, TheSwapKeepsTheOldFileOnFailureAndItsAttributesOnSuccess) {
  test::TempFolder folder;
  const std::string target = folder.write("list.txt", "old\r\n");
  const std::wstring wideTarget = wide(target);
  ASSERT_TRUE(::SetFileAttributesW(wideTarget.c_str(), FILE_ATTRIBUTE_HIDDEN));

  {
    // A reader that shares neither writing nor deleting: the swap must fail
    // and leave the old file and no temporary file behind.
    const HANDLE reader = ::CreateFileW(wideTarget.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    const std::optional<platform::Failure> failure = platform::writeFileReplacing(target, "new\r\n");
    ::CloseHandle(reader);
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->systemError, 0);
    EXPECT_EQ(test::readFile(target), "old\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
  }

  ASSERT_FALSE(platform::writeFileReplacing(target, "new\r\n"));
  EXPECT_EQ(test::readFile(target), "new\r\n");
  EXPECT_NE(::GetFileAttributesW(wideTarget.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);

  const std::string fresh = folder.file("fresh.txt");
  ASSERT_FALSE(platform::writeFileReplacing(fresh, "a@b.de\r\n"));
  EXPECT_EQ(test::readFile(fresh), "a@b.de\r\n");
}

TEST(Win32Paths, TheTemporaryFolderIsTheSystemsWithItsSeparator) {
  const std::string system = platform::systemTemporaryFolder();
  ASSERT_FALSE(system.empty());
  EXPECT_EQ(system.back(), '\\');
  EXPECT_TRUE(platform::isFolder(system));
  EXPECT_EQ(detail::resolveTemporaryFolder([](const char*) { return std::string(); }), system);
  EXPECT_EQ(detail::resolveTemporaryFolder([](const char* name) { return std::string(name) == "TMP" ? "D:/t" : ""; }),
            "D:/t\\");
}

}  // namespace
}  // namespace mailsift
