// The controls that hold a state of the control-state store, driven by real
// messages and read back through their windows.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "framework/CSpinEdit.h"
#include "framework/CheckBox.h"
#include "framework/CheckListBox.h"
#include "framework/Edit.h"
#include "framework/RadioButton.h"
#include "framework/RadioGroup.h"
#include "framework/SpeedButton.h"
#include "framework/TabControl.h"
#include "tests/support/FormTest.h"

namespace {
void ClickAt(HWND w, int x, int y) {
  PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  Application->ProcessMessages();
}
}  // namespace

TEST_F(FormTest, CheckableButtonsToggleOnClickAndReportTheirState) {
  auto* check = new TCheckBox(form);
  auto* speed = new TSpeedButton(form);
  struct Case {
    TWinControl* control;
    std::function<bool()> state;
  } cases[] = {{check, [&] { return check->Checked(); }}, {speed, [&] { return speed->Down(); }}};
  for (const Case& c : cases) {
    c.control->SetParent(form);
    c.control->SetBounds(10, 10, 80, 20);
    int clicks = 0;
    c.control->OnClick = [&](TComponent*) { ++clicks; };
    ClickAt(c.control->Handle(), 5, 5);
    EXPECT_EQ(SendMessageW(c.control->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED) << c.control->ClassName();
    EXPECT_TRUE(c.state());
    ClickAt(c.control->Handle(), 5, 5);
    EXPECT_FALSE(c.state());
    EXPECT_EQ(clicks, 2);
    c.control->SetVisible(false);
  }
  check->SetChecked(true);
  speed->SetDown(true);
  EXPECT_EQ(SendMessageW(check->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(speed->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(FormTest, RadioButtonsOfOneParentExcludeEachOther) {
  auto* a = new TRadioButton(form);
  auto* b = new TRadioButton(form);
  a->SetParent(form);
  b->SetParent(form);
  b->SetTop(30);
  a->SetChecked(true);
  b->SetChecked(true);
  EXPECT_FALSE(a->Checked());
  EXPECT_EQ(SendMessageW(b->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  ClickAt(a->Handle(), 5, 5);
  EXPECT_TRUE(a->Checked());
  EXPECT_FALSE(b->Checked());
}

TEST_F(FormTest, RadioGroupMakesOneButtonPerItem) {
  auto* g = new TRadioGroup(form);
  g->SetParent(form);
  g->SetBounds(0, 0, 200, 120);
  g->Items().SetText("первый\nвторой\nтретий");
  ASSERT_EQ(g->ControlCount(), 3);
  EXPECT_EQ(g->Controls(1)->Caption(), "второй");
  EXPECT_EQ(g->ItemIndex(), -1);
  g->SetItemIndex(2);
  EXPECT_EQ(SendMessageW(g->Controls(2)->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  int clicks = 0;
  g->OnClick = [&](TComponent* s) {
    EXPECT_EQ(s, g);
    ++clicks;
  };
  ClickAt(g->Controls(0)->Handle(), 5, 5);
  EXPECT_EQ(g->ItemIndex(), 0);
  EXPECT_EQ(clicks, 1);
  g->Items().Add("четвёртый");
  EXPECT_EQ(g->ControlCount(), 4);
  EXPECT_EQ(g->ItemIndex(), 0) << "the checked item survives a change of the items";
  EXPECT_EQ(form->ComponentCount(), 1) << "the buttons belong to the group";
}

TEST_F(FormTest, EditRaisesOnChangeWhileTyping) {
  auto* e = new TEdit(form);
  e->SetParent(form);
  std::vector<AnsiString> texts;
  e->OnChange = [&](TComponent*) { texts.push_back(e->Text()); };
  e->SetFocus();
  PostMessageW(e->Handle(), WM_CHAR, 0x0428, 1);  // Cyrillic capital Sha
  PostMessageW(e->Handle(), WM_CHAR, L'7', 1);
  Application->ProcessMessages();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1], "Ш7");
  e->SetText("из кода");
  EXPECT_EQ(texts.back(), "из кода");
}

TEST_F(FormTest, SpinEditClampsToItsRangeAndStepsWithTheArrows) {
  auto* s = new TCSpinEdit(form);
  s->SetParent(form);
  s->SetMinValue(1);
  s->SetMaxValue(10);
  struct Case {
    int set, expected;
  } cases[] = {{5, 5}, {0, 1}, {11, 10}, {-3, 1}};
  for (const Case& c : cases) {
    s->SetValue(c.set);
    EXPECT_EQ(s->Value(), c.expected) << c.set;
    EXPECT_EQ(s->Caption(), IntToStr(c.expected));
  }
  s->SetValue(4);
  s->SetFocus();
  SendMessageW(s->Handle(), WM_KEYDOWN, VK_UP, 1);  // the attached up-down steps the buddy
  Application->ProcessMessages();
  EXPECT_EQ(s->Value(), 5);
  s->SetText("abc");
  EXPECT_EQ(s->Value(), 0);
}

TEST_F(FormTest, TabControlTabsAndIndex) {
  auto* t = new TTabControl(form);
  t->SetParent(form);
  t->SetBounds(0, 0, 300, 100);
  t->Tabs().SetText("Один\nДва\nТри");
  EXPECT_EQ(TabCtrl_GetItemCount(t->Handle()), 3);
  EXPECT_EQ(t->Tabs().Strings(1), "Два");
  int changes = 0;
  t->OnChange = [&](TComponent*) { ++changes; };
  t->SetTabIndex(2);
  EXPECT_EQ(SendMessageW(t->Handle(), TCM_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(changes, 0);
  RECT r;
  TabCtrl_GetItemRect(t->Handle(), 0, &r);
  ClickAt(t->Handle(), r.left + 5, r.top + 5);
  EXPECT_EQ(t->TabIndex(), 0);
  EXPECT_EQ(changes, 1);
}

TEST_F(FormTest, CheckListBoxTogglesByClickOnTheBoxAndBySpace) {
  auto* l = new TCheckListBox(form);
  l->SetParent(form);
  l->SetBounds(0, 0, 150, 100);
  l->Items().SetText("а\nб");
  int toggles = 0;
  l->OnClickCheck = [&](TComponent*) { ++toggles; };
  RECT r;
  SendMessageW(l->Handle(), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
  ClickAt(l->Handle(), r.left + 5, r.top + 3);
  EXPECT_TRUE(l->Checked(1));
  EXPECT_FALSE(l->Checked(0));
  EXPECT_EQ(l->ItemIndex(), 1);
  ClickAt(l->Handle(), r.left + 60, r.top + 3);  // on the text: selects only
  EXPECT_TRUE(l->Checked(1));
  l->SetFocus();
  SendMessageW(l->Handle(), WM_KEYDOWN, VK_SPACE, 1);
  EXPECT_FALSE(l->Checked(1));
  EXPECT_EQ(toggles, 2);
  EXPECT_THROW(l->Checked(2), Exception);
}
