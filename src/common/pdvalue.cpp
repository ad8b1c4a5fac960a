// Printer data values.
#include "pdvalue.h"

#include <cstring>

#include "coremain.h"
#include "identity.h"
#if KV_BUILD_UI
#include "modelquery.h"
#include "ppd.h"
#endif

namespace {

const BYTE kZeroBytes[kSlotValueBytes] = {};

#if KV_BUILD_UI
// INVARIANT: null stands for QueryModel.
ModelQueryFunction g_modelQuery = nullptr;

BOOL AskModel(DWORD queryId, DWORD printerType, PVOID input, PVOID output)
{
    return g_modelQuery != nullptr ? g_modelQuery(queryId, printerType, input, output)
                                   : QueryModel(queryId, printerType, input, output);
}
#endif

BOOL SameName(LPCWSTR a, LPCWSTR b)
{
    for (;; ++a, ++b) {
        if (*a != *b) {
            return FALSE;
        }
        if (*a == 0) {
            return TRUE;
        }
    }
}

BOOL CopyDefault(LPCWSTR name, PVOID buffer, DWORD size, LPDWORD got)
{
    const PrinterDataDefault *row = FindPrinterDataDefault(name);
    if (row == nullptr || buffer == nullptr || size < row->size) {
        return FALSE;
    }
    memcpy(buffer, row->bytes, row->size);
    *got = row->size;
    return TRUE;
}

// The end of a spooler or registry read: a too small buffer is the caller's
// mistake and is reported, anything else missing is answered by the built-in
// default of NAME.
BOOL FinishRead(DWORD result, DWORD needed, LPCWSTR name, PVOID buffer, DWORD size, LPDWORD got)
{
    if (result == ERROR_SUCCESS) {
        *got = needed;
        return TRUE;
    }
    if (result == ERROR_MORE_DATA) {
        KV_LOG(LOG_ERROR, "Insufficient buffer size more than %d.", needed);
        return FALSE;
    }
    return CopyDefault(name, buffer, size, got);
}

constexpr DWORD kAllSwitchesBit = 0x80000000;

#if KV_LINE_A
DWORD SwitchBit(DWORD featureSwitch)
{
    switch (featureSwitch) {
    case SWITCH_PRINT_SPEED_PRIORITY:
        return 0x1;
    case SWITCH_SECURE_PRINT:
        return 0x2;
    case SWITCH_ALL:
        return kAllSwitchesBit;
    default:
        return 0;
    }
}
#endif

// OEMDisablePSFeatures straight from the spooler; a missing value counts as 0.
DWORD ReadFeatureSwitches(HANDLE printer)
{
    DWORD flags = 0;
    DWORD type = REG_NONE;
    DWORD needed = 0;
    if (GetPrinterDataW(printer, const_cast<LPWSTR>(kValueDisablePSFeatures), &type, reinterpret_cast<LPBYTE>(&flags),
                        sizeof(flags), &needed) != ERROR_SUCCESS) {
        return 0;
    }
    return flags;
}

#if KV_LINE_A
// A text read from outside need not carry its NUL: terminate it within what
// was read, or fail when the buffer has no room left for one.
BOOL TerminateText(LPWSTR buffer, DWORD size, DWORD got)
{
    DWORD capacity = size / sizeof(WCHAR);
    DWORD chars = got / sizeof(WCHAR);
    if (chars > capacity) {
        chars = capacity;
    }
    for (DWORD i = 0; i < chars; ++i) {
        if (buffer[i] == 0) {
            return TRUE;
        }
    }
    if (chars == capacity) {
        return FALSE;
    }
    buffer[chars] = 0;
    return TRUE;
}

DWORD TextBytes(LPCWSTR text)
{
    DWORD length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return (length + 1) * sizeof(WCHAR);
}
#endif

}  // namespace

const PrinterDataDefault kPrinterDataDefaults[] = {
#if KV_LINE_A
    {kValueLastCheckedPort, kZeroBytes, 2},
    {kValuePrinterId, kZeroBytes, 2},
    {kValueSecurePrintUserName, kZeroBytes, 2},
    {kValueSecurePrintPin, kZeroBytes, 2},
#endif
    {kValueDisablePSFeatures, kZeroBytes, 4},
    {kValueSupportCapability, kZeroBytes, kSlotValueBytes},
    {kValueEnableFunction, kZeroBytes, kSlotValueBytes},
    {nullptr, nullptr, 0},
};

const PrinterDataDefault *FindPrinterDataDefault(LPCWSTR name)
{
    if (name == nullptr) {
        return nullptr;
    }
    for (const PrinterDataDefault *row = kPrinterDataDefaults; row->name != nullptr; ++row) {
        if (SameName(row->name, name)) {
            return row;
        }
    }
    return nullptr;
}

