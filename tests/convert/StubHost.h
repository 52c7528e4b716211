#pragma once
// A conversion host that records what the run does to it. Cancel can be
// requested from ProcessMessages through OnProcessMessages.
#include <functional>
#include <vector>

#include "convert/CellText.h"
#include "convert/ConversionHost.h"
#include "framework/Variant.h"

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
  AnsiString CodeColumnText() const override { return ColumnDesignation(codeColumn); }
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
