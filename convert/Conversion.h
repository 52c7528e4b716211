#pragma once
// The conversion run: every row of the host's worksheet from 1 to the last
// used row becomes one line of the list file, except column-number rows and
// rows whose code or quantity cannot be read.
#include <functional>
#include <memory>

#include "convert/ConversionHost.h"
#include "framework/FileStream.h"

// True when the run reached its end with no write failure and no cancel.
// Raises (list file closed, progress hidden) when the list file cannot be
// created, the last row cannot be queried or the automation server is gone.
bool RunConversion(IConversionHost& host);

// The same with the list file opened by `open` (the path given is the
// host's); the seam through which tests make writes fail.
using TListFileOpener = std::function<std::unique_ptr<TStream>(const AnsiString& path)>;
bool RunConversion(IConversionHost& host, const TListFileOpener& open);
