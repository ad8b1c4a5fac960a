// The text checks see whatever a user types, converted to bytes: any flags
// and any bytes must classify and validate inside the text, and a cut text
// must end up within its maximum.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 8) return 0;
    DWORD flags = 0;
    memcpy(&flags, data, 4);
    WORD minLength = static_cast<WORD>(data[4] | (data[5] << 8));
    // Small maxima, so that cuts happen.
    WORD maxLength = static_cast<WORD>(data[6] | ((data[7] & 0x01) << 8));

    // The text, NUL-terminated, in a block of exactly its size.
    std::vector<char> text(data + 8, data + size);
    text.push_back('\0');
    size_t length = strlen(text.data());

    DWORD classes = ClassifyText(text.data(), flags);
    if (length == 0 && classes != 0) abort();

    TextError code = static_cast<TextError>(-1);
    BOOL ok = ValidateText(text.data(), flags, minLength, maxLength, &code);
    if (ok != (code == TEXT_ERROR_NONE)) abort();
    size_t after = strlen(text.data());
    if (after > length) abort();
    if ((flags & TEXT_CUT_TO_MAX) && !(flags & TEXT_MAX_ONLY) && maxLength > 0 && after > maxLength) abort();

    std::vector<char> cut(data + 8, data + size);
    cut.push_back('\0');
    DWORD at = maxLength;
    TrimToCharBoundary(at, data[5] % 3, cut.data());
    size_t trimmed = strlen(cut.data());
    // A longer text ends at the cut or one byte before it; a shorter one stays.
    if (length > at ? (trimmed > at || trimmed + 1 < at) : trimmed != length) abort();
    return 0;
}
