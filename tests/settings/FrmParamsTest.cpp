// TFrmParams against real controls: values go into the windows and come back
// from them; the colour dialog is answered through its responder.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "framework/CSpinEdit.h"
#include "framework/CheckBox.h"
#include "framework/CheckListBox.h"
#include "framework/ColorDialog.h"
#include "framework/ComboBox.h"
#include "framework/Edit.h"
#include "framework/Label.h"
#include "framework/Panel.h"
#include "framework/RadioButton.h"
#include "framework/RadioGroup.h"
#include "framework/SpeedButton.h"
#include "framework/TabControl.h"
#include "settings/FrmParams.h"
#include "tests/support/FormTest.h"
#include "tests/support/TestSupport.h"

namespace {
std::string IniValue(const std::string& file, const char* section, const char* key) {
  char buf[256] = {};
  GetPrivateProfileStringA(section, key, "<none>", buf, sizeof buf, file.c_str());
  return buf;
}

// Fails the test when a colour dialog opens that nobody expected.
class ColorAnswer {
 public:
  ColorAnswer() {
    previous_ = TColorDialog::SetResponder([this](TColor& c) {
      ++shown;
      initial = c;
      if (!answer) return false;
      c = chosen;
      return true;
    });
  }
  ~ColorAnswer() { TColorDialog::SetResponder(previous_); }
  bool answer = false;
  TColor chosen = 0;
  TColor initial = -1;
  int shown = 0;

 private:
  TColorDialog::Responder previous_;
};

class FrmParamsTest : public FormTest {
 protected:
  template <class T>
  T* Add(const char* name) {
    T* c = new T(form);
    c->SetName(name);
    c->SetParent(form);
    return c;
  }
  void Register(const TParamValue& v) { params.Set(v.GetName(), v); }
  void RegisterInt(const char* owner, const char* suffix, int value, const char* item = "") {
    Register(TParamValue(Str::CStr(owner) + Str::CStr(suffix), owner, value, item));
  }
  TParamValue& Value(const char* name) { return params.Get(name); }

  TFrmParams params;
};
}  // namespace

TEST_F(FrmParamsTest, IntegerRulesMoveValuesBetweenStoreAndWindow) {
  auto* combo = Add<TComboBox>("cmb");
  combo->Items().SetText("a\nb\nc\nd");
  auto* group = Add<TRadioGroup>("rg");
  group->SetBounds(0, 0, 150, 100);
  group->Items().SetText("x\ny\nz");
  auto* spin = Add<TCSpinEdit>("spin");
  auto* tabs = Add<TTabControl>("tabs");
  tabs->Tabs().SetText("t0\nt1\nt2");
  struct Case {
    TComponent* control;
    const char* suffix;
    std::function<int()> read;  // through the window
    std::function<void(int)> change;
  } cases[] = {
      {combo, "_Value", [&] { return static_cast<int>(SendMessageW(combo->Handle(), CB_GETCURSEL, 0, 0)); },
       [&](int i) { combo->SetItemIndex(i); }},
      {group, "_Value", [&] { return group->ItemIndex(); }, [&](int i) { group->SetItemIndex(i); }},
      {spin, "_Value", [&] { return StrToIntLoose(spin->Caption()); }, [&](int i) { spin->SetValue(i); }},
      {tabs, "_Value", [&] { return static_cast<int>(SendMessageW(tabs->Handle(), TCM_GETCURSEL, 0, 0)); },
       [&](int i) { tabs->SetTabIndex(i); }},
  };
  for (const Case& c : cases) RegisterInt(c.control->Name().c_str(), c.suffix, 2);
  params.RebuildControls();
  params.ApplyToForm(form);
  for (const Case& c : cases) {
    EXPECT_EQ(c.read(), 2) << c.control->ClassName();
    c.change(1);
    params.CaptureControl(c.control);
    EXPECT_EQ(Value((c.control->Name() + c.suffix).c_str()).GetInt(), 1) << c.control->ClassName();
  }
}

