#include "temp_snapshot.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

namespace e2e {
namespace {

bool IsDots(const wchar_t* name) { return !wcscmp(name, L".") || !wcscmp(name, L".."); }

void Walk(const std::wstring& root, const std::wstring& relative, TreeSnapshot& out) {
  WIN32_FIND_DATAW entry{};
  const HANDLE search = FindFirstFileW((root + relative + L"*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (IsDots(entry.cFileName)) continue;
    const std::wstring path = relative + entry.cFileName;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out.insert(path + L"\\");
      Walk(root, path + L"\\", out);
    } else {
      const unsigned long long size = (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) |
                                      entry.nFileSizeLow;
      out.insert(path + L" " + std::to_wstring(size));
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
}

bool IsGuidName(const std::wstring& name) {
  if (name.size() != 38 || name.front() != L'{' || name.back() != L'}') return false;
  for (size_t i = 1; i < 37; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? name[i] != L'-' : !iswxdigit(name[i])) return false;
  }
  return true;
}

}  // namespace

TreeSnapshot SnapshotTree(const std::wstring& root) {
  TreeSnapshot out;
  Walk(root, L"", out);
  return out;
}

std::vector<std::wstring> TreeDifferences(const TreeSnapshot& before, const TreeSnapshot& after) {
  std::vector<std::wstring> lines;
  for (const auto& line : after) {
    if (!before.count(line)) lines.push_back(L"+" + line);
  }
  for (const auto& line : before) {
    if (!after.count(line)) lines.push_back(L"-" + line);
  }
  return lines;
}

std::vector<std::wstring> WorkingFolders(const std::wstring& root) {
  std::vector<std::wstring> folders;
  WIN32_FIND_DATAW entry{};
  const HANDLE search = FindFirstFileW((root + L"*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return folders;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsGuidName(entry.cFileName)) {
      folders.push_back(root + entry.cFileName);
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  std::sort(folders.begin(), folders.end());
  return folders;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> files;
  WIN32_FIND_DATAW entry{};
  const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(entry.cFileName);
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace e2e
