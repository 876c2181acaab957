// The book-information component as the Windows program reaches it: registered
// for the user by its own DllRegisterServer, created through COM with the
// program's own create, run and query sequence, asked through slot 7 of its
// table, and gone again once unregistered.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "BookBuilder.h"
#include "TempDir.h"
#include "book/WideText.h"
#include "bookinfo/BookDescription.h"
#include "bookinfo/BookInfoClient.h"

namespace plinth {
namespace {

using ServerCall = HRESULT(STDAPICALLTYPE*)();
using Describe = HRESULT(STDMETHODCALLTYPE*)(IBookInfo*, BSTR, BSTR*);

// The class's key below a root of the registry.
const std::wstring kClassKey = L"Software\\Classes\\CLSID\\{5B0E8C61-3D2A-4F7B-9A41-6E2C1D7F0B93}";

std::wstring ServerOf(HKEY root) {
    wchar_t file[MAX_PATH] = {};
    DWORD size = sizeof(file);
    RegGetValueW(root, (kClassKey + L"\\InprocServer32").c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                 file, &size);
    return file;
}

class BookInfoComTest : public testing::Test {
  protected:
    BookInfoComTest() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~BookInfoComTest() override {
        Call("DllUnregisterServer");
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClassKey.c_str());
        FreeLibrary(server);
        CoUninitialize();
    }
    // Wine's COM reads the machine's classes only, where Windows reads the
    // user's as well: the user's registration is copied there.
    void ShowUserClassesToWine() {
        HKEY user = nullptr;
        HKEY machine = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kClassKey.c_str(), 0, KEY_READ, &user) == 0 &&
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, kClassKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &machine, nullptr) == 0) {
            RegCopyTreeW(user, nullptr, machine);
        }
        RegCloseKey(user);
        RegCloseKey(machine);
    }
    // Calls an export of the server, which lies beside the test.
    HRESULT Call(const char* name) {
        return reinterpret_cast<ServerCall>(
            reinterpret_cast<void*>(GetProcAddress(server, name)))();
    }

    HMODULE server = LoadLibraryW(L"plinth_bookinfo.dll");
    test::TempDir dir;
};

TEST_F(BookInfoComTest, RegisteredComponentDescribesBooksAsTheLinuxPluginDoes) {
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(CreateBookInfo().Get(), nullptr);
    ASSERT_EQ(Call("DllRegisterServer"), S_OK);
    wchar_t file[MAX_PATH] = {};
    GetModuleFileNameW(server, file, MAX_PATH);
    EXPECT_EQ(ServerOf(HKEY_CURRENT_USER), file);
    ShowUserClassesToWine();
    Microsoft::WRL::ComPtr<IBookInfo> info = CreateBookInfo();
    ASSERT_NE(info.Get(), nullptr);

    const builder::BookOptions options{.comment = "Caf\u00E9 lines"};
    test::WriteFileBytes(
        dir.File("book.bk"),
        builder::BuildBook(options, builder::MakePositions(options.kind, 20, 3)).Bytes());
    test::WriteFileBytes(dir.File("notes.bk"), {'n', 'o', 't', 'e', 's'});
    struct Case {
        std::string file;
        std::optional<std::string> description;
    };
    for (const Case& c : {Case{"book.bk", bookinfo::DescribeBook(dir.File("book.bk")).text},
                          Case{"notes.bk", std::nullopt}, Case{"", std::nullopt}}) {
        EXPECT_EQ(DescribeThrough(*info.Get(), dir.File(c.file)), c.description) << c.file;
    }
    EXPECT_NE(DescribeThrough(*info.Get(), dir.File("book.bk"))->find("Caf\u00E9 lines"),
              std::string::npos);

    // Slot 7 by hand: a failure is negative and stores nothing; a success may
    // be asked without a place for the text.
    const auto describe = reinterpret_cast<Describe>((*reinterpret_cast<void***>(info.Get()))[7]);
    BSTR notes = SysAllocString(Wide(dir.File("notes.bk")).c_str());
    BSTR book = SysAllocString(Wide(dir.File("book.bk")).c_str());
    BSTR text = nullptr;
    EXPECT_EQ(describe(info.Get(), notes, &text), BookInfoFailure(bookinfo::kNotABook));
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(describe(info.Get(), book, nullptr), S_OK);
    SysFreeString(notes);
    SysFreeString(book);

    // The server may go once its last object has.
    EXPECT_EQ(Call("DllCanUnloadNow"), S_FALSE);
    info.Reset();
    EXPECT_EQ(Call("DllCanUnloadNow"), S_OK);

    ASSERT_EQ(Call("DllUnregisterServer"), S_OK);
    EXPECT_EQ(ServerOf(HKEY_CURRENT_USER), L"");
}

}  // namespace
}  // namespace plinth
