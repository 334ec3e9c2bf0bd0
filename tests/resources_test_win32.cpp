// Reads the resources back out of the built viewer and checks every text by
// its UTF-16 code units, so a wrong code page in the resource script shows.
#include <gtest/gtest.h>

#include <cstring>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "platform/win32_api.h"
#include "resources/resource.h"

namespace {

constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// The build names the viewer by its host path; under Wine the host's root
// is drive Z.
std::wstring ViewerPath() {
  const std::string host = VELLUM_VIEWER_EXE;
  std::wstring path = host.front() == '/' ? L"Z:" : L"";
  for (char c : host) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}

class ViewerResources : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = LoadLibraryExW(ViewerPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  static void TearDownTestSuite() {
    if (module_) FreeLibrary(module_);
  }

  // The resource's bytes, after checking that it exists in Japanese only.
  static std::vector<uint8_t> Resource(const wchar_t* type, WORD id) {
    std::vector<WORD> languages;
    EnumResourceLanguagesW(module_, type, MAKEINTRESOURCEW(id), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{kJapanese}) << "resource " << id;
    const HRSRC found = FindResourceExW(module_, type, MAKEINTRESOURCEW(id), kJapanese);
    if (!found) return {};
    const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module_, found)));
    return std::vector<uint8_t>(data, data + SizeofResource(module_, found));
  }

  static HMODULE module_;

 private:
  static BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR out) {
    reinterpret_cast<std::vector<WORD>*>(out)->push_back(language);
    return TRUE;
  }
};
HMODULE ViewerResources::module_ = nullptr;

std::vector<uint16_t> Units(const std::vector<uint8_t>& bytes) {
  std::vector<uint16_t> units(bytes.size() / 2);
  std::memcpy(units.data(), bytes.data(), units.size() * 2);
  return units;
}

void Append(std::vector<uint16_t>& out, std::initializer_list<uint16_t> words) {
  out.insert(out.end(), words);
}
void AppendText(std::vector<uint16_t>& out, const char16_t* text) {
  for (; *text; ++text) out.push_back(*text);
  out.push_back(0);
}

TEST_F(ViewerResources, ViewerLoadsAsData) { ASSERT_NE(module_, nullptr); }

TEST_F(ViewerResources, ContextMenuHasCopyAndSelectAllUnderOnePopup) {
  ASSERT_NE(module_, nullptr);
  std::vector<uint16_t> expected{0, 0};  // menu template version and header size
  Append(expected, {MF_POPUP | MF_END});
  AppendText(expected, u"a");
  Append(expected, {0, IDM_COPY});
  AppendText(expected, u"\u30b3\u30d4\u30fc(&C)");  // コピー(&C)
  Append(expected, {MF_END, IDM_SELECT_ALL});
  AppendText(expected, u"\u3059\u3079\u3066\u9078\u629e(&A)");  // すべて選択(&A)
  EXPECT_EQ(Units(Resource(RT_MENU, IDR_CONTEXT_MENU)), expected);
  EXPECT_EQ(IDM_COPY, 57634);
  EXPECT_EQ(IDM_SELECT_ALL, 57642);
}

TEST_F(ViewerResources, AcceleratorsAreCtrlCCtrlInsertAndCtrlA) {
  ASSERT_NE(module_, nullptr);
  constexpr uint16_t kFlags = FVIRTKEY | FCONTROL | FNOINVERT;
  constexpr uint16_t kLastEntry = 0x80;
  const std::vector<uint16_t> expected{kFlags, 'C', IDM_COPY, 0,
                                       kFlags, VK_INSERT, IDM_COPY, 0,
                                       kFlags | kLastEntry, 'A', IDM_SELECT_ALL, 0};
  EXPECT_EQ(Units(Resource(RT_ACCELERATOR, IDR_ACCELERATORS)), expected);
}

