// Telling the file kinds apart, and the compound-file edge of the .xls
// reader: the platform's structured storage opens the file from memory and
// gives the workbook stream to the BIFF reader.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "framework/ComPtr.h"
#include "spreadsheet/Readers.h"

namespace Spreadsheet {

namespace Reason {
const char* const kEmpty = "Файл пуст.";
const char* const kUnknownFormat = "Файл не является книгой Excel (.xls, .xlsx или .xlsm).";
const char* const kEncrypted = "Книга защищена паролем (зашифрована), прочитать её нельзя.";
const char* const kOldFormat = "Книги Excel 2.x–4.0 не поддерживаются. Сохраните книгу в формате Excel 97–2003 или новее.";
const char* const kDamaged = "Файл книги повреждён";
const char* const kTooLarge = "Книга слишком велика для чтения.";
const char* const kNoSheets = "В книге нет листов.";
}  // namespace Reason

namespace {

const unsigned char kOleMagic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

bool SameName(const wchar_t* a, const wchar_t* b) {
  for (; *a && *b; ++a, ++b)
    if (std::towlower(*a) != std::towlower(*b)) return false;
  return *a == *b;
}

// Checks the compound-file header and sector tables before the platform
// parses them, so that damaged chains are refused here rather than trusted.
bool CompoundFileLooksSound(const std::string& bytes) {
  auto u16 = [&](size_t o) { return static_cast<uint32_t>(static_cast<uint8_t>(bytes[o]) | (static_cast<uint8_t>(bytes[o + 1]) << 8)); };
  auto u32 = [&](size_t o) { return u16(o) | (u16(o + 2) << 16); };
  if (bytes.size() < 512) return false;
  uint32_t shift = u16(30);
  if (shift != 9 && shift != 12) return false;
  size_t sector = size_t(1) << shift;
  size_t sectors = (bytes.size() - 512 + sector - 1) / sector;
  uint32_t fatSectors = u32(44), dirStart = u32(48), difatStart = u32(68), difatCount = u32(72);
  if (fatSectors == 0 || fatSectors > sectors) return false;
  if (dirStart >= sectors) return false;
  // The sector ids the header lists for the allocation table must exist.
  std::vector<uint32_t> fat;
  size_t listed = 0;
  auto addFatSector = [&](uint32_t id) {
    if (id >= sectors) return false;
    size_t base = 512 + size_t(id) * sector;
    for (size_t i = 0; i < sector / 4 && base + 4 * i + 4 <= bytes.size(); ++i) fat.push_back(u32(base + 4 * i));
    return true;
  };
  for (size_t i = 0; i < 109 && listed < fatSectors; ++i, ++listed)
    if (!addFatSector(u32(76 + 4 * i))) return false;
  uint32_t difat = difatStart;
  for (uint32_t n = 0; listed < fatSectors; ++n) {
    if (n >= difatCount + 1 || difat >= sectors) return false;
    size_t base = 512 + size_t(difat) * sector;
    for (size_t i = 0; i + 1 < sector / 4 && listed < fatSectors; ++i, ++listed) {
      if (base + 4 * i + 4 > bytes.size() || !addFatSector(u32(base + 4 * i))) return false;
    }
    if (base + sector > bytes.size()) return false;
    difat = u32(base + sector - 4);
  }
  // Every chain (directory, and each stream in regular sectors) must end
  // without a loop, and no sector may belong to two chains: a damaged table
  // could otherwise hand one stream another's bytes.
  std::vector<uint8_t> used(sectors, 0);
  auto walk = [&](uint32_t start, std::vector<uint32_t>* chain) {
    for (uint32_t id = start; id != 0xFFFFFFFEu; id = fat[id]) {
      if (id >= fat.size() || id >= sectors || used[id]) return false;
      used[id] = 1;
      if (chain) chain->push_back(id);
    }
    return true;
  };
  std::vector<uint32_t> dirChain;
  if (!walk(dirStart, &dirChain)) return false;
  uint32_t cutoff = u32(56);
  // Directory entries: the platform walks their sibling tree by name, so a
  // link out of range or a cycle there must be refused before it is used.
  struct DirEntry {
    uint8_t type;
    uint32_t left, right, child, start, size;
  };
  std::vector<DirEntry> dir;
  for (uint32_t dirSector : dirChain) {
    size_t base = 512 + size_t(dirSector) * sector;
    for (size_t e = 0; e + 128 <= sector && base + e + 128 <= bytes.size(); e += 128) {
      size_t o = base + e;
      dir.push_back({static_cast<uint8_t>(bytes[o + 66]), u32(o + 68), u32(o + 72), u32(o + 76), u32(o + 116),
                     u32(o + 120)});
    }
  }
  if (dir.empty() || dir[0].type != 5) return false;
  std::vector<uint8_t> seen(dir.size(), 0);
  std::vector<uint32_t> pending{0};
  while (!pending.empty()) {
    uint32_t id = pending.back();
    pending.pop_back();
    if (id == 0xFFFFFFFFu) continue;
    if (id >= dir.size() || seen[id]) return false;
    seen[id] = 1;
    pending.push_back(dir[id].left);
    pending.push_back(dir[id].right);
    pending.push_back(dir[id].child);
  }
  // Every chain in regular sectors, the small-stream table's among them.
  for (size_t i = 0; i < dir.size(); ++i) {
    const DirEntry& d = dir[i];
    if (!seen[i]) continue;
    bool inRegularSectors = d.type == 5 || (d.type == 2 && d.size >= cutoff);
    if (inRegularSectors && d.size > 0 && d.start != 0xFFFFFFFEu && !walk(d.start, nullptr)) return false;
  }
  std::vector<uint32_t> miniFatChain;
  if (u32(64) > 0 && !walk(u32(60), &miniFatChain)) return false;
  std::vector<uint32_t> miniFat;
  for (uint32_t id : miniFatChain) {
    size_t base = 512 + size_t(id) * sector;
    for (size_t i = 0; i < sector / 4 && base + 4 * i + 4 <= bytes.size(); ++i) miniFat.push_back(u32(base + 4 * i));
  }
  std::vector<uint8_t> miniUsed(miniFat.size(), 0);
  for (size_t i = 0; i < dir.size(); ++i) {
    const DirEntry& d = dir[i];
    if (!seen[i] || d.type != 2 || d.size >= cutoff || d.size == 0) continue;
    for (uint32_t id = d.start; id != 0xFFFFFFFEu; id = miniFat[id]) {
      if (id >= miniFat.size() || miniUsed[id]) return false;
      miniUsed[id] = 1;
    }
  }
  return true;
}

// The file's bytes as read-only ILockBytes, so that the platform parses them
// where they are instead of in a second copy.
class BytesLockBytes : public ILockBytes {
 public:
  explicit BytesLockBytes(const std::string& bytes) : bytes_(bytes) {}
  virtual ~BytesLockBytes() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ILockBytes) {
      *out = static_cast<ILockBytes*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE ReadAt(ULARGE_INTEGER offset, void* pv, ULONG cb, ULONG* read) override {
    ULONG n = 0;
    if (offset.QuadPart < bytes_.size())
      n = static_cast<ULONG>(std::min<ULONGLONG>(cb, bytes_.size() - offset.QuadPart));
    if (n) std::memcpy(pv, bytes_.data() + offset.QuadPart, n);
    if (read) *read = n;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE WriteAt(ULARGE_INTEGER, const void*, ULONG, ULONG* written) override {
    if (written) *written = 0;
    return STG_E_ACCESSDENIED;
  }
  HRESULT STDMETHODCALLTYPE Flush() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* st, DWORD) override {
    if (!st) return E_POINTER;
    *st = STATSTG();
    st->type = STGTY_LOCKBYTES;
    st->cbSize.QuadPart = bytes_.size();
    return S_OK;
  }

 private:
  const std::string& bytes_;
  ULONG refs_ = 1;
};

bool ReadStreamBytes(IStorage* storage, const wchar_t* name, std::string& out) {
  TComPtr<IStream> stream;
  if (FAILED(storage->OpenStream(name, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Out()))) return false;
  STATSTG st = {};
  if (FAILED(stream->Stat(&st, STATFLAG_NONAME))) return false;
  if (st.cbSize.QuadPart > kMaxPartBytes) throw ReadError{Reason::kTooLarge};
  out.resize(static_cast<size_t>(st.cbSize.QuadPart));
  size_t got = 0;
  while (got < out.size()) {
    ULONG n = 0;
    HRESULT hr = stream->Read(&out[got], static_cast<ULONG>(out.size() - got), &n);
    if (FAILED(hr) || n == 0) break;
    got += n;
  }
  out.resize(got);  // a stream shorter than its directory entry says: keep what is there
  return true;
}

}  // namespace

bool ReadCompoundFile(const std::string& bytes, Workbook& book, AnsiString& reason) {
  try {
    if (!CompoundFileLooksSound(bytes)) throw ReadError{AnsiString(Reason::kDamaged) + " (неверная структура файла OLE)"};
    TComPtr<ILockBytes> lockBytes;
    lockBytes.Attach(new BytesLockBytes(bytes));
    TComPtr<IStorage> storage;
    if (FAILED(StgOpenStorageOnILockBytes(lockBytes.Get(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                          storage.Out())))
      throw ReadError{AnsiString(Reason::kDamaged) + " (не открывается как файл OLE)"};
    // Stream names are matched without regard to case ("WorkBook", "BOOK");
    // Excel prefers the BIFF8 "Workbook" to an older "Book".
    std::wstring workbookName, bookName;
    bool encrypted = false;
    TComPtr<IEnumSTATSTG> items;
    if (SUCCEEDED(storage->EnumElements(0, nullptr, 0, items.Out()))) {
      STATSTG st;
      for (int guard = 0; guard < 100000 && items->Next(1, &st, nullptr) == S_OK; ++guard) {
        if (st.pwcsName) {
          if (st.type == STGTY_STREAM && SameName(st.pwcsName, L"Workbook")) workbookName = st.pwcsName;
          if (st.type == STGTY_STREAM && SameName(st.pwcsName, L"Book")) bookName = st.pwcsName;
          if (SameName(st.pwcsName, L"EncryptedPackage") || SameName(st.pwcsName, L"EncryptionInfo")) encrypted = true;
          CoTaskMemFree(st.pwcsName);
        }
      }
    }
    if (encrypted) throw ReadError{Reason::kEncrypted};
    std::string stream;
    if (!(!workbookName.empty() && ReadStreamBytes(storage.Get(), workbookName.c_str(), stream)) &&
        !(!bookName.empty() && ReadStreamBytes(storage.Get(), bookName.c_str(), stream)))
      throw ReadError{Reason::kUnknownFormat};
    return ReadBiffStream(stream, book, reason);
  } catch (const ReadError& e) {
    reason = e.reason;
  } catch (const std::bad_alloc&) {
    reason = Reason::kTooLarge;
  }
  book = Workbook();
  return false;
}

bool ReadWorkbook(const std::string& bytes, Workbook& book, AnsiString& reason) {
  if (bytes.empty()) {
    reason = Reason::kEmpty;
    return false;
  }
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), kOleMagic, 8) == 0) return ReadCompoundFile(bytes, book, reason);
  if (bytes.size() >= 4 && bytes.compare(0, 2, "PK") == 0) return ReadXlsx(bytes, book, reason);
  if (bytes.size() >= 4) {
    unsigned type = static_cast<uint8_t>(bytes[0]) | (static_cast<uint8_t>(bytes[1]) << 8);
    if (type == 0x0809) return ReadBiffStream(bytes, book, reason);  // a bare BIFF5/8 stream, no OLE wrapper
    if ((type == 0x0009 || type == 0x0209 || type == 0x0409) && static_cast<uint8_t>(bytes[3]) == 0) {
      reason = Reason::kOldFormat;
      return false;
    }
  }
  reason = Reason::kUnknownFormat;
  return false;
}

}  // namespace Spreadsheet
