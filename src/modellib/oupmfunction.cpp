// Model resource library: the entry point and the model queries.
//
// The library answers from constant tables (modeltable.cpp) and keeps no
// state of its own beyond the module core's start-up.
#include <cstring>

#include "coremain.h"
#include "oupm.h"

namespace {

template <typename T>
void Answer(PVOID output, T value)
{
    std::memcpy(output, &value, sizeof value);
}

}  // namespace

const ModelRecord *FindModelByType(DWORD printerType)
{
    const WORD type = LOWORD(printerType);
    const ModelRecord *m = g_modelTable;
    while (m->productName != nullptr && m->printerType != type) ++m;
    return m;
}

WORD FindTypeByProductName(LPCSTR productName)
{
    const ModelRecord *m = g_modelTable;
    if (productName != nullptr)
        while (m->productName != nullptr && std::strcmp(m->productName, productName) != 0) ++m;
    else
        while (m->productName != nullptr) ++m;
    return m->printerType;
}

const ModelItemList *FindItemList(const ModelRecord *model, WORD controlId)
{
    if (model->itemLists == nullptr) return nullptr;
    for (const ModelItemList *list = model->itemLists; list->controlId != 0; ++list)
        if (list->controlId == controlId) return list;
    return nullptr;
}

BOOL IsQuerySupported(DWORD printerType, DWORD queryId)
{
    // The type lookup itself works without a known type.
    if (queryId == ModelQueryA::GetPrinterType) return TRUE;
    if (FindModelByType(printerType)->printerType == 0) return FALSE;
    for (const LONG *q = g_supportedQueries; *q >= 0; ++q)
        if (static_cast<DWORD>(*q) == queryId) return TRUE;
    return FALSE;
}

extern "C" KV_DLLEXPORT void OupmFunction(DWORD queryId, DWORD printerType, PVOID input, PVOID output)
{
    if (output == nullptr) return;
    const ModelRecord *model = FindModelByType(printerType);
    switch (queryId) {
    case ModelQuery::IsSupported:
        Answer<DWORD>(output, IsQuerySupported(printerType, static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(input))));
        break;
    case ModelQuery::GetPrinterType:
        Answer<WORD>(output, FindTypeByProductName(static_cast<LPCSTR>(input)));
        break;
    case ModelQuery::GetSupportTypeJcl:
        Answer<WORD>(output, model->jclSupportType);
        break;
    case ModelQuery::GetCapability:
        Answer<DWORD>(output, model->capability);
        break;
#if defined(KV_LINE_A)
    case ModelQueryA::GetOptionDialog:
        Answer<WORD>(output, model->dialogIds ? model->dialogIds[1] : 0);
        break;
    case ModelQueryA::GetDeviceDialog:
        Answer<WORD>(output, model->dialogIds ? model->dialogIds[0] : 0);
        break;
    case ModelQueryA::GetSupportTypeSecurePrint:
        Answer<WORD>(output, model->securePrintSupportType);
        break;
#else
    case ModelQueryB::GetOptionDialog:
        Answer<WORD>(output, model->dialogIds ? model->dialogIds[0] : 0);
        break;
#endif
    case ModelQuery::GetEditRules:
        Answer<const ModelEditRule *>(output, model->editRules);
        break;
    case ModelQuery::GetOverrides:
        Answer<const ModelEditRule *>(output, model->overrides);
        break;
    case ModelQuery::GetItemList: {
        const WORD *control = static_cast<const WORD *>(input);
        Answer<const ModelItemList *>(output, control ? FindItemList(model, *control) : nullptr);
        break;
    }
    default:
        // Not a query of this line: callers ask query 0 first and never get here.
        break;
    }
}

// The library's start-up is the core's, without a log or a model library
// of its own (KV_BUILD_MODELLIB).
extern "C" KV_DLLEXPORT BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID lpvReserved)
{
    switch (fdwReason) {
    case DLL_PROCESS_ATTACH:
        return ModuleAttach(hinstDLL);
    case DLL_PROCESS_DETACH:
        ModuleDetach();
        break;
    default:
        break;
    }
    return TRUE;
}
