// The base of every rendering function: a small named object that the
// function container hands the rendering system's events, bound to the
// rendering system's services (the device, the printer, the job's DEVMODEW
// and facts, the core helper and the output channels).
//
// INVARIANT: the virtual operations keep their slot order (destructor
// first), the order in which the container and other modules built against
// it call them. Never add, remove or reorder one; a function adds its own
// operations after the last slot.
#pragma once

#include <cstddef>

#include "kvcontract.h"
#include "renderingintf.h"

// The longest feature keyword a lookup accepts.
constexpr DWORD kFeatureKeywordMax = 61;
// The reply buffer of every function's lookups.
constexpr DWORD kOptionReplySize = 1024;
// Option texts that GetFeatureFlag and GetFeatureNumber read.
constexpr DWORD kOptionTextSize = 64;

// The property name under which a function's own state travels.
inline constexpr CHAR kSerializePropertyName[] = "__Serialize__";

class RenderingFunction {
public:
    RenderingFunction();
    RenderingFunction(const RenderingFunction &) = delete;
    RenderingFunction &operator=(const RenderingFunction &) = delete;

    // Slot 0: releases the core helper.
    virtual ~RenderingFunction();
    // Slot 1: binds to SERVICES and marks the function initialized.
    virtual HRESULT Initialize(IRenderingSystem *services);
    // Slot 2: takes the printer, the DEVMODEW, the job information, the
    // device and the core helper from SERVICES as they are now.
    virtual HRESULT Bind(IRenderingSystem *services);
    // Slot 3: the function's constant name.
    virtual HRESULT GetName(LPCSTR *name) = 0;
    // Slot 4: a property addressed to this function; "__Serialize__" goes
    // to Deserialize, any other name is not ours (S_FALSE).
    virtual HRESULT OnProperty(LPCSTR name, LPCVOID data, DWORD size);
    // Slot 5: writes the function's own state (version-1 providers only).
    virtual HRESULT Serialize() = 0;
    // Slot 6: reads back what Serialize wrote.
    virtual HRESULT Deserialize(LPCVOID data, DWORD size);
    // Slots 7 to 15: the events (see FunctionContainer::FireEvent).
    virtual HRESULT OnStartDoc(LPCWSTR documentName, DWORD jobId);
    virtual HRESULT OnEndDoc();
    virtual HRESULT PreBeginStream();
    virtual HRESULT PostEndJob();
    virtual HRESULT OnBeginStream();
    virtual HRESULT OnEndJob();
    virtual HRESULT OnBeginJob();
    virtual HRESULT OnEndStream();
    virtual HRESULT OnPSInject(DWORD index);
    // Slot 16.
    virtual HRESULT Reserved();

    // Writes LENGTH bytes of TEXT (0: its length) through the services'
    // Write, into the host's stream.
    BOOL WriteText(LPCSTR text, DWORD length);
    // The function's own state as a "__Serialize__" property of its name.
    BOOL SerializeState(LPCVOID data, DWORD size);

    // The document's current options for a double-NUL list of features:
    // the host's answer through the core helper, or else the printer's
    // sticky settings in its "FeatureKeyword" data. REPLY receives feature
    // and option pairs, double-NUL terminated.
    BOOL GetFeatureOptions(LPCSTR request, DWORD requestSize, LPSTR reply, DWORD replySize);
    // The current option of one feature (at most kFeatureKeywordMax
    // characters) into DESTINATION (its NUL included).
    BOOL GetFeatureOption(LPCSTR feature, LPSTR destination, DWORD destinationSize);
    // FLAG: the option is anything but exactly "False".
    BOOL GetFeatureFlag(LPCSTR feature, BOOL *flag);
    // NUMBER: the option's leading digits; "%PagePerSheet" "Booklet" is 1
    // on a RAW-only printer and 2 elsewhere.
    BOOL GetFeatureNumber(LPCSTR feature, LONG *number);

    BOOL IsInitialized() const { return initialized_; }
    IRenderingSystem *Services() const { return services_; }
    LONG ServicesVersion() const { return servicesVersion_; }
    HANDLE Printer() const { return printer_; }
    PDEVMODEW PublicDevmode() const { return publicDevmode_; }
    JobInfo *Job() const { return jobInfo_; }
    PDEVOBJ Device() const { return device_; }
    IPrintCorePS2 *CoreHelper() const { return coreHelper_; }

    // Functions live on the module's private heap. Null when it refuses: a
    // new-expression then yields null and constructs nothing.
    static void *operator new(size_t size) noexcept;
    static void operator delete(void *block) noexcept;

protected:
    bool initialized_;
    IRenderingSystem *services_;  // not counted: the container keeps it alive
    LONG servicesVersion_;
    HANDLE printer_;
    PDEVMODEW publicDevmode_;
    JobInfo *jobInfo_;
    PDEVOBJ device_;
    IPrintCorePS2 *coreHelper_;  // one reference held
    CHAR optionReply_[kOptionReplySize];
};
