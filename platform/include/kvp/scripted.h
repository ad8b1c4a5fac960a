// The scripted user of the emulated system: what the person in front of the
// (headless) screen answers, and a record of what they were shown. Not
// Win32: used by the host simulator and the tests, never by product code.
//
// INVARIANT: answers are taken in the order they were scripted, one per
// message box; SystemReset forgets both the script and the record.
#pragma once

#include <string>
#include <vector>

#include "kvp/base.h"

#ifndef KVP_CXX_API
#define KVP_CXX_API __attribute__((visibility("default")))
#endif

namespace kvp {

// One MessageBoxW call as the user saw it.
struct MessageBoxCall {
    HWND owner;
    std::u16string text;
    std::u16string caption;
    UINT type;
    int answer;  // what MessageBoxW returned
};

// Queue the answer (IDOK, IDYES, ...) to the next message box. A box with
// nothing queued gets its default button.
KVP_CXX_API void ScriptMessageBoxAnswer(int answer);
// The message boxes shown since the last reset, oldest first.
KVP_CXX_API std::vector<MessageBoxCall> LastMessageBoxes();
// Forget the record (the script stays).
KVP_CXX_API void ClearMessageBoxes();

}  // namespace kvp
