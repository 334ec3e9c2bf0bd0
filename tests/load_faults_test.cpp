// A whole load under every single fault the system can meet: each call
// through the seam failing in turn (and each call that moves bytes coming up
// short), and each allocation in turn running out of memory. Whatever fails,
// the load ends in one of its messages or in success with complete files,
// no plaintext archive stays in the temporary folder, nothing outside the
// working folder changes and nothing is left open or allocated.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/cpu_features.h"
#include "resources/message_texts.h"
#include "base/path.h"
#include "package/loader.h"
#include "platform/delete_tree.h"
#include "tests/support/allocation_failure.h"
#include "tests/support/faulty_platform.h"
#include "tests/support/memory_platform.h"
#include "tests/support/test_data.h"
#ifdef _WIN32
#include "platform/platform_win32.h"
#include "platform/win32_api.h"
#endif

namespace vellum {
namespace {

const Text kTemp = u"C:\\Temp";
const Text kPackage = u"C:\\Apps\\viewer_data";
const Text kGuid = u"{0C0FFEE0-1234-5678-9ABC-DEF012345678}";
const Text kWorkFolder = kTemp + u"\\" + kGuid;
const Text kOtherFile = u"C:\\Temp\\earlier.txt";

using Files = std::map<Text, std::vector<uint8_t>>;

// Every file and folder of the machine outside the working folder, with
// the files' bytes.
Files Outside(const MemoryPlatform& platform) {
  Files files;
  for (const Text& path : platform.ListAll(u"C:")) {
    if (path == kWorkFolder || path.rfind(kWorkFolder + u"\\", 0) == 0) continue;
    files[path] = platform.FileBytes(path);
  }
  return files;
}

Files WorkFolderFiles(const MemoryPlatform& platform) {
  Files files;
  for (const Text& path : platform.ListAll(kWorkFolder)) files[path] = platform.FileBytes(path);
  return files;
}

std::string Narrow(const Text& text) { return std::string(text.begin(), text.end()); }

// One load on a fresh machine, with whatever fault the caller arms; its
// shell has a ZIP folder or not.
struct LoadRun {
  LoadRun(const CryptoFactory& factory, bool shell = true) : factory_(factory) {
    disk.hasShellZipFolder = shell;
    disk.AddFolder(kTemp);
    disk.AddFile(kPackage, testing::ReadTestData("viewer_data"));
    const std::string other = "left by someone else";
    disk.AddFile(kOtherFile, std::vector<uint8_t>(other.begin(), other.end()));
    disk.guidTexts.push_back(kGuid);
    before = Outside(disk);
  }
  // Nothing is made here outside the load itself.
  bool Load() {
    return LoadPackageGuarded(platform, kPackage, packageName, tempDir, factory_, workFolder, title, message);
  }

