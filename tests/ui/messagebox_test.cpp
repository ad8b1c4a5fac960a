// Message boxes of the emulated system: what the scripted user answers and
// what the record keeps.
#include <gtest/gtest.h>

#include "kvp/scripted.h"
#include "kvp/system.h"
#include "kvp/win32.h"

namespace {

TEST(MessageBox, UnscriptedUserPressesTheDefaultButton)
{
    struct {
        UINT type;
        int answer;
    } cases[] = {
        {MB_OK, IDOK},
        {MB_OKCANCEL, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_YESNO | MB_ICONINFORMATION, IDYES},
        {MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
        {MB_RETRYCANCEL, IDRETRY},
        {MB_CANCELTRYCONTINUE | MB_DEFBUTTON3, IDCONTINUE},
        // A default beyond the last button falls back to the first.
        {MB_OK | MB_DEFBUTTON2, IDOK},
        {MB_YESNO | MB_DEFBUTTON4, IDYES},
    };
    for (const auto &c : cases) EXPECT_EQ(c.answer, MessageBoxW(nullptr, u"text", u"caption", c.type)) << "type " << c.type;
}

TEST(MessageBox, ScriptedAnswersAreTakenInOrder)
{
    kvp::ScriptMessageBoxAnswer(IDNO);
    kvp::ScriptMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(IDNO, MessageBoxW(nullptr, u"first", u"c", MB_YESNO));
    EXPECT_EQ(IDCANCEL, MessageBoxW(nullptr, u"second", u"c", MB_OKCANCEL));
    // The script is used up: back to the default button.
    EXPECT_EQ(IDOK, MessageBoxW(nullptr, u"third", u"c", MB_OKCANCEL));
}

TEST(MessageBox, RecordsOwnerTextCaptionTypeAndAnswer)
{
    HWND owner = reinterpret_cast<HWND>(0x1234);
    kvp::ScriptMessageBoxAnswer(IDNO);
    MessageBoxW(owner, u"印刷しますか？", u"警告", MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2);
    MessageBoxW(nullptr, nullptr, nullptr, MB_OK);
    std::vector<kvp::MessageBoxCall> shown = kvp::LastMessageBoxes();
    ASSERT_EQ(2u, shown.size());
    EXPECT_EQ(owner, shown[0].owner);
    EXPECT_EQ(u"印刷しますか？", shown[0].text);
    EXPECT_EQ(u"警告", shown[0].caption);
    EXPECT_EQ(static_cast<UINT>(0x144), shown[0].type);
    EXPECT_EQ(IDNO, shown[0].answer);
    // Windows shows a box without caption under "Error".
    EXPECT_EQ(u"", shown[1].text);
    EXPECT_EQ(u"Error", shown[1].caption);

    kvp::ClearMessageBoxes();
    EXPECT_TRUE(kvp::LastMessageBoxes().empty());
}

TEST(MessageBox, UnknownButtonTypeFails)
{
    kvp::ScriptMessageBoxAnswer(IDYES);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, MessageBoxW(nullptr, u"text", u"caption", 0x7));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FLAGS), GetLastError());
    EXPECT_TRUE(kvp::LastMessageBoxes().empty());
    // The scripted answer is still there for the next box.
    EXPECT_EQ(IDYES, MessageBoxW(nullptr, u"text", u"caption", MB_YESNO | MB_DEFBUTTON2));
}

TEST(MessageBox, ResetForgetsScriptAndRecord)
{
    kvp::ScriptMessageBoxAnswer(IDCANCEL);
    MessageBoxW(nullptr, u"text", u"caption", MB_OK);
    kvp::ScriptMessageBoxAnswer(IDCANCEL);
    kvp::SystemReset();
    EXPECT_TRUE(kvp::LastMessageBoxes().empty());
    EXPECT_EQ(IDOK, MessageBoxW(nullptr, u"text", u"caption", MB_OKCANCEL));
}

}  // namespace
