// The render plug-in's own interfaces: the services the rendering system
// offers its rendering functions (IRenderingSystem) and the container that
// owns the functions and hands them the rendering system's events
// (IFunctionContainer).
//
// INVARIANT: as with the host's interfaces, every method is a pure virtual
// in its fixed slot order and neither interface has a virtual destructor,
// so another module built with either compiler can serve or call them.
// Never add, remove or reorder a method.
#pragma once

#include "kvcontract.h"

struct JobInfo;
class RenderingFunction;

inline constexpr IID IID_IRenderingSystem = {0x91B71B91, 0xF738, 0x4559,
                                              {0xA5, 0x85, 0xE2, 0xC3, 0xEE, 0x02, 0x8C, 0xB7}};
inline constexpr IID IID_IFunctionContainer = {0xFF01F86A, 0x4A88, 0x443E,
                                                {0x80, 0xB2, 0x75, 0xA3, 0xD2, 0x2F, 0x83, 0x69}};

// What GetVersion answers: the base rendering system knows no services; a
// version-1 provider also receives the job's state as properties; our own
// rendering system is version 2 and never asks for that.
constexpr LONG kServicesVersionNone = 0;
constexpr LONG kServicesVersionSerializing = 1;
constexpr LONG kServicesVersionPlugin = 2;

// The type word of a property; the only one there is.
constexpr DWORD kPropertyTypeBinary = 1;

// Slots 3 to 13. Every out-parameter operation answers E_INVALIDARG for a
// null out pointer and stores null (or zero) on failure.
struct IRenderingSystem : public IUnknown {
    virtual LONG STDMETHODCALLTYPE GetVersion() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDevObj(PDEVOBJ *device) = 0;
    // The core helper with one reference added for the caller.
    virtual HRESULT STDMETHODCALLTYPE GetCoreHelper(IPrintCorePS2 **helper) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPrinterHandle(HANDLE *printer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPublicDevmode(PDEVMODEW *devmode) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetJobInfo(JobInfo **info) = 0;
    // A named block of bytes for the property comment writer.
    virtual HRESULT STDMETHODCALLTYPE WriteProperty(LPCSTR owner, LPCSTR name, DWORD type, DWORD size,
                                                    LPCVOID data) = 0;
    // The rendering functions' ordinary output channel (the host's stream).
    virtual HRESULT STDMETHODCALLTYPE Write(LPCVOID bytes, DWORD length) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved() = 0;
    // Straight to the spooler, ahead of whatever the host still holds.
    virtual HRESULT STDMETHODCALLTYPE WriteSpooler(LPCVOID bytes, DWORD length) = 0;
    // Into the host's output stream, behind what the host wrote so far.
    virtual HRESULT STDMETHODCALLTYPE WriteStream(LPCVOID bytes, DWORD length) = 0;
};

// Events of the container (FireEvent ids).
enum RenderingEvent : DWORD {
    RF_STARTDOC = 1,     // argument: StartDocEvent
    RF_ENDDOC = 2,
    RF_BEGINSTREAM = 3,
    RF_ENDJOB = 4,
    RF_BEGINJOB = 5,
    RF_ENDSTREAM = 6,
    RF_PSINJECT = 7,     // argument: PSInjectEvent
    RF_REJECTED = 8,     // answered E_NOTIMPL
};

struct StartDocEvent {
    LPCWSTR documentName;
    DWORD jobId;
};

struct PSInjectEvent {
    DWORD index;
};

// The kinds of function in a container.
enum FunctionKind : LONG {
    FUNCTION_KIND_SYSTEM = 0,    // served after the document functions
    FUNCTION_KIND_DOCUMENT = 1,
};

// Slots 3 to 6.
struct IFunctionContainer : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Initialize(IRenderingSystem *services) = 0;
    // The container owns FUNCTION from a successful call on.
    virtual HRESULT STDMETHODCALLTYPE AddFunction(LONG kind, RenderingFunction *function) = 0;
    virtual HRESULT STDMETHODCALLTYPE FireEvent(DWORD id, PVOID argument) = 0;
    virtual HRESULT STDMETHODCALLTYPE Dispatch(LPCSTR owner, LPCSTR name, DWORD type, DWORD size, LPCVOID data) = 0;
};
