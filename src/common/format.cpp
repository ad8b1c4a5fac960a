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
};

template <typename C>
void PutPadded(Sink<C> &sink, const C *text, size_t len, int width, bool left, C pad)
{
    size_t fill = (width > 0 && static_cast<size_t>(width) > len) ? static_cast<size_t>(width) - len : 0;
    if (!left)
        for (size_t i = 0; i < fill; ++i) sink.Put(pad);
    for (size_t i = 0; i < len; ++i) sink.Put(text[i]);
    if (left)
        for (size_t i = 0; i < fill; ++i) sink.Put(static_cast<C>(' '));
}

template <typename C>
size_t ToDigits(C *buf, uint32_t value, unsigned base, bool upper)
{
    const char *digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    C tmp[16];
    size_t n = 0;
    do {
        tmp[n++] = static_cast<C>(digits[value % base]);
        value /= base;
    } while (value);
    for (size_t i = 0; i < n; ++i) buf[i] = tmp[n - 1 - i];
    return n;
}

// Text of the other width, converted into this routine's width.
void OtherText(Sink<char> &sink, LPCWSTR s, int precision, int width, bool left)
{
    if (!s) s = TEXT("(null)");
    size_t n = 0;
    while (s[n] && (precision < 0 || n < static_cast<size_t>(precision))) ++n;
    if (n == 0) {
        PutPadded<char>(sink, "", 0, width, left, ' ');
        return;
    }
    int need = WideCharToMultiByte(CP_ACP, 0, s, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    if (need <= 0) return;
    char small[256];
    char *buf = need <= 256 ? small : new char[static_cast<size_t>(need)];
    WideCharToMultiByte(CP_ACP, 0, s, static_cast<int>(n), buf, need, nullptr, nullptr);
    PutPadded<char>(sink, buf, static_cast<size_t>(need), width, left, ' ');
    if (buf != small) delete[] buf;
}

void OtherText(Sink<WCHAR> &sink, LPCSTR s, int precision, int width, bool left)
{
    if (!s) s = "(null)";
    size_t n = 0;
    while (s[n] && (precision < 0 || n < static_cast<size_t>(precision))) ++n;
    if (n == 0) {
        PutPadded<WCHAR>(sink, TEXT(""), 0, width, left, ' ');
        return;
    }
    int need = MultiByteToWideChar(CP_ACP, 0, s, static_cast<int>(n), nullptr, 0);
    if (need <= 0) return;
    WCHAR small[256];
    WCHAR *buf = need <= 256 ? small : new WCHAR[static_cast<size_t>(need)];
    MultiByteToWideChar(CP_ACP, 0, s, static_cast<int>(n), buf, need);
    PutPadded<WCHAR>(sink, buf, static_cast<size_t>(need), width, left, ' ');
    if (buf != small) delete[] buf;
}

char OtherChar(WCHAR c) { return c < 0x80 ? static_cast<char>(c) : '?'; }
WCHAR OtherChar(char c) { return static_cast<WCHAR>(static_cast<unsigned char>(c)); }

template <typename C, typename Other>
int Format(C *out, size_t capacity, const C *format, va_list args)
{
    if (!out || capacity == 0) return -1;
    Sink<C> sink{out, capacity};
    if (!format) format = reinterpret_cast<const C *>(u"");
    for (const C *p = format; *p; ++p) {
        if (*p != '%') {
            sink.Put(*p);
            continue;
        }
        ++p;
        bool left = false;
        C pad = ' ';
        for (;; ++p) {
            if (*p == '-') left = true;
            else if (*p == '0') pad = '0';
            else if (*p == ' ' || *p == '+' || *p == '#') continue;
            else break;
        }
        int width = 0;
        if (*p == '*') {
            width = va_arg(args, int);
            ++p;
        } else {
            while (*p >= '0' && *p <= '9') width = width * 10 + (*p++ - '0');
        }
        int precision = -1;
        if (*p == '.') {
            ++p;
            precision = 0;
            if (*p == '*') {
                precision = va_arg(args, int);
                ++p;
            } else {
                while (*p >= '0' && *p <= '9') precision = precision * 10 + (*p++ - '0');
            }
        }
        while (*p == 'l' || *p == 'h' || *p == 'w') ++p;
        if (left) pad = ' ';
        C buf[24];
        switch (*p) {
        case 0:
            --p;
            break;
        case '%':
            sink.Put('%');
            break;
        case 'd':
        case 'i': {
            int32_t v = static_cast<int32_t>(va_arg(args, int));
            size_t n = 0;
            uint32_t mag = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
            if (v < 0) {
                if (pad == '0') {
                    sink.Put('-');
                    if (width > 0) --width;
                } else {
                    buf[n++] = '-';
                }
            }
            n += ToDigits(buf + n, mag, 10, false);
            PutPadded(sink, buf, n, width, left, pad);
            break;
        }
        case 'u':
        case 'x':
        case 'X': {
            uint32_t v = static_cast<uint32_t>(va_arg(args, unsigned int));
            size_t n = ToDigits(buf, v, *p == 'u' ? 10 : 16, *p == 'X');
            PutPadded(sink, buf, n, width, left, pad);
            break;
        }
        case 'c': {
            C c = static_cast<C>(va_arg(args, int));
            PutPadded(sink, &c, 1, width, left, static_cast<C>(' '));
            break;
        }
        case 'C': {
            C c = OtherChar(static_cast<Other>(va_arg(args, int)));
            PutPadded(sink, &c, 1, width, left, static_cast<C>(' '));
            break;
        }
        case 's': {
            const C *s = va_arg(args, const C *);
            if (!s) s = reinterpret_cast<const C *>(sizeof(C) == 1 ? static_cast<const void *>("(null)")
                                                                 : static_cast<const void *>(u"(null)"));
            size_t n = 0;
            while (s[n] && (precision < 0 || n < static_cast<size_t>(precision))) ++n;
            PutPadded(sink, s, n, width, left, static_cast<C>(' '));
            break;
        }
        case 'S':
            OtherText(sink, va_arg(args, const Other *), precision, width, left);
            break;
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
