// The combo box's focus-loss and key events and its caseless search, which
// the settings-variant box of the main window commits typed names by.
#include <gtest/gtest.h>

#include <windows.h>

#include "framework/Button.h"
#include "framework/ComboBox.h"
#include "tests/support/ComboInput.h"
#include "tests/support/FormTest.h"

namespace {
HWND EditOf(TComboBox* c) {
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  GetComboBoxInfo(c->Handle(), &info);
  return info.hwndItem;
}
}  // namespace

TEST_F(FormTest, ComboBoxReportsLosingTheFocusAndKeysOfItsEditField) {
  auto* c = new TComboBox(form);
  c->SetParent(form);
  auto* b = new TButton(form);
  b->SetParent(form);
  b->SetBounds(200, 10, 80, 25);
  int exits = 0;
  std::vector<WORD> keys;
  c->OnExit = [&](TComponent* s) {
    EXPECT_EQ(s, c);
    ++exits;
  };
  c->OnKeyDown = [&](TComponent*, WORD& key) {
    keys.push_back(key);
    if (key == VK_RETURN) key = 0;
  };
  SetForegroundWindow(form->Handle());
  SetFocus(EditOf(c));
  Pump();
  EXPECT_EQ(exits, 0);
  // Enter passes the dialog navigation of the message loop and reaches the box.
  PostMessageW(EditOf(c), WM_KEYDOWN, VK_RETURN, 1);
  PostMessageW(EditOf(c), WM_KEYDOWN, 'A', 1);
  Pump();
  EXPECT_EQ(keys, (std::vector<WORD>{VK_RETURN, 'A'}));
  b->SetFocus();
  Pump();
  EXPECT_EQ(exits, 1);

  // The drop-down list style has no edit field: its own keys are reported.
  keys.clear();
  c->SetStyle(csDropDownList);
  c->Items().SetText("x\ny");
  c->SetFocus();
  PostMessageW(c->Handle(), WM_KEYDOWN, VK_RETURN, 1);
  Pump();
  EXPECT_EQ(keys, std::vector<WORD>{VK_RETURN});

  // Editable again: the new edit field is hooked, and the box can go first.
  keys.clear();
  c->SetStyle(csDropDown);
  const HWND edit = EditOf(c);
  SetFocus(edit);
  PostMessageW(edit, WM_KEYDOWN, 'B', 1);
  Pump();
  EXPECT_EQ(keys, std::vector<WORD>{'B'});
  delete c;
  EXPECT_FALSE(IsWindow(edit));
  Pump();
}

TEST_F(FormTest, ComboBoxFindsAnItemApartFromLetterCase) {
  auto* c = new TComboBox(form);
  c->SetParent(form);
  c->Items().SetText("По умолчанию\nСмета ТЕР\nabc");
  const std::pair<const char*, int> cases[] = {
      {"По умолчанию", 0}, {"по УМОЛЧАНИЮ", 0}, {"смета тер", 1}, {"ABC", 2}, {"Смета", -1}, {"abcd", -1}, {"", -1},
  };
  for (const auto& k : cases) EXPECT_EQ(c->IndexOfCaseless(k.first), k.second) << k.first;
}

// What OnCloseUp reads when the list closes after typing into the open list:
// the entry clicked, or, closed without a pick, the typed text.
TEST_F(FormTest, ComboBoxCloseUpReadsTheEntryPickedOverTypedText) {
  auto* c = new TComboBox(form);
  c->SetParent(form);
  c->Items().SetText("Основной\nВторой\nТретий");
  std::vector<std::string> seen;
  c->OnCloseUp = [&](TComponent*) { seen.push_back(c->Text() + "@" + std::to_string(c->ItemIndex())); };
  struct Case {
    const char* what;
    int click;  // -1: the list is closed by CB_SHOWDROPDOWN instead
    std::string closeUp;
  };
  const Case cases[] = {
      {"a click on the second entry", 1, "Второй@1"},
      {"a click on the entry already selected", 1, "Второй@1"},
      {"a click on the first entry", 0, "Основной@0"},
      {"closed without a pick", -1, "Нов@-1"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    seen.clear();
    SetFocus(ComboParts(c).hwndItem);
    c->SetDroppedDown(true);
    Pump();
    SendMessageW(ComboParts(c).hwndItem, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    PostTyping(c, L"\u041d\u043e\u0432");  // "Нов"
    ASSERT_TRUE(c->DroppedDown());
    if (k.click >= 0) PostListClick(c, k.click);
    else c->SetDroppedDown(false);
    Pump();
    EXPECT_FALSE(c->DroppedDown());
    EXPECT_EQ(seen, std::vector<std::string>{k.closeUp});
  }
}
