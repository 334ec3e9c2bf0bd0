// The publisher's tool as its users meet it: every refusal says why, exits
// non-zero and leaves nothing half-written behind.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "app/cpu_features.h"
#include "tests/oracle/support/sealing.h"
#include "tests/support/memory_file.h"
#include "tools/sealer.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int exitCode;
  std::string output;  // stdout and stderr together
};

class SealToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("vellum-seal-test-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    Write("in.zip", std::string("PK\x05\x06", 4) + std::string(18, '\0'));  // an empty archive
  }
  void TearDown() override { fs::remove_all(dir); }

  void Write(const std::string& name, const std::string& content) {
    std::ofstream(dir / name, std::ios::binary) << content;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string Path(const std::string& name) const { return (dir / name).string(); }

  Outcome Run(const std::string& arguments) { return Shell("'" VELLUM_SEAL_TOOL "' " + arguments); }
  // Runs a shell command in the test's folder.
  Outcome Shell(const std::string& commandLine) {
    const std::string command = "cd '" + dir.string() + "' && " + commandLine + " 2>&1";
    Outcome outcome{-1, {}};
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[512];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) outcome.output += buffer;
    const int status = pipe ? ::pclose(pipe) : -1;
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
  }
  Outcome Seal(const std::string& options, const std::string& output = "out") {
    return Run("seal --key '" VELLUM_SOURCE_DIR "/keys/test_private_key.pem' " + options + " in.zip " + output);
  }
  Outcome Verify(const std::string& name, const std::string& package = "out") {
    return Run("verify --modulus '" VELLUM_SOURCE_DIR "/keys/test_public_modulus.hex' --name " + name + " " + package);
  }
  // Nothing but the files a test made itself: no partial outputs.
  std::size_t Entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
  }

  fs::path dir;
};

#define EXPECT_REFUSED(outcome, text)                          \
  do {                                                         \
    const Outcome o_ = (outcome);                              \
    EXPECT_EQ(o_.exitCode, 1) << o_.output;                    \
    EXPECT_NE(o_.output.find(text), std::string::npos) << o_.output; \
  } while (0)

TEST_F(SealToolTest, SealsAndVerifies) {
  const Outcome sealed = Seal("--name viewer_data --title '\xe6\x97\xa5\xe6\x9c\xac'");  // 日本
  ASSERT_EQ(sealed.exitCode, 0) << sealed.output;
  const Outcome verified = Verify("VIEWER_DATA");
  EXPECT_EQ(verified.exitCode, 0) << verified.output;
  EXPECT_NE(verified.output.find("title=\xe6\x97\xa5\xe6\x9c\xac\nlength=22\n"), std::string::npos) << verified.output;
  EXPECT_EQ(fs::status(dir / "out").permissions() & fs::perms::others_write, fs::perms::none);
}

TEST_F(SealToolTest, RefusesBadInputFiles) {
  EXPECT_REFUSED(Run("seal --key '" VELLUM_SOURCE_DIR "/keys/test_private_key.pem' --name n missing.zip out"),
                 "cannot open the input missing.zip");
  Write("notzip", "hello");
  EXPECT_REFUSED(Run("seal --key '" VELLUM_SOURCE_DIR "/keys/test_private_key.pem' --name n notzip out"),
                 "is not a ZIP file");
  EXPECT_REFUSED(Run("seal --key nokey.pem --name n in.zip out"), "cannot open the key file nokey.pem");
  Write("garbage.pem", "not a key");
  EXPECT_REFUSED(Run("seal --key garbage.pem --name n in.zip out"), "does not hold a PEM private key");
  EXPECT_FALSE(fs::exists(dir / "out"));
}

// The input is read twice, for its digest and to encrypt it: an input that
// changes in between (another program still writing it), even keeping its
// length, would give a package no viewer opens.
class InputChangingOnItsSecondPass final : public vellum::File {
 public:
  explicit InputChangingOnItsSecondPass(std::vector<uint8_t> bytes)
      : bytes_(std::make_shared<std::vector<uint8_t>>(std::move(bytes))), file_(bytes_) {}
  bool Read(void* buffer, uint32_t size, uint32_t& got) override { return file_.Read(buffer, size, got); }
  bool Write(const void* data, uint32_t size, uint32_t& written) override { return file_.Write(data, size, written); }
  // The third rewind starts the second pass (after the signature check and
  // the first pass).
  bool Seek(uint64_t offset) override {
    if (++rewinds_ == 3 && changes) (*bytes_)[bytes_->size() / 2] ^= 1;
    return file_.Seek(offset);
  }
  bool GetSize(uint64_t& size) override { return file_.GetSize(size); }
  bool SetTimes(const vellum::FileTimes& times) override { return file_.SetTimes(times); }
  bool changes = true;

 private:
  std::shared_ptr<std::vector<uint8_t>> bytes_;
  vellum::MemoryFile file_;
  int rewinds_ = 0;
};