TEST_F(FrmParamsTest, BooleanAndTextRulesMoveValuesBetweenStoreAndWindow) {
  auto* check = Add<TCheckBox>("chk");
  auto* radio = Add<TRadioButton>("rb");
  auto* speed = Add<TSpeedButton>("sb");
  auto* edit = Add<TEdit>("ed");
  Register(TParamValue::Bool("chk_Checked", "chk", true));
  Register(TParamValue::Bool("rb_Checked", "rb", true));
  Register(TParamValue::Bool("sb_Down", "sb", true));
  Register(TParamValue::String("ed_Value", "ed", "Текст поля"));
  params.RebuildControls();
  params.ApplyToForm(form);
  for (TWinControl* c : std::initializer_list<TWinControl*>{check, radio, speed})
    EXPECT_EQ(SendMessageW(c->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED) << c->ClassName();
  EXPECT_EQ(edit->Caption(), "Текст поля");

  check->SetChecked(false);
  radio->SetChecked(false);
  speed->SetDown(false);
  edit->SetText("другое");
  for (int i = 0; i < form->ComponentCount(); ++i) params.CaptureControl(form->Components(i));
  EXPECT_FALSE(Value("chk_Checked").GetBool());
  EXPECT_FALSE(Value("rb_Checked").GetBool());
  EXPECT_FALSE(Value("sb_Down").GetBool());
  EXPECT_EQ(Value("ed_Value").GetStr(), "другое");
}

TEST_F(FrmParamsTest, ComponentWithoutEntryIsLeftAlone) {
  ColorAnswer dialog;
  auto* pnOLE = Add<TPanel>("pnOLE");
  pnOLE->SetColor(clTeal);
  auto* cmbColV = Add<TComboBox>("cmbColV");
  cmbColV->Items().SetText("0\n1\n2");
  RegisterInt("cmbColV", "_Value", 2);
  params.RebuildControls();
  params.CaptureControl(pnOLE);
  params.ApplyToControl(pnOLE);
  params.ApplyToControl(nullptr);
  EXPECT_EQ(pnOLE->Color(), clTeal);
  EXPECT_EQ(dialog.shown, 0);
  EXPECT_FALSE(params.ControlExists("pnOLE"));
  EXPECT_THROW(params.GetControl("pnOLE"), TControl_Error_Not_Exist);
  EXPECT_THROW(params.Get("nothing"), TFrmParams_Error_Not_Exist);
}

TEST_F(FrmParamsTest, BeforeRebuildControlsNothingIsAppliedOrCaptured) {
  auto* cmbColV = Add<TComboBox>("cmbColV");
  cmbColV->Items().SetText("0\n1\n2\n3");
  RegisterInt("cmbColV", "_Value", 3);
  params.ApplyToForm(form);
  EXPECT_EQ(cmbColV->ItemIndex(), -1);
  cmbColV->SetItemIndex(1);
  params.CaptureControl(cmbColV);
  EXPECT_EQ(Value("cmbColV_Value").GetInt(), 3);
  EXPECT_FALSE(params.ControlExists("cmbColV"));
}

TEST_F(FrmParamsTest, ColumnListRoundTripThroughTheIniFile) {
  TempDir dir;
  const std::string ini = dir.File("XLS2ZALBIRO.ini");
  auto* cmbColShifr = Add<TComboBox>("cmbColShifr");
  auto* cmbColV = Add<TComboBox>("cmbColV");
  for (TComboBox* c : {cmbColShifr, cmbColV}) {
    c->SetStyle(csDropDownList);
    c->Items().SetText("[Нет]\nA(1)\nB(2)\nC(3)\nD(4)\nE(5)\nF(6)");
  }
  RegisterInt("cmbColShifr", "_Value", 0);
  RegisterInt("cmbColV", "_Value", 0);
  Value("cmbColV_Value").SetInt(3);
  params.RebuildControls();
  params.ApplyToForm(form);
  EXPECT_EQ(SendMessageW(cmbColV->Handle(), CB_GETCURSEL, 0, 0), 3);
  EXPECT_EQ(cmbColShifr->ItemIndex(), 0);
  cmbColV->SetItemIndex(5);
  params.CaptureControl(cmbColV);
  params.Save(Str::CStr(ini), "Common");
  EXPECT_EQ(IniValue(ini, "Common", "cmbColV_Value"), "5");
  EXPECT_EQ(IniValue(ini, "Common", "cmbColShifr_Value"), "0");

  // Loaded into a fresh store, the values come back.
  TFrmParams other;
  other.Set("cmbColV", TParamValue("cmbColV_Value", "cmbColV", 0, ""));
  other.Load(Str::CStr(ini), "Common");
  EXPECT_EQ(other.Get("cmbColV").GetInt(), 5);
}

TEST_F(FrmParamsTest, LoadWithoutFileOrSectionChangesNothing) {
  TempDir dir;
  const std::string ini = dir.File("a.ini");
  RegisterInt("cmb", "_Value", 7);
  params.Load(Str::CStr(ini), "Common");
  EXPECT_EQ(Value("cmb_Value").GetInt(), 7);
  EXPECT_FALSE(FileExists(ini));
  WritePrivateProfileStringA("Other", "cmb_Value", "9", ini.c_str());
  params.Load(Str::CStr(ini), "Common");
  EXPECT_EQ(Value("cmb_Value").GetInt(), 7);
  params.Save(Str::CStr(ini), "Common");
  EXPECT_EQ(IniValue(ini, "Common", "cmb_Value"), "7");
  EXPECT_EQ(IniValue(ini, "Other", "cmb_Value"), "9");
}

TEST_F(FrmParamsTest, WidthAndHeightComeBeforeTheClassRule) {
  ColorAnswer dialog;
  auto* combo = Add<TComboBox>("cmb");
  auto* panel = Add<TPanel>("pn");
  panel->SetColor(clTeal);
  auto* label = Add<TLabel>("lb");
  label->SetAutoSize(false);
  RegisterInt("cmb", "_Width", 222);
  RegisterInt("pn", "_Width_Color", 111);  // a width, not a colour
  RegisterInt("pn", "_Height", 55);
  RegisterInt("lb", "_Width", 66);
  params.RebuildControls();
  params.ApplyToForm(form);
  RECT r;
  GetWindowRect(combo->Handle(), &r);
  EXPECT_EQ(r.right - r.left, 222);
  GetWindowRect(panel->Handle(), &r);
  EXPECT_EQ(r.right - r.left, 111);
  EXPECT_EQ(r.bottom - r.top, 55);
  EXPECT_EQ(panel->Color(), clTeal);
  EXPECT_EQ(label->Width(), 66);

  panel->SetWidth(130);
  params.CaptureControl(panel);
  EXPECT_EQ(Value("pn_Width_Color").GetInt(), 130);
  EXPECT_EQ(Value("pn_Height").GetInt(), 55);
  EXPECT_EQ(dialog.shown, 0) << "a width value never opens the colour dialog";
}

TEST_F(FrmParamsTest, ValueOfAClassOutsideTheTableIsIgnored) {
  auto* label = Add<TLabel>("memo");
  label->SetCaption("как было");
  Register(TParamValue::String("memo_Value", "memo", "новое"));
  auto* combo = Add<TComboBox>("cmb");
  combo->Items().SetText("a\nb");
  RegisterInt("cmb", "_Checked", 1);  // a suffix of another class
  params.RebuildControls();
  params.ApplyToForm(form);
  params.CaptureControl(label);
  params.CaptureControl(combo);
  EXPECT_EQ(label->Caption(), "как было");
  EXPECT_EQ(Value("memo_Value").GetStr(), "новое");
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(Value("cmb_Checked").GetInt(), 1);
}

TEST_F(FrmParamsTest, CheckListBoxAppendsOnEveryApplyAndCapturesTheSelectedItem) {
  auto* list = Add<TCheckListBox>("clb");
  Register(TParamValue::Bool("clb_Checked_1", "clb", true, "Первый"));
  Register(TParamValue::Bool("clb_Checked_2", "clb", false, "Второй"));
  params.RebuildControls();
  params.ApplyToControl(list);
  params.ApplyToControl(list);
  ASSERT_EQ(list->Items().Count(), 4);
  EXPECT_EQ(list->Items().Strings(2), "Первый");
  EXPECT_TRUE(list->Checked(0));
  EXPECT_FALSE(list->Checked(1));
  EXPECT_TRUE(list->Checked(2));

  // Without a selection nothing is stored; with one, only its value follows.
  list->SetChecked(0, false);
  params.CaptureControl(list);
  EXPECT_TRUE(Value("clb_Checked_1").GetBool());
  list->SetItemIndex(0);
  params.CaptureControl(list);
  EXPECT_FALSE(Value("clb_Checked_1").GetBool());
  EXPECT_FALSE(Value("clb_Checked_2").GetBool());
  list->SetChecked(1, true);
  list->SetItemIndex(1);
  params.CaptureControl(list);
  EXPECT_TRUE(Value("clb_Checked_2").GetBool());
  EXPECT_FALSE(Value("clb_Checked_1").GetBool());
}

TEST_F(FrmParamsTest, EditWithAnIntegerValueThrowsTypeMismatch) {
  auto* first = Add<TComboBox>("first");  // owned before the edit: handled first
  first->Items().SetText("0\n1");
  auto* edit = Add<TEdit>("ed");
  RegisterInt("first", "_Value", 1);
  RegisterInt("ed", "_Value", 5);
  params.RebuildControls();
  EXPECT_THROW(params.ApplyToControl(edit), TParamValue_Error_TypeMismatch);
  EXPECT_THROW(params.ApplyToForm(form), TParamValue_Error_TypeMismatch);
  EXPECT_EQ(first->ItemIndex(), 1) << "controls handled before the bad value keep their values";
  EXPECT_THROW(params.CaptureControl(edit), TParamValue_Error_TypeMismatch);
}

TEST_F(FrmParamsTest, PanelColourIsChosenInTheColourDialog) {
  ColorAnswer dialog;
  auto* panel = Add<TPanel>("pn");
  panel->SetColor(clTeal);
  RegisterInt("pn", "_Color", 0);
  params.RebuildControls();

  dialog.answer = false;
  params.CaptureControl(panel);
  EXPECT_EQ(dialog.shown, 1);
  EXPECT_EQ(dialog.initial, clTeal);
  EXPECT_EQ(panel->Color(), clTeal);
  EXPECT_EQ(Value("pn_Color").GetInt(), 0) << "cancelled: value unchanged";

  dialog.answer = true;
  dialog.chosen = clNavy;
  params.CaptureControl(panel);
  EXPECT_EQ(panel->Color(), clNavy);
  EXPECT_EQ(Value("pn_Color").GetInt(), clNavy);

  Value("pn_Color").SetInt(clWhite);
  params.ApplyToControl(panel);
  EXPECT_EQ(panel->Color(), clWhite);
}

TEST_F(FrmParamsTest, RebuildControlsIndexesOwnedValuesOnlyAndIsRepeatable) {
  RegisterInt("cmb", "_Value", 1);
  Register(TParamValue("loose", "", 4, ""));
  params.RebuildControls();
  params.RebuildControls();
  EXPECT_EQ(params.Controls.Count(), 1u);
  EXPECT_EQ(params.GetControl("cmb").Count(), 1u);
  // The index points at the stored value, which Set assigns in place.
  params.Set("cmb_Value", TParamValue("cmb_Value", "cmb", 9, ""));
  Str::CStr key;
  TParamValue* v = nullptr;
  auto& entry = params.GetControl("cmb");
  entry.Rewind();
  ASSERT_TRUE(entry.Next(key, v));
  EXPECT_EQ(v, &params.Get("cmb_Value"));
  EXPECT_EQ(v->GetInt(), 9);
}
