// Copying an archive's top-level files into the working folder, on the
// in-memory file system, from archives made by the test ZIP builder.
#include "package/extraction.h"

#include <gtest/gtest.h>

#include "tests/support/allocation_failure.h"
#include "tests/support/faulty_platform.h"
#include "tests/support/memory_platform.h"
#include "tests/support/zip_builder.h"

namespace vellum {
namespace {

using testing::Bytes;
using testing::ZipBuilder;
using testing::ZipEntry;

const Text kFolder = u"C:\\Temp\\{G}";
constexpr FileTime kMtime = 130000000000000000, kAtime = 130000000010000000, kCtime = 129000000000000000;

class ExtractionTest : public ::testing::Test {
 protected:
  void SetUp() override { platform.AddFolder(u"C:\\Temp"); }
  // Writes the archive to the double and extracts it through the double,
  // with whatever fault faults.Arm set.
  bool Extract(const ZipBuilder& zip) {
    platform.AddFile(u"C:\\Temp\\{G}.zip", zip.Build());
    auto storage = faults.OpenShellArchive(u"C:\\Temp\\{G}.zip");
    if (!storage) {
      ADD_FAILURE() << "archive not opened";
      return false;
    }
    return ExtractStorage(faults, *storage, kFolder);
  }
  std::vector<Text> Extracted() const {
    std::vector<Text> names;
    for (const Text& path : platform.ListAll(kFolder)) names.push_back(path.substr(kFolder.size() + 1));
    return names;
  }
  Bytes Content(const Text& name) const { return platform.FileBytes(kFolder + u"\\" + name); }

  MemoryPlatform platform;
  FaultyPlatform faults{platform};
};

Bytes Pattern(size_t size) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return b;
}

TEST_F(ExtractionTest, EmptyArchiveAndFoldersOnlyGiveAnEmptyFolder) {
  EXPECT_TRUE(Extract(ZipBuilder{}));
  EXPECT_TRUE(platform.IsFolder(kFolder));
  EXPECT_TRUE(Extracted().empty());

  ZipBuilder folders;
  folders.Add("docs/");
  folders.Add("docs/a.txt", "inside");
  platform.RemoveDirectory(kFolder);
  EXPECT_TRUE(Extract(folders));
  EXPECT_TRUE(Extracted().empty());
}

TEST_F(ExtractionTest, CopiesTopLevelFilesExactlyWithTheirTimes) {
  ZipBuilder zip;
  zip.Add("empty.txt").centralExtra = testing::NtfsTimesField(kMtime, kAtime, kCtime);
  zip.Add("chunk.bin").data = Pattern(65536);
  zip.Add("chunk+1.bin").data = Pattern(65537);
  zip.entries.back().method = 8;
  zip.Add("docs/inner.txt", "not shown");
  ASSERT_TRUE(Extract(zip));
  EXPECT_EQ(Extracted(), (std::vector<Text>{u"chunk+1.bin", u"chunk.bin", u"empty.txt"}));
  EXPECT_EQ(Content(u"chunk.bin"), Pattern(65536));
  EXPECT_EQ(Content(u"chunk+1.bin"), Pattern(65537));
  EXPECT_TRUE(Content(u"empty.txt").empty());
  const FileTimes times = platform.FileTimesOf(kFolder + u"\\empty.txt");
  EXPECT_EQ(times.lastWrite, kMtime);
  EXPECT_EQ(times.lastAccess, kAtime);
  EXPECT_EQ(times.creation, kCtime);
}

TEST_F(ExtractionTest, ExistingDestinationIsLeftUntouched) {
  platform.AddFile(kFolder + u"\\mine.txt", {1, 2});
  ZipBuilder zip;
  zip.Add("mine.txt", "theirs");
  EXPECT_FALSE(Extract(zip));
  EXPECT_EQ(Content(u"mine.txt"), (Bytes{1, 2}));
}

TEST_F(ExtractionTest, HostileArchiveWritesNothingOutsideTheFolder) {
  ZipBuilder zip;
  for (const char* name : {"..\\up.txt", "../up2.txt", "/abs.txt", "\\abs2.txt", "C:x.txt", "C:\\x2.txt",
                           "CON", "nul.txt", "a/../b.txt", "trailing. ", "good.txt"}) {
    zip.Add(name, "payload");
  }
  zip.Add("GOOD.txt", "second");  // differs in case only: skipped, the first stays
  zip.Add("liar.txt", "short").size = 100;
  zip.Add("badcrc.txt", "content").crc = 0x12345678;
  zip.Add("after.txt", "still extracted");
  ASSERT_TRUE(Extract(zip));
  EXPECT_EQ(Extracted(), (std::vector<Text>{u"after.txt", u"good.txt"}));
  EXPECT_EQ(Content(u"good.txt"), testing::ToBytes("payload"));
  // Nothing appeared beside the folder or anywhere else.
  EXPECT_EQ(platform.ListAll(u"C:\\"),
            (std::vector<Text>{u"C:\\Temp", u"C:\\Temp\\{G}", u"C:\\Temp\\{G}.zip",
                               u"C:\\Temp\\{G}\\after.txt", u"C:\\Temp\\{G}\\good.txt"}));
}

// A storage that offers whatever names it likes, as a shell or other reader might.
class NamingStorage final : public ArchiveStorage {
 public:
  explicit NamingStorage(std::vector<Text> names) : names_(std::move(names)) {}
  std::unique_ptr<ElementEnumerator> EnumElements() override {
    struct Enumerator final : ElementEnumerator {
      std::vector<Text> names;
      size_t next = 0;
      Result Next(ElementStat& stat) override {
        if (next == names.size()) return Result::kEnd;
        stat = ElementStat{names[next++], kElementStream, 1, 0, 0, 0};
        return Result::kElement;
      }
    };
    auto e = std::make_unique<Enumerator>();
    e->names = names_;
    return e;
  }
  std::unique_ptr<ByteStream> OpenStream(const Text&) override {
    struct One final : ByteStream {
      bool Read(void* buffer, uint32_t, uint32_t& got) override {
        *static_cast<uint8_t*>(buffer) = 'x';
        got = 1;
        return true;
      }
    };
    return std::make_unique<One>();
  }

