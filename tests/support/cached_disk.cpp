// The cache and the disk of CachedDisk: the names and bytes as the system sees them,
// and the part of them the flushes put on the disk.
#include "tests/support/cached_disk.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace orvella::test {

namespace fs = std::filesystem;

namespace {

// The pieces of a relative path, empty ones ("a//b", a leading '/') skipped.
std::vector<std::string_view> Pieces(std::string_view path) {
  std::vector<std::string_view> pieces;
  while (!path.empty()) {
    const std::size_t slash = path.find('/');
    const std::string_view piece = path.substr(0, slash);
    if (!piece.empty()) pieces.push_back(piece);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return pieces;
}

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("CachedDisk: cannot read " + file.string());
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

CachedDisk::CachedDisk(const fs::path& folder) {
  std::map<std::pair<std::uintmax_t, std::uintmax_t>, Node> seen;
  if (Read(folder, seen) != 0 || !nodes_[0].folder)
    throw std::runtime_error("CachedDisk: not a folder: " + folder.string());
}

CachedDisk::Node CachedDisk::Read(const fs::path& path,
                                  std::map<std::pair<std::uintmax_t, std::uintmax_t>, Node>& seen) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0)
    throw std::runtime_error("CachedDisk: cannot look at " + path.string());
  // Hard links: one node, however many names.
  const auto key = std::make_pair(static_cast<std::uintmax_t>(info.st_dev),
                                  static_cast<std::uintmax_t>(info.st_ino));
  if (const auto known = seen.find(key); known != seen.end()) return known->second;
  if (S_ISREG(info.st_mode)) {
    const Node file = NewNode(false);
    nodes_[file].bytes = ReadBytes(path);
    return seen[key] = file;
  }
  if (!S_ISDIR(info.st_mode))
    throw std::runtime_error("CachedDisk: neither a file nor a folder: " + path.string());
  const Node folder = NewNode(true);
  seen[key] = folder;
  for (const fs::directory_entry& entry : fs::directory_iterator(path)) {
    const Node child = Read(entry.path(), seen);
    nodes_[folder].names[entry.path().filename().string()] = child;
  }
  nodes_[folder].disk = nodes_[folder].names;
  return folder;
}

CachedDisk::Node CachedDisk::NewNode(bool folder) {
  nodes_.push_back(Entry{});
  nodes_.back().folder = folder;
  return nodes_.size() - 1;
}

CachedDisk::Node CachedDisk::Find(std::string_view path) const {
  Node node = 0;
  for (const std::string_view piece : Pieces(path)) {
    if (!nodes_[node].folder) return kNoNode;
    const auto found = nodes_[node].names.find(piece);
    if (found == nodes_[node].names.end()) return kNoNode;
    node = found->second;
  }
  return node;
}

bool CachedDisk::IsFolder(Node node) const {
  return node < nodes_.size() && nodes_[node].folder;
}

CachedDisk::Node CachedDisk::ParentOf(std::string_view path, std::string& leaf) const {
  const std::vector<std::string_view> pieces = Pieces(path);
  if (pieces.empty()) return kNoNode;
  Node node = 0;
  for (std::size_t i = 0; i + 1 < pieces.size() && node != kNoNode; ++i) {
    const auto found = nodes_[node].names.find(pieces[i]);
    node = found != nodes_[node].names.end() && IsFolder(found->second) ? found->second : kNoNode;
  }
  leaf = std::string(pieces.back());
  return node;
}

bool CachedDisk::Add(std::string_view path, bool folder) {
  std::string leaf;
  const Node parent = ParentOf(path, leaf);
  if (parent == kNoNode || nodes_[parent].names.count(leaf) != 0) return false;
  const Node node = NewNode(folder);
  nodes_[parent].names[leaf] = node;
  return true;
}

bool CachedDisk::Link(std::string_view from, std::string_view to) {
  const Node file = Find(from);
  std::string leaf;
  const Node parent = ParentOf(to, leaf);
  if (file == kNoNode || IsFolder(file) || parent == kNoNode ||
      nodes_[parent].names.count(leaf) != 0) {
    return false;
  }
  nodes_[parent].names[leaf] = file;
  return true;
}

