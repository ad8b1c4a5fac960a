// The model queries: what the plug-ins ask a model resource library through
// its export OupmFunction, and the records it answers with.
//
// Call protocol: query OUPF_FUNCID_ISSUPPORTED first, with the wanted query
// id in the input argument, and make the wanted query only when it answers
// 1 (QueryModel in coremain does this). A library ignores ids it does not
// know and writes nothing for them.
//
// The two product lines number the queries differently; code built for a
// line (KV_LINE_A or KV_LINE_B) uses the unprefixed names, which carry that
// line's numbers. Line B has no device settings tab and no secure print, so
// it has no OUPF_FUNCID_GETDEVICEDIALOG and no
// OUPF_FUNCID_GETSUPPORTTYPE_SECUREPRINT. Tools and tests that deal with
// both lines use the ModelQueryA / ModelQueryB numbers.
#pragma once

#include "kvsys.h"

// The export is OupmFunction(query id, printer type, input, output) with no
// result (OupmFunctionProc in coremain.h). Pointers it answers with point
// into the library's constant data and stay valid while it is loaded. Only
// the low 16 bits of the printer type count.

namespace ModelQueryA {
// Input: the asked-for query id as a number; output: DWORD 1 or 0.
const DWORD IsSupported = 0;
// Input: ANSI product name, NUL-terminated; output: WORD printer type (0: unknown).
const DWORD GetPrinterType = 1;
const DWORD GetSupportTypeJcl = 100;          // output: WORD
const DWORD GetOptionDialog = 200;            // output: WORD template id
const DWORD GetDeviceDialog = 201;            // output: WORD template id
const DWORD GetSupportTypeSecurePrint = 202;  // output: WORD
const DWORD GetCapability = 300;              // output: DWORD capability bits
const DWORD GetEditRules = 301;               // output: const ModelEditRule *
const DWORD GetOverrides = 302;               // output: const ModelEditRule *
// Input: const WORD * control id; output: const ModelItemList *.
const DWORD GetItemList = 303;
}  // namespace ModelQueryA

namespace ModelQueryB {
const DWORD IsSupported = 0;
const DWORD GetPrinterType = 1;
const DWORD GetCapability = 1001;
const DWORD GetEditRules = 1002;
const DWORD GetOverrides = 1003;
const DWORD GetItemList = 1004;
const DWORD GetOptionDialog = 1005;
const DWORD GetSupportTypeJcl = 1006;
}  // namespace ModelQueryB

#if defined(KV_LINE_B)
namespace ModelQuery = ModelQueryB;
#elif defined(KV_LINE_A)
namespace ModelQuery = ModelQueryA;
#endif

#if defined(KV_LINE_A) || defined(KV_LINE_B)
const DWORD OUPF_FUNCID_ISSUPPORTED = ModelQuery::IsSupported;
const DWORD KVPS_QUILFEN_GETPRINTERTYPE = ModelQuery::GetPrinterType;
const DWORD KVPS_FUNCID_GETSUPPORTTYPE_JCL = ModelQuery::GetSupportTypeJcl;
const DWORD OUPF_FUNCID_GETOPTIONDIALOG = ModelQuery::GetOptionDialog;
const DWORD OUPF_FUNCID_GETCAPABILITY = ModelQuery::GetCapability;
const DWORD OUPF_FUNCID_GETEDITRULES = ModelQuery::GetEditRules;
const DWORD OUPF_FUNCID_GETOVERRIDES = ModelQuery::GetOverrides;
const DWORD OUPF_FUNCID_GETITEMLIST = ModelQuery::GetItemList;
#if defined(KV_LINE_A)
const DWORD OUPF_FUNCID_GETDEVICEDIALOG = ModelQueryA::GetDeviceDialog;
const DWORD OUPF_FUNCID_GETSUPPORTTYPE_SECUREPRINT = ModelQueryA::GetSupportTypeSecurePrint;
#endif
#endif

// An input rule for an edit control (answer of GetEditRules, keyed by
// control id) or a text rule of the PJL header (answer of GetOverrides,
// keyed by field id). Arrays end with a rule whose id is 0. The layout is
// exchanged between separately built modules: 24 bytes, little-endian.
struct ModelEditRule {
    WORD id;         // control id, or field id for overrides
    WORD reserved1;  // 0
    DWORD flags;     // character classes in the low 16 bits, option bits above (text checks)
    DWORD reserved2[2];
    WORD minLength;  // in bytes of the code-page text
    WORD maxLength;
    DWORD reserved3;
};
static_assert(sizeof(ModelEditRule) == 24, "ModelEditRule is 24 bytes");
static_assert(offsetof(ModelEditRule, flags) == 4, "ModelEditRule.flags at 4");
static_assert(offsetof(ModelEditRule, minLength) == 16, "ModelEditRule.minLength at 16");
static_assert(offsetof(ModelEditRule, maxLength) == 18, "ModelEditRule.maxLength at 18");

// The items (string ids) a list control may offer for a model (answer of
// GetItemList). Unused slots are 0; arrays end with a record whose control
// id is 0. 62 bytes.
#define KV_MODEL_ITEMS_MAX 30
struct ModelItemList {
    WORD controlId;
    WORD stringIds[KV_MODEL_ITEMS_MAX];
};
static_assert(sizeof(ModelItemList) == 62, "ModelItemList is 62 bytes");
static_assert(offsetof(ModelItemList, stringIds) == 2, "ModelItemList.stringIds at 2");