// ---- PrinterDataDefaults ---------------------------------------------------

PrinterDataDefaults::~PrinterDataDefaults() = default;

BOOL PrinterDataDefaults::ReadValue(LPCWSTR name, PVOID buffer, DWORD size, DWORD source)
{
    DWORD got = 0;
    return source == DataSourceDefault && CopyDefault(name, buffer, size, &got);
}

BOOL PrinterDataDefaults::SupportsCapability(DWORD bits)
{
    return FALSE;
}

BOOL PrinterDataDefaults::IsFunctionEnabled(DWORD bits, DWORD slot, DWORD source)
{
    return FALSE;
}

// ---- PrinterDataValues -----------------------------------------------------

PrinterDataValues::PrinterDataValues(HANDLE printer) : printer_(printer), defaultSource_(DataSourcePrinter) {}

PrinterDataValues::~PrinterDataValues() = default;

BOOL PrinterDataValues::ReadValue(LPCWSTR name, PVOID buffer, DWORD size, DWORD source)
{
    DWORD got = 0;
    return ReadValueBytes(name, buffer, size, source, &got);
}

BOOL PrinterDataValues::ReadValueBytes(LPCWSTR name, PVOID buffer, DWORD size, DWORD source, LPDWORD got)
{
    if (name == nullptr) {
        return FALSE;
    }
    DWORD type = REG_NONE;
    DWORD needed = 0;
    DWORD result = ERROR_SUCCESS;
    switch (source) {
    case DataSourceDefault:
        return CopyDefault(name, buffer, size, got);
    case DataSourcePrinter:
        result = GetPrinterDataW(printer_, const_cast<LPWSTR>(name), &type, static_cast<LPBYTE>(buffer), size, &needed);
        return FinishRead(result, needed, name, buffer, size, got);
#if KV_BUILD_UI
    case DataSourceUser:
        result = ReadUserValue(printer_, name, &type, static_cast<LPBYTE>(buffer), size, &needed, FALSE);
        if (result == ERROR_SUCCESS) {
            *got = needed;
            return TRUE;
        }
        if (result == ERROR_MORE_DATA) {
            KV_LOG(LOG_ERROR, "Insufficient buffer size more than %d.", needed);
            return FALSE;
        }
        // A user who never stored the value gets the administrator's default.
        needed = 0;
        result = ReadUserValue(printer_, name, &type, static_cast<LPBYTE>(buffer), size, &needed, TRUE);
        return FinishRead(result, needed, name, buffer, size, got);
    case DataSourcePrinterDefault:
        result = ReadUserValue(printer_, name, &type, static_cast<LPBYTE>(buffer), size, &needed, TRUE);
        return FinishRead(result, needed, name, buffer, size, got);
    case DataSourceReserved:
        KV_LOG(LOG_ERROR, "Currentry not implemented yet.");
        return FALSE;
#endif
    default:
        KV_LOG(LOG_ERROR, "Invalid DataSource type(%d).", source);
        return FALSE;
    }
}

BOOL PrinterDataValues::WriteValue(LPCWSTR name, DWORD type, LPCVOID data, DWORD size, DWORD source)
{
    if (name == nullptr) {
        return FALSE;
    }
    switch (source) {
    case DataSourceDefault:
        KV_LOG(LOG_ERROR, "Cannot set the default value.");
        return FALSE;
    case DataSourcePrinter:
        return WritePrinterData(name, type, data, size);
#if KV_BUILD_UI
    case DataSourceUser:
        return WriteUserValue(printer_, name, type, static_cast<const BYTE *>(data), size, FALSE) == ERROR_SUCCESS;
    case DataSourcePrinterDefault:
        return WriteUserValue(printer_, name, type, static_cast<const BYTE *>(data), size, TRUE) == ERROR_SUCCESS;
    case DataSourceReserved:
        KV_LOG(LOG_ERROR, "Currentry not implemented yet.");
        return FALSE;
#endif
    default:
        KV_LOG(LOG_ERROR, "Invalid DataSource type(%d).", source);
        return FALSE;
    }
}

BOOL PrinterDataValues::WritePrinterData(LPCWSTR name, DWORD type, LPCVOID data, DWORD size)
{
    LPBYTE bytes = static_cast<LPBYTE>(const_cast<PVOID>(data));
    if (SetPrinterDataW(printer_, const_cast<LPWSTR>(name), type, bytes, size) == ERROR_SUCCESS) {
        return TRUE;
    }
    // The caller's handle may have been opened without the right to change
    // the printer (an application's handle); one more try through a handle of
    // our own with full access, which the spooler grants an administrator.
    PRINTER_INFO_4W *info = GetPrinterInfo4(printer_);
    if (info == nullptr) {
        return FALSE;
    }
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE adminPrinter = nullptr;
    BOOL opened = info->pPrinterName != nullptr && OpenPrinterW(info->pPrinterName, &adminPrinter, &defaults);
    FreePrinterInfo4(info);
    if (!opened) {
        return FALSE;
    }
    DWORD result = SetPrinterDataW(adminPrinter, const_cast<LPWSTR>(name), type, bytes, size);
    ClosePrinter(adminPrinter);
    return result == ERROR_SUCCESS;
}