TEST_F(SealToolTest, AnInputChangingBetweenItsTwoReadingsLeavesNoOutput) {
  const std::string zip = Read("in.zip");
  vellum::CryptoFactory factory;
  vellum::DetectProcessorFeatures(factory);
  const vellum::tool::RsaKey& key = vellum::testing::TestKey();
  std::string error;
  vellum::tool::SealOptions options;
  options.input = "in.zip";
  options.output = Path("out");
  options.name = u"viewer_data";
  for (const bool changes : {true, false}) {
    InputChangingOnItsSecondPass input(std::vector<uint8_t>(zip.begin(), zip.end()));
    input.changes = changes;
    error.clear();
    EXPECT_EQ(vellum::tool::SealArchive(input, options, key, factory, error), !changes) << error;
    EXPECT_EQ(fs::exists(dir / "out"), !changes);
    if (changes) {
      EXPECT_NE(error.find("in.zip changed while it was being sealed"), std::string::npos) << error;
    }
  }
  const Outcome verified = Verify("viewer_data");
  EXPECT_EQ(verified.exitCode, 0) << verified.output;
  EXPECT_EQ(Entries(), 2u);  // in.zip and out: nothing partial
}

// Sealing an open archive directly skips the command line's checks: a name
// longer than its header field is still refused, and nothing is written.
TEST_F(SealToolTest, SealingAnArchiveRefusesANameTooLongForTheHeader) {
  const std::string zip = Read("in.zip");
  vellum::tool::SealOptions options;
  options.input = "in.zip";
  options.output = Path("out");
  options.name = vellum::Text(300, u'n');
  vellum::MemoryFile input(std::make_shared<std::vector<uint8_t>>(zip.begin(), zip.end()));
  std::string error;
  const vellum::CryptoFactory factory;
  EXPECT_FALSE(vellum::tool::SealArchive(input, options, vellum::testing::TestKey(), factory, error));
  EXPECT_NE(error.find("does not fit the header"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(dir / "out"));
}

// An archive made on Japanese Windows: Shift_JIS names without the UTF-8
// flag. verify lists them as code page 437 unless told otherwise.
TEST_F(SealToolTest, VerifyListsShiftJisNamesWhenAsked) {
  const Outcome made = Shell(
      "python3 -c \"import zipfile\n"
      "class Sjis(zipfile.ZipInfo):\n"
      "    def _encodeFilenameFlags(self): return self.filename.encode('cp932'), self.flag_bits\n"
      "with zipfile.ZipFile('in.zip', 'w') as z:\n"
      "    for n in ('\u8868.txt', '\u898b\u7a4d.txt'):\n"
      "        i = Sjis(n); i.create_system = 0; z.writestr(i, n)\n\"");
  ASSERT_EQ(made.exitCode, 0) << made.output;
  ASSERT_EQ(Seal("--name viewer_data").exitCode, 0);
  const Outcome japanese = Run("verify --modulus '" VELLUM_SOURCE_DIR
                               "/keys/test_public_modulus.hex' --name viewer_data --legacy-codepage 932 out");
  EXPECT_EQ(japanese.exitCode, 0) << japanese.output;
  EXPECT_NE(japanese.output.find("\t\xe8\xa1\xa8.txt\n"), std::string::npos) << japanese.output;  // 表
  EXPECT_NE(japanese.output.find("\t\xe8\xa6\x8b\xe7\xa9\x8d.txt\n"), std::string::npos) << japanese.output;  // 見積
  const Outcome latin = Verify("viewer_data");
  EXPECT_EQ(latin.exitCode, 0) << latin.output;
  EXPECT_EQ(latin.output.find("\xe8\xa1\xa8"), std::string::npos) << latin.output;
  const Outcome other = Run("verify --modulus m --name n --legacy-codepage 1252 out");
  EXPECT_EQ(other.exitCode, 2);
  EXPECT_NE(other.output.find("437 or 932"), std::string::npos) << other.output;
}

TEST_F(SealToolTest, RefusesKeysOfTheWrongShape) {
  ASSERT_EQ(std::system(("openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out '" +
                         Path("small.pem") + "' 2>/dev/null").c_str()), 0);
  EXPECT_REFUSED(Run("seal --key small.pem --name n in.zip out"), "2048 bits; 8192 are required");
  EXPECT_REFUSED(Run("seal --key '" VELLUM_SOURCE_DIR "/tests/data/exponent3_key.pem' --name n in.zip out"),
                 "public exponent is not 65537");
}

TEST_F(SealToolTest, RefusesTitlesAndNamesThatDoNotFit) {
  EXPECT_REFUSED(Seal("--name n --title " + std::string(128, 't')), "at most 127 fit");
  EXPECT_EQ(Seal("--name n --title " + std::string(127, 't')).exitCode, 0);
  EXPECT_REFUSED(Seal("--name " + std::string(192, 'n'), "out2"), "at most 191 fit");
  for (const char* name : {"'a\\b'", "a/b", "c:x", "''"}) {
    const Outcome o = Seal(std::string("--name ") + name, "out3");
    EXPECT_EQ(o.exitCode, 1) << name << o.output;
  }
  EXPECT_REFUSED(Seal("--name \"$(printf '\\377')\"", "out4"), "not valid UTF-8");
}

TEST_F(SealToolTest, NeverReplacesOrHalfWritesOutputs) {
  Write("out", "precious");
  EXPECT_REFUSED(Seal("--name n"), "exists already");
  EXPECT_EQ(Read("out"), "precious");
  EXPECT_EQ(Seal("--name n --force").exitCode, 0);
  EXPECT_EQ(Verify("n").exitCode, 0);

  // A failure after writing began (the target is a folder) leaves no partial file.
  fs::create_directory(dir / "folder");
  const std::size_t before = Entries();
  EXPECT_EQ(Seal("--name n --force", "folder").exitCode, 1);
  EXPECT_EQ(Entries(), before);
}

TEST_F(SealToolTest, VerifySaysWhichCheckFailed) {
  ASSERT_EQ(Seal("--name viewer_data").exitCode, 0);
  EXPECT_REFUSED(Verify("other_data"), "sealed for another name");

  const std::string bytes = Read("out");
  Write("short", bytes.substr(0, 1000));
  EXPECT_REFUSED(Verify("viewer_data", "short"), "shorter than the 1024-byte header");
  Write("truncated", bytes.substr(0, bytes.size() - 1));
  EXPECT_REFUSED(Verify("viewer_data", "truncated"), "payload is shorter");
  std::string flipped = bytes;
  flipped.back() ^= 1;
  Write("flipped", flipped);
  EXPECT_REFUSED(Verify("viewer_data", "flipped"), "payload digest does not match");
  flipped = bytes;
  flipped[500] ^= 1;
  Write("badheader", flipped);
  EXPECT_REFUSED(Verify("viewer_data", "badheader"), "header digest does not match");
  Write("modulus.hex", "abc");
  EXPECT_REFUSED(Run("verify --modulus modulus.hex --name viewer_data out"), "2048 digits");

  // A payload that passes every check of the package but that the reader
  // refuses: its end record counts one record, the directory holds none.
  Write("in.zip", std::string("PK\x05\x06\0\0\0\0\x01\0\x01\0", 12) + std::string(10, '\0'));
  ASSERT_EQ(Seal("--name viewer_data", "counted").exitCode, 0);
  EXPECT_REFUSED(Verify("viewer_data", "counted"), "not a ZIP archive the viewer can open: the central "
                                                   "directory holds fewer records than the end record counts");
}

TEST_F(SealToolTest, SealsAFolderAsAStandardArchive) {
  fs::create_directories(dir / "folder" / "sub");
  Write("folder/report.txt", "annual");
  Write("folder/\xe6\x97\xa5\xe6\x9c\xac.bin", std::string(100000, 'x'));  // 日本.bin
  Write("folder/sub/hidden.txt", "not shown");
  const Outcome sealed = Run("seal --key '" VELLUM_SOURCE_DIR "/keys/test_private_key.pem' --name n folder out");
  ASSERT_EQ(sealed.exitCode, 0) << sealed.output;
  const Outcome verified = Run("verify --modulus '" VELLUM_SOURCE_DIR
                               "/keys/test_public_modulus.hex' --name n --payload-out plain.zip out");
  ASSERT_EQ(verified.exitCode, 0) << verified.output;
  EXPECT_NE(verified.output.find("file   6\treport.txt\n"), std::string::npos) << verified.output;
  EXPECT_NE(verified.output.find("file   100000\t\xe6\x97\xa5\xe6\x9c\xac.bin\n"), std::string::npos);
  EXPECT_EQ(verified.output.find("hidden"), std::string::npos);
  // Other tools read the archive the same way.
  EXPECT_EQ(Shell("LC_ALL=C.UTF-8 unzip -tq plain.zip").exitCode, 0);
  EXPECT_EQ(Read("plain.zip").size() < 2000, true);  // deflated

  Write("folder/CON", "device name");
  EXPECT_REFUSED(Run("seal --key '" VELLUM_SOURCE_DIR "/keys/test_private_key.pem' --name n folder out2"),
                 "cannot be shown by the viewer");
  EXPECT_FALSE(fs::exists(dir / "out2"));
}

TEST_F(SealToolTest, UsageErrorsExitWithTwo) {
  EXPECT_EQ(Run("").exitCode, 2);
  EXPECT_EQ(Run("frobnicate").exitCode, 2);
  EXPECT_EQ(Run("seal --key k in.zip").exitCode, 2);
  EXPECT_EQ(Run("seal --bogus x").exitCode, 2);
  EXPECT_EQ(Run("--help").exitCode, 0);
}

}  // namespace
