// Window tests: real windows under the test display, read back through the
// window (not through the wrapper's own state), events raised by real messages.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <thread>

#include "framework/Application.h"
#include "framework/BitBtn.h"
#include "framework/ColorDialog.h"
#include "framework/ComboBox.h"
#include "framework/Forms.h"
#include "framework/GroupBox.h"
#include "framework/Label.h"
#include "framework/PageControl.h"
#include "framework/Panel.h"
#include "framework/ProgressBar.h"
#include "framework/Timer.h"
#include "framework/Unicode.h"
#include "tests/support/FormTest.h"
#include "tests/support/TestSupport.h"

// The application sets OLE up for its thread (an OLE container needs it; on
// Windows nothing else would) and takes it down after the last form. A thread
// of its own, with no window, starts without OLE.
TEST(TApplication, InitializeSetsUpOleForTheProgramsLifeAndRunTakesItDown) {
  HRESULT before = E_FAIL, during = E_FAIL, after = E_FAIL, reported = E_FAIL;
  std::thread([&] {
    TApplication app;
    before = app.OleInitResult();
    app.Initialize();
    reported = app.OleInitResult();
    during = OleInitialize(nullptr);  // S_FALSE: already set up on this thread
    if (SUCCEEDED(during)) OleUninitialize();
    app.Run();  // no form: returns at once, after taking OLE down
    after = OleInitialize(nullptr);
    if (SUCCEEDED(after)) OleUninitialize();
  }).join();
  EXPECT_EQ(before, CO_E_NOTINITIALIZED);
  EXPECT_EQ(reported, S_OK);
  EXPECT_EQ(during, S_FALSE);
  EXPECT_EQ(after, S_OK) << "OLE was not uninitialised";
}

TEST(TComponent, OwnerDeletesOwnedComponentsAndListsThemInOrder) {
  int destroyed = 0;
  struct Probe : TComponent {
    Probe(TComponent* o, int* d) : TComponent(o), d_(d) {}
    ~Probe() override { ++*d_; }
    int* d_;
  };
  auto* root = new TComponent(nullptr);
  auto* a = new Probe(root, &destroyed);
  auto* b = new Probe(root, &destroyed);
  new Probe(a, &destroyed);
  a->SetName("a");
  ASSERT_EQ(root->ComponentCount(), 2);
  EXPECT_EQ(root->Components(0), a);
  EXPECT_EQ(root->Components(1), b);
  EXPECT_EQ(root->Components(0)->Name(), "a");
  delete b;  // leaves its owner's list
  EXPECT_EQ(root->ComponentCount(), 1);
  EXPECT_EQ(destroyed, 1);
  delete root;
  EXPECT_EQ(destroyed, 3);
}

TEST_F(FormTest, ClassNamesAreTheFrameworkNames) {
  struct Case {
    TComponent* c;
    const char* name;
  } cases[] = {
      {form, "TForm"},
      {new TPanel(form), "TPanel"},
      {new TLabel(form), "TLabel"},
      {new TGroupBox(form), "TGroupBox"},
      {new TComboBox(form), "TComboBox"},
      {new TButton(form), "TButton"},
      {new TBitBtn(form), "TBitBtn"},
      {new TPageControl(form), "TPageControl"},
      {new TTabSheet(form), "TTabSheet"},
      {new TProgressBar(form), "TProgressBar"},
      {new TTimer(form), "TTimer"},
      {new TColorDialog(form), "TColorDialog"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.c->ClassName(), c.name);
  EXPECT_EQ(form->ComponentCount(), 11);
}

TEST_F(FormTest, DeletingAParentDestroysItsChildrenAndTheirWindows) {
  auto* panel = new TPanel(form);
  panel->SetParent(form);
  auto* label = new TLabel(form);
  label->SetParent(panel);
  HWND labelWindow = label->Handle();
  ASSERT_EQ(GetParent(labelWindow), panel->Handle());
  EXPECT_EQ(TWinControl::FromHandle(labelWindow), label);
  delete panel;
  EXPECT_FALSE(IsWindow(labelWindow));
  EXPECT_EQ(form->ComponentCount(), 0);
  // A gone window maps to no wrapper: its handle may be reused.
  EXPECT_EQ(TWinControl::FromHandle(labelWindow), nullptr);
}

// Destroyed from outside (as a parent's destruction takes its children), a
// control's window is forgotten at its last message, wrapper or not.
TEST_F(FormTest, AWindowDestroyedFromOutsideIsForgotten) {
  auto* combo = new TComboBox(form, csDropDownList);
  combo->SetParent(form);
  HWND h = combo->Handle();
  ASSERT_EQ(TWinControl::FromHandle(h), combo);
  EXPECT_EQ(GetWindowLongW(h, GWL_STYLE) & 3, CBS_DROPDOWNLIST) << "made in its style at once";
  DestroyWindow(h);
  EXPECT_EQ(TWinControl::FromHandle(h), nullptr);
  delete combo;
}

// A test driving the program from another process finds controls by the
// component name their window carries as the property "X2Z.Name" (an atom).
TEST_F(FormTest, WindowCarriesTheComponentNameForAutomation) {
  auto name = [](HWND h) {
    const auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropW(h, L"X2Z.Name")));
    char text[64] = "";
    return atom ? std::string(text, GlobalGetAtomNameA(atom, text, sizeof(text))) : std::string();
  };
  auto* combo = new TComboBox(form);
  combo->SetParent(form);
  EXPECT_EQ(name(combo->Handle()), "") << "no name, no property";
  combo->SetName("cmbE2eProbe");
  EXPECT_EQ(name(combo->Handle()), "cmbE2eProbe");
  combo->SetName("cmbE2eRenamed");
  EXPECT_EQ(name(combo->Handle()), "cmbE2eRenamed");
  EXPECT_EQ(GlobalFindAtomA("cmbE2eProbe"), 0) << "the old name's atom is released";
  // A style change makes a new window; it carries the name too.
  combo->SetStyle(csDropDownList);
  EXPECT_EQ(name(combo->Handle()), "cmbE2eRenamed");
  delete combo;
  EXPECT_EQ(GlobalFindAtomA("cmbE2eRenamed"), 0) << "the atom goes with the window";
}