DWORD PrinterDataValues::GetSupportCapability()
{
    DWORD slots[kSlotValueBytes / sizeof(DWORD)] = {};
    ReadValue(kValueSupportCapability, slots, sizeof(slots), DataSourcePrinter);
    return slots[0];
}

BOOL PrinterDataValues::SupportsCapability(DWORD bits)
{
    return (GetSupportCapability() & bits) != 0;
}

BOOL PrinterDataValues::SetSupportCapability(DWORD mask)
{
    DWORD slots[kSlotValueBytes / sizeof(DWORD)] = {};
    ReadValue(kValueSupportCapability, slots, sizeof(slots), DataSourcePrinter);
    slots[0] = mask;
    return WriteValue(kValueSupportCapability, REG_BINARY, slots, sizeof(slots), DataSourcePrinter);
}

BOOL PrinterDataValues::IsFunctionEnabled(DWORD bits, DWORD slot, DWORD source)
{
    if (slot < 1 || slot > 4) {
        KV_LOG(LOG_ERROR, "Invalid slot no = %d.", slot);
        return FALSE;
    }
    DWORD slots[kSlotValueBytes / sizeof(DWORD)] = {};
    if (!ReadValue(kValueEnableFunction, slots, sizeof(slots), source)) {
        return FALSE;
    }
    return (slots[slot - 1] & bits) != 0;
}

BOOL PrinterDataValues::SetSupportFlag(DWORD which, WORD value)
{
    DWORD stored = value;
    switch (which) {
    case SUPPORT_FLAG_JCL:
        return WriteValue(kValueSupportJCL, REG_DWORD, &stored, sizeof(stored), DataSourcePrinter);
#if KV_LINE_A
    case SUPPORT_FLAG_SECURE_PRINT:
        return WriteValue(kValueSupportSecurePrint, REG_DWORD, &stored, sizeof(stored), DataSourcePrinter);
#endif
    default:
        return FALSE;
    }
}

DWORD PrinterDataValues::GetSupportJCL(DWORD which)
{
    DWORD value = 0;
    if (which != SUPPORT_FLAG_JCL || !ReadValue(kValueSupportJCL, &value, sizeof(value), DataSourcePrinter)) {
        return 0;
    }
    return value;
}

#if KV_LINE_A
#if KV_BUILD_RENDER
BOOL PrinterDataValues::GetSecurePrintUserName(LPWSTR buffer, DWORD size)
{
    DWORD got = 0;
    return ReadValueBytes(kValueSecurePrintUserName, buffer, size, defaultSource_, &got) &&
           TerminateText(buffer, size, got);
}

BOOL PrinterDataValues::GetSecurePrintPIN(LPWSTR buffer, DWORD size)
{
    DWORD got = 0;
    return ReadValueBytes(kValueSecurePrintPin, buffer, size, defaultSource_, &got) && TerminateText(buffer, size, got);
}
#else
BOOL PrinterDataValues::GetSecurePrintUserName(LPWSTR buffer, DWORD size, DWORD source)
{
    DWORD got = 0;
    return ReadValueBytes(kValueSecurePrintUserName, buffer, size, source, &got) && TerminateText(buffer, size, got);
}

BOOL PrinterDataValues::GetSecurePrintPIN(LPWSTR buffer, DWORD size, DWORD source)
{
    DWORD got = 0;
    return ReadValueBytes(kValueSecurePrintPin, buffer, size, source, &got) && TerminateText(buffer, size, got);
}
#endif

BOOL PrinterDataValues::SetSecurePrintUserName(LPCWSTR text, DWORD source)
{
    return text != nullptr && WriteValue(kValueSecurePrintUserName, REG_SZ, text, TextBytes(text), source);
}

BOOL PrinterDataValues::SetSecurePrintPIN(LPCWSTR text, DWORD source)
{
    return text != nullptr && WriteValue(kValueSecurePrintPin, REG_SZ, text, TextBytes(text), source);
}
#endif