 private:
  std::vector<Text> names_;
};

TEST_F(ExtractionTest, RefusesUnsafeNamesWhateverTheStorageOffers) {
  NamingStorage storage({u"..\\escape", u"sub\\file", u"C:evil", u"", u".", u"..", u"LPT1", u"ok.txt"});
  ASSERT_TRUE(ExtractStorage(platform, storage, kFolder));
  EXPECT_EQ(Extracted(), (std::vector<Text>{u"ok.txt"}));
  EXPECT_EQ(platform.ListAll(u"C:\\Temp").size(), 2u);
}

TEST_F(ExtractionTest, IncompleteFilesAreDeletedCompleteOnesStay) {
  ZipBuilder zip;
  zip.Add("first.bin").data = Pattern(70000);
  zip.Add("second.txt", "fine");
  faults.Arm({"ByteStream::Read", {}, 2});  // the second chunk of first.bin
  ASSERT_TRUE(Extract(zip));
  EXPECT_EQ(Extracted(), (std::vector<Text>{u"second.txt"}));
}

TEST_F(ExtractionTest, FailedWriteDeletesTheFile) {
  ZipBuilder zip;
  zip.Add("a.bin").data = Pattern(1000);
  faults.Arm({"File::Write", {}, 1, false, Fault::kShort});
  ASSERT_TRUE(Extract(zip));
  EXPECT_TRUE(Extracted().empty());
}

TEST_F(ExtractionTest, FileWhoseTimesFailStays) {
  ZipBuilder zip;
  zip.Add("a.txt", "whole");
  platform.AddFile(u"C:\\Temp\\{G}.zip", zip.Build());
  auto storage = platform.OpenShellArchive(u"C:\\Temp\\{G}.zip");
  ASSERT_TRUE(storage && platform.CreateDirectory(kFolder));
  auto stream = storage->OpenStream(u"a.txt");
  ASSERT_TRUE(stream);
  faults.Arm({"File::SetTimes", {}, 1, true});
  EXPECT_FALSE(CopyStreamToFile(faults, *stream, {u"a.txt", kElementStream, 5, kMtime, 0, 0},
                                kFolder + u"\\a.txt"));
  EXPECT_EQ(Content(u"a.txt"), testing::ToBytes("whole"));
}

TEST_F(ExtractionTest, EnumerationFailingPartWayKeepsWhatCame) {
  ZipBuilder zip;
  zip.Add("one.txt", "1");
  zip.Add("two.txt", "2");
  zip.Add("three.txt", "3");
  faults.Arm({"ElementEnumerator::Next", {}, 3, true});  // after two
  EXPECT_TRUE(Extract(zip));
  EXPECT_EQ(Extracted(), (std::vector<Text>{u"one.txt", u"two.txt"}));
}

TEST_F(ExtractionTest, StorageThatCannotBeEnumeratedLeavesTheEmptyFolder) {
  faults.Arm({"ArchiveStorage::EnumElements", {}, 1, true});
  EXPECT_FALSE(Extract(ZipBuilder{}));
  EXPECT_TRUE(platform.IsFolder(kFolder));
  EXPECT_TRUE(Extracted().empty());
}

TEST_F(ExtractionTest, EnumerationFailingAtOnceIsAFailure) {
  ZipBuilder zip;
  zip.Add("one.txt", "1");
  faults.Arm({"ElementEnumerator::Next", {}, 1, true});
  EXPECT_FALSE(Extract(zip));
  EXPECT_TRUE(Extracted().empty());
}

// Windows folders ignore case: a later twin would overwrite the first file,
// or delete it when its own check fails.
TEST_F(ExtractionTest, OfNamesDifferingOnlyInCaseTheFirstIsExtracted) {
  ZipBuilder zip;
  zip.Add("a.txt", "first");
  zip.Add("A.txt", "second");
  zip.Add("A.TXT", "third").crc = 0;  // fails its check
  zip.Add("b.txt", "other");
  ASSERT_TRUE(Extract(zip));
  EXPECT_EQ(Extracted(), (std::vector<Text>{u"a.txt", u"b.txt"}));
  EXPECT_EQ(Content(u"a.txt"), testing::ToBytes("first"));
}

TEST_F(ExtractionTest, DeclaredSizesDoNotSizeAnyAllocation) {
  // Entries that claim a terabyte, in ZIP64 fields and in saturated ones,
  // over a few bytes of data: memory follows the data, and nothing partial stays.
  ZipBuilder zip;
  ZipEntry& stored = zip.Add("stored.bin", "only a few bytes");
  stored.zip64 = true;
  stored.size = stored.compressedSize = uint64_t{1} << 40;
  ZipEntry& deflated = zip.Add("deflated.bin", std::string(1000, 'x'), 8);
  deflated.zip64 = true;
  deflated.size = uint64_t{1} << 40;
  zip.Add("small.txt", "intact");
  zip.zip64End = true;
  zip.entryCount = uint64_t{1} << 40;  // more records than the directory holds
  const Bytes bytes = zip.Build();
  zip.entryCount.reset();

  testing::ResetLargestAllocation();
  Extract(zip);
  EXPECT_LT(testing::LargestAllocation(), 1u << 20);
  EXPECT_EQ(Extracted(), std::vector<Text>{u"small.txt"});

  platform.AddFile(u"C:\\Temp\\counted.zip", bytes);
  testing::ResetLargestAllocation();
  EXPECT_EQ(platform.OpenShellArchive(u"C:\\Temp\\counted.zip"), nullptr);  // the count is impossible
  EXPECT_LT(testing::LargestAllocation(), 1u << 20);
}

}  // namespace
}  // namespace vellum
