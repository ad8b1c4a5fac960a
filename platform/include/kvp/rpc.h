// Emulated Win32: UUIDs of the RPC runtime. RPC_WSTR is unsigned short *,
// as on Windows, so callers cast from and to LPWSTR the same way on both
// targets.
#pragma once

#include "kvp/base.h"

#define RPC_ENTRY
typedef LONG RPC_STATUS;
typedef unsigned short *RPC_WSTR;
typedef unsigned char *RPC_CSTR;

#define RPC_S_OUT_OF_MEMORY 14L
#define RPC_S_INVALID_ARG 87L
#define RPC_S_UUID_LOCAL_ONLY 1824L
#define RPC_S_UUID_NO_ADDRESS 1739L

// A random (version 4) UUID.
KVP_API RPC_STATUS RPC_ENTRY UuidCreate(UUID *Uuid);
KVP_API RPC_STATUS RPC_ENTRY UuidCreateNil(UUID *NilUuid);
// The 36-character lower-case form, allocated; free it with RpcStringFreeW.
// A NULL Uuid stands for the nil UUID.
KVP_API RPC_STATUS RPC_ENTRY UuidToStringW(const UUID *Uuid, RPC_WSTR *StringUuid);
// Exactly the 36-character form, hexadecimal digits in either case, no
// braces; a NULL string gives the nil UUID.
KVP_API RPC_STATUS RPC_ENTRY UuidFromStringW(RPC_WSTR StringUuid, UUID *Uuid);
KVP_API RPC_STATUS RPC_ENTRY RpcStringFreeW(RPC_WSTR *String);

#define UuidToString UuidToStringW
#define UuidFromString UuidFromStringW
#define RpcStringFree RpcStringFreeW