bool CachedDisk::Remove(std::string_view path) {
  std::string leaf;
  const Node parent = ParentOf(path, leaf);
  return parent != kNoNode && nodes_[parent].names.erase(leaf) == 1;
}

bool CachedDisk::Rename(std::string_view from, std::string_view to, bool exchange) {
  std::string fromLeaf;
  std::string toLeaf;
  const Node fromParent = ParentOf(from, fromLeaf);
  const Node toParent = ParentOf(to, toLeaf);
  if (fromParent == kNoNode || toParent == kNoNode) return false;
  Entries& source = nodes_[fromParent].names;
  Entries& target = nodes_[toParent].names;
  const auto moved = source.find(fromLeaf);
  if (moved == source.end()) return false;
  const Node node = moved->second;
  const auto replaced = target.find(toLeaf);
  if (exchange) {
    if (replaced == target.end()) return false;
    moved->second = replaced->second;
    replaced->second = node;
    return true;
  }
  // Two names of one file: rename does nothing at all.
  if (replaced != target.end() && replaced->second == node) return true;
  source.erase(moved);
  target[toLeaf] = node;
  return true;
}

void CachedDisk::FlushFile(Node file, std::string bytes) {
  if (file < nodes_.size() && !nodes_[file].folder) nodes_[file].bytes = std::move(bytes);
}

void CachedDisk::FlushFolder(Node folder) {
  if (IsFolder(folder)) nodes_[folder].disk = nodes_[folder].names;
}

std::vector<std::pair<std::string, CachedDisk::Node>> CachedDisk::Files() const {
  std::vector<std::pair<std::string, Node>> files;
  std::vector<bool> seen(nodes_.size());
  CollectFiles(0, "", files, seen);
  return files;
}

void CachedDisk::CollectFiles(Node folder, const std::string& at,
                              std::vector<std::pair<std::string, Node>>& files,
                              std::vector<bool>& seen) const {
  for (const auto& [name, node] : nodes_[folder].names) {
    if (seen[node]) continue;  // a second name of a file (a folder has one name)
    seen[node] = true;
    const std::string path = at.empty() ? name : at + "/" + name;
    if (nodes_[node].folder) {
      CollectFiles(node, path, files, seen);
    } else {
      files.emplace_back(path, node);
    }
  }
}

void CachedDisk::FlushFolders() {
  for (Entry& entry : nodes_) {
    if (entry.folder) entry.disk = entry.names;
  }
}

void CachedDisk::WriteDisk(const fs::path& folder, Names names) const {
  for (const fs::directory_entry& entry : fs::directory_iterator(folder))
    fs::remove_all(entry.path());
  std::map<Node, fs::path> written;
  std::vector<Node> ancestors = {0};
  Write(nodes_[0], folder, names, written, ancestors);
}

void CachedDisk::Write(const Entry& folder, const fs::path& at, Names names,
                       std::map<Node, fs::path>& written, std::vector<Node>& ancestors) const {
  for (const auto& [name, node] : names == Names::kAsFlushed ? folder.disk : folder.names) {
    const fs::path path = at / name;
    const Entry& entry = nodes_[node];
    if (entry.folder) {
      // Folders moved into each other, each flushed apart, could name each other on the
      // disk; a journaling file system never leaves that, so the loop is cut here.
      if (std::find(ancestors.begin(), ancestors.end(), node) != ancestors.end()) continue;
      fs::create_directory(path);
      ancestors.push_back(node);
      Write(entry, path, names, written, ancestors);
      ancestors.pop_back();
    } else if (const auto first = written.find(node); first != written.end()) {
      fs::create_hard_link(first->second, path);
    } else {
      std::ofstream out(path, std::ios::binary);
      out.write(entry.bytes.data(), static_cast<std::streamsize>(entry.bytes.size()));
      if (!out.flush()) throw std::runtime_error("CachedDisk: cannot write " + path.string());
      written[node] = path;
    }
  }
}

}  // namespace orvella::test
