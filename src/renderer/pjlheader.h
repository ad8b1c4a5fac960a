// The PJL job header in front of the host's PostScript, and the universal
// exit that closes the job behind it.
//
// The header tells the printer what the PostScript cannot: that the job is
// to be held until its owner releases it (secure print), which paper series
// the roll is cut for, where the paper comes from and what it is, and how
// the finishing units treat the output. Which of that a printer takes, and
// in which syntax, is the printer's JCL mode (OEMSupportJCL): 0 none at
// all, 1 attribute lines only, 2 and 3 PJL SET and DEFAULT lines.
//
// The builder works on one job's context: the public DEVMODEW and the
// private record in it, the printer's data and the job's facts. Building
// may change the record (secure print dropped, driver output control
// turned off); those changes are what the closing step and any later
// reader of that record see.
#pragma once

#include "kvsys.h"
#include "kvcontract.h"
#include "bytebuffer.h"
#include "devmode.h"
#include "jobinfo.h"
#include "modelquery.h"
#include "pdvalue.h"
#include "text.h"

// The JCL modes of OEMSupportJCL's low 16 bits.
enum JclMode : DWORD {
    JCL_MODE_NONE = 0,        // no header at all
    JCL_MODE_ATTRIBUTES = 1,  // "@NAME=value" attribute lines
    JCL_MODE_PJL = 2,         // "@PJL SET" and "@PJL DEFAULT" lines
    JCL_MODE_PJL_JOBATTR = 3, // as 2
};
// 1, 2 or 3 from an OEMSupportJCL value; anything else gives 0.
DWORD JclModeFromSupport(DWORD supportJcl);

// The header's first capacity; a header is rarely more than a kilobyte,
// but the buffer grows if a job needs it.
constexpr DWORD kPjlHeaderInitialCapacity = 32768;

// The field ids of the text rules (the record's document name).
constexpr WORD kTextRuleJobName = 8;
// The longest converted text a rule gives, its NUL not counted.
constexpr DWORD kTextRuleOutputMax = 255;

#if KV_LINE_A
constexpr DWORD kTextRuleCount = 1;
#else
// Line B has no secure print, so no text goes into its header through a
// rule; the model library is asked all the same.
constexpr DWORD kTextRuleCount = 0;
#endif

// One build's context.
class PjlHeaderContext {
public:
    // Finds the private record in DEVMODE, opens the printer's data on
    // PRINTER (the handle stays the caller's), reads the JCL mode and takes
    // the text rules: the built-in ones, with the model library's overrides
    // for the record's printer type.
    PjlHeaderContext(PDEVMODEW devmode, HANDLE printer, JobInfo *job);
    PjlHeaderContext(const PjlHeaderContext &) = delete;
    PjlHeaderContext &operator=(const PjlHeaderContext &) = delete;

    // Each row of OVERRIDES (closed by id 0) replaces the built-in rule of
    // the same field id; other ids are ignored. Null changes nothing.
    void ApplyTextRuleOverrides(const ModelEditRule *overrides);
    // The rule of FIELD, or null.
    const ModelEditRule *FindTextRule(WORD field) const;

    PDEVMODEW publicDevmode;
    PrivateDevmode *record;  // null when the DEVMODEW carries none of this build
    PrinterDataValues printerData;
    JobInfo *job;
    DWORD jclMode;
    ModelEditRule textRules[kTextRuleCount + 1];
};

// Converts TEXT with the rule of FIELD: into OUT (kTextRuleOutputMax + 1
// bytes) the converted single-byte text, into *CODE the check's status.
// False when the field has no rule or the text fails its rule.
BOOL ConvertWithTextRule(const PjlHeaderContext *context, WORD field, LPCWSTR text, LPSTR out, TextError *code);

// The preparation of line A (nothing in line B): drops secure print from a
// job that cannot be held (no user name, the secure print function off,
// printing to a file) and, for a job that lost it and leaves every
// finishing choice to the printer on a standard page, the driver's output
// control, and with it the header.
void PreparePjlJob(PjlHeaderContext *context);

// Appends the whole header to OUT, preparation included; appends nothing
// when the job has no header (no record, driver output control off, JCL
// mode 0). False only when OUT could not grow.
BOOL BuildPjlHeader(PjlHeaderContext *context, ByteBuffer *out);

// The universal exit that closes the job, when the job had a header to
// open it: a record with driver output control on and a JCL mode.
BOOL BuildPjlTrailer(const PjlHeaderContext *context, ByteBuffer *out);
