#pragma once
// A read-only zip archive over bytes in memory: the central directory, and
// stored or deflated entries inflated on demand with a cap on their size.
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace Spreadsheet {

class XmlSource;

class ZipArchive {
 public:
  struct Entry {
    std::string name;
    uint16_t method = 0;  // 0 stored, 8 deflated
    uint32_t compressedSize = 0;
    uint32_t size = 0;
    size_t dataOffset = 0;  // start of the entry's data in the archive
  };

  // Throws ReadError when the bytes hold no readable central directory.
  explicit ZipArchive(const std::string& bytes);

  // Part names compare without regard to case, as package part names do.
  const Entry* Find(const std::string& name) const;
  const std::vector<Entry>& Entries() const { return entries_; }
  // The whole entry; throws ReadError when it is damaged or larger than cap.
  std::string Extract(const Entry& entry, size_t cap) const;
  // A source that inflates the entry as it is read (for the XML parser); a
  // read throws ReadError once the output passes cap. The archive must
  // outlive it.
  std::unique_ptr<XmlSource> OpenSource(const Entry& entry, size_t cap) const;

 private:
  const std::string& bytes_;
  std::vector<Entry> entries_;
  std::unordered_map<std::string, size_t> index_;  // lower-case name -> first entry
  // What all entries together may still inflate to: many parts, each under
  // its own cap, must not add up to a bomb either.
  mutable size_t budget_;
};

// Package part names: the folder of a part ("xl/" of "xl/workbook.xml"), a
// relationship target resolved from that folder ("..", "." and a leading
// "/" taken into account), and the tail of a relationship type.
std::string FolderOf(const std::string& part);
std::string ResolveTarget(const std::string& folder, const std::string& target);
bool EndsWith(const std::string& s, const char* tail);

}  // namespace Spreadsheet
