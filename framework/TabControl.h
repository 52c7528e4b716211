#pragma once
// A row of tabs without pages (SysTabControl32).
#include <memory>

#include "framework/Controls.h"
#include "framework/Strings.h"

class TTabControl : public TWinControl {
 public:
  explicit TTabControl(TComponent* owner);
  AnsiString ClassName() const override { return "TTabControl"; }

  TStrings& Tabs() { return *tabs_; }
  // -1 when no tab is selected. Setting it raises no OnChange.
  int TabIndex() const;
  void SetTabIndex(int index);
  // Raised after the user picked another tab.
  std::function<void(TComponent* sender)> OnChange;

 protected:
  bool Notify(NMHDR* header, LRESULT& result) override;

 private:
  std::unique_ptr<TStrings> tabs_;
};