  const CryptoFactory& factory_;
  MemoryPlatform disk;
  FaultyPlatform platform{disk};
  const Text packageName = u"viewer_data", tempDir = kTemp + u"\\";
  Files before;
  Text workFolder, title, message;
};

// What a failed or successful run must look like, given what an undisturbed
// load extracts. Returns a short name of the outcome for the table.
std::string Judge(LoadRun& run, bool loaded, const Files& complete, const Text& fullTitle) {
  const MemoryPlatform& platform = run.disk;
  EXPECT_EQ(platform.OpenObjects(), 0);
  const Files outside = Outside(platform);
  EXPECT_EQ(outside, run.before) << "something outside the working folder changed";
  for (const auto& [path, bytes] : outside) {
    EXPECT_FALSE(path.size() > 4 && path.substr(path.size() - 4) == u".zip") << Narrow(path) << " stayed";
  }
  const Files extracted = WorkFolderFiles(platform);
  if (loaded) {
    EXPECT_TRUE(run.message.empty());
    EXPECT_EQ(run.title, fullTitle);
    for (const auto& [path, bytes] : extracted) {
      const auto expected = complete.find(path);
      EXPECT_TRUE(expected != complete.end() && expected->second == bytes) << Narrow(path) << " incomplete";
    }
    return extracted.size() == complete.size() ? "loaded" : "loaded, " + std::to_string(extracted.size()) + " of " +
                                                                 std::to_string(complete.size()) + " files";
  }
  EXPECT_TRUE(run.title.empty());
  EXPECT_TRUE(run.workFolder.empty() || run.workFolder == kWorkFolder);
  if (run.message == kMessageCannotOpenPackage) return "cannot open";
  if (run.message == kMessagePackageCorrupted) return "corrupted";
  if (run.message == kMessageCannotCreateTemporaryFiles) return "no temporary files";
  EXPECT_TRUE(run.message.empty()) << "not one of the messages";
  return "failed without a message";
}

bool MovesBytes(const std::string& operation) {
  return operation == "File::Read" || operation == "File::Write" || operation == "ByteStream::Read";
}

// Each of calls failing in turn, and each that moves bytes coming up short,
// in a run of its own (runOne takes the rule, gives the outcome): call
// number, operation, outcome when it fails, outcome when it comes up short.
template <class RunOne>
std::vector<std::string> SweepTable(const std::vector<CallRecord>& calls, RunOne runOne) {
  std::vector<std::string> table;
  for (size_t k = 1; k <= calls.size(); ++k) {
    const std::string operation = calls[k - 1].operation;
    std::string row = std::to_string(k) + " " + operation;
    for (const Fault fault : {Fault::kFail, Fault::kShort}) {
      if (fault == Fault::kShort && !MovesBytes(operation)) continue;
      SCOPED_TRACE(row + (fault == Fault::kFail ? " failing" : " short"));
      row += (fault == Fault::kFail ? " | fail: " : " | short: ") + runOne(FaultRule{nullptr, {}, k, false, fault});
    }
    table.push_back(row);
  }
  if (std::getenv("VELLUM_PRINT_FAULT_TABLE")) {
    for (const std::string& row : table) std::printf("%s\n", row.c_str());
  }
  return table;
}

// The outcomes of a load where the shell has no ZIP folder, call by call;
// the double and the real platform under Wine must both give them.
const std::vector<std::string> kWithoutShellZipFolder = {
    "1 OpenForReading | fail: cannot open",
    "2 File::Read | fail: corrupted | short: corrupted",
    "3 File::Read | fail: corrupted | short: corrupted",
    "4 File::Seek | fail: no temporary files",
    "5 NewGuidText | fail: no temporary files",
    "6 FindFiles | fail: loaded",
    "7 CreateAlways | fail: no temporary files",
    "8 File::Read | fail: no temporary files | short: no temporary files",
    "9 File::Write | fail: no temporary files | short: no temporary files",
    "10 OpenShellArchive | fail: loaded",
    "11 OpenForReading | fail: no temporary files",
    "12 File::GetSize | fail: no temporary files",
    "13 File::Seek | fail: no temporary files",
    "14 File::Read | fail: no temporary files | short: loaded",
    "15 File::Seek | fail: loaded",
    "16 File::Read | fail: loaded | short: loaded",
    "17 File::Seek | fail: no temporary files",
    "18 File::Read | fail: no temporary files | short: loaded",
    "19 CreateDirectory | fail: no temporary files",
    "20 File::Seek | fail: loaded, 1 of 2 files",
    "21 File::Read | fail: loaded, 1 of 2 files | short: loaded",
    "22 CreateAlways | fail: loaded, 1 of 2 files",
    "23 File::Seek | fail: loaded, 1 of 2 files",
    "24 File::Read | fail: loaded, 1 of 2 files | short: loaded",
    "25 File::Write | fail: loaded, 1 of 2 files | short: loaded, 1 of 2 files",
    "26 File::SetTimes | fail: loaded",
    "27 File::Seek | fail: loaded, 1 of 2 files",
    "28 File::Read | fail: loaded, 1 of 2 files | short: loaded",
    "29 CreateAlways | fail: loaded, 1 of 2 files",
    "30 File::Seek | fail: loaded, 1 of 2 files",
    "31 File::Read | fail: loaded, 1 of 2 files | short: loaded",
    "32 File::Write | fail: loaded, 1 of 2 files | short: loaded, 1 of 2 files",
    "33 File::Write | fail: loaded, 1 of 2 files | short: loaded, 1 of 2 files",
    "34 File::SetTimes | fail: loaded",
    "35 DeleteFile | fail: loaded",
};

class LoadFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DetectProcessorFeatures(factory);
    LoadRun undisturbed(factory);
    ASSERT_TRUE(undisturbed.Load());
    complete = WorkFolderFiles(undisturbed.disk);
    ASSERT_EQ(complete.size(), 2u);
    fullTitle = undisturbed.title;
  }

