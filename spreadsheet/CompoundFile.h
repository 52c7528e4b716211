#pragma once
// A read-only OLE compound file over bytes in memory. The whole structure is
// checked when it is opened (header, allocation tables, directory tree, every
// stream's chain), so that neither our reader nor the platform's storage code
// ever follows a damaged chain. Portable C++: throws ReadError.
#include <cstdint>
#include <string>
#include <vector>

namespace Spreadsheet {

class CompoundFile {
 public:
  // Throws ReadError (damaged, too large) unless the structure is sound.
  explicit CompoundFile(const std::string& bytes);

  struct Stream {
    std::wstring name;
    uint32_t start;
    uint64_t size;
    bool storage;  // a storage, not a stream: Read gives nothing
  };
  // False where the header departs from the format in a way this reader
  // tolerates (a mini-stream cutoff other than 4,096).
  bool HeaderAsRequired() const { return headerAsRequired_; }
  // The streams and storages directly under the root storage.
  const std::vector<Stream>& RootItems() const { return items_; }
  // A stream's bytes; as many as its chain holds when the directory claims
  // more (never more than the chain, whatever the directory says).
  std::string Read(const Stream& stream) const;

 private:
  struct Entry {
    std::wstring name;
    uint8_t type;
    uint32_t left, right, child, start;
    uint64_t size;
  };
  std::string ReadChain(const std::vector<uint32_t>& chain, size_t unit, const std::string& from, size_t base,
                        uint64_t size) const;

  const std::string& bytes_;
  size_t sector_ = 512;
  size_t sectors_ = 0;
  std::vector<uint32_t> fat_, miniFat_;
  std::vector<Entry> dir_;
  std::vector<Stream> items_;
  std::string miniStream_;
  bool headerAsRequired_ = true;
};

}  // namespace Spreadsheet
