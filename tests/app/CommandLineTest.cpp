#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "app/Startup.h"
#include "tests/support/TestSupport.h"

using Pieces = std::optional<std::vector<std::string>>;

TEST(SplitCommandLine, WorkedSplits) {
  struct Case {
    std::string text;
    Pieces want;
  } cases[] = {
      {"book.xls?list.txt?", std::vector<std::string>{"book.xls", "list.txt"}},
      {"book.xls?list.txt", std::nullopt},  // the tail is dropped: one piece
      {"book.xls?list.txt?extra", std::vector<std::string>{"book.xls", "list.txt"}},
      {"??", std::vector<std::string>{"", ""}},
      {"a?b?c?", std::nullopt},
      {"", std::nullopt},
      {"book.xls?", std::nullopt},  // only "?" is the last character
      {"book.xls list.txt", std::nullopt},
      {" \"C:\\Сметы\\книга.xls\"?  list.txt ?", std::vector<std::string>{" \"C:\\Сметы\\книга.xls\"", "  list.txt "}},
      {"a??", std::vector<std::string>{"a", ""}},
      {"?b?", std::vector<std::string>{"", "b"}},
      {"a?b?c", std::vector<std::string>{"a", "b"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.text), c.want) << "text: " << c.text;
}

TEST(StartUp, MalformedCommandLineShowsTheErrorBoxAndReturnsZero) {
  for (const char* text : {"", "book.xls?list.txt", "a?b?c?", "no delimiters"}) {
    MessageBoxRecorder boxes;
    ExcelFilePath = "untouched";
    EXPECT_EQ(RunProgram(text), 0) << text;
    ASSERT_EQ(boxes.Boxes().size(), 1u) << text;
    EXPECT_EQ(boxes.Boxes()[0].text, "Командная строка полученная программой содержит ошибку!");
    EXPECT_EQ(boxes.Boxes()[0].caption, "Перевод XLS в формат Залбиро");
    EXPECT_EQ(boxes.Boxes()[0].flags, 0x2010u);
    EXPECT_EQ(ExcelFilePath, "untouched");
  }
}

TEST(StartUp, ValidCommandLineKeepsBothPiecesAsReceived) {
  MessageBoxRecorder boxes;
  ASSERT_TRUE(AcceptCommandLine(" \"C:\\книга.xls\"?D:\\list.txt?tail"));
  EXPECT_EQ(ExcelFilePath, " \"C:\\книга.xls\"");
  EXPECT_EQ(ListFilePath, "D:\\list.txt");
  EXPECT_TRUE(boxes.Boxes().empty());
}
