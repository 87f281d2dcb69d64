#pragma once
// Owners for the values COM hands over: a BSTR freed when its owner goes,
// and a VARIANT cleared on every way out.
#include <oleauto.h>

#include <memory>
#include <string>

namespace kestrow::win32 {

struct BstrFree {
    void operator()(BSTR text) const { SysFreeString(text); }
};
using Bstr = std::unique_ptr<OLECHAR, BstrFree>;

inline std::wstring FromBstr(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

// A BSTR for a call that only reads it; null when memory runs out.
inline Bstr ToBstr(const std::wstring& text) {
    return Bstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

struct Variant : VARIANT {
    Variant() { VariantInit(this); }
    ~Variant() { VariantClear(this); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

}  // namespace kestrow::win32
