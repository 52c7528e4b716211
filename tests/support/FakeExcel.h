#pragma once
// The one stand-in for Excel's automation that every test shares: a workbook
// in memory and real IDispatch objects answered by name as Excel's are: the
// application (ActiveWorkbook, Quit), the workbook (Application, WorkSheets,
// ActiveSheet, Saved, SaveAs, Name), the sheets collection (Count, Item),
// sheets (Name, Index, Activate, Cells with and without row and column; a
// chart sheet has no Cells) and ranges (Value, Row, Column, SpecialCells).
// Every get hands out a fresh object, as a proxy would, so the counts of live
// objects and references show leaks. Calls, object deaths and the
// container's operations go into one log, in order.
//
// The same book runs inside the tests' OLE server (the embedded object's
// automation) and, written into a file, inside the program under test.
#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/OleContainerOps.h"
#include "framework/Variant.h"

class TFakeExcel {
 public:
  struct Sheet {
    std::string name;  // Windows-1251
    bool chart = false;
    // Cell values by (row, column), 1-based.
    std::map<std::pair<int, int>, Variant> cells;
    // The last used cell's row when set; else the largest row holding a
    // value (1 for an empty sheet), as Excel's bottom-right corner would be.
    int lastRow = 0;

    Sheet() = default;
    Sheet(std::string n, bool isChart = false) : name(std::move(n)), chart(isChart) {}
    void Set(int row, int column, const Variant& value) { cells[{row, column}] = value; }
    int LastRow() const;
    int LastColumn() const;
  };
  std::vector<Sheet> sheets{{"Лист1"}, {"Лист2"}, {"Лист3"}};
  size_t active = 0;  // index into sheets
  bool saved = false;
  int quits = 0;
  std::string name = "Книга1";
  // What SaveAs writes into its file, unless saveAs is set.
  std::string bookBytes = "edited workbook";
  // Writes the book to path; a failed HRESULT fails SaveAs the way Excel does.
  std::function<HRESULT(const std::string& path)> saveAs;

  // While a cell is edited Excel refuses every call.
  bool editing = false;
  // When set, every call fails with it (RPC_E_DISCONNECTED, ...).
  HRESULT goneWith = S_OK;
  // A call whose log entry starts with this fails: with failWith when set,
  // else as Excel fails (DISP_E_EXCEPTION).
  std::string failCall;
  HRESULT failWith = S_OK;
  // Every call fails with this HRESULT from the given call on (counting name
  // look-ups and invocations on any object).
  void FailFromCall(long call, HRESULT hr) {
    failFromCall_ = call;
    failFromCallWith_ = hr;
  }
  // Runs before every name look-up and invocation (the OLE server reads its
  // control file here); then before each invocation with the member's name.
  std::function<void()> BeforeCall;
  std::function<void(const std::wstring& member)> OnInvoke;

  // "App.ActiveWorkbook", "Book.Saved=true", "Sheets.Item(2)", "Sheet2.Name",
  // "~App" (the object's last reference gone), "Ole.DoVerb(0)", ...
  std::vector<std::string> log;
  bool logging = true;  // off for benchmarks of many calls
  // Sees every entry as it is logged (the OLE server writes them to a file).
  std::function<void(const std::string&)> OnLog;
  void Log(const std::string& entry) {
    if (logging) log.push_back(entry);
    if (OnLog) OnLog(entry);
  }
  // The log without object deaths, or only them.
  std::vector<std::string> Calls() const;
  std::vector<std::string> Deaths() const;
  long LiveObjects() const { return live_; }
  long LiveReferences() const { return refs_; }
  long Lookups() const { return lookups_; }
  long Invokes() const { return invokes_; }

  // The active sheet's cells, for tests of cell access.
  Sheet& Active() { return sheets.at(active); }
  void SetValue(int row, int column, const Variant& value) { Active().Set(row, column, value); }
  void SetText(int row, int column, const wchar_t* text) { Active().Set(row, column, Variant(text)); }
  void SetNumber(int row, int column, double value) { Active().Set(row, column, Variant(value)); }
  void SetError(int row, int column, SCODE code);
  void SetDate(int row, int column, DATE date);
  void SetCurrency(int row, int column, LONGLONG tenThousandths);

  // New objects with one reference, owned by the returned Variant.
  Variant Workbook();
  Variant SheetObject(size_t index);
  Variant SheetObject() { return SheetObject(active); }

  // The book as text (Windows-1251, one line per sheet and cell) and back;
  // the OLE server keeps it in its file and in the container's storage.
  std::string Serialize() const;
  bool Parse(const std::string& text);
  // Extra "key<TAB>value" lines a book carries along (the server's control
  // and log file paths).
  std::map<std::string, std::string> extra;

 private:
  friend class TFakeObject;
  // Counts one call; false (with hr) when it is to fail.
  bool CountCall(HRESULT& hr, bool invoke);
  long live_ = 0;
  long refs_ = 0;
  long lookups_ = 0;
  long invokes_ = 0;
  long failFromCall_ = 0;
  HRESULT failFromCallWith_ = S_OK;
};

// The container over the fake: the states and operations of the OLE
// container, logged into the book's log.
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
