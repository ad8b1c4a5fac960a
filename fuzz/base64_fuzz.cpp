// Stored PINs come back from the registry as whatever is there: decoding
// any text must stay inside its buffers, and what decodes must encode and
// decode again to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzzsupport.h"
#include "text.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    KvFuzzAttachModule();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) return 0;
    // The first byte picks the output capacity, the rest is the text, in a
    // block of exactly its size.
    int capacity = data[0];
    std::vector<char> text(data + 1, data + size);
    std::vector<BYTE> out(capacity > 0 ? capacity : 1);
    int outLength = -1;
    int result = Base64Decode(text.empty() ? "" : text.data(), static_cast<int>(text.size()), out.data(), &outLength,
                              capacity);
    if (result == CODEC_OK && (outLength < 0 || outLength > capacity)) abort();

    if (result == CODEC_OK && outLength > 0) {
        std::vector<CHAR> encoded((outLength + 2) / 3 * 4);
        int encodedLength = 0;
        if (Base64Encode(out.data(), outLength, encoded.data(), &encodedLength, static_cast<int>(encoded.size())) !=
            CODEC_OK)
            abort();
        std::vector<BYTE> again((encodedLength / 4) * 3);
        int againLength = 0;
        if (Base64Decode(encoded.data(), encodedLength, again.data(), &againLength, static_cast<int>(again.size())) !=
                CODEC_OK ||
            againLength != outLength || memcmp(again.data(), out.data(), outLength) != 0)
            abort();
    }

    // The same bytes as a stored PIN (UTF-16, terminated).
    std::vector<WCHAR> stored;
    for (size_t i = 1; i + 1 < size; i += 2) stored.push_back(static_cast<WCHAR>(data[i] | (data[i + 1] << 8)));
    stored.push_back(0);
    WCHAR pin[PIN_TEXT_CAPACITY];
    if (DecodePin(stored.data(), pin)) {
        size_t length = 0;
        while (length < PIN_TEXT_CAPACITY && pin[length] != 0) ++length;
        if (length == PIN_TEXT_CAPACITY) abort();
    }
    return 0;
}
