#pragma once
// The temporary directory as a set of lines: every folder and file under it,
// relative path, files with their size.
#include <set>
#include <string>
#include <vector>

namespace e2e {

using TreeSnapshot = std::set<std::wstring>;

TreeSnapshot SnapshotTree(const std::wstring& root);
// Lines only in `after` with "+", only in `before` with "-".
std::vector<std::wstring> TreeDifferences(const TreeSnapshot& before, const TreeSnapshot& after);
// The GUID-named folders directly in root, as full paths.
std::vector<std::wstring> WorkingFolders(const std::wstring& root);
// The names of the files (not folders) directly in folder, sorted.
std::vector<std::wstring> FilesIn(const std::wstring& folder);

}  // namespace e2e
