#pragma once
// What the workbook operations need of an OLE container control: its object
// state and the few operations on the embedded object. TOleContainer
// implements it; tests implement it over an automation double, so the
// operations are tested without a window.
#include "framework/AnsiString.h"
#include "framework/Exception.h"
#include "framework/Variant.h"

enum TObjectState { osEmpty, osLoaded, osRunning, osOpen, osInPlaceActive, osUIActive };

// The container could not make an object of a file. Reason() is text the user
// can read (say, why the built-in reader refused the file); it may be empty.
class EOleContainerError : public Exception {
 public:
  EOleContainerError(AnsiString message, AnsiString reason)
      : Exception(std::move(message)), reason_(std::move(reason)) {}
  const AnsiString& Reason() const { return reason_; }

 private:
  AnsiString reason_;
};

class IOleContainerOps {
 public:
  virtual ~IOleContainerOps() = default;

  virtual TObjectState State() const = 0;
  // Closes the object back to the loaded state.
  virtual void Close() = 0;
  // Embeds a copy of the file (not a link). Failures raise an Exception,
  // EOleContainerError when there is a reason worth showing.
  virtual void CreateObjectFromFile(const AnsiString& path, bool iconic) = 0;
  // 0 is the primary verb: it starts the object's server.
  virtual void DoVerb(int verb) = 0;
  // The object's automation interface (a dispatch Variant).
  virtual Variant OleObject() const = 0;
  virtual void DestroyObject() = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual void Refresh() = 0;
};