// Reads a little-endian extended dialog template field by field.
class TemplateReader {
 public:
  explicit TemplateReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  uint16_t Word() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
  uint32_t Dword() { return Word() | static_cast<uint32_t>(Word()) << 16; }
  uint8_t Byte() { return at_ < bytes_.size() ? bytes_[at_++] : (overrun_ = true, 0); }
  std::u16string Text() {
    std::u16string text;
    for (uint16_t unit = Word(); unit != 0 && !overrun_; unit = Word()) text += static_cast<char16_t>(unit);
    return text;
  }
  void AlignToDword() { at_ = (at_ + 3) & ~size_t{3}; }
  bool AtEnd() const { return at_ == bytes_.size() && !overrun_; }

 private:
  const std::vector<uint8_t>& bytes_;
  size_t at_ = 0;
  bool overrun_ = false;
};

TEST_F(ViewerResources, PreparingDialogIsCaptionlessWithOneCentredText) {
  ASSERT_NE(module_, nullptr);
  const std::vector<uint8_t> bytes = Resource(RT_DIALOG, IDD_PREPARING);
  TemplateReader dialog(bytes);
  EXPECT_EQ(dialog.Word(), 1);       // extended template version
  EXPECT_EQ(dialog.Word(), 0xFFFF);  // its signature
  EXPECT_EQ(dialog.Dword(), 0u);     // help id
  EXPECT_EQ(dialog.Dword(), 0u);     // extended style
  EXPECT_EQ(dialog.Dword(), 0x800800C8u);
  EXPECT_EQ(dialog.Word(), 1);  // controls
  const std::vector<uint16_t> frame{dialog.Word(), dialog.Word(), dialog.Word(), dialog.Word()};
  EXPECT_EQ(frame, (std::vector<uint16_t>{0, 0, 162, 52}));
  EXPECT_EQ(dialog.Word(), 0);  // no menu
  EXPECT_EQ(dialog.Word(), 0);  // the standard dialog class
  EXPECT_EQ(dialog.Text(), u"");
  EXPECT_EQ(dialog.Word(), 8);    // points
  EXPECT_EQ(dialog.Word(), 400);  // weight
  EXPECT_EQ(dialog.Byte(), 0);    // not italic
  EXPECT_EQ(dialog.Byte(), 1);    // character set
  EXPECT_EQ(dialog.Text(), u"MS Shell Dlg");

  dialog.AlignToDword();
  EXPECT_EQ(dialog.Dword(), 0u);  // help id
  EXPECT_EQ(dialog.Dword(), 0u);  // extended style
  EXPECT_EQ(dialog.Dword(), 0x50020001u);
  const std::vector<uint16_t> place{dialog.Word(), dialog.Word(), dialog.Word(), dialog.Word()};
  EXPECT_EQ(place, (std::vector<uint16_t>{30, 20, 105, 8}));
  EXPECT_EQ(static_cast<int32_t>(dialog.Dword()), -1);
  EXPECT_EQ(dialog.Word(), 0xFFFF);  // class by atom:
  EXPECT_EQ(dialog.Word(), 0x0082);  // static
  EXPECT_EQ(dialog.Text(), u"\u6e96\u5099\u4e2d\u2026");  // 準備中…
  EXPECT_EQ(dialog.Word(), 0);  // no creation data
  EXPECT_TRUE(dialog.AtEnd());
}

TEST_F(ViewerResources, ManifestAsksForTheInvokingUserAndCommonControls6) {
  ASSERT_NE(module_, nullptr);
  const std::vector<uint8_t> bytes = Resource(MAKEINTRESOURCEW(24), 1);
  const std::string manifest(bytes.begin(), bytes.end());
  EXPECT_NE(manifest.find(R"(requestedExecutionLevel level="asInvoker")"), std::string::npos);
  EXPECT_NE(manifest.find(R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"),
            std::string::npos);
  // Windows 7, 8, 8.1, 10 and 11, and system DPI awareness.
  for (const char* os : {"35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                         "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) {
    EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"{") + os + "}\"/>"), std::string::npos) << os;
  }
  EXPECT_NE(manifest.find(R"(<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>)"),
            std::string::npos);
}

