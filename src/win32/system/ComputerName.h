#pragma once
// This computer's name as Windows shows it (its NetBIOS name, "WS-CAD-03"),
// by which a shared night tells its computers apart.
#include <string>

namespace kestrow::win32 {

std::wstring ThisComputerName();

}  // namespace kestrow::win32