TEST_F(FormTest, PlacementEnabledAndVisibleGoThroughTheWindow) {
  auto* b = new TButton(form);
  b->SetParent(form);
  b->SetBounds(10, 20, 100, 30);
  RECT r;
  GetWindowRect(b->Handle(), &r);
  POINT origin{0, 0};
  ClientToScreen(form->Handle(), &origin);
  EXPECT_EQ(r.left - origin.x, 10);
  EXPECT_EQ(r.top - origin.y, 20);
  EXPECT_EQ(r.right - r.left, 100);
  EXPECT_EQ(r.bottom - r.top, 30);
  TPoint p = b->ClientToScreen(TPoint{5, 6});
  EXPECT_EQ(p.x, r.left + 5);
  EXPECT_EQ(p.y, r.top + 6);

  b->SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(b->Handle()));
  b->SetEnabled(true);
  EXPECT_TRUE(IsWindowEnabled(b->Handle()));
  b->SetVisible(false);
  EXPECT_FALSE(IsWindowVisible(b->Handle()));
  b->SetCaption("Конвертировать");
  wchar_t text[64];
  GetWindowTextW(b->Handle(), text, 64);
  EXPECT_EQ(std::wstring(text), L"\u041a\u043e\u043d\u0432\u0435\u0440\u0442\u0438\u0440\u043e\u0432\u0430\u0442\u044c");
  EXPECT_EQ(b->Caption(), "Конвертировать");
}

TEST_F(FormTest, AlignedPanelsStackAndTheClientPanelTakesTheRest) {
  form->SetBorderStyle(bsNone);
  form->SetBounds(50, 50, 400, 300);
  auto make = [&](TAlign a, int w, int h, int top) {
    auto* p = new TPanel(form);
    p->SetParent(form);
    p->SetBevelOuter(bvNone);
    p->SetBounds(0, top, w, h);
    p->SetAlign(a);
    return p;
  };
  TPanel* top1 = make(alTop, 10, 97, 0);
  TPanel* bottom = make(alBottom, 10, 33, 250);
  TPanel* client = make(alClient, 10, 10, 120);
  TPanel* top2 = make(alTop, 10, 34, 100);
  TPanel* left = make(alLeft, 60, 10, 150);
  struct Case {
    TPanel* p;
    int l, t, w, h;
  } cases[] = {
      {top1, 0, 0, 400, 97}, {top2, 0, 97, 400, 34}, {bottom, 0, 267, 400, 33},
      {left, 0, 131, 60, 136}, {client, 60, 131, 340, 136},
  };
  for (const Case& c : cases) {
    TRect b = c.p->BoundsRect();
    EXPECT_EQ(b.Left, c.l);
    EXPECT_EQ(b.Top, c.t);
    EXPECT_EQ(b.Width(), c.w);
    EXPECT_EQ(b.Height(), c.h);
  }
  // Hiding a strip gives its room to the client panel.
  top2->SetVisible(false);
  EXPECT_EQ(client->Top(), 97);
  EXPECT_EQ(client->Height(), 170);
  // The form grows: aligned panels follow.
  form->SetBounds(50, 50, 500, 400);
  EXPECT_EQ(client->Width(), 440);
  EXPECT_EQ(bottom->Top(), 367);
}

