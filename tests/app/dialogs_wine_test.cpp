// The two choosers' dialog records, member by member, as the dialogs receive them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "dialogs.h"
#include "paths.h"

namespace quillon::app {
namespace {

std::wstring Text(const wchar_t* p, std::size_t count) { return std::wstring(p, count); }

void ExpectBlankBuffer(const wchar_t* buffer, DWORD size, const char* what) {
  ASSERT_NE(buffer, nullptr) << what;
  // size - 1 spaces and the closing NUL: the dialog starts with a blank name.
  EXPECT_EQ(Text(buffer, size - 1), std::wstring(size - 1, L' ')) << what;
  EXPECT_EQ(buffer[size - 1], L'\0') << what;
}

TEST(DialogRecord, EveryMemberOfTheOpenAndSaveRecords) {
  const HWND owner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
  for (DialogKind kind : {DialogKind::Open, DialogKind::Save}) {
    const bool save = kind == DialogKind::Save;
    const std::wstring& filter = save ? kOutputFilter : kMovieFilter;
    const auto record = MakeDialogRecord(kind, owner, filter, L"C:\\Tools\\Quillon.exe");
    const OPENFILENAMEW& r = record->ofn;
    SCOPED_TRACE(save ? "save dialog" : "open dialog");
    EXPECT_EQ(r.lStructSize, OPENFILENAME_SIZE_VERSION_400W);
    if constexpr (sizeof(void*) == 4) {
      EXPECT_EQ(r.lStructSize, 76u);  // the 32-bit record
    }
    EXPECT_EQ(r.hwndOwner, owner);
    EXPECT_EQ(r.hInstance, GetModuleHandleW(nullptr)) << "the program's module instance";
    // The filter with NULs for bars, ending in a double NUL.
    std::wstring expectedFilter = filter;
    for (wchar_t& c : expectedFilter)
      if (c == L'|') c = L'\0';
    expectedFilter += std::wstring(2, L'\0');
    EXPECT_EQ(Text(r.lpstrFilter, expectedFilter.size()), expectedFilter);
    EXPECT_EQ(r.lpstrCustomFilter, nullptr);
    EXPECT_EQ(r.nMaxCustFilter, 0u);
    EXPECT_EQ(r.nFilterIndex, 0u);
    EXPECT_EQ(r.nMaxFile, 2048u);
    ExpectBlankBuffer(r.lpstrFile, r.nMaxFile, "file buffer");
    EXPECT_EQ(r.nMaxFileTitle, 511u);
    ExpectBlankBuffer(r.lpstrFileTitle, r.nMaxFileTitle, "file title buffer");
    EXPECT_STREQ(r.lpstrInitialDir, L"C:\\Tools") << "the folder that holds the program";
    EXPECT_STREQ(r.lpstrTitle, L"打开文件") << "both dialogs carry the same title";
    EXPECT_EQ(r.Flags, save ? 0x280006u : 0x382204u);
    EXPECT_EQ(r.nFileOffset, 0);
    EXPECT_EQ(r.nFileExtension, 0);
    if (save) {
      ASSERT_NE(r.lpstrDefExt, nullptr) << "the save dialog's default extension is an empty string, not null";
      EXPECT_STREQ(r.lpstrDefExt, L"");
    } else {
      EXPECT_EQ(r.lpstrDefExt, nullptr);
    }
    EXPECT_EQ(r.lCustData, 0);
    EXPECT_EQ(r.lpfnHook, nullptr);
    EXPECT_EQ(r.lpTemplateName, nullptr);
  }
}

TEST(DialogRecord, AProgramInADrivesRootOpensTheDialogsAtTheRoot) {
  const auto record = MakeDialogRecord(DialogKind::Open, nullptr, kMovieFilter, L"C:\\Quillon.exe");
  EXPECT_STREQ(record->ofn.lpstrInitialDir, L"C:\\") << "\"C:\" alone is the drive's current folder";
}

}  // namespace
}  // namespace quillon::app