BOOL PrinterDataValues::IsFeatureSwitchOn(DWORD featureSwitch)
{
#if KV_LINE_B
    // Line B has no device settings tab: it always prints as a line A
    // printer with print-speed priority on.
    if (featureSwitch == SWITCH_PRINT_SPEED_PRIORITY) {
        return TRUE;
    }
    return (ReadFeatureSwitches(printer_) & kAllSwitchesBit) != 0;
#else
    DWORD flags = ReadFeatureSwitches(printer_);
    return (flags & (kAllSwitchesBit | SwitchBit(featureSwitch))) != 0;
#endif
}

#if KV_LINE_A
BOOL PrinterDataValues::ChangeFeatureSwitch(DWORD featureSwitch, BOOL on)
{
    DWORD flags = ReadFeatureSwitches(printer_);
    if (on) {
        flags |= SwitchBit(featureSwitch);
    } else {
        flags &= ~SwitchBit(featureSwitch);
    }
    return SetPrinterDataW(printer_, const_cast<LPWSTR>(kValueDisablePSFeatures), REG_DWORD,
                           reinterpret_cast<LPBYTE>(&flags), sizeof(flags)) == ERROR_SUCCESS;
}

BOOL PrinterDataValues::SetFeatureSwitch(DWORD featureSwitch)
{
    return ChangeFeatureSwitch(featureSwitch, TRUE);
}

BOOL PrinterDataValues::ClearFeatureSwitch(DWORD featureSwitch)
{
    return ChangeFeatureSwitch(featureSwitch, FALSE);
}

BOOL ReadSecurePrintSupport(HANDLE printer, LPDWORD value)
{
    DWORD support = 0;
    DWORD type = REG_NONE;
    DWORD needed = 0;
    if (value == nullptr ||
        GetPrinterDataW(printer, const_cast<LPWSTR>(kValueSupportSecurePrint), &type, reinterpret_cast<LPBYTE>(&support),
                        sizeof(support), &needed) != ERROR_SUCCESS) {
        return FALSE;
    }
    *value = support;
    return TRUE;
}
#endif

// ---- Printer initialisation ------------------------------------------------

#if KV_BUILD_UI
ModelQueryFunction SetModelQueryFunction(ModelQueryFunction function)
{
    ModelQueryFunction previous = g_modelQuery != nullptr ? g_modelQuery : QueryModel;
    g_modelQuery = function == QueryModel ? nullptr : function;
    return previous;
}

BOOL LookUpPrinterType(HANDLE printer, LPWORD printerType)
{
    CHAR product[PPD_PRODUCT_CAPACITY] = {};
    DWORD capacity = PPD_PRODUCT_CAPACITY;
    if (printerType == nullptr || !ReadPpdProduct(printer, product, &capacity)) {
        return FALSE;
    }
    WORD type = 0;
    if (!AskModel(KVPS_QUILFEN_GETPRINTERTYPE, 0, product, &type)) {
        KV_LOG(LOG_ERROR, "Not support KVPS_QUILFEN_GETPRINTERTYPE. szProductName=[%s]", product);
        return FALSE;
    }
    *printerType = type;
    return TRUE;
}

BOOL InitPrinterData(HANDLE printer)
{
    WORD printerType = 0;
    if (!LookUpPrinterType(printer, &printerType)) {
        return FALSE;
    }
    GetOrCreatePrinterId(printer, nullptr);

    PrinterDataValues values(printer);
    // A model the library cannot describe offers no finishing at all rather
    // than whatever an earlier driver left in the printer's data.
    DWORD capability = 0;
    if (!AskModel(OUPF_FUNCID_GETCAPABILITY, printerType, nullptr, &capability)) {
        KV_LOG(LOG_ERROR, "Not support OUPF_FUNCID_GETCAPABILITY. wPrnType=[%d]", printerType);
        capability = 0;
    }
    values.SetSupportCapability(capability);

    WORD jcl = 0;
    BOOL answered = AskModel(KVPS_FUNCID_GETSUPPORTTYPE_JCL, printerType, nullptr, &jcl);
    if (!answered) {
        KV_LOG(LOG_ERROR, "Not support KVPS_FUNCID_GETSUPPORTTYPE_JCL. wPrnType=[%d]", printerType);
        jcl = 1;
    }
    values.SetSupportFlag(SUPPORT_FLAG_JCL, jcl);

#if KV_LINE_A
    WORD securePrint = 0;
    answered = AskModel(OUPF_FUNCID_GETSUPPORTTYPE_SECUREPRINT, printerType, nullptr, &securePrint);
    if (!answered) {
        KV_LOG(LOG_ERROR, "Not support OUPF_FUNCID_GETSUPPORTTYPE_SECUREPRINT. wPrnType=[%d]", printerType);
        securePrint = 0;
    }
    values.SetSupportFlag(SUPPORT_FLAG_SECURE_PRINT, securePrint);
#endif
    return answered;
}
#endif
