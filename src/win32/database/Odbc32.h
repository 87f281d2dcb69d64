#pragma once
// Windows' ODBC driver manager, loaded from the system folder when a shared
// night first needs it, not imported at start: odbc32.dll is no library
// Windows always keeps loaded, and an imported one would be looked for
// beside Kestrow.exe first.
#include <windows.h>
#include <sql.h>
#include <sqlext.h>

#include <memory>

#include "system/SystemLibrary.h"

namespace kestrow::win32 {

struct Odbc32 {
    decltype(&SQLAllocHandle) AllocHandle = nullptr;
    decltype(&SQLFreeHandle) FreeHandle = nullptr;
    decltype(&SQLSetEnvAttr) SetEnvAttr = nullptr;
    decltype(&SQLSetConnectAttrW) SetConnectAttr = nullptr;
    decltype(&SQLDriverConnectW) DriverConnect = nullptr;
    decltype(&SQLDisconnect) Disconnect = nullptr;
    decltype(&SQLGetDiagRecW) GetDiagRec = nullptr;
    decltype(&SQLGetInfoW) GetInfo = nullptr;
    decltype(&SQLBindParameter) BindParameter = nullptr;
    decltype(&SQLExecDirectW) ExecDirect = nullptr;
    decltype(&SQLRowCount) RowCount = nullptr;
    decltype(&SQLNumResultCols) NumResultCols = nullptr;
    decltype(&SQLFetch) Fetch = nullptr;
    decltype(&SQLGetData) GetData = nullptr;
    decltype(&SQLEndTran) EndTran = nullptr;

    // Every function found; false when the library or one of them is not.
    bool Complete() const;

    // The one the process loads, kept for as long as any connection uses it.
    static std::shared_ptr<const Odbc32> Load();

private:
    std::unique_ptr<SystemLibrary> library_;
};

}  // namespace kestrow::win32
