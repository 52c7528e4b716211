#include "spreadsheet/Zip.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "spreadsheet/Bytes.h"
#include "spreadsheet/Readers.h"
#include "spreadsheet/XmlPull.h"

namespace Spreadsheet {
namespace {


[[noreturn]] void Damaged(const char* detail) {
  throw ReadError{AnsiString(Reason::kDamaged) + " (" + detail + ")"};
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// Inflates (or copies) one entry on demand, never past cap bytes.
class EntryReader : public XmlSource {
 public:
  EntryReader(const std::string& bytes, const ZipArchive::Entry& e, size_t cap, size_t& budget)
      : cap_(cap), budget_(budget), stored_(e.method == 0) {
    if (e.method != 0 && e.method != 8) Damaged("неизвестный способ сжатия ZIP");
    std::memset(&z_, 0, sizeof z_);
    if (!stored_ && inflateInit2(&z_, -MAX_WBITS) != Z_OK) throw ReadError{Reason::kTooLarge};
    z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data())) + e.dataOffset;
    z_.avail_in = e.compressedSize;
  }
  ~EntryReader() override {
    if (!stored_) inflateEnd(&z_);
  }
  EntryReader(const EntryReader&) = delete;
  EntryReader& operator=(const EntryReader&) = delete;

  size_t Read(char* buf, size_t n) override {
    if (done_ || n == 0) return 0;
    size_t got;
    if (stored_) {
      got = std::min<size_t>(n, z_.avail_in);
      std::memcpy(buf, z_.next_in, got);
      z_.next_in += got;
      z_.avail_in -= static_cast<uInt>(got);
      done_ = z_.avail_in == 0;
    } else {
      z_.next_out = reinterpret_cast<Bytef*>(buf);
      z_.avail_out = static_cast<uInt>(n);
      int rc = inflate(&z_, Z_NO_FLUSH);
      got = n - z_.avail_out;
      if (rc == Z_STREAM_END) done_ = true;
      else if (rc != Z_OK && !(rc == Z_BUF_ERROR && got > 0)) Damaged("испорчены сжатые данные");
      if (got == 0 && !done_) Damaged("сжатые данные оборваны");
    }
    total_ += got;
    if (total_ > cap_ || got > budget_) throw ReadError{Reason::kTooLarge};
    budget_ -= got;
    return got;
  }

 private:
  size_t cap_;
  size_t& budget_;
  bool stored_;
  z_stream z_;
  bool done_ = false;
  size_t total_ = 0;
};

}  // namespace

ZipArchive::ZipArchive(const std::string& bytes) : bytes_(bytes), budget_(InflateBudget(bytes.size())) {
  // The end record sits in the last 64 KiB + 22 bytes (its comment may vary).
  if (bytes.size() < 22) Damaged("архив ZIP слишком короткий");
  size_t end = std::string::npos;
  size_t lowest = bytes.size() > 65557 ? bytes.size() - 65557 : 0;
  for (size_t i = bytes.size() - 22 + 1; i-- > lowest;) {
    if (bytes[i] == 'P' && bytes[i + 1] == 'K' && bytes[i + 2] == 5 && bytes[i + 3] == 6) {
      end = i;
      break;
    }
  }
  if (end == std::string::npos) Damaged("нет оглавления архива ZIP");
  uint32_t count = U16(bytes, end + 10);
  uint32_t dirSize = U32(bytes, end + 12);
  uint32_t dirOffset = U32(bytes, end + 16);
  if (dirOffset == 0xFFFFFFFFu || count == 0xFFFF) Damaged("архивы ZIP64 не поддерживаются");
  // Every offset check compares against what remains, so that no sum of
  // file-given numbers can wrap past the buffer on a 32-bit build.
  if (dirOffset > end || dirSize > end - dirOffset) Damaged("оглавление архива ZIP вне файла");
  size_t at = dirOffset;
  entries_.reserve(std::min<size_t>(count, dirSize / 46 + 1));
  for (uint32_t i = 0; i < count; ++i) {
    if (at > end || end - at < 46 || U32(bytes, at) != 0x02014b50) Damaged("повреждено оглавление архива ZIP");
    Entry e;
    e.method = static_cast<uint16_t>(U16(bytes, at + 10));
    e.compressedSize = U32(bytes, at + 20);
    e.size = U32(bytes, at + 24);
    uint32_t nameLen = U16(bytes, at + 28), extraLen = U16(bytes, at + 30), commentLen = U16(bytes, at + 32);
    uint32_t local = U32(bytes, at + 42);
    if (end - at - 46 < nameLen) Damaged("повреждено оглавление архива ZIP");
    e.name = bytes.substr(at + 46, nameLen);
    at += 46 + static_cast<size_t>(nameLen) + extraLen + commentLen;
    if (local >= bytes.size() || bytes.size() - local < 30 || U32(bytes, local) != 0x04034b50) continue;
    size_t header = 30 + static_cast<size_t>(U16(bytes, local + 26)) + U16(bytes, local + 28);
    if (bytes.size() - local < header) continue;
    e.dataOffset = local + header;
    if (bytes.size() - e.dataOffset < e.compressedSize) continue;  // truncated entry
    entries_.push_back(std::move(e));
  }
  // One look-up table for all finds: a directory of thousands of names must
  // not be scanned once per part the reader asks for. The first entry of a
  // name stands, as before.
  index_.reserve(entries_.size());
  for (size_t i = 0; i < entries_.size(); ++i) index_.emplace(Lower(entries_[i].name), i);
}

const ZipArchive::Entry* ZipArchive::Find(const std::string& name) const {
  auto it = index_.find(Lower(name));
  return it == index_.end() ? nullptr : &entries_[it->second];
}

std::string ZipArchive::Extract(const Entry& entry, size_t cap) const {
  EntryReader r(bytes_, entry, cap, budget_);
  std::string out;
  out.reserve(std::min<size_t>(entry.size, cap));
  char buf[65536];
  while (size_t got = r.Read(buf, sizeof buf)) out.append(buf, got);
  return out;
}

std::unique_ptr<XmlSource> ZipArchive::OpenSource(const Entry& entry, size_t cap) const {
  return std::make_unique<EntryReader>(bytes_, entry, cap, budget_);
}

std::string FolderOf(const std::string& part) {
  size_t slash = part.rfind('/');
  return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

std::string ResolveTarget(const std::string& folder, const std::string& target) {
  std::string path = !target.empty() && target[0] == '/' ? target.substr(1) : folder + target;
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    std::string piece = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (piece == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!piece.empty() && piece != ".") {
      parts.push_back(piece);
    }
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : "/") + p;
  return out;
}

bool EndsWith(const std::string& s, const char* tail) {
  size_t n = std::strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

}  // namespace Spreadsheet
