// Printer data values: the per-printer facts (what the model can do, learned
// once from the model library and cached in the printer's data), the feature
// switches an administrator sets, and the secure print credentials.
//
// Every value can come from one of several places, chosen per call by a
// DataSource; reads fall back to built-in defaults so that a printer that was
// never initialised still answers. The UI build knows every source; the render
// build only the built-in defaults and the printer data. Line B has no secure
// print values and never writes the feature switches.
//
// A PrinterDataValues object is short-lived: build one on the stack for one
// printer handle (which stays the caller's), ask, and let it go.
#pragma once

#include "kvsys.h"

inline constexpr WCHAR kValueLastCheckedPort[] = TEXT("OEMLastCheckedPort");
inline constexpr WCHAR kValueSecurePrintUserName[] = TEXT("OEMSecurePrintUserName");
inline constexpr WCHAR kValueSecurePrintPin[] = TEXT("OEMSecurePrintPIN");
inline constexpr WCHAR kValueDisablePSFeatures[] = TEXT("OEMDisablePSFeatures");
inline constexpr WCHAR kValueSupportCapability[] = TEXT("OEMSupportCapability");
inline constexpr WCHAR kValueEnableFunction[] = TEXT("OEMEnableFunction");
inline constexpr WCHAR kValueSupportJCL[] = TEXT("OEMSupportJCL");
inline constexpr WCHAR kValueSupportSecurePrint[] = TEXT("OEMSupportSecurePrint");

enum DataSource {
    DataSourceDefault = 0,         // the built-in defaults table
    DataSourcePrinter = 1,         // the printer's data in the spooler
    DataSourceUser = 2,            // the current user's store under the printer's identity
    DataSourcePrinterDefault = 3,  // printer data under the name + "Default"
    DataSourceReserved = 4,        // refused
};

// Bits of slot 1 of OEMSupportCapability: what the printer model can do.
enum CapabilityBit : DWORD {
    CAP_PAGE_OUTPUT_HANDLING = 0x1,
    CAP_OUTPUT_CONTROL_BY_DRIVER = 0x2,
    CAP_CUSTOM_SIZE_PAPER_SERIES = 0x4,
    CAP_FOLDER = 0x8,
    CAP_STACKER = 0x10,
    CAP_BALER = 0x20,
    CAP_OUTPUT_TRAY = 0x40,
    CAP_BINDING_MARGIN = 0x80,
    CAP_FOLD_ADJUSTMENT = 0x100,
    CAP_ROTATE_STACK = 0x200,
    CAP_EAR_FOLD = 0x400,
    CAP_FOLD_PROGRAM = 0x800,
    CAP_PROGRAM_MARGINS = 0x1000,
    CAP_FOLD_OUTPUT_BIN = 0x2000,
    CAP_REAR_FRONT_TRAYS = 0x4000,
    CAP_OUTPUT_CONTROL_DEFAULT_ON = 0x8000,
    CAP_B_SERIES = 0x10000,
    CAP_SHARED_CREDENTIALS_WARNING = 0x20000,
    CAP_ENCODED_PIN = 0x40000,
};

// Switches of OEMDisablePSFeatures (the device settings tab).
enum FeatureSwitch : DWORD {
    SWITCH_PRINT_SPEED_PRIORITY = 0,  // bit 0x1
    SWITCH_SECURE_PRINT = 1,          // bit 0x2 (line A)
    SWITCH_ALL = 2,                   // bit 0x80000000: every switch counts as on
};

// Which support flag SetSupportFlag writes.
enum SupportFlag : DWORD {
    SUPPORT_FLAG_JCL = 0,          // OEMSupportJCL
    SUPPORT_FLAG_SECURE_PRINT = 2, // OEMSupportSecurePrint (line A)
};

// Bytes of OEMSupportCapability and OEMEnableFunction: four 32-bit slots.
constexpr DWORD kSlotValueBytes = 16;

// One row of the built-in defaults; the table ends with a row without name.
struct PrinterDataDefault {
    LPCWSTR name;
    const BYTE *bytes;
    DWORD size;
};
extern const PrinterDataDefault kPrinterDataDefaults[];

// The row of NAME (whole name, case-sensitive), or null.
const PrinterDataDefault *FindPrinterDataDefault(LPCWSTR name);

// Answers from the built-in defaults only.
class PrinterDataDefaults {
public:
    PrinterDataDefaults() = default;
    virtual ~PrinterDataDefaults();

