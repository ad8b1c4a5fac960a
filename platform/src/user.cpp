// Message boxes of the headless system: recorded, and answered by the
// scripted user.
#include <deque>
#include <mutex>

#include "kvp/kernel.h"
#include "kvp/scripted.h"
#include "kvp/system.h"
#include "kvp/user.h"

namespace kvp {
namespace {

struct UserState {
    std::mutex lock;
    std::deque<int> answers;
    std::vector<MessageBoxCall> shown;
};

UserState &U()
{
    static UserState s;
    return s;
}

void ResetUser()
{
    UserState &u = U();
    std::lock_guard<std::mutex> g(u.lock);
    u.answers.clear();
    u.shown.clear();
}

struct RegisterReset {
    RegisterReset() { SystemAddResetHook(ResetUser); }
};
RegisterReset g_registerReset;

// The buttons of a box type in their order on screen; an empty list for a
// type Windows does not know.
std::vector<int> Buttons(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OK: return {IDOK};
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    case MB_CANCELTRYCONTINUE: return {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
    default: return {};
    }
}

std::u16string Text(LPCWSTR s)
{
    return s ? std::u16string(s) : std::u16string();
}

}  // namespace

void ScriptMessageBoxAnswer(int answer)
{
    UserState &u = U();
    std::lock_guard<std::mutex> g(u.lock);
    u.answers.push_back(answer);
}

std::vector<MessageBoxCall> LastMessageBoxes()
{
    UserState &u = U();
    std::lock_guard<std::mutex> g(u.lock);
    return u.shown;
}

void ClearMessageBoxes()
{
    UserState &u = U();
    std::lock_guard<std::mutex> g(u.lock);
    u.shown.clear();
}

}  // namespace kvp

KVP_API int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType)
{
    std::vector<int> buttons = kvp::Buttons(uType);
    if (buttons.empty()) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    kvp::UserState &u = kvp::U();
    std::lock_guard<std::mutex> g(u.lock);
    int answer;
    if (!u.answers.empty()) {
        answer = u.answers.front();
        u.answers.pop_front();
    } else {
        // Enter presses the default button; a default beyond the last
        // button falls back to the first, as on Windows.
        size_t index = (uType & MB_DEFMASK) >> 8;
        answer = index < buttons.size() ? buttons[index] : buttons[0];
    }
    u.shown.push_back({hWnd, kvp::Text(lpText), lpCaption ? kvp::Text(lpCaption) : std::u16string(u"Error"), uType,
                       answer});
    return answer;
}
