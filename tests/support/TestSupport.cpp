#include "tests/support/TestSupport.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <sstream>

MessageBoxRecorder::MessageBoxRecorder() {
  previous_ = Application->SetMessageBoxResponder([this](const AnsiString& text, const AnsiString& caption,
                                                         unsigned flags) {
    boxes_.push_back({text, caption, flags});
    if (answers_.empty()) return IDOK;
    int a = answers_.front();
    answers_.pop_front();
    return a;
  });
}

MessageBoxRecorder::~MessageBoxRecorder() { Application->SetMessageBoxResponder(previous_); }

namespace {
void RemoveTree(const std::string& dir) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = fd.cFileName;
      if (name == "." || name == "..") continue;
      std::string full = dir + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(full + "\\");
      } else {
        SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(full.c_str());
      }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryA(dir.c_str());
}
}  // namespace

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  for (;;) {
    std::ostringstream name;
    name << base << "x2z-" << GetCurrentProcessId() << "-" << GetTickCount() << "-" << counter++;
    if (CreateDirectoryA(name.str().c_str(), nullptr)) {
      path_ = name.str() + "\\";
      return;
    }
  }
}

TempDir::~TempDir() { RemoveTree(path_); }

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Escaped(const std::string& bytes) {
  std::string out;
  char buf[8];
  for (unsigned char c : bytes) {
    if (c < 32 || c > 126 || c == '\\') {
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

unsigned long StartProcess(const std::wstring& commandLine, const std::wstring& dir, PROCESS_INFORMATION* pi) {
  for (int attempt = 1;; ++attempt) {
    std::wstring cmd = commandLine;  // CreateProcessW may write into it
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    *pi = PROCESS_INFORMATION{};
    if (CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, dir.empty() ? nullptr : dir.c_str(),
                       &si, pi))
      return 0;
    const DWORD error = GetLastError();
    *pi = PROCESS_INFORMATION{};
    if (error != ERROR_INTERNAL_ERROR || attempt == 3) return error;
    std::fprintf(stderr, "the process was lost while starting (error %lu); starting it again\n",
                 static_cast<unsigned long>(error));
    Sleep(200);
  }
}

std::string HostPath(const std::string& unixPath) {
  std::string p = unixPath;
  if (!p.empty() && p[0] == '/') p = "Z:" + p;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

std::string FixtureFile(const std::string& name) {
  const char* dir = std::getenv("X2Z_BINARY_DIR");
  return HostPath(std::string(dir ? dir : ".") + "/fixtures/" + name);
}

std::string CorpusFile(const std::string& name) {
  const char* dir = std::getenv("X2Z_SOURCE_DIR");
  return HostPath(std::string(dir ? dir : "..") + "/../shared/corpus/" + name);
}