  // Each call of an undisturbed load failing in turn (the double's shell
  // with a ZIP folder or without).
  std::vector<std::string> Sweep(bool shell) {
    LoadRun undisturbed(factory, shell);
    EXPECT_TRUE(undisturbed.Load());
    return SweepTable(undisturbed.platform.callLog(), [&](const FaultRule& rule) {
      LoadRun run(factory, shell);
      run.platform.Arm(rule);
      const bool loaded = run.Load();
      return Judge(run, loaded, complete, fullTitle);
    });
  }

  CryptoFactory factory;
  Files complete;
  Text fullTitle;
};

TEST_F(LoadFaultsTest, EverySeamCallFailingInTurn) {
  const std::vector<std::string> table = Sweep(true);
  // Every outcome pinned: a change of what a fault leads to shows here.
  // Failing to create the working folder or to enumerate the archive is no
  // load; a single entry failing leaves the other file loaded. Here the
  // shell has a ZIP folder and reads the archive itself; when it refuses
  // the archive (10) the built-in reader reads it.
  const std::vector<std::string> expected = {
      "1 OpenForReading | fail: cannot open",
      "2 File::Read | fail: corrupted | short: corrupted",
      "3 File::Read | fail: corrupted | short: corrupted",
      "4 File::Seek | fail: no temporary files",
      "5 NewGuidText | fail: no temporary files",
      "6 FindFiles | fail: loaded",
      "7 CreateAlways | fail: no temporary files",
      "8 File::Read | fail: no temporary files | short: no temporary files",
      "9 File::Write | fail: no temporary files | short: no temporary files",
      "10 OpenShellArchive | fail: loaded",
      "11 CreateDirectory | fail: no temporary files",
      "12 ArchiveStorage::EnumElements | fail: no temporary files",
      "13 ElementEnumerator::Next | fail: no temporary files",
      "14 ArchiveStorage::OpenStream | fail: loaded, 1 of 2 files",
      "15 CreateAlways | fail: loaded, 1 of 2 files",
      "16 ByteStream::Read | fail: loaded, 1 of 2 files | short: loaded",
      "17 File::Write | fail: loaded, 1 of 2 files | short: loaded, 1 of 2 files",
      "18 File::SetTimes | fail: loaded",
      "19 ElementEnumerator::Next | fail: loaded, 1 of 2 files",
      "20 ArchiveStorage::OpenStream | fail: loaded, 1 of 2 files",
      "21 CreateAlways | fail: loaded, 1 of 2 files",
      "22 ByteStream::Read | fail: loaded, 1 of 2 files | short: loaded",
      "23 File::Write | fail: loaded, 1 of 2 files | short: loaded, 1 of 2 files",
      "24 ByteStream::Read | fail: loaded, 1 of 2 files | short: loaded",
      "25 File::Write | fail: loaded, 1 of 2 files | short: loaded, 1 of 2 files",
      "26 File::SetTimes | fail: loaded",
      "27 ElementEnumerator::Next | fail: loaded",
      "28 ElementEnumerator::Next | fail: loaded",
      "29 DeleteFile | fail: loaded",
  };
  EXPECT_EQ(table, expected);
}

// Where the shell has no ZIP folder (as under Wine) the package reads the
// archive through the seam: the reader's own reads fail in turn.
TEST_F(LoadFaultsTest, EverySeamCallFailingInTurnWithoutAShellZipFolder) {
  EXPECT_EQ(Sweep(false), kWithoutShellZipFolder);
}