    // Source 0 only: copies the built-in default of NAME when BUFFER (SIZE
    // bytes) can take it.
    virtual BOOL ReadValue(LPCWSTR name, PVOID buffer, DWORD size, DWORD source);
    // Nothing is supported without a printer.
    virtual BOOL SupportsCapability(DWORD bits);
    virtual BOOL IsFunctionEnabled(DWORD bits, DWORD slot, DWORD source);
};

// The values of one printer.
class PrinterDataValues : public PrinterDataDefaults {
public:
    explicit PrinterDataValues(HANDLE printer);
    ~PrinterDataValues() override;

    // Reads NAME from SOURCE into BUFFER (SIZE bytes); true when the buffer
    // holds a value, stored or default. A buffer too small for the stored
    // value fails (logged) without falling back.
    BOOL ReadValue(LPCWSTR name, PVOID buffer, DWORD size, DWORD source) override;
    // True when any of BITS is in slot 1 of OEMSupportCapability.
    BOOL SupportsCapability(DWORD bits) override;
    // True when any of BITS is in SLOT (1 to 4) of OEMEnableFunction as read
    // from SOURCE.
    BOOL IsFunctionEnabled(DWORD bits, DWORD slot, DWORD source) override;

    // Stores NAME in SOURCE. A printer write refused by the handle is repeated
    // once through a handle opened with full access.
    BOOL WriteValue(LPCWSTR name, DWORD type, LPCVOID data, DWORD size, DWORD source);

    // Slot 1 of OEMSupportCapability (0 when missing).
    DWORD GetSupportCapability();
    // Replaces slot 1 of OEMSupportCapability, keeping slots 2 to 4.
    BOOL SetSupportCapability(DWORD mask);
    // WHICH 0 writes OEMSupportJCL, 2 (line A) OEMSupportSecurePrint; any
    // other WHICH writes nothing and fails.
    BOOL SetSupportFlag(DWORD which, WORD value);
    // OEMSupportJCL for WHICH 0; 0 when missing or for another WHICH.
    DWORD GetSupportJCL(DWORD which);

#if KV_LINE_A
#if KV_BUILD_RENDER
    // The render plug-in reads the credentials from the default source
    // (the printer data).
    BOOL GetSecurePrintUserName(LPWSTR buffer, DWORD size);
    BOOL GetSecurePrintPIN(LPWSTR buffer, DWORD size);
#else
    BOOL GetSecurePrintUserName(LPWSTR buffer, DWORD size, DWORD source);
    BOOL GetSecurePrintPIN(LPWSTR buffer, DWORD size, DWORD source);
#endif
    // Store TEXT as REG_SZ with its NUL; false without a text.
    BOOL SetSecurePrintUserName(LPCWSTR text, DWORD source);
    BOOL SetSecurePrintPIN(LPCWSTR text, DWORD source);
#endif

    // True when the switch is on, or when bit 0x80000000 turns every switch
    // on. Line B: print-speed priority is always on.
    BOOL IsFeatureSwitchOn(DWORD featureSwitch);
#if KV_LINE_A
    BOOL SetFeatureSwitch(DWORD featureSwitch);
    BOOL ClearFeatureSwitch(DWORD featureSwitch);
#endif

    HANDLE Printer() const { return printer_; }

private:
    // ReadValue that also tells how many bytes the buffer received.
    BOOL ReadValueBytes(LPCWSTR name, PVOID buffer, DWORD size, DWORD source, LPDWORD got);
    BOOL WritePrinterData(LPCWSTR name, DWORD type, LPCVOID data, DWORD size);
    BOOL ChangeFeatureSwitch(DWORD featureSwitch, BOOL on);

    HANDLE printer_;  // not owned
    DWORD defaultSource_;
};

#if KV_LINE_A
// OEMSupportSecurePrint of PRINTER; false when missing.
BOOL ReadSecurePrintSupport(HANDLE printer, LPDWORD value);
#endif

#if KV_BUILD_UI
// Where the printer initialisation gets its model answers: QueryModel unless
// a test has put its own function in place.
typedef BOOL (*ModelQueryFunction)(DWORD queryId, DWORD printerType, PVOID input, PVOID output);
// Installs FUNCTION (null: QueryModel again); returns the one it replaces.
ModelQueryFunction SetModelQueryFunction(ModelQueryFunction function);

// The printer's model code: its PPD product name looked up with the model
// library's printer type query. False when the product name cannot be read or
// the library cannot be asked; a product the library does not know gives 0.
BOOL LookUpPrinterType(HANDLE printer, LPWORD printerType);

// Fills the printer's data from the model library's answers (capability, JCL
// support, secure print support in line A) and makes sure the printer has an
// identity. PRINTER should be opened with full access. True when the last
// support query (line A secure print, line B JCL) was answered.
BOOL InitPrinterData(HANDLE printer);
#endif
