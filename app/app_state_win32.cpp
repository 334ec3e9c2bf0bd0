#include "app/app_state.h"

#include <cwchar>

#include "app/cpu_features.h"
#include "app/viewer_names.h"

namespace vellum {

AppStateRecord AppState;

unsigned GetExePath(Text& path) {
  return GetExePathWith(
      [](char16_t* buffer, uint32_t size, uint32_t& lastError) -> uint32_t {
        const DWORD reported = GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(buffer), size);
        lastError = GetLastError();
        return reported;
      },
      path);
}

bool InitApp(HINSTANCE instance) {
  AppState.instance = instance;
  auto factory = std::make_unique<CryptoFactory>();
  DetectProcessorFeatures(*factory);
  AppState.cryptoFactory = std::move(factory);

  GetExePath(AppState.exePath);
  ExeNames names = DeriveExeNames(AppState.exePath);
  AppState.exeFolder = std::move(names.exeFolder);
  AppState.exeFileName = std::move(names.exeFileName);
  AppState.baseName = std::move(names.baseName);
  AppState.packageName = std::move(names.packageName);
  AppState.packagePath = std::move(names.packagePath);

  if (FAILED(OleInitialize(nullptr))) return false;

  const DWORD length = GetTempPathW(0, nullptr);
  if (length != 0) {
    std::wstring buffer(length, L'\0');
    GetTempPathW(length, buffer.data());
    AppState.tempDir = FromWide(buffer.c_str());
  }
  return true;
}

}  // namespace vellum
