// plinth_bookinfo.dll: the book-information component as an in-process COM
// server. One class, whose objects describe books through DescribeBook, the
// description the Linux plugin gives as well; registered for the current user
// only, so that installing it needs no administrator.

#include <olectl.h>

#include <atomic>
#include <new>
#include <string>

#include "book/WideText.h"
#include "bookinfo/BookDescription.h"
#include "bookinfo/BookInfoCom.h"

namespace plinth {
namespace {

HINSTANCE g_module = nullptr;
// Objects alive and locks held through the class factory: while any is, the
// server stays loaded.
std::atomic<long> g_inUse = 0;

// The key under which the class is registered for the current user.
std::wstring ClassKey() {
    wchar_t text[40] = {};
    StringFromGUID2(kBookInfoClassId, text, 40);
    return std::wstring(L"Software\\Classes\\CLSID\\") + text;
}

class BookInfo final : public IBookInfo {
  public:
    BookInfo() { ++g_inUse; }
    BookInfo(const BookInfo&) = delete;
    BookInfo& operator=(const BookInfo&) = delete;
    ~BookInfo() { --g_inUse; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kBookInfoInterfaceId) {
            *object = static_cast<IBookInfo*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++m_references); }
    ULONG STDMETHODCALLTYPE Release() override {
        const long left = --m_references;
        if (left == 0) {
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    // No type information: the interface is called through its table only.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT STDMETHODCALLTYPE GetDescription(BSTR path, BSTR* description) override {
        // Nothing may leave the component but its status.
        try {
            const bookinfo::BookDescription book =
                bookinfo::DescribeBook(Utf8({path == nullptr ? L"" : path, SysStringLen(path)}));
            if (book.status != bookinfo::kDescribed) {
                return BookInfoFailure(book.status);
            }
            if (description != nullptr) {
                const std::wstring text = Wide(book.text);
                *description = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
                if (*description == nullptr) {
                    return E_OUTOFMEMORY;
                }
            }
            return S_OK;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }

  private:
    std::atomic<long> m_references = 1;
};

// The one class factory, living as long as the server.
class BookInfoFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        auto* info = new (std::nothrow) BookInfo;
        if (info == nullptr) {
            return E_OUTOFMEMORY;
        }
        const HRESULT result = info->QueryInterface(iid, object);
        info->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        g_inUse += lock ? 1 : -1;
        return S_OK;
    }
};

BookInfoFactory g_factory;

bool SetValue(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

// Sets the default value and, when `name` is given, one named value of the key
// at `path` below the current user's root, making the key where missing.
bool Register(const std::wstring& path, const std::wstring& value, const wchar_t* name = nullptr,
              const std::wstring& named = {}) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const bool set =
        SetValue(key, nullptr, value) && (name == nullptr || SetValue(key, name, named));
    RegCloseKey(key);
    return set;
}

}  // namespace
}  // namespace plinth

using plinth::g_module;

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = module;
        DisableThreadLibraryCalls(module);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID id, REFIID iid, LPVOID* object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (id != plinth::kBookInfoClassId) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return plinth::g_factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() { return plinth::g_inUse == 0 ? S_OK : S_FALSE; }

// Registers the class for the current user, with this file as its server; its
// objects may be used from any thread.
STDAPI DllRegisterServer() {
    std::wstring file(MAX_PATH, L'\0');
    DWORD length = 0;
    while ((length = GetModuleFileNameW(g_module, file.data(), static_cast<DWORD>(file.size()))) ==
           file.size()) {
        file.resize(file.size() * 2);
    }
    if (length == 0) {
        return SELFREG_E_CLASS;
    }
    file.resize(length);
    const std::wstring key = plinth::ClassKey();
    if (!plinth::Register(key, L"Plinth book information") ||
        !plinth::Register(key + L"\\InprocServer32", file, L"ThreadingModel", L"Both")) {
        DllUnregisterServer();
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

STDAPI DllUnregisterServer() {
    const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, plinth::ClassKey().c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}
