#include <gtest/gtest.h>

#include "lib/WIniFile.h"
#include "tests/support/TestSupport.h"

namespace {
// A name that denotes no INI file: creating the INI object fails. (A folder
// or a locked file only reads as empty, as in the desktop framework.)
std::string NoFile(const TempDir&) { return std::string(); }
}  // namespace

TEST(WIniFile, MissingFileReadsSucceedWithResetValues) {
  TempDir dir;
  MessageBoxRecorder boxes;
  WIniFile w;
  const std::string f = dir.File("none.ini");
  AnsiString s = "old";
  double d = 9;
  int i = 9;
  bool b = true;
  EXPECT_TRUE(w.ReadString(f, "S", "K", s, true));
  EXPECT_EQ(s, "");
  EXPECT_TRUE(w.ReadFloat(f, "S", "K", d, true));
  EXPECT_EQ(d, 0.0);
  EXPECT_TRUE(w.ReadInteger(f, "S", "K", i, true));
  EXPECT_EQ(i, 0);
  EXPECT_TRUE(w.ReadBool(f, "S", "K", b, true));
  EXPECT_FALSE(b);
  EXPECT_TRUE(w.GetLastResult());
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_FALSE(FileExists(f));
}

TEST(WIniFile, FailedReadWithoutMessageIsSilentAndResetsTheOutput) {
  TempDir dir;
  MessageBoxRecorder boxes;
  WIniFile w;
  AnsiString s = "keep?";
  int i = 42;
  EXPECT_FALSE(w.ReadString(NoFile(dir), "S", "K", s, false));
  EXPECT_EQ(s, "");
  EXPECT_FALSE(w.ReadInteger(NoFile(dir), "S", "K", i, false));
  EXPECT_EQ(i, 0);
  EXPECT_FALSE(w.GetLastResult());
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(WIniFile, FailedReadAndWriteWithMessageShowOneBoxOfThreeLines) {
  TempDir dir;
  MessageBoxRecorder boxes;
  WIniFile w;
  const std::string f = NoFile(dir);
  bool b = true;
  EXPECT_FALSE(w.ReadBool(f, "Секция", "Ключ", b, true));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Ошибка при чтении параметра: Ключ\nСекции: Секция\nФайла: " + f);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Класс: WIniFile");
  EXPECT_EQ(boxes.Boxes()[0].flags, 0x2030u);

  boxes.ClearBoxes();
  EXPECT_FALSE(w.WriteFloat(f, "S", "K", 1.5, true));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Ошибка при записи параметра: K\nСекции: S\nФайла: " + f);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Класс: WIniFile");
  EXPECT_EQ(boxes.Boxes()[0].flags, 0x2030u);
}

TEST(WIniFile, WriteToAFileThatCannotBeWritten) {
  TempDir dir;
  MessageBoxRecorder boxes;
  WIniFile w;
  const std::string f = dir.File("no-such-folder\\x.ini");
  EXPECT_FALSE(w.WriteString(f, "S", "K", "v", false));
  EXPECT_FALSE(w.GetLastResult());
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_FALSE(w.WriteInteger(f, "S", "K", 1, true));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text.rfind("Ошибка при записи параметра: K\n", 0), 0u) << boxes.Boxes()[0].text;
}

TEST(WIniFile, TypedWritesReadBackThroughTheSameType) {
  TempDir dir;
  WIniFile w;
  const std::string f = dir.File("a.ini");
  ASSERT_TRUE(w.WriteString(f, "S", "s", "Объем", false));
  ASSERT_TRUE(w.WriteFloat(f, "S", "f", 1.0 / 3, false));
  ASSERT_TRUE(w.WriteInteger(f, "S", "i", -17, false));
  ASSERT_TRUE(w.WriteBool(f, "S", "b", true, false));
  AnsiString s;
  double d = 0;
  int i = 0;
  bool b = false;
  EXPECT_TRUE(w.ReadString(f, "S", "s", s, false));
  EXPECT_TRUE(w.ReadFloat(f, "S", "f", d, false));
  EXPECT_TRUE(w.ReadInteger(f, "S", "i", i, false));
  EXPECT_TRUE(w.ReadBool(f, "S", "b", b, false));
  EXPECT_EQ(s, "Объем");
  EXPECT_EQ(d, 1.0 / 3);
  EXPECT_EQ(i, -17);
  EXPECT_TRUE(b);
}

TEST(WIniFile, ExistenceTestsLeaveLastResultAndReportFileErrors) {
  TempDir dir;
  MessageBoxRecorder boxes;
  WIniFile w;
  const std::string f = dir.File("a.ini");
  ASSERT_TRUE(w.WriteInteger(f, "S", "K", 1, false));
  EXPECT_TRUE(w.SectionExists(f, "S"));
  EXPECT_TRUE(w.ValueExists(f, "S", "K"));
  EXPECT_FALSE(w.ValueExists(f, "S", "Missing"));
  EXPECT_FALSE(w.SectionExists(dir.File("none.ini"), "S"));
  EXPECT_TRUE(boxes.Boxes().empty());

  // A failed write sets LastResult false; the existence tests keep it so.
  EXPECT_FALSE(w.WriteInteger(dir.File("nf\\x.ini"), "S", "K", 1, false));
  EXPECT_TRUE(w.ValueExists(f, "S", "K"));
  EXPECT_FALSE(w.GetLastResult());

  // The INI object cannot be created: always a box, whatever the caller wants.
  const std::string noFile = NoFile(dir);
  EXPECT_FALSE(w.SectionExists(noFile, "S"));
  EXPECT_FALSE(w.ValueExists(noFile, "S", "K"));
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Ошибка при чтении файла: " + noFile);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Класс: WIniFile");
  EXPECT_EQ(boxes.Boxes()[0].flags, 0x2030u);
}
