#pragma once
// Components and controls: the ownership tree (TComponent), the parent tree
// with alignment and anchors (TControl/TWinControl), fonts and colours.
// Every control is a real window; a wrapper owns its window handle.
#include <windows.h>

#include <functional>
#include <vector>

#include "framework/AnsiString.h"

// Colours are COLORREF values (0x00BBGGRR); values with the top byte 0xFF
// name a system colour by its COLOR_* index, as the desktop framework does.
using TColor = int;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clTeal = 0x808000;
constexpr TColor clNavy = 0x800000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clBtnFace = static_cast<TColor>(0xFF000000u | COLOR_BTNFACE);
constexpr TColor clWindow = static_cast<TColor>(0xFF000000u | COLOR_WINDOW);
constexpr TColor clWindowText = static_cast<TColor>(0xFF000000u | COLOR_WINDOWTEXT);
constexpr TColor clBtnText = static_cast<TColor>(0xFF000000u | COLOR_BTNTEXT);
constexpr TColor clHighlight = static_cast<TColor>(0xFF000000u | COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = static_cast<TColor>(0xFF000000u | COLOR_HIGHLIGHTTEXT);
COLORREF ColorToRGB(TColor color);

struct TPoint {
  int x = 0;
  int y = 0;
};
struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
};

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAnchorKind : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = unsigned;
enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TFont {
 public:
  TFont() = default;
  TFont(const TFont& other) { Assign(other); }
  TFont& operator=(const TFont& other) {
    Assign(other);
    return *this;
  }
  ~TFont();

  const AnsiString& Name() const { return name_; }
  void SetName(const AnsiString& name);
  int Height() const { return height_; }
  void SetHeight(int height);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  // Takes name, height, style and colour; raises OnChange once.
  void Assign(const TFont& other);

  // The GDI font, made on first use and kept until the font changes.
  HFONT Handle() const;
  // Changes with every change that needs another GDI font (not the colour):
  // a window is handed a new font only when this moved.
  unsigned Generation() const { return generation_; }

  std::function<void()> OnChange;

 private:
  void Changed(bool gdi);
  void FreeHandle() const;

  AnsiString name_ = "MS Sans Serif";
  int height_ = -13;
  TFontStyles style_ = 0;
  TColor color_ = clWindowText;
  mutable HFONT handle_ = nullptr;
  unsigned generation_ = 0;
};

// A memory DC compatible with the screen, for measuring text: a window's DC
// costs a round trip to the window system each time under Wine.
HDC MeasuringDC();

class TComponent {
 public:
  explicit TComponent(TComponent* owner);
  // Deletes the owned components, last first.
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const;
  const AnsiString& Name() const { return name_; }
  void SetName(const AnsiString& name) {
    name_ = name;
    NameChanged();
  }
  virtual AnsiString ClassName() const { return "TComponent"; }

 protected:
  virtual void NameChanged() {}

 private:
  TComponent* owner_;
  std::vector<TComponent*> components_;
  AnsiString name_;
};

class TWinControl;

// The common part of all controls: placement in a parent, alignment, font,
// colour and hint. Every control of this framework has a window, so the
// window-bound half lives in TWinControl.
class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner) : TComponent(owner) {}
  AnsiString ClassName() const override { return "TControl"; }

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent) = 0;

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors anchors);

  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value);
  const AnsiString& Hint() const { return hint_; }
  void SetHint(const AnsiString& hint);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value);

 protected:
  virtual void FontChanged() {}
  virtual void ColorChanged() {}
  virtual void HintChanged() {}
  virtual void LayoutChanged() {}
  void InitFontLink();

  TWinControl* parent_ = nullptr;
  TAlign align_ = alNone;
  TAnchors anchors_ = akLeft | akTop;
  TFont font_;
  bool parentFont_ = true;
  TColor color_ = clBtnFace;
  bool parentColor_ = false;
  AnsiString hint_;
  bool showHint_ = false;
  bool inheriting_ = false;  // a parent's font or colour is being taken over
};