TEST_F(FormTest, AnchorsKeepDistancesToTheParentEdges) {
  form->SetBorderStyle(bsNone);
  form->SetBounds(0, 0, 400, 300);
  auto* stretched = new TPanel(form);
  stretched->SetParent(form);
  stretched->SetBounds(10, 10, 380, 20);
  stretched->SetAnchors(akLeft | akTop | akRight | akBottom);
  auto* right = new TButton(form);
  right->SetParent(form);
  right->SetBounds(300, 250, 80, 25);
  right->SetAnchors(akRight | akBottom);
  form->SetBounds(0, 0, 500, 350);
  EXPECT_EQ(stretched->Width(), 480);
  EXPECT_EQ(stretched->Height(), 70);
  EXPECT_EQ(right->Left(), 400);
  EXPECT_EQ(right->Top(), 300);
  EXPECT_EQ(right->Width(), 80);
}

TEST_F(FormTest, FormStylesConstraintsAndPosition) {
  form->SetFormStyle(fsStayOnTop);
  EXPECT_TRUE(GetWindowLongPtrW(form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  form->SetFormStyle(fsNormal);
  EXPECT_FALSE(GetWindowLongPtrW(form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  form->SetBorderStyle(bsNone);
  EXPECT_FALSE(GetWindowLongPtrW(form->Handle(), GWL_STYLE) & WS_CAPTION);
  form->SetBorderStyle(bsSizeable);
  EXPECT_TRUE(GetWindowLongPtrW(form->Handle(), GWL_STYLE) & WS_THICKFRAME);

  form->SetConstraints(TSizeConstraints{760, 590, 0, 0});
  form->SetBounds(0, 0, 300, 200);
  EXPECT_EQ(form->Width(), 760);
  EXPECT_EQ(form->Height(), 590);
  // The frame drag asks WM_GETMINMAXINFO.
  MINMAXINFO mmi{};
  SendMessageW(form->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
  EXPECT_EQ(mmi.ptMinTrackSize.x, 760);
  EXPECT_EQ(mmi.ptMinTrackSize.y, 590);

  auto* centred = new TForm(nullptr);
  centred->SetBounds(0, 0, 200, 100);
  centred->SetPosition(poScreenCenter);
  centred->Show();
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  RECT r;
  GetWindowRect(centred->Handle(), &r);
  EXPECT_EQ(r.left, work.left + (work.right - work.left - 200) / 2);
  EXPECT_EQ(r.top, work.top + (work.bottom - work.top - 100) / 2);
  delete centred;
}

TEST_F(FormTest, OwnedFormStaysWithItsOwner) {
  auto* second = new TForm(form);
  second->SetBorderStyle(bsNone);
  second->SetFormStyle(fsStayOnTop);
  EXPECT_EQ(GetWindow(second->Handle(), GW_OWNER), form->Handle());
  EXPECT_EQ(form->ComponentCount(), 1);
  HWND h = second->Handle();
  bool windowAliveAtDestroy = false;
  second->OnDestroy = [&](TComponent*) { windowAliveAtDestroy = IsWindow(h) != FALSE; };
  delete form;
  EXPECT_TRUE(windowAliveAtDestroy);
  form = nullptr;
  EXPECT_FALSE(IsWindow(h));
}

TEST_F(FormTest, FormEventsFollowTheWindowMessages) {
  int activated = 0, resized = 0, destroyed = 0;
  form->OnActivate = [&](TComponent*) { ++activated; };
  form->OnResize = [&](TComponent*) { ++resized; };
  auto* other = new TForm(nullptr);
  other->Show();
  SetActiveWindow(other->Handle());
  Pump();
  activated = 0;
  SetActiveWindow(form->Handle());
  Pump();
  EXPECT_EQ(activated, 1);
  delete other;

  form->SetBounds(10, 10, 333, 222);
  EXPECT_GE(resized, 1);

  // Close query refuses, then close hides a form that is not the main form.
  bool allow = false;
  TCloseAction chosen = caHide;
  int closes = 0;
  form->OnCloseQuery = [&](TComponent*, bool& can) { can = allow; };
  form->OnClose = [&](TComponent*, TCloseAction& a) {
    ++closes;
    a = chosen;
  };
  SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  EXPECT_EQ(closes, 0);
  allow = true;
  chosen = caNone;
  form->Close();
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  chosen = caHide;
  form->Close();
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  EXPECT_EQ(closes, 2);

  form->OnDestroy = [&](TComponent*) { ++destroyed; };
  delete form;
  form = nullptr;
  EXPECT_EQ(destroyed, 1);
}

TEST_F(FormTest, WindowStateMinimizesAndRestores) {
  form->SetWindowState(wsMinimized);
  Pump();
  EXPECT_TRUE(IsIconic(form->Handle()));
  EXPECT_EQ(form->WindowState(), wsMinimized);
  form->SetWindowState(wsNormal);
  Pump();
  EXPECT_FALSE(IsIconic(form->Handle()));
  EXPECT_EQ(form->WindowState(), wsNormal);
}

TEST_F(FormTest, FontsAndColoursPassToChildrenThatTakeTheirParents) {
  auto* panel = new TPanel(form);
  panel->SetParent(form);
  panel->SetColor(clTeal);
  panel->Font().SetStyle(fsBold);
  panel->Font().SetColor(clWhite);
  auto* label = new TLabel(form);
  label->SetParent(panel);
  auto* own = new TLabel(form);
  own->Font().SetHeight(-20);
  own->SetParent(panel);
  EXPECT_EQ(label->Color(), clTeal);
  EXPECT_EQ(label->Font().Style(), static_cast<TFontStyles>(fsBold));
  EXPECT_EQ(own->Font().Height(), -20);
  EXPECT_EQ(own->Font().Style(), 0u);
  EXPECT_EQ(own->Color(), clTeal);
  panel->SetColor(clNavy);
  EXPECT_EQ(label->Color(), clNavy);

  // The label paints transparent, white on the parent's colour.
  HDC dc = GetDC(label->Handle());
  auto brush = reinterpret_cast<HBRUSH>(SendMessageW(panel->Handle(), WM_CTLCOLORSTATIC,
                                                     reinterpret_cast<WPARAM>(dc),
                                                     reinterpret_cast<LPARAM>(label->Handle())));
  LOGBRUSH lb{};
  ASSERT_TRUE(GetObjectW(brush, sizeof(lb), &lb));
  EXPECT_EQ(lb.lbColor, static_cast<COLORREF>(clNavy));
  EXPECT_EQ(GetTextColor(dc), static_cast<COLORREF>(clWhite));
  EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
  ReleaseDC(label->Handle(), dc);

  // A colour is no new GDI font: the windows keep theirs; a style is.
  auto fontOf = [](TWinControl* c) { return reinterpret_cast<HFONT>(SendMessageW(c->Handle(), WM_GETFONT, 0, 0)); };
  const HFONT before = fontOf(label);
  ASSERT_NE(before, nullptr);
  panel->Font().SetColor(clMaroon);
  EXPECT_EQ(label->Font().Color(), clMaroon);
  EXPECT_EQ(fontOf(label), before);
  panel->Font().SetStyle(fsItalic);
  EXPECT_EQ(label->Font().Style(), static_cast<TFontStyles>(fsItalic));
  EXPECT_NE(fontOf(label), before);
  LOGFONTW lf{};
  ASSERT_TRUE(GetObjectW(fontOf(label), sizeof(lf), &lf));
  EXPECT_TRUE(lf.lfItalic);
  EXPECT_EQ(lf.lfWeight, FW_NORMAL);
}

// Made under TCreateIn, a control's window is born in its parent's, so
// SetParent has nothing to move; it is laid out and reports as any other.
TEST_F(FormTest, ControlsBornInTheirParentsWindowWorkAsMovedOnes) {
  auto* panel = new TPanel(form);
  panel->SetParent(form);
  panel->SetBevelOuter(bvNone);
  panel->SetBounds(0, 0, 300, 120);
  TComboBox* c;
  TPanel* strip;
  {
    TCreateIn in(panel);
    {
      TCreateIn inner(form);
    }
    c = new TComboBox(form, csDropDownList);
    strip = new TPanel(form);
    EXPECT_EQ(GetParent(c->Handle()), panel->Handle()) << "the inner scope gave the outer parent back";
  }
  auto* loose = new TPanel(form);
  EXPECT_NE(GetParent(loose->Handle()), panel->Handle()) << "born in the parking window again";
  c->SetParent(panel);
  strip->SetParent(panel);
  strip->SetHeight(30);
  strip->SetAlign(alBottom);
  EXPECT_EQ(c->Parent(), panel);
  EXPECT_EQ(strip->Top(), 90) << "aligned in its parent";
  c->SetBounds(10, 10, 120, 21);
  EXPECT_EQ(c->Left(), 10);
  c->Items().SetText("x\ny");
  int changes = 0;
  c->OnChange = [&](TComponent*) { ++changes; };
  c->SetFocus();
  PostMessageW(c->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  Pump();
  EXPECT_EQ(changes, 1) << "the selection change sent to the panel reached the box";
  EXPECT_EQ(c->ItemIndex(), 0);
}

// Drawing held back: the control reads hidden meanwhile and is shown again,
// to be drawn whole, when the lock ends; a hidden control stays hidden
// (turning drawing back on would show it).
TEST_F(FormTest, DrawingLockShowsTheControlAgainAndLeavesAHiddenOneHidden) {
  auto* shown = new TPanel(form);
  shown->SetParent(form);
  shown->SetBounds(0, 0, 200, 100);
  auto* hidden = new TPanel(form);
  hidden->SetParent(form);
  hidden->SetVisible(false);
  auto* label = new TLabel(form);
  label->SetParent(shown);
  Pump();
  {
    TDrawingLock a(shown), b(hidden);
    EXPECT_FALSE(IsWindowVisible(label->Handle()));
    label->SetCaption("Конвертация");
  }
  EXPECT_TRUE(shown->Visible());
  EXPECT_TRUE(IsWindowVisible(label->Handle()));
  EXPECT_FALSE(hidden->Visible());
  RECT r{};
  EXPECT_TRUE(GetUpdateRect(shown->Handle(), &r, FALSE)) << "to be drawn anew";
  EXPECT_EQ(r.right - r.left, 200);
}

TEST_F(FormTest, LabelSizesItselfToItsText) {
  auto* label = new TLabel(form);
  label->SetParent(form);
  label->SetCaption("Вариант настроек:");
  int w1 = label->Width();
  label->Font().SetStyle(fsBold);
  EXPECT_GT(w1, 40);
  EXPECT_GE(label->Width(), w1);
  EXPECT_GT(label->Height(), 8);
}

TEST_F(FormTest, GroupBoxCaptionTakesItsFontColour) {
  auto* g = new TGroupBox(form);
  g->SetParent(form);
  g->SetCaption("Колонки");
  g->SetColor(clTeal);
  g->Font().SetColor(clWhite);
  HDC dc = GetDC(g->Handle());
  auto brush = reinterpret_cast<HBRUSH>(
      SendMessageW(form->Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(g->Handle())));
  LOGBRUSH lb{};
  ASSERT_TRUE(GetObjectW(brush, sizeof(lb), &lb));
  EXPECT_EQ(lb.lbColor, static_cast<COLORREF>(clTeal));
  EXPECT_EQ(GetTextColor(dc), static_cast<COLORREF>(clWhite));
  ReleaseDC(g->Handle(), dc);
  // Aligned children stay below the caption.
  auto* p = new TPanel(form);
  p->SetParent(g);
  p->SetAlign(alClient);
  EXPECT_GT(p->Top(), 8);
}

TEST_F(FormTest, PanelDrawsItsCaptionAndRaisesOnClick) {
  auto* p = new TPanel(form);
  p->SetParent(form);
  p->SetBounds(0, 0, 200, 40);
  p->SetCaption("Конвертирую, Ждите....");
  p->SetAlignment(taRightJustify);
  EXPECT_EQ(p->Caption(), "Конвертирую, Ждите....");
  TRect inner = p->AlignRect();
  EXPECT_EQ(inner.Left, 1);
  p->SetBevelOuter(bvNone);
  EXPECT_EQ(p->AlignRect().Left, 0);
  int clicks = 0;
  p->OnClick = [&](TComponent* s) {
    EXPECT_EQ(s, p);
    ++clicks;
  };
  PostMessageW(p->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageW(p->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  Pump();
  EXPECT_EQ(clicks, 1);
}

TEST_F(FormTest, ButtonsRaiseOnClickFromARealClick) {
  auto* b = new TButton(form);
  auto* bb = new TBitBtn(form);
  bb->SetKind(bkAbort);
  bb->SetCaption("Отменить");
  for (TButton* btn : {b, static_cast<TButton*>(bb)}) {
    btn->SetParent(form);
    btn->SetBounds(10, 10, 100, 25);
    int clicks = 0;
    btn->OnClick = [&](TComponent*) { ++clicks; };
    PostMessageW(btn->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 10));
    PostMessageW(btn->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(20, 10));
    Pump();
    EXPECT_EQ(clicks, 1) << btn->ClassName();
    // Released outside the button: no click.
    PostMessageW(btn->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 10));
    PostMessageW(btn->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(300, 10));
    Pump();
    EXPECT_EQ(clicks, 1) << btn->ClassName();
    btn->SetVisible(false);
  }
}

namespace {
// The one hint window of the thread (comctl32's tooltip class).
HWND ThreadHintWindow() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND h, LPARAM out) {
        wchar_t cls[64] = L"";
        GetClassNameW(h, cls, 64);
        if (wcscmp(cls, TOOLTIPS_CLASSW) != 0) return TRUE;
        *reinterpret_cast<HWND*>(out) = h;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

bool HasHintTool(HWND tip, HWND window) {
  TOOLINFOW ti{};
  ti.cbSize = TTTOOLINFOW_V2_SIZE;
  ti.hwnd = window;
  ti.uId = reinterpret_cast<UINT_PTR>(window);
  return SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
}
}  // namespace

// The hint window learns of a control's window through its life: switched
// off and on, a window made anew, the control deleted; and the pointer
// resting on the control shows the hint.
TEST_F(FormTest, HintFollowsItsControlsWindowAndShowsUnderThePointer) {
  auto* b = new TButton(form);
  b->SetParent(form);
  b->SetBounds(10, 10, 100, 25);
  b->SetHint("Начать конвертацию");
  b->SetShowHint(true);
  HWND tip = ThreadHintWindow();
  ASSERT_NE(tip, nullptr);
  const LRESULT before = SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0);
  EXPECT_TRUE(HasHintTool(tip, b->Handle()));
  b->SetShowHint(false);
  EXPECT_FALSE(HasHintTool(tip, b->Handle()));
  b->SetShowHint(true);

  auto* c = new TComboBox(form);
  c->SetParent(form);
  c->SetHint("Вариант");
  c->SetShowHint(true);
  HWND old = c->Handle();
  c->SetStyle(csDropDownList);
  ASSERT_NE(c->Handle(), old);
  EXPECT_FALSE(HasHintTool(tip, old));
  EXPECT_TRUE(HasHintTool(tip, c->Handle()));
  delete c;
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), before);

  SendMessageW(tip, TTM_SETDELAYTIME, TTDT_INITIAL, 10);
  POINT centre{50, 12};
  ClientToScreen(b->Handle(), &centre);
  SetCursorPos(centre.x, centre.y);
  bool shown = false;
  for (int i = 0; i < 60 && !shown; ++i) {
    PostMessageW(b->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(50, 12));
    Pump();
    Sleep(50);
    Pump();
    shown = IsWindowVisible(tip) != FALSE;
  }
  EXPECT_TRUE(shown) << "the hint shows while the pointer rests on the button";
  delete b;
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), before - 1);
}

TEST_F(FormTest, BitBtnTakesAGlyphBitmapAndDrawsIt) {
  auto* bb = new TBitBtn(form);
  bb->SetParent(form);
  bb->SetBounds(0, 0, 105, 25);
  // A 2-state 16 x 16 glyph: red square on a transparent (bottom-left) green.
  HDC screen = GetDC(nullptr);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 32, 16);
  HDC mem = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(mem, bmp);
  RECT all{0, 0, 32, 16}, red{4, 4, 12, 12};
  HBRUSH g = CreateSolidBrush(RGB(0, 255, 0)), rb = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(mem, &all, g);
  FillRect(mem, &red, rb);
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(g);
  DeleteObject(rb);
  ReleaseDC(nullptr, screen);
  bb->SetGlyph(bmp);
  EXPECT_EQ(bb->Glyph(), bmp);
  EXPECT_FALSE(bb->LoadGlyph(GetModuleHandleW(nullptr), L"NO_SUCH_GLYPH"));
  UpdateWindow(bb->Handle());
  Pump();
  // The glyph's red shows inside the button, the transparent green nowhere.
  HDC dc = GetDC(bb->Handle());
  bool sawRed = false, sawGreen = false;
  for (int y = 0; y < 25; ++y)
    for (int x = 0; x < 105; ++x) {
      COLORREF c = GetPixel(dc, x, y);
      sawRed |= c == RGB(255, 0, 0);
      sawGreen |= c == RGB(0, 255, 0);
    }
  ReleaseDC(bb->Handle(), dc);
  EXPECT_TRUE(sawRed);
  EXPECT_FALSE(sawGreen);
}

