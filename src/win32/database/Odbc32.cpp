#include "database/Odbc32.h"

#include <mutex>

namespace kestrow::win32 {

bool Odbc32::Complete() const {
    return AllocHandle && FreeHandle && SetEnvAttr && SetConnectAttr && DriverConnect && Disconnect && GetDiagRec &&
           GetInfo && BindParameter && ExecDirect && RowCount && NumResultCols && Fetch && GetData && EndTran;
}

std::shared_ptr<const Odbc32> Odbc32::Load() {
    static std::mutex mutex;
    static std::weak_ptr<const Odbc32> loaded;
    const std::lock_guard<std::mutex> lock(mutex);
    if (std::shared_ptr<const Odbc32> odbc = loaded.lock()) return odbc;
    auto odbc = std::make_shared<Odbc32>();
    odbc->library_ = std::make_unique<SystemLibrary>(L"odbc32.dll");
    const SystemLibrary& library = *odbc->library_;
    odbc->AllocHandle = library.Find<SQLRETURN SQL_API(SQLSMALLINT, SQLHANDLE, SQLHANDLE*)>("SQLAllocHandle");
    odbc->FreeHandle = library.Find<SQLRETURN SQL_API(SQLSMALLINT, SQLHANDLE)>("SQLFreeHandle");
    odbc->SetEnvAttr = library.Find<SQLRETURN SQL_API(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER)>("SQLSetEnvAttr");
    odbc->SetConnectAttr =
        library.Find<SQLRETURN SQL_API(SQLHDBC, SQLINTEGER, SQLPOINTER, SQLINTEGER)>("SQLSetConnectAttrW");
    odbc->DriverConnect = library.Find<SQLRETURN SQL_API(SQLHDBC, SQLHWND, SQLWCHAR*, SQLSMALLINT, SQLWCHAR*,
                                                          SQLSMALLINT, SQLSMALLINT*, SQLUSMALLINT)>("SQLDriverConnectW");
    odbc->Disconnect = library.Find<SQLRETURN SQL_API(SQLHDBC)>("SQLDisconnect");
    odbc->GetDiagRec = library.Find<SQLRETURN SQL_API(SQLSMALLINT, SQLHANDLE, SQLSMALLINT, SQLWCHAR*, SQLINTEGER*,
                                                       SQLWCHAR*, SQLSMALLINT, SQLSMALLINT*)>("SQLGetDiagRecW");
    odbc->GetInfo =
        library.Find<SQLRETURN SQL_API(SQLHDBC, SQLUSMALLINT, SQLPOINTER, SQLSMALLINT, SQLSMALLINT*)>("SQLGetInfoW");
    odbc->BindParameter =
        library.Find<SQLRETURN SQL_API(SQLHSTMT, SQLUSMALLINT, SQLSMALLINT, SQLSMALLINT, SQLSMALLINT, SQLULEN,
                                       SQLSMALLINT, SQLPOINTER, SQLLEN, SQLLEN*)>("SQLBindParameter");
    odbc->ExecDirect = library.Find<SQLRETURN SQL_API(SQLHSTMT, SQLWCHAR*, SQLINTEGER)>("SQLExecDirectW");
    odbc->RowCount = library.Find<SQLRETURN SQL_API(SQLHSTMT, SQLLEN*)>("SQLRowCount");
    odbc->NumResultCols = library.Find<SQLRETURN SQL_API(SQLHSTMT, SQLSMALLINT*)>("SQLNumResultCols");
    odbc->Fetch = library.Find<SQLRETURN SQL_API(SQLHSTMT)>("SQLFetch");
    odbc->GetData =
        library.Find<SQLRETURN SQL_API(SQLHSTMT, SQLUSMALLINT, SQLSMALLINT, SQLPOINTER, SQLLEN, SQLLEN*)>("SQLGetData");
    odbc->EndTran = library.Find<SQLRETURN SQL_API(SQLSMALLINT, SQLHANDLE, SQLSMALLINT)>("SQLEndTran");
    loaded = odbc;
    return odbc;
}

}  // namespace kestrow::win32