#ifdef _WIN32
// The same sweep over the real Windows platform, in a private folder of the
// real temporary directory: whatever fails, the folder ends as it began
// (with the working folder only after a load). Where the shell has no ZIP
// folder, as under Wine, the outcomes are those of the double without one.
class WindowsLoadFaults : public LoadFaultsTest {
 protected:
  void SetUp() override {
    LoadFaultsTest::SetUp();
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    wchar_t temp[MAX_PATH + 1];
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    root = JoinPath(FromWide(temp), u"vellum-faults-" + Text(kGuid.begin() + 1, kGuid.begin() + 9) +
                                        FromWide(std::to_wstring(GetCurrentProcessId()).c_str()));
    ASSERT_TRUE(real.CreateDirectory(root));
    const std::vector<uint8_t> bytes = testing::ReadTestData("viewer_data");
    auto file = real.CreateAlways(JoinPath(root, u"viewer_data"));
    uint32_t n = 0;
    ASSERT_TRUE(file && file->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), n) && n == bytes.size());
  }
  void TearDown() override {
    EXPECT_TRUE(DeleteTree(real, root));
    CoUninitialize();
  }
  std::vector<Text> Names(const Text& folder) {
    std::vector<Text> names;
    if (auto search = real.FindFiles(JoinPath(folder, u"*"))) {
      for (FoundEntry entry; search->Next(entry);) {
        if (entry.name != u"." && entry.name != u"..") names.push_back(entry.name);
      }
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // One load under rule; its outcome in the table's words.
  std::string Run(const FaultRule& rule, std::vector<CallRecord>* log = nullptr) {
    FaultyPlatform platform(real);
    platform.Arm(rule);
    Text workFolder, title, message;
    const bool loaded = LoadPackageGuarded(platform, JoinPath(root, u"viewer_data"), u"viewer_data", root + u"\\",
                                           factory, workFolder, title, message);
    if (log) *log = platform.callLog();
    std::vector<Text> expected = {u"viewer_data"};
    std::string outcome = message == kMessageCannotOpenPackage       ? "cannot open"
                          : message == kMessagePackageCorrupted      ? "corrupted"
                          : message == kMessageCannotCreateTemporaryFiles ? "no temporary files"
                                                                     : "failed without a message";
    if (loaded) {
      const size_t files = Names(workFolder).size();
      outcome = files == complete.size() ? "loaded"
                                         : "loaded, " + std::to_string(files) + " of " + std::to_string(complete.size()) +
                                               " files";
      expected.push_back(SplitPath(workFolder).name);
      std::sort(expected.begin(), expected.end());
    }
    EXPECT_EQ(Names(root), expected) << "the temporary folder after a load that ended " << outcome;
    if (loaded) DeleteTree(real, workFolder);
    return outcome;
  }

  Win32Platform real;
  Text root;
};

TEST_F(WindowsLoadFaults, EverySeamCallFailingInTurn) {
  std::vector<CallRecord> calls;
  ASSERT_EQ(Run({}, &calls), "loaded");
  const std::vector<std::string> table = SweepTable(calls, [&](const FaultRule& rule) { return Run(rule); });
  const bool shellRead = std::none_of(calls.begin(), calls.end(), [](const CallRecord& call) {
    return std::string(call.operation) == "File::GetSize";
  });
  if (!shellRead) {
    EXPECT_EQ(table, kWithoutShellZipFolder);
  }
}
#endif

TEST_F(LoadFaultsTest, EveryAllocationFailingInTurn) {
  // Once to warm up whatever is made once per process.
  LoadRun(factory).Load();
  size_t failures = 0;
  for (uint64_t n = 1;; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n));
    const int64_t liveBefore = testing::LiveAllocations();
    bool loaded = false, failed = false;
    {
      LoadRun run(factory);
      testing::FailAllocation(n);
      loaded = run.Load();
      failed = testing::AllocationFailed();
      testing::FailAllocation(0);
      if (failed) {
        EXPECT_FALSE(loaded);
        EXPECT_TRUE(run.message.empty());
        Judge(run, loaded, complete, fullTitle);
      }
    }
    EXPECT_EQ(testing::LiveAllocations(), liveBefore) << "blocks left allocated";
    if (!failed) {
      EXPECT_TRUE(loaded);
      break;
    }
    ++failures;
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(failures, 100u);
  std::printf("out of memory at each of %zu allocations of a load: every one a failed load\n", failures);
}

}  // namespace
}  // namespace vellum