TEST_F(FormTest, BitBtnLoadsItsGlyphFromABitmapResource) {
  auto* bb = new TBitBtn(form);
  bb->SetParent(form);
  bb->SetBounds(0, 0, 105, 25);
  ASSERT_TRUE(bb->LoadGlyph(GetModuleHandleW(nullptr), L"GLYPH_TEST"));
  auto count = [&](COLORREF color) {
    InvalidateRect(bb->Handle(), nullptr, TRUE);
    UpdateWindow(bb->Handle());
    HDC dc = GetDC(bb->Handle());
    int n = 0;
    for (int y = 0; y < 25; ++y)
      for (int x = 0; x < 105; ++x) n += GetPixel(dc, x, y) == color;
    ReleaseDC(bb->Handle(), dc);
    return n;
  };
  EXPECT_EQ(count(RGB(255, 0, 0)), 64) << "the 8 x 8 red square of the first picture";
  EXPECT_EQ(count(RGB(0, 255, 0)), 0) << "the transparent colour";
  bb->SetEnabled(false);
  EXPECT_EQ(count(RGB(255, 0, 0)), 0) << "disabled: the second picture";
}

TEST_F(FormTest, ComboBoxItemsSelectionAndText) {
  auto* c = new TComboBox(form);
  c->SetParent(form);
  c->SetBounds(10, 10, 120, 21);
  c->Items().SetText("[Нет]\r\nA(1)\r\nB(2)\r\n");
  ASSERT_EQ(c->Items().Count(), 3);
  EXPECT_EQ(c->Items().Strings(0), "[Нет]");
  EXPECT_EQ(c->Items().Text(), "[Нет]\r\nA(1)\r\nB(2)\r\n");
  EXPECT_EQ(c->Items().IndexOf("B(2)"), 2);
  EXPECT_THROW(c->Items().Strings(3), Exception);
  int changes = 0;
  c->OnChange = [&](TComponent*) { ++changes; };
  c->SetItemIndex(2);
  EXPECT_EQ(SendMessageW(c->Handle(), CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(c->ItemIndex(), 2);
  EXPECT_EQ(c->Text(), "B(2)");
  c->SetItemIndex(99);
  EXPECT_EQ(c->ItemIndex(), -1);
  EXPECT_EQ(changes, 0) << "selection from code raises no OnChange";
  c->SetText("свободный текст");
  EXPECT_EQ(c->Text(), "свободный текст");

  c->SetItemIndex(1);
  c->SetStyle(csDropDownList);
  EXPECT_TRUE(GetWindowLongPtrW(c->Handle(), GWL_STYLE) & CBS_DROPDOWNLIST);
  EXPECT_EQ(c->Items().Count(), 3);
  EXPECT_EQ(c->ItemIndex(), 1);
  EXPECT_EQ(c->Left(), 10);
  c->SetText("[Нет]");
  EXPECT_EQ(c->ItemIndex(), 0);
  c->SetText("нет такого");
  EXPECT_EQ(c->ItemIndex(), -1);
}

TEST_F(FormTest, ComboBoxListSelectionByKeyRaisesOnChange) {
  auto* c = new TComboBox(form);
  c->SetParent(form);
  c->SetStyle(csDropDownList);
  c->Items().SetText("x\ny\nz");
  c->SetItemIndex(0);
  int changes = 0;
  int seenIndex = -2;
  c->OnChange = [&](TComponent*) {
    ++changes;
    seenIndex = c->ItemIndex();
  };
  // A drop-down list has no edit field to type into.
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  GetComboBoxInfo(c->Handle(), &info);
  EXPECT_TRUE(info.hwndItem == nullptr || info.hwndItem == c->Handle()) << "Windows names the combo box itself, Wine none";
  EXPECT_EQ(GetWindow(c->Handle(), GW_CHILD), nullptr);
  c->SetFocus();
  PostMessageW(c->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  Pump();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(seenIndex, 1);
}

TEST_F(FormTest, EditableComboBoxRaisesOnChangeWhileTyping) {
  auto* c = new TComboBox(form);
  c->SetParent(form);
  c->Items().Add("Вариант 1");
  std::vector<AnsiString> texts;
  c->OnChange = [&](TComponent*) { texts.push_back(c->Text()); };
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetComboBoxInfo(c->Handle(), &info));
  ASSERT_NE(info.hwndItem, c->Handle());
  SetFocus(info.hwndItem);
  PostMessageW(info.hwndItem, WM_CHAR, 0x0416, 1);  // Cyrillic capital Zhe
  PostMessageW(info.hwndItem, WM_CHAR, L'1', 1);
  Pump();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1], "Ж1");
}