// Read the way Explorer's Properties reads it.
TEST(ViewerVersion, NamesTheProductItsVersionAndOriginalNameInJapaneseAndEnglish) {
  const std::wstring path = ViewerPath();
  DWORD ignored = 0;
  std::vector<uint8_t> info(GetFileVersionInfoSizeW(path.c_str(), &ignored));
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
  const auto value = [&](const std::wstring& key) -> std::wstring {
    void* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), key.c_str(), &text, &length) || !text) return L"";
    return static_cast<const wchar_t*>(text);
  };
  const std::string project = VELLUM_PROJECT_VERSION;
  const std::wstring version(project.begin(), project.end());
  for (const wchar_t* block : {L"041104B0", L"040904B0"}) {
    const std::wstring at = std::wstring(L"\\StringFileInfo\\") + block + L"\\";
    EXPECT_EQ(value(at + L"ProductName"), L"Vellum");
    EXPECT_EQ(value(at + L"OriginalFilename"), L"vellum.exe");
    EXPECT_EQ(value(at + L"FileVersion"), version);
    EXPECT_EQ(value(at + L"ProductVersion"), version);
  }
  EXPECT_EQ(value(L"\\StringFileInfo\\041104B0\\FileDescription"),
            L"\u5c01\u5370\u30d1\u30c3\u30b1\u30fc\u30b8 \u30d3\u30e5\u30fc\u30a2");  // 封印パッケージ ビューア
  EXPECT_EQ(value(L"\\StringFileInfo\\040904B0\\FileDescription"), L"Sealed-package viewer");
  void* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", &fixed, &length) && length >= sizeof(VS_FIXEDFILEINFO));
  const auto* numbers = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  EXPECT_EQ(std::to_wstring(HIWORD(numbers->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(numbers->dwFileVersionMS)) +
                L"." + std::to_wstring(HIWORD(numbers->dwFileVersionLS)),
            version);
  EXPECT_EQ(numbers->dwFileType, static_cast<DWORD>(VFT_APP));
}

// The DLLs Windows loads before the viewer's first instruction, read from
// the file's import directory: only kernel32 and the C runtime, which
// Windows always takes from the system folder. Any other would be searched
// for beside the executable, in a downloads folder, before the viewer could
// restrict the search.
std::set<std::string> StaticallyImportedDlls(const std::wstring& exePath) {
  std::vector<uint8_t> image;
  if (FILE* file = _wfopen(exePath.c_str(), L"rb")) {
    uint8_t buffer[65536];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, file)) > 0;) image.insert(image.end(), buffer, buffer + got);
    fclose(file);
  }
  std::set<std::string> dlls;
  const auto at = [&](size_t offset, size_t size) { return offset + size <= image.size(); };
  if (!at(0, sizeof(IMAGE_DOS_HEADER))) return dlls;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
  if (!at(dos->e_lfanew, sizeof(IMAGE_NT_HEADERS))) return dlls;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image.data() + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  const auto* sections = IMAGE_FIRST_SECTION(nt);
  const auto offsetOf = [&](DWORD rva) -> size_t {
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
      const IMAGE_SECTION_HEADER& section = sections[i];
      if (rva >= section.VirtualAddress && rva < section.VirtualAddress + section.SizeOfRawData) {
        return rva - section.VirtualAddress + section.PointerToRawData;
      }
    }
    return image.size();
  };
  for (size_t entry = offsetOf(imports.VirtualAddress); at(entry, sizeof(IMAGE_IMPORT_DESCRIPTOR));
       entry += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    const auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + entry);
    if (descriptor->Name == 0) break;
    std::string name;
    for (size_t c = offsetOf(descriptor->Name); c < image.size() && image[c]; ++c) {
      name += static_cast<char>(tolower(image[c]));
    }
    dlls.insert(name);
  }
  return dlls;
}

TEST(ViewerImports, OnlyKernel32AndTheCRuntimeLoadBeforeTheDllSearchIsRestricted) {
  EXPECT_EQ(StaticallyImportedDlls(ViewerPath()), (std::set<std::string>{"kernel32.dll", "msvcrt.dll"}));
}

}  // namespace
