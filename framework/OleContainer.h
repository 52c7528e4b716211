#pragma once
// The OLE container control, as far as the embedded window needs it now: a
// child window that holds no object (its state stays empty). The embedding
// of a workbook replaces this class.
#include "framework/Controls.h"

enum TObjectState { osEmpty, osLoaded, osRunning, osOpen, osInPlaceActive, osUIActive };
enum TAutoActivate { aaManual, aaGetFocus, aaDoubleClick };

class TOleContainer : public TWinControl {
 public:
  explicit TOleContainer(TComponent* owner);
  AnsiString ClassName() const override { return "TOleContainer"; }

  TObjectState State() const { return osEmpty; }
  bool AllowInPlace() const { return allowInPlace_; }
  void SetAllowInPlace(bool value) { allowInPlace_ = value; }
  TAutoActivate AutoActivate() const { return autoActivate_; }
  void SetAutoActivate(TAutoActivate value) { autoActivate_ = value; }
  bool AutoVerbMenu() const { return autoVerbMenu_; }
  void SetAutoVerbMenu(bool value) { autoVerbMenu_ = value; }

  // Without an object there is nothing to close or destroy.
  void Close() {}
  void DestroyObject() {}

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  bool allowInPlace_ = true;
  TAutoActivate autoActivate_ = aaDoubleClick;
  bool autoVerbMenu_ = true;
};
