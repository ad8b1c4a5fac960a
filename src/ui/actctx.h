// The plug-in's activation context: our pages and dialogs ask for the
// version 6 common controls through the manifest in our own resources
// (resource 2), also inside applications that have no manifest of their
// own.
//
// The activation functions are looked up by name in the system's kernel
// library; a system without them (our emulated one) gets no context, and
// everything then runs without one.
#pragma once

#include "kvcontract.h"

// Puts the module's context (created on first use) into a page about to be
// added: PSP_USEFUSIONCONTEXT and hActCtx. A context that cannot be created
// leaves the page as it is, and the next page tries again.
void ApplyActivationContext(PROPSHEETPAGEW *page);

// Brackets a call that creates windows or loads our own module
// (DialogBoxParamW, LoadLibraryW) with the module's context; both do nothing
// without one. DeactivatePluginContext keeps the caller's last error.
BOOL ActivatePluginContext(ULONG_PTR *cookie);
void DeactivatePluginContext(BOOL activated, ULONG_PTR cookie);

// At process detach: releases the context, if one was made.
void ReleaseActivationContext();

// For the tests: the module's context, INVALID_HANDLE_VALUE while there is none.
HANDLE CurrentActivationContext();
