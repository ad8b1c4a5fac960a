// Formatting with Windows semantics, identical on both targets, for every
// text that ends up in files, PJL or messages.
//
// Conversions: %s %S %c %C %d %i %u %x %X %o %p %% with the flags '-', '0',
// '+', ' ' and '#', a width and a precision (either may be '*'). Sizes as
// on Windows: 'l' reads a 32-bit value (long is 32 bits there), "ll" and
// "I64" a 64-bit one, 'h' a 16-bit one. In the narrow routine %s is narrow
// text and %S wide text (converted to the ANSI code page); in the wide
// routine it is the other way round; %hs is always narrow and %ls/%ws always
// wide. %c is a character of the routine's own width (%C the other width).
#pragma once

#include <cstdarg>

#include "kvsys.h"

// Writes at most capacity characters including the terminating NUL; the
// output is always terminated when capacity > 0. Returns the length written,
// or -1 when the text did not fit (the output then holds what fitted).
int FormatTextA(LPSTR out, size_t capacity, LPCSTR format, ...);
int FormatTextVA(LPSTR out, size_t capacity, LPCSTR format, va_list args);
int FormatTextW(LPWSTR out, size_t capacity, LPCWSTR format, ...);
int FormatTextVW(LPWSTR out, size_t capacity, LPCWSTR format, va_list args);
