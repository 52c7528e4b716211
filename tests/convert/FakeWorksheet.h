#pragma once
// An in-process worksheet for tests and the benchmark: an IDispatch object
// with cells in memory that answers, by name through GetIDsOfNames and
// Invoke, what the conversion asks of an Excel sheet: Cells(row, column),
// Cells(), SpecialCells(11), Row, Column and Value. It counts references
// and calls, so a test can prove that nothing leaks and nothing is cached.
#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "convert/ConversionHost.h"
#include "framework/ComPtr.h"
#include "framework/Variant.h"

class TFakeWorksheet : public IDispatch {
 public:
  // Created with one reference, owned by the caller (use TComPtr::Attach).
  TFakeWorksheet();

  void SetValue(int row, int column, const Variant& value);
  void SetText(int row, int column, const wchar_t* text) { SetValue(row, column, Variant(text)); }
  void SetNumber(int row, int column, double value) { SetValue(row, column, Variant(value)); }
  void SetError(int row, int column, SCODE code);
  void SetDate(int row, int column, DATE date);
  void SetCurrency(int row, int column, LONGLONG tenThousandths);
  // The last used cell's row; by default the largest row that holds a value
  // (1 for an empty sheet), as Excel's bottom-right corner would be.
  void SetLastRow(int row) { lastRow_ = row; }

  // Every call fails with this HRESULT from the given call on (counting
  // GetIDsOfNames and Invoke calls on any object of this sheet).
  void FailFromCall(long call, HRESULT hr) {
    failFromCall_ = call;
    failWith_ = hr;
  }
  // Calls made so far, and how many references its objects hold in total.
  long Lookups() const { return lookups_; }
  long Invokes() const { return invokes_; }
  long LiveReferences() const { return liveRefs_; }
  // Runs before each Invoke with the member's name (for instance to change
  // the sheet in the middle of a run).
  std::function<void(const std::wstring& member)> OnInvoke;

  // IUnknown, IDispatch
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* info, UINT* argError) override;

 private:
  friend class TFakeRange;
  virtual ~TFakeWorksheet() = default;
  HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info);
  // Counts one call; false when it is to fail.
  bool CountCall(HRESULT& hr);
  const Variant* Find(int row, int column) const;

  long refs_ = 1;
  long liveRefs_ = 1;
  long lookups_ = 0;
  long invokes_ = 0;
  long failFromCall_ = 0;
  HRESULT failWith_ = S_OK;
  int lastRow_ = 0;
  int maxRow_ = 1;
  int maxColumn_ = 1;
  std::unordered_map<long long, Variant> cells_;
};

// A host that records what the run does to it. Cancel can be requested from
// ProcessMessages through OnProcessMessages.
class TStubHost : public IConversionHost {
 public:
  int codeColumn = 3;
  int quantityColumn = 5;
  std::vector<TPrefixReplacement> prefixTable;
  AnsiString caption = "Перевод XLS в формат Залбиро";
  AnsiString listFilePath;
  Variant sheet;

  int progressMin = 0, progressMax = 0, progressPosition = 0;
  bool progressVisible = false;
  int showCalls = 0, hideCalls = 0, pumps = 0;
  bool cancel = false;
  std::function<void(TStubHost&)> OnProcessMessages;

  int CodeColumn() const override { return codeColumn; }
  AnsiString CodeColumnText() const override;
  int QuantityColumn() const override { return quantityColumn; }
  std::vector<TPrefixReplacement> PrefixTable() const override { return prefixTable; }
  void SetProgressRange(int minimum, int maximum) override {
    progressMin = minimum;
    progressMax = maximum;
  }
  void SetProgressPosition(int position) override { progressPosition = position; }
  void ShowProgress(bool visible) override {
    progressVisible = visible;
    ++(visible ? showCalls : hideCalls);
  }
  void ProcessMessages() override {
    ++pumps;
    if (OnProcessMessages) OnProcessMessages(*this);
  }
  bool CancelRequested() const override { return cancel; }
  void SetCancelRequested(bool value) override { cancel = value; }
  AnsiString Caption() const override { return caption; }
  AnsiString ListFilePath() const override { return listFilePath; }
  Variant ActiveSheet() const override { return sheet; }
};
