#include <string>
#include <vector>

#include "device/win32/WideText.h"
#include "device/win32/Win32Services.h"
#include "device/win32/WindowsApi.h"

#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>

namespace kalvorin::device::win32 {
namespace {

// The locator class of the management service (in-process or local server).
constexpr CLSID kLocatorClass = {
    0xCB8555CC, 0x9128, 0x11D1, {0xAD, 0x9B, 0x00, 0xC0, 0x4F, 0xD8, 0xFD, 0xFF}};
constexpr long kNameFlags = 0x70;  // every bit of the class-origin condition mask

template <typename T>
struct ComPtr {
  T* p = nullptr;
  ~ComPtr() {
    if (p) p->Release();
  }
  T** out() { return &p; }
  T* operator->() const { return p; }
  explicit operator bool() const { return p != nullptr; }
};

struct Bstr {
  BSTR p;
  explicit Bstr(const wchar_t* text) : p(SysAllocString(text)) {}
  explicit Bstr(const std::wstring& text)
      : p(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~Bstr() { SysFreeString(p); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
};

struct Variant {
  VARIANT v;
  Variant() { VariantInit(&v); }
  ~Variant() { VariantClear(&v); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
};

// A scalar VARIANT as text; the empty text when it has none (null, empty,
// objects).
std::wstring ScalarText(VARIANT& value) {
  Variant text;
  if (FAILED(VariantChangeType(&text.v, &value, 0, VT_BSTR)) || text.v.vt != VT_BSTR ||
      text.v.bstrVal == nullptr) {
    return {};
  }
  return std::wstring(text.v.bstrVal, SysStringLen(text.v.bstrVal));
}

std::wstring ElementText(SAFEARRAY* array, VARTYPE type, LONG index) {
  Variant element;
  if (type == VT_VARIANT) {
    if (FAILED(SafeArrayGetElement(array, &index, &element.v))) return {};
    return ScalarText(element.v);
  }
  // Every other element type fits in the VARIANT's 8-byte value: a BSTR or
  // interface pointer is copied (and owned by `element`), a number is copied.
  if (type == VT_RECORD || type == VT_DECIMAL || SafeArrayGetElemsize(array) > 8) return {};
  if (FAILED(SafeArrayGetElement(array, &index, &element.v.llVal))) return {};
  element.v.vt = type;
  return ScalarText(element.v);
}

// A one-dimensional array: its elements' texts, ", " before each element when
// the text so far is not empty.
std::wstring ArrayText(VARIANT& value) {
  SAFEARRAY* array = (value.vt & VT_BYREF) ? *value.pparray : value.parray;
  if (array == nullptr || SafeArrayGetDim(array) != 1) return {};
  LONG lower = 0, upper = -1;
  if (FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
      FAILED(SafeArrayGetUBound(array, 1, &upper))) {
    return {};
  }
  const VARTYPE type = static_cast<VARTYPE>(value.vt & VT_TYPEMASK);
  std::wstring text;
  for (LONG index = lower; index <= upper; ++index) {
    if (!text.empty()) text += L", ";
    text += ElementText(array, type, index);
  }
  return text;
}

WmiObject ObjectLines(IWbemClassObject* object) {
  WmiObject lines;
  SAFEARRAY* names = nullptr;
  if (FAILED(object->GetNames(nullptr, kNameFlags, nullptr, &names)) || names == nullptr) {
    return lines;
  }
  LONG lower = 0, upper = -1;
  if (SUCCEEDED(SafeArrayGetLBound(names, 1, &lower)) &&
      SUCCEEDED(SafeArrayGetUBound(names, 1, &upper))) {
    for (LONG index = lower; index <= upper; ++index) {
      BSTR name = nullptr;
      if (FAILED(SafeArrayGetElement(names, &index, &name)) || name == nullptr) continue;
      Variant value;
      if (object->Get(name, 0, &value.v, nullptr, nullptr) == S_OK) {
        const std::wstring text =
            (value.v.vt & VT_ARRAY) ? ArrayText(value.v) : ScalarText(value.v);
        lines.push_back(Narrow(std::wstring(name, SysStringLen(name))) + "=" + Narrow(text));
      }
      SysFreeString(name);
    }
  }
  SafeArrayDestroy(names);
  return lines;
}

}  // namespace

std::vector<WmiObject> RunWmiQuery(const std::string& selection) {
  std::vector<WmiObject> objects;
  ComPtr<IUnknown> unknown;
  if (FAILED(CoCreateInstance(kLocatorClass, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              __uuidof(IUnknown), reinterpret_cast<void**>(unknown.out())))) {
    return objects;
  }
  ComPtr<IWbemLocator> locator;
  if (FAILED(unknown->QueryInterface(__uuidof(IWbemLocator),
                                     reinterpret_cast<void**>(locator.out())))) {
    return objects;
  }
  ComPtr<IWbemServices> services;
  Bstr space(L"root\\cimv2");
  if (FAILED(locator->ConnectServer(space.p, nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                    services.out()))) {
    return objects;
  }
  // The service's interface is a proxy to the management service: it gets
  // the authentication and impersonation levels the process security set,
  // without which the service may refuse the query.
  if (FAILED(CoSetProxyBlanket(services.p, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                               RPC_C_AUTHN_LEVEL_PKT, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                               EOAC_NONE))) {
    return objects;
  }
  ComPtr<IEnumWbemClassObject> enumerator;
  Bstr language(L"WQL");
  Bstr query(L"Select * from " + Widen(selection));
  if (FAILED(services->ExecQuery(language.p, query.p, WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                 enumerator.out())) ||
      !enumerator) {
    return objects;
  }
  enumerator->Reset();
  for (;;) {
    ComPtr<IWbemClassObject> object;
    ULONG returned = 0;
    if (enumerator->Next(static_cast<long>(WBEM_INFINITE), 1, object.out(), &returned) != S_OK ||
        returned == 0 || !object) {
      break;
    }
    objects.push_back(ObjectLines(object.p));
  }
  return objects;
}

}  // namespace kalvorin::device::win32
