#pragma once
// Streams: TStream is what writers depend on, TFileStream a file opened for
// the stream's lifetime. Unbuffered: every Write reaches the file at once, so
// a failure is reported by the very write that met it.
#include <windows.h>

#include <cstddef>

#include "framework/AnsiString.h"
#include "framework/Exception.h"

class TStream {
 public:
  virtual ~TStream() = default;
  // Writes all bytes or raises Exception.
  virtual void WriteBuffer(const void* data, size_t size) = 0;
  void WriteBuffer(const AnsiString& bytes) { WriteBuffer(bytes.data(), bytes.size()); }
};

class TFileStream : public TStream {
 public:
  enum Mode {
    fmCreate,     // create, or truncate an existing file; write access
    fmOpenRead,   // an existing file, read access
    fmOpenWrite,  // an existing file, write access from its start
  };
  // Raises Exception naming the file when it cannot be opened.
  TFileStream(const AnsiString& fileName, Mode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  void WriteBuffer(const void* data, size_t size) override;
  using TStream::WriteBuffer;
  // Reads up to size bytes; returns how many were read (0 at the end).
  size_t Read(void* data, size_t size);
  const AnsiString& FileName() const { return fileName_; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  AnsiString fileName_;
};
