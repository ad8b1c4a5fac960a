// One formatter for narrow and wide text, so that logs, PJL lines and
// messages come out byte for byte the same on Windows and on Linux.
#include "format.h"

namespace {

template <typename C>
struct Sink {
    C *out;
    size_t capacity;
    size_t length = 0;
    bool cut = false;

    void Put(C c)
    {
        if (length + 1 < capacity) {
            out[length++] = c;
        } else {
            cut = true;
        }
    }
    void Repeat(C c, size_t n)
    {
        for (size_t i = 0; i < n; ++i) Put(c);
    }
};

template <typename C>
void PutPadded(Sink<C> &sink, const C *text, size_t len, int width, bool left)
{
    size_t fill = (width > 0 && static_cast<size_t>(width) > len) ? static_cast<size_t>(width) - len : 0;
    if (!left) sink.Repeat(static_cast<C>(' '), fill);
    for (size_t i = 0; i < len; ++i) sink.Put(text[i]);
    if (left) sink.Repeat(static_cast<C>(' '), fill);
}

// A number: its prefix (sign or 0x), at least PRECISION digits, padded to
// WIDTH with spaces or, for the '0' flag, with zeros after the prefix.
struct NumberStyle {
    int width = 0;
    int precision = -1;
    bool left = false;
    bool zeroPad = false;
};

template <typename C>
void PutNumber(Sink<C> &sink, const char *prefix, uint64_t value, unsigned base, bool upper, const NumberStyle &st)
{
    const char *digitSet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char digits[24];
    size_t n = 0;
    // The C rule: precision 0 prints no digit for the value 0.
    if (value != 0 || st.precision != 0) {
        do {
            digits[n++] = digitSet[value % base];
            value /= base;
        } while (value);
    }
    size_t prefixLen = 0;
    while (prefix[prefixLen]) ++prefixLen;
    const size_t precision = st.precision > 0 ? static_cast<size_t>(st.precision) : 0;
    const size_t width = st.width > 0 ? static_cast<size_t>(st.width) : 0;
    const size_t zeros = precision > n ? precision - n : 0;
    const size_t total = prefixLen + zeros + n;
    const size_t fill = width > total ? width - total : 0;
    // A precision turns the '0' flag off, as in C.
    const bool zeroFill = st.zeroPad && !st.left && st.precision < 0;
    if (!st.left && !zeroFill) sink.Repeat(static_cast<C>(' '), fill);
    for (size_t i = 0; i < prefixLen; ++i) sink.Put(static_cast<C>(prefix[i]));
    if (zeroFill) sink.Repeat(static_cast<C>('0'), fill);
    sink.Repeat(static_cast<C>('0'), zeros);
    while (n) sink.Put(static_cast<C>(digits[--n]));
    if (st.left) sink.Repeat(static_cast<C>(' '), fill);
}

// Text of the other width, converted into this routine's width through the
// ANSI code page.
void OtherText(Sink<char> &sink, LPCWSTR s, int precision, int width, bool left)
{
    if (!s) s = TEXT("(null)");
    size_t n = 0;
    while (s[n] && (precision < 0 || n < static_cast<size_t>(precision))) ++n;
    if (n == 0) {
        PutPadded<char>(sink, "", 0, width, left);
        return;
    }
    int need = WideCharToMultiByte(CP_ACP, 0, s, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    if (need <= 0) return;
    char small[256];
    char *buf = need <= 256 ? small : new char[static_cast<size_t>(need)];
    WideCharToMultiByte(CP_ACP, 0, s, static_cast<int>(n), buf, need, nullptr, nullptr);
    PutPadded<char>(sink, buf, static_cast<size_t>(need), width, left);
    if (buf != small) delete[] buf;
}

void OtherText(Sink<WCHAR> &sink, LPCSTR s, int precision, int width, bool left)
{
    if (!s) s = "(null)";
    size_t n = 0;
    while (s[n] && (precision < 0 || n < static_cast<size_t>(precision))) ++n;
    if (n == 0) {
        PutPadded<WCHAR>(sink, TEXT(""), 0, width, left);
        return;
    }
    int need = MultiByteToWideChar(CP_ACP, 0, s, static_cast<int>(n), nullptr, 0);
    if (need <= 0) return;
    WCHAR small[256];
    WCHAR *buf = need <= 256 ? small : new WCHAR[static_cast<size_t>(need)];
    MultiByteToWideChar(CP_ACP, 0, s, static_cast<int>(n), buf, need);
    PutPadded<WCHAR>(sink, buf, static_cast<size_t>(need), width, left);
    if (buf != small) delete[] buf;
}

// One character of the other width; '?' when the ANSI code page has no
// single byte for it.
char OtherChar(WCHAR c)
{
    char out[2];
    BOOL used = FALSE;
    int n = WideCharToMultiByte(CP_ACP, 0, &c, 1, out, 2, nullptr, &used);
    return n == 1 && !used ? out[0] : '?';
}

WCHAR OtherChar(char c)
{
    WCHAR out = 0;
    return MultiByteToWideChar(CP_ACP, 0, &c, 1, &out, 1) == 1 ? out : static_cast<WCHAR>('?');
}

enum class Size { Default, Short, Long, LongLong };

template <typename C>
const C *OwnText(const C *s)
{
    static const char narrowNull[] = "(null)";
    static const WCHAR wideNull[] = {'(', 'n', 'u', 'l', 'l', ')', 0};
    if (s) return s;
    return reinterpret_cast<const C *>(sizeof(C) == 1 ? static_cast<const void *>(narrowNull)
                                                      : static_cast<const void *>(wideNull));
}

template <typename C, typename Other>
int Format(C *out, size_t capacity, const C *format, va_list args)
{
    if (!out || capacity == 0) return -1;
    Sink<C> sink{out, capacity};
    static const C empty[1] = {0};
    if (!format) format = empty;
    for (const C *p = format; *p; ++p) {
        if (*p != '%') {
            sink.Put(*p);
            continue;
        }
        ++p;
        NumberStyle st;
        char sign = 0;
        bool alternate = false;
        for (;; ++p) {
            if (*p == '-') st.left = true;
            else if (*p == '0') st.zeroPad = true;
            else if (*p == '+') sign = '+';
            else if (*p == ' ') sign = sign ? sign : ' ';
            else if (*p == '#') alternate = true;
            else break;
        }
        if (*p == '*') {
            st.width = va_arg(args, int);
            // A negative width from the arguments means left-justified.
            if (st.width < 0) {
                st.left = true;
                st.width = st.width == INT32_MIN ? 0 : -st.width;
            }
            ++p;
        } else {
            while (*p >= '0' && *p <= '9') st.width = st.width * 10 + (*p++ - '0');
        }
        if (*p == '.') {
            ++p;
            st.precision = 0;
            if (*p == '*') {
                st.precision = va_arg(args, int);
                if (st.precision < 0) st.precision = -1;
                ++p;
            } else {
                while (*p >= '0' && *p <= '9') st.precision = st.precision * 10 + (*p++ - '0');
            }
        }
        // Size prefixes as Windows reads them: 'l' is 32 bits (long is 32
        // bits there), "ll" and "I64" 64 bits; for text, 'h' is narrow and
        // 'l'/'w' wide whatever the routine.
        Size size = Size::Default;
        for (;;) {
            if (*p == 'h') {
                size = Size::Short;
                ++p;
            } else if (*p == 'l' && p[1] == 'l') {
                size = Size::LongLong;
                p += 2;
            } else if (*p == 'l' || *p == 'w') {
                size = Size::Long;
                ++p;
            } else if (*p == 'I' && p[1] == '6' && p[2] == '4') {
                size = Size::LongLong;
                p += 3;
            } else if (*p == 'I' && p[1] == '3' && p[2] == '2') {
                size = Size::Default;
                p += 3;
            } else {
                break;
            }
        }
        switch (*p) {
        case 0:
            --p;
            break;
        case '%':
            sink.Put('%');
            break;
        case 'd':
        case 'i': {
            int64_t v = size == Size::LongLong ? va_arg(args, long long) : static_cast<int32_t>(va_arg(args, int));
            if (size == Size::Short) v = static_cast<int16_t>(v);
            const uint64_t mag = v < 0 ? 0u - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
            const char prefix[2] = {v < 0 ? '-' : sign, 0};
            PutNumber(sink, prefix, mag, 10, false, st);
            break;
        }
        case 'u':
        case 'x':
        case 'X':
        case 'o': {
            uint64_t v = size == Size::LongLong ? va_arg(args, unsigned long long)
                                                : static_cast<uint32_t>(va_arg(args, unsigned int));
            if (size == Size::Short) v = static_cast<uint16_t>(v);
            const unsigned base = *p == 'u' ? 10 : (*p == 'o' ? 8 : 16);
            const char *prefix = "";
            if (alternate && v != 0) prefix = *p == 'x' ? "0x" : (*p == 'X' ? "0X" : (*p == 'o' ? "0" : ""));
            PutNumber(sink, prefix, v, base, *p == 'X', st);
            break;
        }
        case 'p': {
            // As the Windows runtime prints it: all digits of the address,
            // upper case, no prefix.
            NumberStyle ptr = st;
            ptr.precision = static_cast<int>(sizeof(void *) * 2);
            PutNumber(sink, "", reinterpret_cast<uintptr_t>(va_arg(args, void *)), 16, true, ptr);
            break;
        }
        case 'c':
        case 'C': {
            const bool wantWide =
                size == Size::Short ? false : (size == Size::Long ? true : ((*p == 'c') == (sizeof(C) == 2)));
            const int v = va_arg(args, int);
            C c = wantWide == (sizeof(C) == 2) ? static_cast<C>(v) : OtherChar(static_cast<Other>(v));
            PutPadded(sink, &c, 1, st.width, st.left);
            break;
        }
        case 's':
        case 'S': {
            const bool wantWide =
                size == Size::Short ? false : (size == Size::Long ? true : ((*p == 's') == (sizeof(C) == 2)));
            if (wantWide == (sizeof(C) == 2)) {
                const C *s = OwnText(va_arg(args, const C *));
                size_t n = 0;
                while (s[n] && (st.precision < 0 || n < static_cast<size_t>(st.precision))) ++n;
                PutPadded(sink, s, n, st.width, st.left);
            } else {
                OtherText(sink, va_arg(args, const Other *), st.precision, st.width, st.left);
            }
            break;
        }
        default:
            // Unknown conversion: written as it stands.
            sink.Put('%');
            sink.Put(*p);
            break;
        }
    }
    out[sink.length] = 0;
    return sink.cut ? -1 : static_cast<int>(sink.length);
}

}  // namespace

int FormatTextVA(LPSTR out, size_t capacity, LPCSTR format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int r = Format<char, WCHAR>(out, capacity, format, copy);
    va_end(copy);
    return r;
}

int FormatTextVW(LPWSTR out, size_t capacity, LPCWSTR format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int r = Format<WCHAR, char>(out, capacity, format, copy);
    va_end(copy);
    return r;
}

int FormatTextA(LPSTR out, size_t capacity, LPCSTR format, ...)
{
    va_list args;
    va_start(args, format);
    int r = FormatTextVA(out, capacity, format, args);
    va_end(args);
    return r;
}

int FormatTextW(LPWSTR out, size_t capacity, LPCWSTR format, ...)
{
    va_list args;
    va_start(args, format);
    int r = FormatTextVW(out, capacity, format, args);
    va_end(args);
    return r;
}
