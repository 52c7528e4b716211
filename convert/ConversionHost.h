#pragma once
// What a conversion run needs from the window that starts it. The main
// window implements this; tests and the benchmark use plain stand-ins.
#include <vector>

#include "convert/RowRules.h"
#include "framework/AnsiString.h"
#include "framework/Variant.h"

class IConversionHost {
 public:
  virtual ~IConversionHost() = default;

  // The rate-code column (selected index of its list: 0 for "[Нет]") and the
  // text of that list's selected entry, as the write-failure message names it.
  virtual int CodeColumn() const = 0;
  virtual AnsiString CodeColumnText() const = 0;
  virtual int QuantityColumn() const = 0;
  // The prefix grid's rows below its fixed rows; asked again for every row,
  // so an edit during the run counts from the next row on.
  virtual std::vector<TPrefixReplacement> PrefixTable() const = 0;

  virtual void SetProgressRange(int minimum, int maximum) = 0;
  virtual void SetProgressPosition(int position) = 0;
  // Shows or hides the progress panel with its cancel button.
  virtual void ShowProgress(bool visible) = 0;
  // Handles all pending messages once; the cancel command runs in here.
  virtual void ProcessMessages() = 0;
  virtual bool CancelRequested() const = 0;
  virtual void SetCancelRequested(bool value) = 0;

  // Caption of every message box of the run (the main window's caption).
  virtual AnsiString Caption() const = 0;
  virtual AnsiString ListFilePath() const = 0;
  // The worksheet active now; a run asks for it once, at its start.
  virtual Variant ActiveSheet() const = 0;
};
