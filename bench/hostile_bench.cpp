// Time and peak memory of opening each hostile or odd workbook of the reader
// tests (tests/spreadsheet/CraftedBooks.h) the way the program opens a file:
// the file check of the OLE road, then the built-in engine. Each file is
// opened in a process of its own, so that each peak is its own. Prints a
// table; asserts nothing.
//   hostile_bench [folder for the files]        the table
//   hostile_bench --open <file>                 one measurement (the child)
//   hostile_bench --write <folder>              only write the files (to try them in the program)
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bench/BenchClock.h"
#include "framework/ComPtr.h"
#include "framework/Unicode.h"
#include "spreadsheet/Spreadsheet.h"
#include "tests/spreadsheet/CraftedBooks.h"

namespace {

std::string Utf8(const AnsiString& text) {
  std::wstring wide = AnsiToWide(text);
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr, nullptr);
  return out;
}

int OpenOne(const char* path) {
  TOleInit ole;
  double t0 = Now();
  AnsiString reason;
  bool ok = SpreadsheetCheckFile(path, reason) != SpreadsheetFileCheck::kRefused;
  if (ok) {
    TComPtr<IDispatch> workbook;
    ok = SUCCEEDED(SpreadsheetOpenWorkbook(path, workbook.Out(), reason));
  }
  double took = Now() - t0;
  PROCESS_MEMORY_COUNTERS m = {};
  m.cb = sizeof m;
  GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m);
  // The reason goes out in UTF-8, for the table.
  std::printf("%.0f %.1f %s %s\n", took * 1000, double(m.PeakWorkingSetSize) / 1048576.0, ok ? "read" : "refused",
              ok ? "" : Utf8(reason).c_str());
  return 0;
}

std::string RunChild(const std::string& self, const std::string& file) {
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, &sa, 0)) return "pipe failed";
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = write;
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION pi = {};
  std::string command = "\"" + self + "\" --open \"" + file + "\"";
  BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(write);
  std::string out;
  if (started) {
    char buf[4096];
    DWORD n;
    while (ReadFile(read, buf, sizeof buf, &n, nullptr) && n) out.append(buf, n);
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  CloseHandle(read);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return started ? out : "could not start";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--open") == 0) return OpenOne(argv[2]);
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  bool writeOnly = argc == 3 && std::strcmp(argv[1], "--write") == 0;
  std::string folder = argc > 1 ? std::string(argv[argc - 1]) : std::string(temp);
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
  if (!writeOnly) std::printf("| file | size | time | peak memory | limit | result |\n|---|---:|---:|---:|---:|---|\n");
  for (const crafted::Case& c : crafted::HostileCases()) {
    std::string bytes = c.make();
    bool xls = bytes.compare(0, 4, "\xD0\xCF\x11\xE0") == 0;
    std::string path = folder + c.name + (xls ? ".xls" : ".xlsx");
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
      std::printf("| %s | cannot write %s |\n", c.name.c_str(), path.c_str());
      continue;
    }
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    if (writeOnly) continue;
    std::string line = RunChild(self, path);
    double ms = 0, peak = 0;
    char result[16] = "";
    int used = 0;
    std::sscanf(line.c_str(), "%lf %lf %15s %n", &ms, &peak, result, &used);
    double limit = 64 + 16 * double(bytes.size()) / 1048576.0;
    bool within = ms < 1000 && peak < limit;
    std::printf("| %s | %.1f KB | %.0f ms | %.1f MB | %.0f MB | %s%s%s%s |\n", c.name.c_str(), double(bytes.size()) / 1024.0,
                ms, peak, limit, within ? "" : "**OVER** ", result, used && line.size() > size_t(used) ? ": " : "",
                used ? line.c_str() + used : line.c_str());
    std::fflush(stdout);
    DeleteFileA(path.c_str());
  }
  return 0;
}
