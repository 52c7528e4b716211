#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "framework/IniFiles.h"
#include "tests/support/TestSupport.h"

namespace {
// Every read of section S, key K gives the default passed.
void ExpectDefaults(const TIniFile& ini) {
  EXPECT_EQ(ini.ReadString("S", "K", "def"), "def");
  EXPECT_EQ(ini.ReadInteger("S", "K", 7), 7);
  EXPECT_EQ(ini.ReadFloat("S", "K", 2.5), 2.5);
  EXPECT_TRUE(ini.ReadBool("S", "K", true));
  EXPECT_FALSE(ini.SectionExists("S"));
  EXPECT_FALSE(ini.ValueExists("S", "K"));
  EXPECT_TRUE(ini.ReadSection("S").empty());
  EXPECT_TRUE(ini.ReadSections().empty());
}
}  // namespace

TEST(TIniFile, MissingFileReadsDefaultsAndIsNotCreated) {
  TempDir dir;
  TIniFile ini(dir.File("none.ini"));
  ExpectDefaults(ini);
  ini.DeleteKey("S", "K");
  EXPECT_FALSE(FileExists(dir.File("none.ini")));
}

TEST(TIniFile, TypedValuesRoundTrip) {
  TempDir dir;
  const std::string f = dir.File("a.ini");
  {
    TIniFile ini(f);
    ini.WriteInteger("S", "i", -2147483647 - 1);
    ini.WriteFloat("S", "f", 0.1 + 0.2);
    ini.WriteFloat("S", "g", -1e-300);
    ini.WriteBool("S", "t", true);
    ini.WriteBool("S", "n", false);
    ini.WriteString("S", "s", "Шифр расценки");
  }
  TIniFile ini(f);
  EXPECT_EQ(ini.ReadInteger("S", "i", 0), -2147483647 - 1);
  EXPECT_EQ(ini.ReadFloat("S", "f", 0), 0.1 + 0.2);
  EXPECT_EQ(ini.ReadFloat("S", "g", 0), -1e-300);
  EXPECT_TRUE(ini.ReadBool("S", "t", false));
  EXPECT_FALSE(ini.ReadBool("S", "n", true));
  EXPECT_EQ(ini.ReadString("S", "s", ""), "Шифр расценки");
}

TEST(TIniFile, UnconvertibleTextReadsDefault) {
  TempDir dir;
  const std::string f = dir.File("a.ini");
  WriteFileBytes(f, "[S]\r\ni=12a\r\nf=x1\r\nb=yes\r\nbig=99999999999\r\nc=1,5\r\n");
  TIniFile ini(f);
  EXPECT_EQ(ini.ReadInteger("S", "i", -1), -1);
  EXPECT_EQ(ini.ReadInteger("S", "big", -1), -1);
  EXPECT_EQ(ini.ReadFloat("S", "f", 4.0), 4.0);
  EXPECT_TRUE(ini.ReadBool("S", "b", true));
  EXPECT_EQ(ini.ReadFloat("S", "c", 0), 1.5);  // a hand-written decimal comma
}

TEST(TIniFile, ExistenceIgnoresLetterCaseAndDeleteKeyRemoves) {
  TempDir dir;
  const std::string f = dir.File("a.ini");
  TIniFile ini(f);
  ini.WriteString("Common", "TemplateOptions0", "x");
  EXPECT_TRUE(ini.SectionExists("common"));
  EXPECT_TRUE(ini.ValueExists("COMMON", "templateoptions0"));
  EXPECT_FALSE(ini.ValueExists("Common", "TemplateOptions1"));
  ini.DeleteKey("Common", "TemplateOptions1");  // absent: nothing happens
  ini.DeleteKey("Common", "TemplateOptions0");
  EXPECT_FALSE(ini.ValueExists("Common", "TemplateOptions0"));
}

TEST(TIniFile, LongValuesAreReadWhole) {
  TempDir dir;
  TIniFile ini(dir.File("a.ini"));
  std::string big(5000, 'x');
  big += "Я";
  ini.WriteString("S", "k", big);
  EXPECT_EQ(ini.ReadString("S", "k", ""), big);
}

TEST(TIniFile, RefusedWriteRaisesAndAnEmptyNameIsRefused) {
  TempDir dir;
  TIniFile ini(dir.File("missing-folder\\a.ini"));
  EXPECT_THROW(ini.WriteString("S", "K", "v"), Exception);
  EXPECT_EQ(ini.ReadProblem(), "") << "a missing file is no problem";
  EXPECT_THROW(TIniFile(""), Exception);
}

// As the desktop framework's INI class: a file that cannot be read answers
// every read with the default; writes still raise.
TEST(TIniFile, UnreadableFileReadsDefaultsAndRefusesWrites) {
  TempDir dir;
  const std::string folder = dir.File("folder.ini");
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  const std::string locked = dir.File("locked.ini");
  WriteFileBytes(locked, "[S]\r\nK=stored\r\n");
  HANDLE lock = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  struct Case {
    const char* what;
    std::string path;
    const char* problem;
  };
  const Case cases[] = {
      {"a folder", folder, "на его месте находится папка"},
      {"a file locked by another", locked, "он недоступен для чтения"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<TIniFile> made;
    ASSERT_NO_THROW(made = std::make_unique<TIniFile>(c.path));
    EXPECT_EQ(made->ReadProblem(), c.problem);
    ExpectDefaults(*made);
    EXPECT_THROW(made->WriteString("S", "K", "v"), Exception);
    EXPECT_THROW(made->DeleteKey("S", "K"), Exception);
  }
  CloseHandle(lock);
  TIniFile ini(locked);
  EXPECT_EQ(ini.ReadProblem(), "");
  EXPECT_EQ(ini.ReadString("S", "K", ""), "stored") << "the write refused changed nothing";
}

TEST(TIniFile, FileHoldsWindows1251BytesReadBackUnchanged) {
  TempDir dir;
  const std::string f = dir.File("a.ini");
  {
    TIniFile ini(f);
    ini.WriteString("Секция", "Ключ", "Заменить на ёЁ");
  }
  std::string bytes = ReadFileBytes(f);
  EXPECT_NE(bytes.find("[\xD1\xE5\xEA\xF6\xE8\xFF]"), std::string::npos) << Escaped(bytes);
  EXPECT_NE(bytes.find("\xCA\xEB\xFE\xF7=\xC7\xE0\xEC\xE5\xED\xE8\xF2\xFC \xED\xE0 \xB8\xA8"), std::string::npos)
      << Escaped(bytes);
  // And the platform's own profile read sees the same bytes.
  char buf[64] = {};
  GetPrivateProfileStringA("Секция", "Ключ", "", buf, sizeof buf, f.c_str());
  EXPECT_STREQ(buf, "Заменить на ёЁ");
}
