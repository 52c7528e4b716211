#pragma once
// TFrmParams: the persistent state of selected controls of one window, as
// typed values saved to one INI section. A fixed class table says which
// property of a control a value stands for (by the control's class name and
// a suffix in the value's name).
#include "framework/Controls.h"
#include "lib/CStr.h"
#include "lib/ParamValue.h"
#include "settings/MassValues.h"
#include "settings/Values.h"

class TFrmParams_Error_Not_Exist : public TParam_Error {};
class TControl_Error_Not_Exist : public TParam_Error {};

class TFrmParams : public CTMassValues<Str::CStr, TParamValue> {
 public:
  // For one control: value name -> the registered value inside the store.
  class TControlParams : public CtValues<Str::CStr, TParamValue*> {
   public:
    TControlParams() = default;
    TControlParams(const TControlParams&) = default;
    TControlParams& operator=(const TControlParams&) = default;
    ~TControlParams() override;
  };

  // One entry per control name; an index over the store's values.
  class TControls : public CTMassValues<Str::CStr, TControlParams> {
   public:
    ~TControls() override;

   protected:
    [[noreturn]] void ThrowNotExist() override;
  };

  TFrmParams() = default;
  // Clears the index first, the values after it.
  ~TFrmParams() override;

  // Writes every value into the section (silently, value by value).
  virtual void Save(const Str::CStr& file, const Str::CStr& section);
  // Reads every value when the file and the section exist; a missing key
  // leaves its value as it was.
  virtual void Load(const Str::CStr& file, const Str::CStr& section);

  // Files every value with an owner name under Controls[owner][name].
  void RebuildControls();
  bool ControlExists(const Str::CStr& controlName) const;
  // Throws TControl_Error_Not_Exist for a name without an entry.
  TControlParams& GetControl(const Str::CStr& controlName);

  // ApplyToControl for every component the form owns directly.
  void ApplyToForm(TComponent* form);
  // Puts the control's values into its properties. A value of the wrong
  // kind throws TParamValue_Error_TypeMismatch and stops there.
  void ApplyToControl(TComponent* control);
  // Stores the control's properties into its values; a panel's colour is
  // chosen by the user in the colour dialog.
  void CaptureControl(TComponent* control);

  TControls Controls;

 protected:
  [[noreturn]] void ThrowNotExist() override;
};
