#include "spreadsheet/CompoundFile.h"

#include <algorithm>
#include <cstring>

#include "spreadsheet/Bytes.h"
#include "spreadsheet/Readers.h"

namespace Spreadsheet {
namespace {

constexpr uint32_t kEndOfChain = 0xFFFFFFFEu;
constexpr uint32_t kNoEntry = 0xFFFFFFFFu;
constexpr uint64_t kMiniCutoff = 4096;  // fixed by the format, whatever the header holds
constexpr size_t kMiniSector = 64;
constexpr size_t kEntrySize = 128;
const unsigned char kMagic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

enum : uint8_t { kUnused = 0, kStorage = 1, kStream = 2, kRoot = 5 };

[[noreturn]] void Damaged(const char* detail) {
  throw ReadError{AnsiString(Reason::kDamaged) + " (" + detail + ")"};
}

// A table word; one past the end of the file (a last sector cut short) reads
// as a free sector, which no chain may lead through.
uint32_t Word(const std::string& b, size_t o) {
  if (o > b.size() || b.size() - o < 4) return kNoEntry;
  return U16(b, o) | (U16(b, o + 2) << 16);
}

}  // namespace

CompoundFile::CompoundFile(const std::string& bytes) : bytes_(bytes) {
  if (bytes.size() < 512 || std::memcmp(bytes.data(), kMagic, 8) != 0) Damaged("нет заголовка файла OLE");
  uint32_t major = U16(bytes, 26), shift = U16(bytes, 30);
  if (U16(bytes, 28) != 0xFFFE || U16(bytes, 32) != 6 || !((major == 3 && shift == 9) || (major == 4 && shift == 12)))
    Damaged("неверный заголовок файла OLE");
  // Sector n starts at (n + 1) sectors: the header fills sector -1 whole,
  // 4,096 bytes in a version-4 file.
  sector_ = size_t(1) << shift;
  if (bytes.size() <= sector_) Damaged("файл OLE оборван");
  sectors_ = (bytes.size() - 1) / sector_;  // the last one may be cut short
  const size_t perSector = sector_ / 4;
  headerAsRequired_ = Word(bytes, 56) == kMiniCutoff;

  // Each sector serves one purpose: a table, the directory or one stream.
  std::vector<uint8_t> used(sectors_, 0);
  auto take = [&](uint32_t id) {
    if (id >= sectors_ || used[id]) Damaged("неверная цепочка секторов файла OLE");
    used[id] = 1;
    return sector_ + size_t(id) * sector_;
  };

  uint32_t fatCount = Word(bytes, 44), difat = Word(bytes, 68), difatCount = Word(bytes, 72);
  if (fatCount == 0 || fatCount > sectors_) Damaged("неверная таблица размещения файла OLE");
  std::vector<uint32_t> fatSectors;
  for (size_t i = 0; i < 109 && fatSectors.size() < fatCount; ++i) fatSectors.push_back(Word(bytes, 76 + 4 * i));
  for (uint32_t n = 0; fatSectors.size() < fatCount; ++n) {
    if (n >= difatCount) Damaged("неверная таблица размещения файла OLE");
    size_t base = take(difat);
    for (size_t i = 0; i + 1 < perSector && fatSectors.size() < fatCount; ++i) fatSectors.push_back(Word(bytes, base + 4 * i));
    difat = Word(bytes, base + sector_ - 4);
  }
  fat_.reserve(fatSectors.size() * perSector);
  for (uint32_t id : fatSectors) {
    size_t base = take(id);
    for (size_t i = 0; i < perSector; ++i) fat_.push_back(Word(bytes, base + 4 * i));
  }
  // A chain ends, stays inside the file and its table, and shares no
  // sector: a loop or a shared sector would let one stream run forever or
  // read another's bytes.
  auto walk = [&](const std::vector<uint32_t>& table, uint32_t start, size_t count, std::vector<uint8_t>& mark) {
    std::vector<uint32_t> chain;
    for (uint32_t id = start; id != kEndOfChain; id = table[id]) {
      if (id >= table.size() || id >= count || mark[id]) Damaged("неверная цепочка секторов файла OLE");
      mark[id] = 1;
      chain.push_back(id);
    }
    return chain;
  };

  for (uint32_t id : walk(fat_, Word(bytes, 48), sectors_, used)) {
    size_t base = sector_ + size_t(id) * sector_;
    for (size_t e = 0; e < sector_ && base + e + kEntrySize <= bytes.size(); e += kEntrySize) {
      size_t o = base + e;
      Entry d;
      d.type = static_cast<uint8_t>(bytes[o + 66]);
      if (d.type != kUnused && d.type != kStorage && d.type != kStream && d.type != kRoot)
        Damaged("неверный каталог файла OLE");
      size_t nameChars = std::min<size_t>(U16(bytes, o + 64) / 2, 32);
      for (size_t i = 0; i < nameChars; ++i) {
        wchar_t c = static_cast<wchar_t>(U16(bytes, o + 2 * i));
        if (c == 0) break;
        d.name += c;
      }
      d.left = Word(bytes, o + 68);
      d.right = Word(bytes, o + 72);
      d.child = Word(bytes, o + 76);
      d.start = Word(bytes, o + 116);
      // Version 3 writers may leave junk in the high half of the size.
      d.size = Word(bytes, o + 120);
      if (major == 4 && Word(bytes, o + 124) != 0) throw ReadError{Reason::kTooLarge};
      dir_.push_back(std::move(d));
    }
  }
  if (dir_.empty() || dir_[0].type != kRoot) Damaged("нет корня каталога файла OLE");

  // The directory tree: every link in range, to a used entry, met once.
  std::vector<uint8_t> seen(dir_.size(), 0);
  std::vector<std::pair<uint32_t, bool>> pending{{0u, false}};  // entry, directly under the root
  while (!pending.empty()) {
    auto [id, underRoot] = pending.back();
    pending.pop_back();
    if (id == kNoEntry) continue;
    if (id >= dir_.size() || seen[id] || dir_[id].type == kUnused || (id != 0 && dir_[id].type == kRoot))
      Damaged("неверный каталог файла OLE");
    seen[id] = 1;
    const Entry& d = dir_[id];
    if (underRoot) items_.push_back({d.name, d.start, d.type == kStream ? d.size : 0, d.type != kStream});
    pending.push_back({d.left, underRoot});
    pending.push_back({d.right, underRoot});
    if (d.type != kStream) pending.push_back({d.child, id == 0});
  }

  // Streams of 4,096 bytes and more, and the mini stream (the root's), sit in
  // regular sectors; the smaller ones in 64-byte pieces of the mini stream.
  const Entry& root = dir_[0];
  miniStream_ = ReadChain(walk(fat_, root.size ? root.start : kEndOfChain, sectors_, used), sector_, bytes,
                          sector_, root.size);
  for (size_t i = 1; i < dir_.size(); ++i)
    if (seen[i] && dir_[i].type == kStream && dir_[i].size >= kMiniCutoff) walk(fat_, dir_[i].start, sectors_, used);
  uint32_t miniFatStart = Word(bytes, 60);
  if (Word(bytes, 64) == 0) miniFatStart = kEndOfChain;
  for (uint32_t id : walk(fat_, miniFatStart, sectors_, used)) {
    size_t base = sector_ + size_t(id) * sector_;
    for (size_t i = 0; i < perSector; ++i) miniFat_.push_back(Word(bytes, base + 4 * i));
  }
  std::vector<uint8_t> miniUsed(miniFat_.size(), 0);
  size_t miniSectors = (miniStream_.size() + kMiniSector - 1) / kMiniSector;
  for (size_t i = 1; i < dir_.size(); ++i)
    if (seen[i] && dir_[i].type == kStream && dir_[i].size > 0 && dir_[i].size < kMiniCutoff)
      walk(miniFat_, dir_[i].start, miniSectors, miniUsed);
}

std::string CompoundFile::ReadChain(const std::vector<uint32_t>& chain, size_t unit, const std::string& from,
                                    size_t base, uint64_t size) const {
  std::string out;
  out.reserve(static_cast<size_t>(std::min<uint64_t>(size, uint64_t(chain.size()) * unit)));
  for (uint32_t id : chain) {
    if (out.size() >= size) break;
    size_t at = base + size_t(id) * unit;
    if (at >= from.size()) break;
    out.append(from, at, std::min<size_t>(unit, from.size() - at));
  }
  if (out.size() > size) out.resize(static_cast<size_t>(size));
  return out;
}

std::string CompoundFile::Read(const Stream& stream) const {
  // The chains were checked when the file was opened: they end.
  bool mini = stream.size < kMiniCutoff;
  const std::vector<uint32_t>& table = mini ? miniFat_ : fat_;
  std::vector<uint32_t> chain;
  for (uint32_t id = stream.size ? stream.start : kEndOfChain; id != kEndOfChain && id < table.size() &&
                                                              chain.size() < table.size();
       id = table[id])
    chain.push_back(id);
  return mini ? ReadChain(chain, kMiniSector, miniStream_, 0, stream.size)
              : ReadChain(chain, sector_, bytes_, sector_, stream.size);
}

}  // namespace Spreadsheet
