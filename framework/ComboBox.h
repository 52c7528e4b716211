#pragma once
// A combo box (COMBOBOX): editable drop-down or drop-down list.
#include <memory>

#include "framework/Controls.h"
#include "framework/Strings.h"

enum TComboBoxStyle { csDropDown, csDropDownList };

class TComboBox : public TWinControl {
 public:
  explicit TComboBox(TComponent* owner) : TComboBox(owner, csDropDown) {}
  // Made in the given style at once: a later SetStyle makes the window anew,
  // which costs as much as the first (tens of milliseconds under Wine).
  TComboBox(TComponent* owner, TComboBoxStyle style);
  ~TComboBox() override;
  AnsiString ClassName() const override { return "TComboBox"; }

  TComboBoxStyle Style() const { return style_; }
  // The style is fixed at window creation: a change makes a new window that
  // keeps items, selection, text and placement.
  void SetStyle(TComboBoxStyle style);
  TStrings& Items() { return *items_; }
  const TStrings& Items() const { return *items_; }
  // -1 when nothing is selected. Setting it raises no OnChange.
  int ItemIndex() const;
  void SetItemIndex(int index);
  // The first item equal to text apart from letter case, -1 when none
  // (the box's own exact-match search).
  int IndexOfCaseless(const AnsiString& text) const;
  AnsiString Text() const { return Caption(); }
  // In a drop-down list the text selects the item equal to it (or none).
  void SetText(const AnsiString& text);
  bool DroppedDown() const;
  void SetDroppedDown(bool value);
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int count);

  // Raised when the user picks an item or (editable style) changes the text.
  std::function<void(TComponent* sender)> OnChange;
  std::function<void(TComponent* sender)> OnCloseUp;
  std::function<void(TComponent* sender)> OnDropDown;
  // Raised when the box (or its edit field) loses the keyboard focus.
  std::function<void(TComponent* sender)> OnExit;
  // A key pressed in the box or its edit field; setting key to 0 swallows it.
  // Enter reaches it too: the edit field asks the dialog navigation for it.
  std::function<void(TComponent* sender, WORD& key)> OnKeyDown;

 protected:
  void CommandNotify(WORD code) override;
  void SetBoundsRaw(int left, int top, int width, int height) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  DWORD StyleBits() const;
  // Subclasses the edit field of the editable style for OnKeyDown. The
  // link lives in the field's own user data, not in a window property
  // (comctl32's subclassing), which Wine reads from its server at every message.
  void HookEdit();
  void UnhookEdit();
  // True when OnKeyDown swallowed the key.
  bool KeyDown(WPARAM wParam);
  static LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  TComboBoxStyle style_ = csDropDown;
  // An entry was picked in the open list (CBN_SELENDOK since it dropped down).
  bool picked_ = false;
  int dropDownCount_ = 8;
  int fullHeight_ = -1;  // the height with the list last given to the window
  std::unique_ptr<TStrings> items_;
  HWND edit_ = nullptr;
  WNDPROC editProc_ = nullptr;
};
