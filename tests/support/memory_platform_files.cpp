// The files, folders and searches of the in-memory platform.
#include <cstring>

#include "tests/support/memory_file.h"
#include "tests/support/memory_platform.h"
#include "tests/support/memory_platform_parts.h"

namespace vellum {
namespace {

Text LastComponent(const Text& path) { return path.substr(path.find_last_of(u'\\') + 1); }

// The file system's wildcards: * for any run, ? for any one character.
bool Matches(const char16_t* pattern, const char16_t* name) {
  for (; *pattern; ++pattern, ++name) {
    if (*pattern == u'*') {
      for (;; ++name) {
        if (Matches(pattern + 1, name)) return true;
        if (!*name) return false;
      }
    }
    if (!*name || (*pattern != u'?' && *pattern != *name)) return false;
  }
  return !*name;
}

}  // namespace

using memory_paths::Components;
using memory_paths::Upper;

class MemoryPlatform::OpenFile final : public File, Tracked {
 public:
  OpenFile(MemoryPlatform& platform, std::shared_ptr<Body> body, bool writable)
      : Tracked(platform), body_(std::move(body)), writable_(writable), file_(body_->bytes) {
    ++(writable_ ? body_->exclusive : body_->sharedReaders);
  }
  ~OpenFile() override { --(writable_ ? body_->exclusive : body_->sharedReaders); }

  // Bytes move as in any in-memory file; who may write is this file's own.
  bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) override { return file_.Read(buffer, size, bytesRead); }
  bool Write(const void* data, uint32_t size, uint32_t& bytesWritten) override {
    bytesWritten = 0;
    return writable_ && file_.Write(data, size, bytesWritten);
  }
  bool Seek(uint64_t offset) override { return file_.Seek(offset); }
  bool GetSize(uint64_t& size) override { return file_.GetSize(size); }

  bool SetTimes(const FileTimes& times) override {
    // Setting times needs write access, which a file opened for reading lacks.
    if (!writable_) return false;
    FileTimes& kept = body_->times;
    if (times.creation) kept.creation = times.creation;
    if (times.lastAccess) kept.lastAccess = times.lastAccess;
    if (times.lastWrite) kept.lastWrite = times.lastWrite;
    return true;
  }

 private:
  std::shared_ptr<Body> body_;
  bool writable_;
  MemoryFile file_;
};

class MemoryPlatform::Search final : public FileSearch, Tracked {
 public:
  Search(MemoryPlatform& platform, std::vector<FoundEntry> entries)
      : Tracked(platform), entries_(std::move(entries)) {}

  bool Next(FoundEntry& entry) override {
    if (next_ == entries_.size()) return false;
    entry = entries_[next_++];
    return true;
  }

 private:
  std::vector<FoundEntry> entries_;  // as they were when the search started
  size_t next_ = 0;
};

std::unique_ptr<File> MemoryPlatform::OpenReader(std::shared_ptr<Body> body) {
  return std::make_unique<OpenFile>(*this, std::move(body), false);
}

std::unique_ptr<File> MemoryPlatform::OpenForReading(const Text& path) {
  Node* node = FindFile(path);
  if (!node || node->body->exclusive) return nullptr;
  return OpenReader(node->body);
}

std::unique_ptr<File> MemoryPlatform::CreateAlways(const Text& path) {
  Text key, name;
  Node* folder = FolderToMakeIn(path, key, name);
  if (!folder) return nullptr;
  Node* node = Find(key);
  if (node) {
    if (node->kind != Node::Kind::kFile || node->readOnly || node->body->InUse()) return nullptr;
    node->body->bytes->clear();  // truncated; it keeps its creation time
    node->body->times.lastAccess = node->body->times.lastWrite = now;
  } else {
    auto body = std::make_shared<Body>();
    body->times = {now, now, now};
    node = &nodes_.emplace(key, Node{Node::Kind::kFile, folder->path + u'\\' + name, body, {}})
                .first->second;
  }
  return std::make_unique<OpenFile>(*this, node->body, true);
}

bool MemoryPlatform::DeleteFile(const Text& path) {
  const auto it = nodes_.find(KeyOf(path, false));
  if (it == nodes_.end() || it->second.kind != Node::Kind::kFile || it->second.readOnly ||
      it->second.body->InUse()) {
    return false;
  }
  nodes_.erase(it);
  return true;
}

bool MemoryPlatform::CreateDirectory(const Text& path) {
  Text key, name;
  const Node* folder = FolderToMakeIn(path, key, name);
  if (!folder || Find(key)) return false;
  nodes_.emplace(key, Node{Node::Kind::kFolder, folder->path + u'\\' + name, nullptr, {}});
  return true;
}

bool MemoryPlatform::RemoveDirectory(const Text& path) {
  const Text key = KeyOf(path, false);
  const auto it = nodes_.find(key);
  // A volume root stays; a junction goes without its target.
  if (it == nodes_.end() || it->second.kind == Node::Kind::kFile || it->second.readOnly ||
      key.find(u'\\') == Text::npos) {
    return false;
  }
  if (it->second.kind == Node::Kind::kFolder && !Below(key, true).empty()) return false;
  nodes_.erase(it);
  return true;
}

std::unique_ptr<FileSearch> MemoryPlatform::FindFiles(const Text& pattern) {
  std::vector<Text> parts = Components(pattern);
  if (parts.size() < 2 || pattern.back() == u'\\' || pattern.back() == u'/') return nullptr;
  const Text wanted = Upper(parts.back());
  parts.pop_back();
  const Text folderKey = KeyOf(parts, true);
  const Node* folder = Find(folderKey);
  if (!folder || folder->kind != Node::Kind::kFolder) return nullptr;

  std::vector<FoundEntry> entries;
  auto offer = [&](const Text& name, bool isDirectory, bool isReparsePoint) {
    if (Matches(wanted.c_str(), Upper(name).c_str())) {
      entries.push_back(FoundEntry{name, isDirectory, isReparsePoint});
    }
  };
  // Like NTFS: every folder but a volume's root lists itself and its parent first.
  if (folderKey.find(u'\\') != Text::npos) {
    offer(u".", true, false);
    offer(u"..", true, false);
  }
  for (const Node* node : Below(folderKey, true)) {
    offer(LastComponent(node->path), node->kind != Node::Kind::kFile,
          node->kind == Node::Kind::kJunction);
  }
  if (entries.empty()) return nullptr;
  return std::make_unique<Search>(*this, std::move(entries));
}

bool MemoryPlatform::NewGuidText(Text& text) {
  if (!guidTexts.empty()) {
    text = std::move(guidTexts.front());
    guidTexts.pop_front();
    return true;
  }
  // Distinct made-up GUIDs: a running number in the last group.
  text = u"{5EB1A7C0-0000-4000-8000-000000000000}";
  uint64_t number = ++guids_;
  for (size_t i = text.size() - 2; number; --i, number >>= 4) {
    text[i] = u"0123456789ABCDEF"[number & 15];
  }
  return true;
}

}  // namespace vellum
