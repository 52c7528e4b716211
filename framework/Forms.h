#pragma once
// Forms (top-level windows) and the screen object (the global cursor).
#include "framework/Controls.h"

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable };
enum TFormStyle { fsNormal, fsStayOnTop };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TPosition { poDesigned, poScreenCenter };
enum TCloseAction { caNone, caHide, caFree, caMinimize };

struct TSizeConstraints {
  int MinWidth = 0, MinHeight = 0, MaxWidth = 0, MaxHeight = 0;  // 0: no limit
};

class TForm : public TWinControl {
 public:
  // A form owned by another form stays above it and is hidden with it.
  explicit TForm(TComponent* owner);
  ~TForm() override;
  AnsiString ClassName() const override { return "TForm"; }

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style);
  TFormStyle FormStyle() const { return formStyle_; }
  // Assigning the style the form already has changes nothing.
  void SetFormStyle(TFormStyle style);
  const TSizeConstraints& Constraints() const { return constraints_; }
  void SetConstraints(const TSizeConstraints& constraints);
  TWindowState WindowState() const;
  void SetWindowState(TWindowState state);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition position) { position_ = position; }

  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool value) override;

  // Asks OnCloseQuery, then OnClose decides: the main form ends the
  // application; other forms are hidden (caHide), freed later (caFree) or minimized.
  void Close();
  bool CloseQuery();
  // Deletes the form once the messages being handled are done.
  void Release();
  // Raises OnDestroy once. The application calls it before deleting a form,
  // while a derived form's members still exist; the destructor calls it too.
  void Destroying();

  std::function<void(TComponent* sender)> OnActivate;
  std::function<void(TComponent* sender)> OnDeactivate;
  std::function<void(TComponent* sender, bool& canClose)> OnCloseQuery;
  std::function<void(TComponent* sender, TCloseAction& action)> OnClose;
  std::function<void(TComponent* sender)> OnDestroy;
  std::function<void(TComponent* sender)> OnResize;
  std::function<void(TComponent* sender)> OnShow;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  DWORD StyleFor(TFormBorderStyle style) const;
  void ApplyConstraints(int& width, int& height) const;

  TFormBorderStyle borderStyle_ = bsSizeable;
  TFormStyle formStyle_ = fsNormal;
  TSizeConstraints constraints_;
  TPosition position_ = poDesigned;
  TWindowState pendingState_ = wsNormal;
  bool shownOnce_ = false;
  bool destroyed_ = false;
};

enum TCursor { crDefault = 0, crArrow = -2, crHourGlass = -11 };

class TScreen {
 public:
  TCursor Cursor() const { return cursor_; }
  // Every window of the application shows this cursor until crDefault.
  void SetCursor(TCursor cursor);
  HCURSOR CursorHandle() const;
  int Width() const { return GetSystemMetrics(SM_CXSCREEN); }
  int Height() const { return GetSystemMetrics(SM_CYSCREEN); }

 private:
  TCursor cursor_ = crDefault;
};

extern TScreen* Screen;
