// UUIDs: random creation and the text form. The text is allocated from the
// process heap, so an allocation fault of the emulated system reaches
// UuidToStringW as it would reach any other allocation.
#include <cstring>
#include <random>

#include "kvp/kernel.h"
#include "kvp/rpc.h"

namespace {

const char kHex[] = "0123456789abcdef";

int HexValue(unsigned short c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The byte order of the text: Data1, Data2 and Data3 as numbers, then the
// eight bytes of Data4 as they are.
void ToBytes(const UUID &u, unsigned char out[16])
{
    for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(u.Data1 >> (24 - 8 * i));
    out[4] = static_cast<unsigned char>(u.Data2 >> 8);
    out[5] = static_cast<unsigned char>(u.Data2);
    out[6] = static_cast<unsigned char>(u.Data3 >> 8);
    out[7] = static_cast<unsigned char>(u.Data3);
    std::memcpy(out + 8, u.Data4, 8);
}

void FromBytes(const unsigned char in[16], UUID &u)
{
    u.Data1 = (static_cast<uint32_t>(in[0]) << 24) | (static_cast<uint32_t>(in[1]) << 16) |
              (static_cast<uint32_t>(in[2]) << 8) | in[3];
    u.Data2 = static_cast<uint16_t>((in[4] << 8) | in[5]);
    u.Data3 = static_cast<uint16_t>((in[6] << 8) | in[7]);
    std::memcpy(u.Data4, in + 8, 8);
}

bool IsHyphenAt(size_t i) { return i == 8 || i == 13 || i == 18 || i == 23; }

}  // namespace

KVP_API RPC_STATUS RPC_ENTRY UuidCreate(UUID *Uuid)
{
    if (!Uuid) return RPC_S_INVALID_ARG;
    static thread_local std::mt19937_64 generator([] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }());
    unsigned char bytes[16];
    for (int i = 0; i < 16; i += 8) {
        uint64_t r = generator();
        std::memcpy(bytes + i, &r, 8);
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // variant 10xx
    FromBytes(bytes, *Uuid);
    return RPC_S_OK;
}

KVP_API RPC_STATUS RPC_ENTRY UuidCreateNil(UUID *NilUuid)
{
    if (!NilUuid) return RPC_S_INVALID_ARG;
    std::memset(NilUuid, 0, sizeof *NilUuid);
    return RPC_S_OK;
}

KVP_API RPC_STATUS RPC_ENTRY UuidToStringW(const UUID *Uuid, RPC_WSTR *StringUuid)
{
    if (!StringUuid) return RPC_S_INVALID_ARG;
    UUID nil{};
    unsigned char bytes[16];
    ToBytes(Uuid ? *Uuid : nil, bytes);
    auto *text = static_cast<unsigned short *>(HeapAlloc(GetProcessHeap(), 0, 37 * sizeof(unsigned short)));
    if (!text) {
        *StringUuid = nullptr;
        return RPC_S_OUT_OF_MEMORY;
    }
    size_t pos = 0;
    for (int b = 0; b < 16; ++b) {
        if (IsHyphenAt(pos)) text[pos++] = '-';
        text[pos++] = static_cast<unsigned short>(kHex[bytes[b] >> 4]);
        text[pos++] = static_cast<unsigned short>(kHex[bytes[b] & 0x0F]);
    }
    text[pos] = 0;
    *StringUuid = text;
    return RPC_S_OK;
}

KVP_API RPC_STATUS RPC_ENTRY UuidFromStringW(RPC_WSTR StringUuid, UUID *Uuid)
{
    if (!Uuid) return RPC_S_INVALID_ARG;
    if (!StringUuid) return UuidCreateNil(Uuid);
    unsigned char bytes[16];
    size_t nibble = 0;
    for (size_t i = 0; i < 36; ++i) {
        const unsigned short c = StringUuid[i];
        if (IsHyphenAt(i)) {
            if (c != '-') return RPC_S_INVALID_STRING_UUID;
            continue;
        }
        // A NUL before the end fails here, so nothing past it is read.
        const int v = HexValue(c);
        if (v < 0) return RPC_S_INVALID_STRING_UUID;
        if ((nibble & 1) == 0) bytes[nibble / 2] = static_cast<unsigned char>(v << 4);
        else bytes[nibble / 2] = static_cast<unsigned char>(bytes[nibble / 2] | v);
        ++nibble;
    }
    if (StringUuid[36] != 0) return RPC_S_INVALID_STRING_UUID;
    FromBytes(bytes, *Uuid);
    return RPC_S_OK;
}

KVP_API RPC_STATUS RPC_ENTRY RpcStringFreeW(RPC_WSTR *String)
{
    if (!String) return RPC_S_INVALID_ARG;
    if (*String) HeapFree(GetProcessHeap(), 0, *String);
    *String = nullptr;
    return RPC_S_OK;
}
