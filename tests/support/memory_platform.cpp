#include "tests/support/memory_platform.h"

#include <algorithm>

#include "tests/support/memory_platform_parts.h"

namespace vellum {

namespace memory_paths {

std::vector<Text> Components(const Text& path) {
  std::vector<Text> parts;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == u'\\' || path[i] == u'/') {
      if (i > start) parts.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

Text Upper(Text text) {
  for (char16_t& c : text) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return text;
}

}  // namespace memory_paths

namespace {

// Characters no Windows file system accepts in a name.
bool IsAllowedName(const Text& name) {
  return std::none_of(name.begin(), name.end(), [](char16_t c) {
    return c < 0x20 || Text(u"<>:\"|?*").find(c) != Text::npos;
  });
}

}  // namespace

using memory_paths::Components;
using memory_paths::Upper;

MemoryPlatform::MemoryPlatform() = default;
MemoryPlatform::~MemoryPlatform() = default;

Text MemoryPlatform::KeyOf(const std::vector<Text>& parts, bool followLast) const {
  Text key;
  for (size_t i = 0; i < parts.size(); ++i) {
    key = i == 0 ? Upper(parts[i]) : key + u'\\' + Upper(parts[i]);
    if (i + 1 == parts.size() && !followLast) break;
    for (int hops = 0;; ++hops) {
      const Node* node = Find(key);
      if (!node || node->kind != Node::Kind::kJunction) break;
      if (hops == 32) return Text();
      key = node->targetKey;
    }
  }
  return key;
}

Text MemoryPlatform::KeyOf(const Text& path, bool followLast) const {
  return KeyOf(Components(path), followLast);
}

const MemoryPlatform::Node* MemoryPlatform::Find(const Text& key) const {
  const auto it = nodes_.find(key);
  return it == nodes_.end() ? nullptr : &it->second;
}

const MemoryPlatform::Node* MemoryPlatform::FindFile(const Text& path) const {
  const Node* node = Find(KeyOf(path, true));
  return node && node->kind == Node::Kind::kFile ? node : nullptr;
}

MemoryPlatform::Node* MemoryPlatform::FindFile(const Text& path) {
  return const_cast<Node*>(std::as_const(*this).FindFile(path));
}

std::vector<const MemoryPlatform::Node*> MemoryPlatform::Below(const Text& key,
                                                               bool childrenOnly) const {
  std::vector<const Node*> found;
  const Text prefix = key + u'\\';
  for (auto it = nodes_.lower_bound(prefix);
       it != nodes_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
    if (!childrenOnly || it->first.find(u'\\', prefix.size()) == Text::npos) {
      found.push_back(&it->second);
    }
  }
  return found;
}

MemoryPlatform::Node* MemoryPlatform::FolderToMakeIn(const Text& path, Text& key, Text& name) {
  const std::vector<Text> parts = Components(path);
  if (parts.size() < 2 || !IsAllowedName(parts.back())) return nullptr;
  name = parts.back();
  key = KeyOf(parts, false);
  const size_t cut = key.find_last_of(u'\\');
  if (key.empty() || cut == Text::npos) return nullptr;
  Node* folder = Find(key.substr(0, cut));
  return folder && folder->kind == Node::Kind::kFolder ? folder : nullptr;
}

Text MemoryPlatform::MakeFolders(const std::vector<Text>& parts) {
  Text key, shown;
  for (const Text& part : parts) {
    key = key.empty() ? Upper(part) : key + u'\\' + Upper(part);
    shown = shown.empty() ? part : shown + u'\\' + part;
    Node* node = Find(key);
    for (int hops = 0; node && node->kind == Node::Kind::kJunction && hops < 32; ++hops) {
      key = node->targetKey;
      node = Find(key);
    }
    if (!node)
      node = &nodes_.emplace(key, Node{Node::Kind::kFolder, shown, nullptr, {}}).first->second;
    shown = node->path;
  }
  return key;
}

void MemoryPlatform::AddFolder(const Text& path) { MakeFolders(Components(path)); }

void MemoryPlatform::AddFile(const Text& path, std::vector<uint8_t> bytes, const FileTimes& times) {
  std::vector<Text> parts = Components(path);
  if (parts.size() < 2) return;
  const Text name = parts.back();
  parts.pop_back();
  const Text folderKey = MakeFolders(parts);
  auto body = std::make_shared<Body>();
  *body->bytes = std::move(bytes);
  body->times = times;
  nodes_[folderKey + u'\\' + Upper(name)] =
      Node{Node::Kind::kFile, Find(folderKey)->path + u'\\' + name, std::move(body), {}};
}

void MemoryPlatform::AddJunction(const Text& path, const Text& target) {
  std::vector<Text> parts = Components(path);
  if (parts.size() < 2) return;
  const Text targetKey = MakeFolders(Components(target));
  const Text name = parts.back();
  parts.pop_back();
  const Text folderKey = MakeFolders(parts);
  nodes_[folderKey + u'\\' + Upper(name)] =
      Node{Node::Kind::kJunction, Find(folderKey)->path + u'\\' + name, nullptr, targetKey};
}

void MemoryPlatform::SetReadOnly(const Text& path) {
  if (Node* node = Find(KeyOf(path, false))) node->readOnly = true;
}

void MemoryPlatform::HoldOpen(const Text& path) {
  Node* node = FindFile(path);
  if (!node || node->body->held) return;
  node->body->held = true;
  ++node->body->sharedReaders;
}

void MemoryPlatform::LetGo(const Text& path) {
  Node* node = FindFile(path);
  if (!node || !node->body->held) return;
  node->body->held = false;
  --node->body->sharedReaders;
}

bool MemoryPlatform::Exists(const Text& path) const { return Find(KeyOf(path, false)) != nullptr; }

bool MemoryPlatform::IsFolder(const Text& path) const {
  const Node* node = Find(KeyOf(path, false));
  return node && node->kind != Node::Kind::kFile;
}

bool MemoryPlatform::IsJunction(const Text& path) const {
  const Node* node = Find(KeyOf(path, false));
  return node && node->kind == Node::Kind::kJunction;
}

std::vector<uint8_t> MemoryPlatform::FileBytes(const Text& path) const {
  const Node* node = FindFile(path);
  return node ? *node->body->bytes : std::vector<uint8_t>();
}

FileTimes MemoryPlatform::FileTimesOf(const Text& path) const {
  const Node* node = FindFile(path);
  return node ? node->body->times : FileTimes();
}

std::vector<Text> MemoryPlatform::ListAll(const Text& folder) const {
  std::vector<Text> paths;
  for (const Node* node : Below(KeyOf(folder, true), false)) paths.push_back(node->path);
  return paths;
}

}  // namespace vellum
