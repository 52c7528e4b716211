// The embedded window follows pnOLE: placed within one tick of the placement
// timer, hidden on the options page and while the main window is minimised.
#include <windows.h>

#include "tests/ui/MainFormFixture.h"

namespace {
RECT WindowRectOf(HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  return r;
}

std::string Describe(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}
}  // namespace

class OlePlacementTest : public MainFormTest {
 protected:
  RECT Ole() const { return WindowRectOf(OleContainerForm->Handle()); }
  RECT Panel() const { return WindowRectOf(form->pnOLE->Handle()); }
  // One tick of the placement timer, whenever the timer itself fires.
  void Tick() {
    Pump();
    form->tmrOlePositionTimer(form->tmrOlePosition);
    Pump();
  }
  void ExpectOverPanel(int dy = 0, const char* what = "") {
    RECT o = Ole(), p = Panel();
    p.top += dy;
    p.bottom += dy;
    EXPECT_EQ(Describe(o), Describe(p)) << what;
  }
};

TEST_F(OlePlacementTest, TheEmbeddedWindowIsBorderlessStayOnTopAndHiddenAtCreation) {
  form = new TImportExcelForm(nullptr, dir.Path());
  ASSERT_NE(OleContainerForm, nullptr);
  HWND h = OleContainerForm->Handle();
  EXPECT_FALSE(IsWindowVisible(h));
  EXPECT_EQ(OleContainerForm->BorderStyle(), bsNone);
  EXPECT_FALSE(GetWindowLongPtrW(h, GWL_STYLE) & WS_CAPTION);
  EXPECT_TRUE(GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(GetWindow(h, GW_OWNER), form->Handle());
  EXPECT_EQ(OleContainerForm->oleExcel->Name(), "oleExcel");
  EXPECT_EQ(OleContainerForm->oleExcel->Align(), alClient);
  EXPECT_EQ(OleContainerForm->oleExcel->State(), osEmpty);
  EXPECT_FALSE(OleContainerForm->oleExcel->AllowInPlace());
  EXPECT_EQ(OleContainerForm->oleExcel->AutoActivate(), aaManual);
  EXPECT_FALSE(OleContainerForm->oleExcel->AutoVerbMenu());
  // The options page is active until the first activation: the ticks keep it hidden.
  ASSERT_EQ(form->pg->ActivePageIndex(), 1);
  form->tmrOlePositionTimer(form->tmrOlePosition);
  EXPECT_FALSE(IsWindowVisible(h));
}

TEST_F(OlePlacementTest, FollowsTheMainWindowWithinOneTick) {
  Open();
  // The running timer places it by itself.
  for (int i = 0; i < 100 && Describe(Ole()) != Describe(Panel()); ++i) Wait(20);
  ASSERT_TRUE(IsWindowVisible(OleContainerForm->Handle()));
  ExpectOverPanel(0, "after the first activation");

  form->tmrOlePosition->SetEnabled(false);
  const int moves[][2] = {{30, 20}, {200, 150}, {0, 0}, {57, 91}};
  for (const auto& m : moves) {
    form->SetBounds(m[0], m[1], form->Width(), form->Height());
    Tick();
    ExpectOverPanel(0, ("moved to " + std::to_string(m[0]) + "," + std::to_string(m[1])).c_str());
  }

  form->SetWindowState(wsMaximized);
  Tick();
  ExpectOverPanel(0, "maximised");
  form->SetWindowState(wsNormal);
  Tick();
  ExpectOverPanel(0, "restored");
}

TEST_F(OlePlacementTest, TheTicksLeaveTheMainWindowActive) {
  Open();
  Tick();
  SetForegroundWindow(form->Handle());
  SetActiveWindow(form->Handle());
  Pump();
  ASSERT_EQ(GetActiveWindow(), form->Handle());
  Wait(100);
  EXPECT_EQ(GetActiveWindow(), form->Handle()) << "showing the embedded window takes no activation";
  EXPECT_TRUE(IsWindowVisible(OleContainerForm->Handle()));
  // Raised, it takes the keyboard into its container, which hands it on to
  // the workbook's sheet view.
  SetForegroundWindow(OleContainerForm->Handle());
  Pump();
  HWND container = OleContainerForm->oleExcel->Handle();
  EXPECT_TRUE(GetFocus() == container || IsChild(container, GetFocus()));
}

TEST_F(OlePlacementTest, ResizingOnTheOptionsPageKeepsTheMainWindowActive) {
  Open();
  form->pg->SetActivePageIndex(1);
  Tick();
  ASSERT_FALSE(IsWindowVisible(OleContainerForm->Handle()));
  SetForegroundWindow(form->Handle());
  Pump();
  form->SetBounds(form->Left(), form->Top(), form->Width() + 40, form->Height() + 40);
  Pump();
  EXPECT_EQ(GetForegroundWindow(), form->Handle()) << "the hidden embedded window is not raised";
  form->pg->SetActivePageIndex(0);
  Tick();
  form->SetBounds(form->Left(), form->Top(), form->Width() + 40, form->Height() + 40);
  Pump();
  EXPECT_EQ(GetForegroundWindow(), OleContainerForm->Handle()) << "shown, it is raised after a resize";
}

TEST_F(OlePlacementTest, DraggingTheFarEdgesKeepsTheOldSizeUntilTheCornerMoves) {
  Open();
  Tick();
  const RECT before = Ole();
  form->SetBounds(form->Left(), form->Top(), form->Width() + 100, form->Height() + 60);
  Tick();
  EXPECT_EQ(Describe(Ole()), Describe(before)) << "only the corner is compared";
  form->SetBounds(form->Left() + 5, form->Top(), form->Width(), form->Height());
  Tick();
  ExpectOverPanel(0, "re-placed once the corner moved");
}

TEST_F(OlePlacementTest, HiddenOnTheOptionsPageAndWhileMinimised) {
  Open();
  Tick();
  HWND h = OleContainerForm->Handle();
  ASSERT_TRUE(IsWindowVisible(h));
  struct Step {
    const char* what;
    int page;
    TWindowState state;
    bool visible;
  };
  const Step steps[] = {
      {"options page", 1, wsNormal, false}, {"convert page", 0, wsNormal, true},
      {"minimised", 0, wsMinimized, false}, {"restored", 0, wsNormal, true},
      {"minimised on options", 1, wsMinimized, false}, {"back", 0, wsNormal, true},
  };
  for (const Step& s : steps) {
    form->pg->SetActivePageIndex(s.page);
    form->SetWindowState(s.state);
    Tick();
    EXPECT_EQ(IsWindowVisible(h) != FALSE, s.visible) << s.what;
    if (s.visible) ExpectOverPanel(0, s.what);
  }
}

TEST_F(OlePlacementTest, SitsLowerWhileTheProgressStripShows) {
  Open();
  Tick();
  const int panelTop = Panel().top;
  form->pnProgressBar->Show();
  Tick();
  EXPECT_EQ(Panel().top, panelTop + 34) << "the strip stacks between Panel3 and pnOLE";
  ExpectOverPanel(34, "34 pixels below the panel's top, reaching 34 below its bottom");
  form->pnProgressBar->Hide();
  Tick();
  ExpectOverPanel(0, "back over the panel");
}

TEST_F(OlePlacementTest, ClosingTheEmbeddedWindowLeavesControlsDisabledAndTheTickShowsItAgain) {
  Open();
  Tick();
  HWND h = OleContainerForm->Handle();
  SendMessageW(h, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(h)) << "the framework hides a closed secondary window";
  EXPECT_FALSE(form->bbtnConvert->Enabled());
  Tick();
  EXPECT_TRUE(IsWindowVisible(h)) << "the convert page is active";
}
