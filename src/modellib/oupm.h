// The model library's own data: one model table per model set, the list of
// queries the line answers, and the lookups OupmFunction answers from.
#pragma once

#include "modelquery.h"

// One model of the set. The table ends with a record whose product name is
// null and whose type is 0; a type that no model has finds that record, so
// every answer for it is 0 or null.
struct ModelRecord {
    LPCSTR productName;  // the PPD's product name without parentheses
    WORD printerType;
    WORD jclSupportType;
#if defined(KV_LINE_A)
    WORD securePrintSupportType;
#endif
    DWORD capability;
    // Line A: device settings tab, then options tab. Line B: options tab only.
    const WORD *dialogIds;
    const ModelEditRule *editRules;
    const ModelEditRule *overrides;
    const ModelItemList *itemLists;
};

extern const ModelRecord g_modelTable[];
// Query ids the line answers, closed by a negative number.
extern const LONG g_supportedQueries[];

// The record of the first model of that type (low 16 bits), or the closing
// record.
const ModelRecord *FindModelByType(DWORD printerType);
// The type of the model with exactly that product name, or 0.
WORD FindTypeByProductName(LPCSTR productName);
// The item list for a control in a record's lists, or null.
const ModelItemList *FindItemList(const ModelRecord *model, WORD controlId);
BOOL IsQuerySupported(DWORD printerType, DWORD queryId);
