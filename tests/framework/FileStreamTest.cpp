#include <gtest/gtest.h>

#include "framework/FileStream.h"
#include "tests/support/TestSupport.h"

TEST(TFileStream, CreateWritesAndTruncates) {
  TempDir dir;
  const std::string path = dir.File("list.txt");
  WriteFileBytes(path, "old content that is longer");
  {
    TFileStream s(path, TFileStream::fmCreate);
    s.WriteBuffer(AnsiString("Материал\t\r\n"));
    s.WriteBuffer("", 0);
    s.WriteBuffer("ab", 2);
  }
  EXPECT_EQ(ReadFileBytes(path), "Материал\t\r\nab");
  TFileStream in(path, TFileStream::fmOpenRead);
  char buf[64];
  EXPECT_EQ(in.Read(buf, sizeof buf), 13u);
  EXPECT_EQ(in.Read(buf, sizeof buf), 0u);
}

TEST(TFileStream, OpenFailuresNameTheFile) {
  TempDir dir;
  struct Case {
    std::string path;
    TFileStream::Mode mode;
  } cases[] = {
      {dir.File("missing\\list.txt"), TFileStream::fmCreate},
      {dir.File("absent.txt"), TFileStream::fmOpenRead},
      {dir.Path(), TFileStream::fmCreate},
  };
  for (const auto& c : cases) {
    try {
      TFileStream s(c.path, c.mode);
      ADD_FAILURE() << c.path << ": opened";
    } catch (const Exception& e) {
      EXPECT_NE(e.Message().find(c.path), AnsiString::npos) << e.Message();
    }
  }
}

TEST(TFileStream, RefusedWriteRaises) {
  TempDir dir;
  const std::string path = dir.File("ro.txt");
  WriteFileBytes(path, "x");
  TFileStream s(path, TFileStream::fmOpenRead);
  EXPECT_THROW(s.WriteBuffer("abc", 3), Exception);
  EXPECT_EQ(ReadFileBytes(path), "x");
}
