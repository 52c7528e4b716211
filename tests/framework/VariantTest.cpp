#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/ComPtr.h"
#include "framework/Unicode.h"
#include "framework/Variant.h"
#include "tests/support/TestDispatch.h"

namespace {

// Records every call it gets; members: Get, Put, Method, Raise (EXCEPINFO
// filled at once), Deferred (EXCEPINFO filled through pfnDeferredFillIn),
// RaiseNoCode (scode 0), Fail (plain E_FAIL), Child (returns a new object).
// A deferred fill-in has the platform's calling convention (stdcall on
// 32-bit Windows), which no lambda converts to.
HRESULT STDAPICALLTYPE FillLate(EXCEPINFO* e) {
  e->bstrDescription = SysAllocString(L"filled late");
  e->scode = E_ACCESSDENIED;
  return S_OK;
}

class TRecordingDispatch : public TestDispatch {
 public:
  struct Call {
    DISPID id;
    WORD flags;
    std::vector<std::wstring> args;  // rgvarg as given, converted to text
    std::vector<DISPID> named;
    bool wantedResult;
  };
  std::vector<std::wstring> lookups;
  std::vector<Call> calls;
  long refs = 1;

  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  // Lives on the test's stack: never deleted.
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    static const wchar_t* known[] = {L"Get", L"Put", L"Method", L"Raise", L"Deferred", L"RaiseNoCode", L"Fail",
                                     L"Child"};
    lookups.push_back(names[0]);
    for (DISPID i = 0; i < 8; ++i) {
      if (count == 1 && std::wstring(names[0]) == known[i]) {
        ids[0] = i + 1;
        return S_OK;
      }
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* result,
                                   EXCEPINFO* info, UINT*) override {
    Call call{id, flags, {}, {}, result != nullptr};
    for (UINT i = 0; i < p->cArgs; ++i) {
      VARIANT text;
      VariantInit(&text);
      if (V_VT(&p->rgvarg[i]) == VT_DISPATCH) {
        call.args.push_back(L"<dispatch>");
      } else if (SUCCEEDED(VariantChangeType(&text, &p->rgvarg[i], 0, VT_BSTR))) {
        call.args.push_back(V_BSTR(&text));
      } else {
        call.args.push_back(L"?");
      }
      VariantClear(&text);
    }
    for (UINT i = 0; i < p->cNamedArgs; ++i) call.named.push_back(p->rgdispidNamedArgs[i]);
    calls.push_back(call);
    switch (id) {
      case 4:
        info->bstrSource = SysAllocString(L"Recorder");
        info->bstrDescription = SysAllocString(L"Нет такой ячейки");
        info->bstrHelpFile = SysAllocString(L"help.hlp");
        info->scode = static_cast<SCODE>(0x800A03EC);
        return DISP_E_EXCEPTION;
      case 5:
        *info = EXCEPINFO();
        info->pfnDeferredFillIn = FillLate;
        return DISP_E_EXCEPTION;
      case 6:
        info->wCode = 1000;
        return DISP_E_EXCEPTION;
      case 7:
        return E_FAIL;
      case 8:
        if (result) {
          V_VT(result) = VT_DISPATCH;
          V_DISPATCH(result) = this;
          AddRef();
        }
        return S_OK;
      default:
        if (result) {
          V_VT(result) = VT_I4;
          V_I4(result) = 42;
        }
        return S_OK;
    }
  }
};

TEST(Variant, PropertyGetPassesArgumentsLastFirst) {
  TRecordingDispatch d;
  {
    Variant obj(&d);
    Variant r = obj.OlePropertyGet("Get", 1, L"two", 3.5);
    EXPECT_EQ(r.Type(), VT_I4);
    EXPECT_EQ(r.AsInteger(), 42);
  }
  ASSERT_EQ(d.calls.size(), 1u);
  const auto& c = d.calls[0];
  EXPECT_EQ(c.flags, DISPATCH_PROPERTYGET);
  EXPECT_EQ(c.args, (std::vector<std::wstring>{L"3,5", L"two", L"1"}));
  EXPECT_TRUE(c.named.empty());
  EXPECT_TRUE(c.wantedResult);
  EXPECT_EQ(d.refs, 1);
}

TEST(Variant, PropertyPutNamesTheValueArgument) {
  TRecordingDispatch d;
  {
    Variant obj(&d);
    obj.OlePropertySet("Put", 7, AnsiString("значение"));
    obj.OlePropertySet("Put", true);
  }
  ASSERT_EQ(d.calls.size(), 2u);
  EXPECT_EQ(d.calls[0].flags, DISPATCH_PROPERTYPUT);
  // The assigned value is rgvarg[0], the indexes follow in reverse.
  EXPECT_EQ(d.calls[0].args, (std::vector<std::wstring>{L"значение", L"7"}));
  EXPECT_EQ(d.calls[0].named, std::vector<DISPID>{DISPID_PROPERTYPUT});
  EXPECT_FALSE(d.calls[0].wantedResult);
  EXPECT_EQ(d.calls[1].args.size(), 1u);
  EXPECT_EQ(d.calls[1].named, std::vector<DISPID>{DISPID_PROPERTYPUT});
  EXPECT_EQ(d.refs, 1);
}

TEST(Variant, MethodCallAndLookupOnEveryCall) {
  TRecordingDispatch d;
  {
    Variant obj(&d);
    obj.OleProcedure("Method");
    Variant r = obj.OleFunction("Method", 2, 3);
    EXPECT_EQ(r.AsInteger(), 42);
  }
  ASSERT_EQ(d.calls.size(), 2u);
  EXPECT_EQ(d.calls[0].flags, DISPATCH_METHOD);
  EXPECT_TRUE(d.calls[0].args.empty());
  EXPECT_EQ(d.calls[1].args, (std::vector<std::wstring>{L"3", L"2"}));
  EXPECT_EQ(d.lookups, (std::vector<std::wstring>{L"Method", L"Method"}));
}

TEST(Variant, FailuresRaiseEOleExceptionWithCodeAndDescription) {
  struct Case {
    const char* member;
    HRESULT code;
    const char* description;  // empty: none given
    const char* source;
  } cases[] = {
      {"Raise", static_cast<HRESULT>(0x800A03EC), "Нет такой ячейки", "Recorder"},
      {"Deferred", E_ACCESSDENIED, "filled late", ""},
      {"RaiseNoCode", DISP_E_EXCEPTION, "", ""},
      {"Fail", E_FAIL, "", ""},
      {"Missing", DISP_E_UNKNOWNNAME, "", ""},
  };
  TRecordingDispatch d;
  for (const auto& c : cases) {
    Variant obj(&d);
    try {
      obj.OlePropertyGet(c.member, 1);
      ADD_FAILURE() << c.member << ": no exception";
    } catch (const EOleException& e) {
      EXPECT_EQ(e.ErrorCode(), c.code) << c.member;
      EXPECT_EQ(e.Description(), c.description) << c.member;
      EXPECT_EQ(e.Source(), c.source) << c.member;
      EXPECT_FALSE(e.Message().empty()) << c.member;
      if (*c.description) {
        EXPECT_EQ(e.Message(), c.description) << c.member;
      }
    }
  }
  EXPECT_EQ(d.refs, 1);
}

TEST(Variant, UnknownMemberMessageNamesIt) {
  TRecordingDispatch d;
  Variant obj(&d);
  try {
    obj.OlePropertyGet("Missing");
    FAIL() << "no exception";
  } catch (const EOleException& e) {
    EXPECT_NE(e.Message().find("\"Missing\""), AnsiString::npos) << e.Message();
    // An EOleException is the framework's Exception.
    const Exception& base = e;
    EXPECT_EQ(base.Message(), e.Message());
  }
  EXPECT_TRUE(d.calls.empty());
}

TEST(Variant, CallOnNonObjectRaises) {
  for (Variant v : {Variant(), Variant(5), Variant(L"text"), Variant(static_cast<IDispatch*>(nullptr))}) {
    EXPECT_THROW(v.OlePropertyGet("Get"), EOleException);
  }
}

TEST(Variant, ReferencesBalanceThroughCopiesResultsAndArguments) {
  TRecordingDispatch d;
  {
    Variant a(&d);
    EXPECT_EQ(d.refs, 2);
    Variant b = a;
    EXPECT_EQ(d.refs, 3);
    Variant c = std::move(b);
    EXPECT_EQ(d.refs, 3);
    b = c;
    EXPECT_EQ(d.refs, 4);
    Variant child = a.OlePropertyGet("Child", a);  // a dispatch as argument and as result
    EXPECT_EQ(d.refs, 5);
    child.Out();
    EXPECT_EQ(d.refs, 4);
    c = Variant(3);
    EXPECT_EQ(d.refs, 3);
    for (int i = 0; i < 3; ++i) EXPECT_THROW(a.OlePropertyGet("Raise"), EOleException);
    EXPECT_EQ(d.refs, 3);
    Variant copy = Variant::CopyOf(a.Get());
    EXPECT_EQ(d.refs, 4);
  }
  EXPECT_EQ(d.refs, 1);
}

TEST(Variant, ValuesAndConversions) {
  Variant text(AnsiString("Шифр расценки"));
  ASSERT_EQ(text.Type(), VT_BSTR);
  EXPECT_EQ(WideToAnsi(V_BSTR(&text.Get()), SysStringLen(V_BSTR(&text.Get()))), "Шифр расценки");
  EXPECT_EQ(Variant(7.0).AsInteger(), 7);
  EXPECT_EQ(Variant(L"12").AsInteger(), 12);
  EXPECT_EQ(Variant(true).AsInteger(), -1);
  try {
    Variant(L"abc").AsInteger();
    FAIL() << "no exception";
  } catch (const EOleException& e) {
    EXPECT_EQ(e.ErrorCode(), DISP_E_TYPEMISMATCH);
  }
  EXPECT_THROW(Variant(1e12).AsInteger(), EOleException);
  VARIANT raw = Variant(L"x").Detach();
  EXPECT_EQ(V_VT(&raw), VT_BSTR);
  VariantClear(&raw);
}

}  // namespace
