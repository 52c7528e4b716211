#pragma once
// Shared helpers of the test programs: a recording message-box responder and
// a private temporary folder per test.
#include <deque>
#include <string>
#include <vector>

#include "framework/Application.h"

struct RecordedBox {
  AnsiString text;
  AnsiString caption;
  unsigned flags = 0;
};

// Installs itself as the application's responder for its lifetime; records
// every box and answers from a queue (IDOK when the queue is empty).
class MessageBoxRecorder {
 public:
  MessageBoxRecorder();
  ~MessageBoxRecorder();
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  void Answer(int button) { answers_.push_back(button); }
  const std::vector<RecordedBox>& Boxes() const { return boxes_; }
  void ClearBoxes() { boxes_.clear(); }

 private:
  TApplication::MessageBoxResponder previous_;
  std::vector<RecordedBox> boxes_;
  std::deque<int> answers_;
};

// A fresh folder under the system's temporary folder, removed with its content.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Path with a trailing separator.
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// A path of the Linux side as Wine reaches it: the host's root is drive Z:.
std::string HostPath(const std::string& unixPath);
// A file the build's fixture steps wrote: <X2Z_BINARY_DIR>/fixtures/<name>.
std::string FixtureFile(const std::string& name);
// A file of the shared corpus beside the project (<X2Z_SOURCE_DIR>/../shared/corpus/<name>).
std::string CorpusFile(const std::string& name);

// CreateProcessW with the command line and folder given. Wine now and then
// loses a child before any of its code runs (the spawn reports
// ERROR_INTERNAL_ERROR); that start is tried again, any other failure is not.
// Returns 0 or the last error.
unsigned long StartProcess(const std::wstring& commandLine, const std::wstring& dir, PROCESS_INFORMATION* pi);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// Shows control characters and bytes above 127 in hex, for failure messages.
std::string Escaped(const std::string& bytes);