// A control with a window. Standard Windows controls are subclassed; our own
// window classes use the same window procedure. Either way each wrapper class
// handles its messages in its WndProc override, and no exception leaves it.
class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  // Deletes the child controls, then unlinks and destroys the window.
  ~TWinControl() override;
  AnsiString ClassName() const override { return "TWinControl"; }

  HWND Handle() const { return handle_; }
  static TWinControl* FromHandle(HWND hwnd);

  void SetParent(TWinControl* parent) override;
  int ControlCount() const { return static_cast<int>(children_.size()); }
  TWinControl* Controls(int index) const { return children_.at(static_cast<size_t>(index)); }

  // Placement in the parent's client area (screen coordinates for forms).
  int Left() const { return BoundsRect().Left; }
  int Top() const { return BoundsRect().Top; }
  int Width() const { return BoundsRect().Width(); }
  int Height() const { return BoundsRect().Height(); }
  void SetLeft(int v);
  void SetTop(int v);
  void SetWidth(int v);
  void SetHeight(int v);
  virtual void SetBounds(int left, int top, int width, int height);
  virtual TRect BoundsRect() const;
  int ClientWidth() const;
  int ClientHeight() const;
  void SetClientSize(int width, int height);
  TPoint ClientToScreen(TPoint p) const;

  bool Enabled() const;
  virtual void SetEnabled(bool value);
  bool Visible() const;
  virtual void SetVisible(bool value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }

  // The window text, converted from Windows-1251.
  AnsiString Caption() const;
  virtual void SetCaption(const AnsiString& text);

  void SetFocus();
  bool Focused() const;
  void Invalidate();
  void Update();

  // Lays out the aligned and anchored children again.
  void Realign();
  // The client area left for aligned children (panels keep their bevel).
  virtual TRect AlignRect() const;

  std::function<void(TComponent* sender)> OnClick;

 protected:
  // Creates the window, at the given place, as a child of the hidden
  // parking window (or of TCreateIn's parent, or as a top-level window for
  // forms) and links it to this object.
  void CreateHandle(const wchar_t* className, DWORD style, DWORD exStyle, const TRect& bounds = TRect(),
                    HWND parentOrOwner = nullptr, bool topLevel = false);
  // For a control that must change a creation-only style: destroys the
  // window (keeping children) and makes a new one.
  void RecreateHandle(const wchar_t* className, DWORD style, DWORD exStyle);
  virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam);

  // Notifications of a child window, routed here from its parent (or from
  // the parking window that was its first parent).
  virtual void CommandNotify(WORD /*code*/) {}
  virtual bool Notify(NMHDR* /*header*/, LRESULT& /*result*/) { return false; }
  virtual bool DrawItem(DRAWITEMSTRUCT* /*dis*/) { return false; }
  virtual HBRUSH CtlColor(HDC dc);
  virtual void ScrollNotify(WORD /*code*/) {}

  void FontChanged() override;
  void ColorChanged() override;
  void HintChanged() override;
  // The window carries the component name as the property "X2Z.Name" (a
  // global atom), so that a test driving the program from another process
  // finds its controls by name.
  void NameChanged() override;
  void LayoutChanged() override;
  // A brush of the control's colour, kept until the colour changes.
  HBRUSH ColorBrush();
  virtual void SetBoundsRaw(int left, int top, int width, int height);

  static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static bool RouteChildMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  static HWND ParkingWindow();
  static void RegisterOwnClass(const wchar_t* name, UINT style = CS_DBLCLKS, HBRUSH background = nullptr,
                               bool withIcon = false);
  friend class TApplication;

 private:
  void Unlink();
  void AlignControls();
  void RememberAnchorBase();

  HWND handle_ = nullptr;
  WNDPROC defProc_ = nullptr;
  std::vector<TWinControl*> children_;
  HBRUSH colorBrush_ = nullptr;
  unsigned fontSent_ = ~0u;  // the font generation the window was last given
  bool nameProp_ = false;    // the window carries the name property
  bool hintTool_ = false;    // the hint window knows this window
  bool aligning_ = false;
  bool destroying_ = false;
  bool topLevel_ = false;
  // Placement and parent client size when the anchors were last fixed.
  TRect anchorRect_;
  int anchorParentW_ = 0, anchorParentH_ = 0;
};

// While one lives, the controls made are born in the given parent's window
// rather than in the parking window, so that SetParent to that parent has
// no window to move (each move costs Wine a dozen round trips). SetParent
// must still follow, as ever.
class TCreateIn {
 public:
  explicit TCreateIn(TWinControl* parent);
  ~TCreateIn();
  TCreateIn(const TCreateIn&) = delete;
  TCreateIn& operator=(const TCreateIn&) = delete;

  // The window new children are born in now, or null for the parking window.
  static HWND Window();

 private:
  TWinControl* previous_;
};

// Holds back the drawing of a shown control and its children while many of
// them change at once (a page switch, lists filled); the whole is drawn once
// when the lock ends. Meanwhile the control reads as hidden. Common controls
// such as the tab control keep WM_SETREDRAW to themselves: lock a plain
// window around them.
class TDrawingLock {
 public:
  explicit TDrawingLock(TWinControl* control);
  ~TDrawingLock();
  TDrawingLock(const TDrawingLock&) = delete;
  TDrawingLock& operator=(const TDrawingLock&) = delete;

 private:
  HWND hwnd_ = nullptr;
};
