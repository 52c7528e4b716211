#pragma once
// An in-process stand-in for Excel holding one workbook, and an OLE container
// over it. Its objects are real IDispatch objects answered by name: the
// application (ActiveWorkbook, Quit), the workbook (Application, WorkSheets,
// ActiveSheet, Saved, SaveAs), the sheets collection (Count, Item), sheets
// (Name, Index, Activate, Cells; a chart sheet has no Cells) and ranges
// (SpecialCells, Row). Every get hands out a fresh object, as a proxy would,
// so the count of live objects shows leaks. Calls, object deaths and the
// container's operations go into one log, in order.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "framework/OleContainerOps.h"
#include "framework/Variant.h"

class TFakeExcel {
 public:
  struct Sheet {
    std::string name;  // Windows-1251
    bool chart = false;
  };
  std::vector<Sheet> sheets{{"Лист1"}, {"Лист2"}, {"Лист3"}};
  size_t active = 0;  // index into sheets
  bool saved = false;
  int lastRow = 7;
  // What SaveAs writes into its file: the edited workbook.
  std::string bookBytes = "edited workbook";
  int quits = 0;

  // While a cell is edited Excel refuses every call.
  bool editing = false;
  // When set, every call fails with it (RPC_E_DISCONNECTED, ...).
  HRESULT goneWith = S_OK;
  // A call whose log entry starts with this fails: with failWith when set,
  // else as Excel fails (DISP_E_EXCEPTION).
  std::string failCall;
  HRESULT failWith = S_OK;

  // "App.ActiveWorkbook", "Book.Saved=true", "Sheets.Item(2)", "Sheet2.Name",
  // "~App" (the object's last reference gone), "Ole.DoVerb(0)", ...
  std::vector<std::string> log;
  // The log without object deaths, or only them.
  std::vector<std::string> Calls() const;
  std::vector<std::string> Deaths() const;
  long LiveObjects() const { return live_; }

  // A new workbook object with one reference, owned by the returned Variant.
  Variant Workbook();

 private:
  friend class TFakeObject;
  long live_ = 0;
};

class TFakeOleContainer : public IOleContainerOps {
 public:
  explicit TFakeOleContainer(TFakeExcel& excel) : excel_(excel) {}

  TObjectState state = osEmpty;
  bool enabled = false;
  // CreateObjectFromFile fails: with a reason (EOleContainerError) when one is
  // set, else with a plain Exception.
  bool failCreate = false;
  AnsiString createReason;
  bool failVerb = false;
  int refreshes = 0;

  TObjectState State() const override { return state; }
  void Close() override;
  void CreateObjectFromFile(const AnsiString& path, bool iconic) override;
  void DoVerb(int verb) override;
  Variant OleObject() const override;
  void DestroyObject() override;
  void SetEnabled(bool value) override;
  void Refresh() override;

 private:
  TFakeExcel& excel_;
};
