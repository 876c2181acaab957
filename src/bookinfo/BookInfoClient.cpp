#include "bookinfo/BookInfoClient.h"

#include <ole2.h>

#include <memory>

#include "book/WideText.h"

namespace plinth {
namespace {

// Every kind of server: in-process server and handler, local and remote server.
constexpr DWORD kAnyServer =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

struct StringFree {
    void operator()(OLECHAR* text) const { SysFreeString(text); }
};
using OwnedString = std::unique_ptr<OLECHAR, StringFree>;

}  // namespace

Microsoft::WRL::ComPtr<IBookInfo> CreateBookInfo() {
    Microsoft::WRL::ComPtr<IUnknown> object;
    Microsoft::WRL::ComPtr<IBookInfo> info;
    if (SUCCEEDED(CoCreateInstance(kBookInfoClassId, nullptr, kAnyServer, IID_IUnknown,
                                   reinterpret_cast<void**>(object.GetAddressOf()))) &&
        SUCCEEDED(OleRun(object.Get()))) {
        object->QueryInterface(kBookInfoInterfaceId, reinterpret_cast<void**>(info.GetAddressOf()));
    }
    return info;
}

std::optional<std::string> DescribeThrough(IBookInfo& info, const std::string& path) {
    const std::wstring widePath = Wide(path);
    const OwnedString pathString(
        SysAllocStringLen(widePath.data(), static_cast<UINT>(widePath.size())));
    if (!pathString) {
        return std::nullopt;
    }
    BSTR description = nullptr;
    if (FAILED(info.GetDescription(pathString.get(), &description))) {
        return std::nullopt;
    }
    const OwnedString owned(description);
    return owned ? Utf8({owned.get(), SysStringLen(owned.get())}) : std::string();
}

}  // namespace plinth