TEST_F(FormTest, ComboBoxCloseUpFollowsTheListClosing) {
  auto* c = new TComboBox(form);
  c->SetParent(form);
  c->Items().SetText("a\nb");
  int drops = 0, closes = 0;
  c->OnDropDown = [&](TComponent*) { ++drops; };
  c->OnCloseUp = [&](TComponent*) { ++closes; };
  c->SetDroppedDown(true);
  Pump();
  EXPECT_TRUE(c->DroppedDown());
  c->SetDroppedDown(false);
  Pump();
  EXPECT_FALSE(c->DroppedDown());
  EXPECT_EQ(drops, 1);
  EXPECT_EQ(closes, 1);
}

TEST_F(FormTest, PageControlShowsOnlyTheActivePage) {
  auto* pg = new TPageControl(form);
  pg->SetParent(form);
  pg->SetBounds(0, 0, 300, 200);
  auto* t0 = new TTabSheet(form);
  t0->SetCaption("Конвертация");
  t0->SetPageControl(pg);
  auto* t1 = new TTabSheet(form);
  t1->SetPageControl(pg);
  t1->SetCaption("Дополнительные настройки");
  ASSERT_EQ(pg->PageCount(), 2);
  EXPECT_EQ(TabCtrl_GetItemCount(pg->Handle()), 2);
  wchar_t text[64] = {};
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text;
  item.cchTextMax = 64;
  SendMessageW(pg->Handle(), TCM_GETITEMW, 1, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(WideToAnsi(std::wstring(text)), "Дополнительные настройки");

  pg->SetActivePageIndex(1);
  EXPECT_EQ(SendMessageW(pg->Handle(), TCM_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(pg->ActivePageIndex(), 1);
  EXPECT_EQ(pg->ActivePage(), t1);
  EXPECT_TRUE(IsWindowVisible(t1->Handle()));
  EXPECT_FALSE(IsWindowVisible(t0->Handle()));
  EXPECT_GT(t1->Top(), 10) << "pages lie below the tabs";
  pg->SetActivePageIndex(0);
  EXPECT_TRUE(IsWindowVisible(t0->Handle()));
  EXPECT_FALSE(IsWindowVisible(t1->Handle()));
  delete t0;
  EXPECT_EQ(pg->PageCount(), 1);
  EXPECT_EQ(TabCtrl_GetItemCount(pg->Handle()), 1);
}

TEST_F(FormTest, ProgressBarRangeAndPosition) {
  auto* pb = new TProgressBar(form);
  pb->SetParent(form);
  EXPECT_EQ(pb->Min(), 0);
  EXPECT_EQ(pb->Max(), 100);
  struct Case {
    int set, expected;
  } cases[] = {{0, 0}, {37, 37}, {100, 100}, {150, 100}, {-5, 0}};
  for (const Case& c : cases) {
    pb->SetPosition(c.set);
    EXPECT_EQ(SendMessageW(pb->Handle(), PBM_GETPOS, 0, 0), c.expected) << "set " << c.set;
    EXPECT_EQ(pb->Position(), c.expected);
  }
  pb->SetMax(500);
  pb->SetMin(10);
  EXPECT_EQ(pb->Max(), 500);
  EXPECT_EQ(pb->Min(), 10);
}

TEST_F(FormTest, TimerTicksInsideProcessMessages) {
  TTimer t(nullptr);
  int ticks = 0;
  t.SetInterval(10);
  t.OnTimer = [&](TComponent* s) {
    EXPECT_EQ(s, &t);
    ++ticks;
  };
  DWORD start = GetTickCount();
  while (ticks < 3 && GetTickCount() - start < 3000) {
    Application->ProcessMessages();
    Sleep(5);
  }
  EXPECT_GE(ticks, 3);
  t.SetEnabled(false);
  int stopped = ticks;
  start = GetTickCount();
  while (GetTickCount() - start < 100) {
    Application->ProcessMessages();
    Sleep(5);
  }
  EXPECT_EQ(ticks, stopped);
}

TEST_F(FormTest, TimerTicksWhileARealMessageBoxIsOpen) {
  auto previous = Application->SetMessageBoxResponder(nullptr);
  TTimer t(nullptr);
  t.SetInterval(20);
  int ticks = 0;
  t.OnTimer = [&](TComponent*) {
    if (++ticks != 3) return;
    // The box is the thread's dialog window: close it with its OK button.
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM) -> BOOL {
          wchar_t cls[16];
          GetClassNameW(w, cls, 16);
          if (std::wstring(cls) == L"#32770") PostMessageW(w, WM_COMMAND, IDOK, 0);
          return TRUE;
        },
        0);
  };
  int answer = Application->MessageBox("Таймер закроет это окно", "Проверка", MB_OK);
  Application->SetMessageBoxResponder(previous);
  EXPECT_EQ(answer, IDOK);
  EXPECT_GE(ticks, 3);
}

TEST_F(FormTest, ExceptionsStopAtTheWindowProcedureAndAreShown) {
  MessageBoxRecorder boxes;
  auto* b = new TButton(form);
  b->SetParent(form);
  b->OnClick = [](TComponent*) { throw Exception("Ошибка в обработчике"); };
  SendMessageW(b->Handle(), BM_CLICK, 0, 0);
  b->OnClick = [](TComponent*) { throw 42; };
  SendMessageW(b->Handle(), BM_CLICK, 0, 0);
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Ошибка в обработчике");
  EXPECT_EQ(boxes.Boxes()[0].flags & MB_ICONERROR, static_cast<unsigned>(MB_ICONERROR));
  EXPECT_EQ(boxes.Boxes()[1].text, "");
}

TEST_F(FormTest, ScreenCursorShowsOverEveryWindow) {
  auto* p = new TPanel(form);
  p->SetParent(form);
  Screen->SetCursor(crHourGlass);
  EXPECT_EQ(Screen->Cursor(), crHourGlass);
  EXPECT_EQ(SendMessageW(p->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(p->Handle()),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));
  Screen->SetCursor(crDefault);
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST(TColorDialog, ResponderAnswersInsteadOfTheDialog) {
  TColorDialog d(nullptr);
  d.SetColor(clTeal);
  TColor seen = 0;
  auto previous = TColorDialog::SetResponder([&](TColor& c) {
    seen = c;
    c = clRed;
    return true;
  });
  EXPECT_TRUE(d.Execute());
  EXPECT_EQ(seen, clTeal);
  EXPECT_EQ(d.Color(), clRed);
  TColorDialog::SetResponder([](TColor& c) {
    c = clWhite;
    return false;
  });
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(d.Color(), clRed) << "a cancelled dialog keeps the colour";
  TColorDialog::SetResponder(previous);
}

TEST(TApplication, RunEndsWhenTheMainFormClosesAndDeletesItsForms) {
  TForm* main = nullptr;
  Application->CreateForm(main);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Application->MainForm(), main);
  int destroyed = 0;
  main->OnDestroy = [&](TComponent*) { ++destroyed; };
  TTimer closer(nullptr);
  closer.SetInterval(30);
  closer.OnTimer = [&](TComponent*) {
    closer.SetEnabled(false);
    EXPECT_TRUE(IsWindowVisible(main->Handle())) << "Run shows the main form";
    main->Close();
  };
  Application->Run();
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(Application->MainForm(), nullptr);
}
