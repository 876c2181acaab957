#pragma once

// Windows only: the book-information component as a COM server,
// plinth_bookinfo.dll. The program knows of it only what this header says: the
// class identity it is created by, the interface it is reached through, and the
// meaning of that interface's one operation.

#include <oaidl.h>
#include <objbase.h>

namespace plinth {

// {5B0E8C61-3D2A-4F7B-9A41-6E2C1D7F0B93}
inline constexpr CLSID kBookInfoClassId = {
    0x5b0e8c61, 0x3d2a, 0x4f7b, {0x9a, 0x41, 0x6e, 0x2c, 0x1d, 0x7f, 0x0b, 0x93}};
// {A7D3F1E2-84C6-4B59-B0E8-2F9C6A4D1E75}
inline constexpr IID kBookInfoInterfaceId = {
    0xa7d3f1e2, 0x84c6, 0x4b59, {0xb0, 0xe8, 0x2f, 0x9c, 0x6a, 0x4d, 0x1e, 0x75}};

// A dispatch interface without a type library: the four operations of IDispatch
// (slots 3 to 6) answer that there is nothing to dispatch, and GetDescription,
// in slot 7, is called through the table.
struct IBookInfo : public IDispatch {
    // Describes the file at `path` (a full path) for a person choosing a book:
    // lines separated by "\n". On success (S_OK) `description`, when not null,
    // receives a new string that the caller frees; a failure is a negative
    // status, BookInfoFailure of the reason, and stores nothing.
    virtual HRESULT STDMETHODCALLTYPE GetDescription(BSTR path, BSTR* description) = 0;

  protected:
    IBookInfo() = default;
    IBookInfo(const IBookInfo&) = default;
    IBookInfo& operator=(const IBookInfo&) = default;
    ~IBookInfo() = default;
};

// The status of a description that failed: the reason (a negative
// DescribeStatus) as an error of the interface's own.
constexpr HRESULT BookInfoFailure(int reason) {
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x200 - reason);
}

}  // namespace plinth
