#include "tests/fake_platform.h"

#include <algorithm>
#include <functional>

#include "platform/unicode.h"

namespace fake {

using platform::FileHandle;
using platform::kInvalidFile;

struct FakePlatform::Node {
  std::u16string name;
  bool folder = false;
  uint32_t attributes = 0;
  std::string bytes;
  std::string durable;  // what of `bytes` is on the disk
  bool is_link = false;
  std::u16string target;
  bool held_open = false;
  uint64_t id = 0;
  std::vector<std::unique_ptr<Node>> children;  // in the order they were made

  Node* Child(const std::u16string& wanted) {
    for (auto& child : children) {
      if (SameName(child->name, wanted)) return child.get();
    }
    return nullptr;
  }
  static bool SameName(const std::u16string& a, const std::u16string& b) {
    const auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char16_t x, char16_t y) { return fold(x) == fold(y); });
  }
  uint32_t Attributes() const {
    if (is_link) return platform::kAttrDirectory | platform::kAttrReparsePoint | attributes;
    if (folder) return platform::kAttrDirectory | attributes;
    return attributes == 0 ? 0x80 : attributes;  // FILE_ATTRIBUTE_NORMAL
  }
};

namespace {

constexpr size_t kMaxPath = 260;

std::vector<std::u16string> Components(const std::u16string& path) {
  std::vector<std::u16string> parts;
  std::u16string part;
  for (char16_t c : path) {
    if (c == u'\\' || c == u'/') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

}  // namespace

FakePlatform::FakePlatform() : top_(new Node) {
  top_->folder = true;
  calls_.reserve(1 << 16);  // counting a call must not allocate, not even in a close
  remove_attempts.reserve(1 << 10);
}
FakePlatform::~FakePlatform() = default;

bool FakePlatform::Fails(Call call) {
  if (crashed_ || static_cast<int>(calls_.size()) == crash_after_) {
    Die();
    throw Crashed{};
  }
  calls_.push_back(call);
  current_way_ = fail_way_;
  return static_cast<int>(calls_.size()) == fail_at_;
}

void FakePlatform::Die() {
  if (crashed_) return;
  crashed_ = true;
  if (!power_lost_) return;
  std::function<void(Node*)> lose = [&](Node* node) {
    if (!node->folder) node->bytes = node->durable;
    if (!node->is_link) {
      for (auto& child : node->children) lose(child.get());
    }
  };
  lose(top_.get());
}

void FakePlatform::Restart() {
  handles_.clear();
  crashed_ = false;
  crash_after_ = -1;
  fail_at_ = 0;
}

FakePlatform::Node* FakePlatform::Parent(const std::u16string& path) {
  const size_t cut = path.find_last_of(u"\\/");
  Node* parent = cut == std::u16string::npos ? nullptr : Find(path.substr(0, cut), true);
  return parent != nullptr && parent->folder ? parent : nullptr;
}

bool FakePlatform::InUse(const Node* file) const {
  if (file->held_open) return true;
  for (const auto& h : handles_) {
    if (h.second == file) return true;
  }
  return false;
}

FakePlatform::Node* FakePlatform::Find(const std::u16string& path, bool follow_last, int depth) {
  if (path.size() >= kMaxPath || depth > 16) return nullptr;
  const std::vector<std::u16string> parts = Components(path);
  Node* node = top_.get();
  for (size_t i = 0; i < parts.size(); ++i) {
    if (!node->folder) return nullptr;
    node = node->Child(parts[i]);
    if (node == nullptr) return nullptr;
    if (node->is_link && (follow_last || i + 1 < parts.size())) {
      node = Find(node->target, true, depth + 1);
      if (node == nullptr) return nullptr;
    }
  }
  return node;
}

FakePlatform::Node* FakePlatform::Make(const std::u16string& path, bool folder, uint32_t attributes) {
  Node* node = top_.get();
  const std::vector<std::u16string> parts = Components(path);
  for (size_t i = 0; i < parts.size(); ++i) {
    Node* child = node->Child(parts[i]);
    if (child == nullptr) {
      node->children.emplace_back(new Node);
      child = node->children.back().get();
      child->name = parts[i];
      child->folder = true;
      child->id = next_id_++;
    }
    node = child;
  }
  node->folder = folder;
  node->attributes = attributes;
  return node;
}

void FakePlatform::AddFolder(const std::u16string& path, uint32_t attributes) {
  Make(path, true, attributes);
}

void FakePlatform::AddFile(const std::u16string& path, const std::string& bytes, uint32_t attributes) {
  Node* file = Make(path, false, attributes);
  file->bytes = bytes;
  file->durable = bytes;
}

void FakePlatform::AddLink(const std::u16string& path, const std::u16string& target) {
  Node* node = Make(path, true, 0);
  node->is_link = true;
  node->target = target;
}

void FakePlatform::HoldOpen(const std::u16string& path) { Find(path, false)->held_open = true; }

bool FakePlatform::Exists(const std::u16string& path) { return Find(path, false) != nullptr; }

std::string FakePlatform::Read(const std::u16string& path) {
  Node* node = Find(path, false);
  return node ? node->bytes : std::string();
}

std::vector<std::u16string> FakePlatform::Files() {
  std::vector<std::u16string> files;
  std::function<void(Node*, const std::u16string&)> walk = [&](Node* node, const std::u16string& at) {
    for (auto& child : node->children) {
      const std::u16string path = at.empty() ? child->name : at + u'\\' + child->name;
      if (!child->folder) files.push_back(path);
      if (child->folder && !child->is_link) walk(child.get(), path);
    }
  };
  walk(top_.get(), u"");
  return files;
}

std::u16string FakePlatform::CommandLine() {
  Fails(Call::kCommandLine);  // the command line is always there
  return command_line;
}

std::u16string FakePlatform::OwnExecutablePath() {
  return Fails(Call::kOwnExecutable) ? std::u16string() : executable;
}

bool FakePlatform::SpecialFolderPath(int csidl, std::u16string* path) {
  if (Fails(Call::kSpecialFolder) || csidl != platform::kCsidlAppData || !app_data_known) return false;
  *path = app_data;
  return true;
}

uint32_t FakePlatform::FileAttributes(const std::u16string& path) {
  Node* node = Find(path, false);
  if (Fails(Call::kAttributes) || node == nullptr) return platform::kInvalidAttributes;
  return node->Attributes();
}

bool FakePlatform::CanOpenTarget(const std::u16string& path) {
  return !Fails(Call::kOpenTarget) && Find(path, true) != nullptr;
}

bool FakePlatform::GetFolderId(const std::u16string& path, platform::FolderId* id) {
  Node* node = Find(path, true);
  if (Fails(Call::kFolderId) || node == nullptr || !node->folder) return false;
  id->volume = 1;
  id->index = node->id;
  return true;
}

void FakePlatform::ListFolder(const std::u16string& pattern, const ListEntry& each) {
  if (Fails(Call::kListOpen) || pattern.size() < 2 || pattern.compare(pattern.size() - 2, 2, u"\\*") != 0) return;
  Node* folder = Find(pattern.substr(0, pattern.size() - 2), true);
  if (folder == nullptr || !folder->folder) return;
  if (Fails(Call::kListEntry)) return;
  each(u".", platform::kAttrDirectory);
  if (Fails(Call::kListEntry)) return;
  each(u"..", platform::kAttrDirectory);
  // By index: `each` may not change the tree, but the vector is read afresh.
  for (size_t i = 0; i < folder->children.size(); ++i) {
    if (Fails(Call::kListEntry)) return;
    each(folder->children[i]->name, folder->children[i]->Attributes());
  }
}

FileHandle FakePlatform::CreateFile(const std::u16string& path) {
  create_attempts.push_back(path);
  if (Fails(Call::kCreate) || path.size() >= kMaxPath) return kInvalidFile;
  const std::vector<std::u16string> parts = Components(path);
  if (parts.empty()) return kInvalidFile;
  const size_t cut = path.find_last_of(u"\\/");
  Node* parent = cut == std::u16string::npos ? nullptr : Find(path.substr(0, cut), true);
  if (parent == nullptr || !parent->folder) return kInvalidFile;
  Node* file = parent->Child(parts.back());
  if (file != nullptr) {
    // Windows refuses to replace a hidden or system file with a normal one.
    const uint32_t refused = platform::kAttrReadOnly | platform::kAttrHidden | platform::kAttrSystem;
    if (file->folder || InUse(file) || (file->attributes & refused)) return kInvalidFile;
    file->bytes.clear();
    file->durable.clear();
    file->attributes = 0;
    handles_[next_handle_] = file;
  } else {
    // Everything that allocates comes first, so that running out of memory
    // leaves neither a file nor a handle.
    std::unique_ptr<Node> made(new Node);
    made->name = parts.back();
    made->id = next_id_++;
    file = made.get();
    handles_[next_handle_] = nullptr;
    try {
      parent->children.push_back(std::move(made));
    } catch (...) {
      handles_.erase(next_handle_);
      throw;
    }
    handles_[next_handle_] = file;
  }
  return next_handle_++;
}

bool FakePlatform::WriteFile(FileHandle handle, const char* data, uint32_t size, uint32_t* written) {
  const bool fails = Fails(Call::kWrite);
  const auto it = handles_.find(handle);
  if (it == handles_.end()) return false;
  ++writes_;
  uint32_t take = std::min(size, write_cap);
  if (zero_writes.count(writes_)) take = 0;
  if (fails) {
    if (current_way_ == Failure::kFail) return false;
    take = current_way_ == Failure::kTakeNothing ? 0 : size / 2;
  }
  if (take > disk_free) return false;  // the disk is full
  disk_free -= take;
  it->second->bytes.append(data, take);
  *written = take;
  return true;
}

bool FakePlatform::FlushFile(FileHandle handle) {
  if (Fails(Call::kFlush)) return false;
  const auto it = handles_.find(handle);
  if (it == handles_.end()) return false;
  it->second->durable = it->second->bytes;
  return true;
}

bool FakePlatform::MoveReplacing(const std::u16string& from, const std::u16string& to) {
  if (Fails(Call::kMove) || from.size() >= kMaxPath || to.size() >= kMaxPath) return false;
  Node* from_parent = Parent(from);
  Node* to_parent = Parent(to);
  Node* source = from_parent ? Find(from, false) : nullptr;
  if (source == nullptr || source->folder || InUse(source) || to_parent == nullptr) return false;
  Node* target = Find(to, false);
  if (target == source) return true;
  // Windows refuses a read-only target too; Wine as root does not.
  if (target != nullptr && (target->folder || InUse(target) ||
                            (target->attributes & platform::kAttrReadOnly))) {
    return false;
  }
  // Everything that allocates comes first, so that running out of memory
  // changes nothing.
  std::u16string name = Components(to).back();
  to_parent->children.reserve(to_parent->children.size() + 1);
  const auto at = [](std::vector<std::unique_ptr<Node>>& nodes, const Node* node) {
    return std::find_if(nodes.begin(), nodes.end(), [&](const std::unique_ptr<Node>& n) { return n.get() == node; });
  };
  auto from_at = at(from_parent->children, source);
  std::unique_ptr<Node> moved = std::move(*from_at);
  from_parent->children.erase(from_at);
  moved->name = std::move(name);
  if (target != nullptr) {
    *at(to_parent->children, target) = std::move(moved);
  } else {
    to_parent->children.push_back(std::move(moved));
  }
  return true;
}

bool FakePlatform::CloseFile(FileHandle handle) noexcept {
  bool fails = false;
  try {
    fails = Fails(Call::kClose);
  } catch (const Crashed&) {
    return false;
  }
  const bool known = handles_.erase(handle) == 1;
  return known && !fails;
}

bool FakePlatform::RemoveFile(const std::u16string& path) noexcept {
  try {
    remove_attempts.push_back(path);
    return !Fails(Call::kRemove) && Remove(path);
  } catch (...) {  // no memory to find the file
    return false;
  }
}

bool FakePlatform::Remove(const std::u16string& path) {
  Node* parent = Parent(path);
  Node* file = parent ? Find(path, false) : nullptr;
  // Windows refuses to remove a read-only file.
  if (file == nullptr || file->folder || InUse(file) || (file->attributes & platform::kAttrReadOnly)) {
    return false;
  }
  auto& siblings = parent->children;
  siblings.erase(std::find_if(siblings.begin(), siblings.end(),
                              [&](const std::unique_ptr<Node>& n) { return n.get() == file; }));
  return true;
}

bool FakePlatform::ToUtf8(const std::u16string& text, std::string* utf8) {
  if (Fails(Call::kToUtf8)) return false;
  *utf8 = platform::Utf16ToUtf8(text);
  return true;
}

bool FakePlatform::ListProcesses(const ProcessEntry& each) {
  if (Fails(Call::kProcesses) || !snapshot_available) return false;
  for (const std::u16string& process : processes) each(process);
  return true;
}

bool FakePlatform::WriteStdout(const std::u16string& text) {
  if (Fails(Call::kStdout) || stdout_refuses) return false;
  stdout_text += text;
  return true;
}

void FakePlatform::Exit(int code) { throw ExitCalled{code}; }

}  // namespace fake
