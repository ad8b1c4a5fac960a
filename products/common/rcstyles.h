/*
 * rcstyles.h - the window, control and version constants our resource
 * scripts use, and the few texts every module's script shares.
 *
 * Only the .rc scripts include this. We define the numbers ourselves so
 * that windres needs no system header and compiles the same bytes whatever
 * toolchain headers are installed; the values are the documented ones of
 * the platform. Each is guarded so that a script that also pulls in the
 * platform's own resource header still compiles without redefinitions.
 */
#ifndef KV_RCSTYLES_H
#define KV_RCSTYLES_H

/* Languages (primary, sub-language) for LANGUAGE statements. */
#define KV_LANG_JAPANESE      0x11
#define KV_SUBLANG_JAPANESE   0x01
#define KV_LANG_ENGLISH       0x09
#define KV_SUBLANG_ENGLISH_US 0x01

/* Window styles. */
#ifndef WS_POPUP
#define WS_POPUP        0x80000000L
#define WS_CHILD        0x40000000L
#define WS_VISIBLE      0x10000000L
#define WS_DISABLED     0x08000000L
#define WS_CAPTION      0x00C00000L
#define WS_BORDER       0x00800000L
#define WS_VSCROLL      0x00200000L
#define WS_SYSMENU      0x00080000L
#define WS_GROUP        0x00020000L
#define WS_TABSTOP      0x00010000L
#endif

/* Dialog styles. */
#ifndef DS_SETFONT
#define DS_3DLOOK       0x0004L
#define DS_SETFONT      0x0040L
#define DS_MODALFRAME   0x0080L
#define DS_CONTROL      0x0400L
#define DS_CENTER       0x0800L
#endif

/* Button styles. */
#ifndef BS_PUSHBUTTON
#define BS_PUSHBUTTON    0x0000L
#define BS_DEFPUSHBUTTON 0x0001L
#define BS_AUTOCHECKBOX  0x0003L
#define BS_GROUPBOX      0x0007L
#define BS_MULTILINE     0x2000L
#endif

/* Static control styles. */
#ifndef SS_LEFT
#define SS_LEFT          0x0000L
#define SS_ICON          0x0003L
#define SS_BITMAP        0x000EL
#define SS_ETCHEDHORZ    0x0010L
#define SS_ETCHEDFRAME   0x0012L
#define SS_NOPREFIX      0x0080L
#define SS_CENTERIMAGE   0x0200L
#define SS_REALSIZEIMAGE 0x0800L
#define SS_SUNKEN        0x1000L
#endif

/* Edit control styles. */
#ifndef ES_LEFT
#define ES_LEFT          0x0000L
#define ES_PASSWORD      0x0020L
#define ES_AUTOHSCROLL   0x0080L
#define ES_NUMBER        0x2000L
#endif

/* Combo box styles. */
#ifndef CBS_DROPDOWNLIST
#define CBS_DROPDOWNLIST 0x0003L
#endif

/*
 * Predefined window classes by their atoms, as dialog templates normally
 * carry them (windres would otherwise store the class as a name).
 */
#define KV_CLASS_BUTTON   0x0080
#define KV_CLASS_EDIT     0x0081
#define KV_CLASS_STATIC   0x0082
#define KV_CLASS_COMBOBOX 0x0085

/* Version resource. */
#ifndef VS_VERSION_INFO
#define VS_VERSION_INFO       1
#endif
#ifndef VS_FFI_FILEFLAGSMASK
#define VS_FFI_FILEFLAGSMASK  0x0000003FL
#endif
#ifndef VOS_NT_WINDOWS32
#define VOS_NT_WINDOWS32      0x00040004L
#endif
#ifndef VFT_DLL
#define VFT_DLL               0x00000002L
#endif
#ifndef VFT2_UNKNOWN
#define VFT2_UNKNOWN          0x00000000L
#endif

/* Resource type of an assembly manifest. */
#define KV_RT_MANIFEST 24

/*
 * Texts every module carries. The registry key must be the same string in
 * the model library and in both plug-ins: they read their settings from it.
 */
#define KV_REGISTRY_KEY_TEXT "Software\\Korvane\\KV PostScript Printer Driver\\"
#define KV_COMPANY_NAME      "Korvane Corporation"
#define KV_PRODUCT_NAME      "Korvane Vastrelo PostScript Printer Driver"

/* The two lines were released in different years; the about box shows it. */
#define KV_LEGAL_NOTICE_LINE_A "Copyright (C) 2026 Korvane Corporation. All rights reserved."
#define KV_LEGAL_NOTICE_LINE_B "Copyright (C) 2025 Korvane Corporation. All rights reserved."

#endif /* KV_RCSTYLES_H */
