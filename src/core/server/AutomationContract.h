#pragma once
// The whole contract with the CAD system's automation server: the ProgID,
// the interface each returned object is cast to, and the dispatch
// identifiers the batch update invokes. The stand-in server is built from
// the same header, so the two cannot drift apart.
#include <cstdint>

namespace kestrow::contract {

inline const wchar_t* const kProgId = L"SolidEdge.Application";

inline const wchar_t* const kApplicationIid = L"{DED89DB0-45B6-11CE-B307-0800363A1E02}";
inline const wchar_t* const kDocumentsIid = L"{290D47B0-F718-11CD-8B57-080036181E02}";
inline const wchar_t* const kDocumentIid = L"{016B11FB-CDC0-11CE-A035-08003601E53B}";
inline const wchar_t* const kViewsIid = L"{A32FC155-10C7-11D0-A1C3-08003627CF02}";
inline const wchar_t* const kViewIid = L"{A32FC151-10C7-11D0-A1C3-08003627CF02}";

// On the application.
constexpr std::int32_t kAppPut59 = 59;          // put False before any file is opened
constexpr std::int32_t kAppPut18 = 18;          // put False before any file is opened
constexpr std::int32_t kAppDocuments = 21;      // get: the document collection
constexpr std::int32_t kAppQuit = 40;           // call: ends the server's work
// On the document collection.
constexpr std::int32_t kDocumentsOpen = 6;      // get, path by reference: the document
// On the document.
constexpr std::int32_t kDocumentViews = 24677;  // get: the view collection
constexpr std::int32_t kDocumentClose = 6;      // call with True: store and let go;
                                                // with False: let go without storing
// On the view collection.
constexpr std::int32_t kViewsCount = 2;         // get: the number of views
constexpr std::int32_t kViewsItem = 0;          // get, 1-based 16-bit number: a view
// On a view.
constexpr std::int32_t kViewUpdate = 107;       // call: bring the view up to date

}  // namespace kestrow::contract
