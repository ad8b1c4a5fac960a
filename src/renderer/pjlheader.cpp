// The PJL job header: the preparation of the job, every line in its order,
// and the closing universal exit.
#include "pjlheader.h"

#include <cstring>

#include "coremain.h"
#include "format.h"
#include "papertable.h"
#include "text.h"

namespace {

// The built-in text rules, closed by a row with id 0. The job name goes to
// the printer's panel, which shows Shift-JIS text of at most 24 bytes: a
// longer automatic name is cut at a character boundary.
#if KV_LINE_A
constexpr ModelEditRule kBuiltInTextRules[kTextRuleCount + 1] = {
    {kTextRuleJobName, 0, 0x000E000F, {0, 0}, 0, 24, 0},
    {0, 0, 0, {0, 0}, 0, 0, 0},
};
#else
constexpr ModelEditRule kBuiltInTextRules[kTextRuleCount + 1] = {
    {0, 0, 0, {0, 0}, 0, 0, 0},
};
#endif

constexpr CHAR kUniversalExit[] = "\x1B%-12345X";

// The lines of the header, each written only in the JCL modes whose
// syntax it is.
class PjlLines {
public:
    PjlLines(ByteBuffer *out, DWORD mode) : out_(out), mode_(mode) {}

    bool ok() const { return ok_; }
    bool Pjl() const { return mode_ == JCL_MODE_PJL || mode_ == JCL_MODE_PJL_JOBATTR; }
    bool Attributes() const { return mode_ == JCL_MODE_ATTRIBUTES; }

    void UniversalExit() { Append(kUniversalExit); }
    void JobStart() { Append("@PJL\r\n"); }
    void Set(LPCSTR key, LPCSTR value)
    {
        if (Pjl()) Format("@PJL SET %s=%s\r\n", key, value);
    }
    void SetQuoted(LPCSTR key, LPCSTR value)
    {
        if (Pjl()) Format("@PJL SET %s=\"%s\"\r\n", key, value);
    }
    void Default(LPCSTR key, LPCSTR value)
    {
        if (Pjl()) Format("@PJL DEFAULT %s=%s\r\n", key, value);
    }
    void Attribute(LPCSTR key, LPCSTR value)
    {
        if (Attributes()) Format("@%s=%s\r\n", key, value);
    }
    void Language()
    {
        if (Attributes())
            Append("@PL>PostScript\r\n");
        else if (Pjl())
            Append("@PJL ENTER LANGUAGE=POSTSCRIPT\r\n");
    }

private:
    void Append(LPCSTR text)
    {
        if (ok_ && !AppendBytes(out_, text, static_cast<DWORD>(strlen(text)))) ok_ = false;
    }
    void Format(LPCSTR format, LPCSTR key, LPCSTR value)
    {
        if (ok_ && !AppendFormat(out_, format, key, value)) ok_ = false;
    }

    ByteBuffer *out_;
    DWORD mode_;
    bool ok_ = true;
};

SHORT Setting(const PjlHeaderContext *context, DevmodeFieldId id) { return GetDevmodeShort(id, context->record); }
bool Flag(const PjlHeaderContext *context, DevmodeFieldId id) { return GetDevmodeFlag(id, context->record) != 0; }
bool Capable(PjlHeaderContext *context, DWORD bits) { return context->printerData.SupportsCapability(bits) != 0; }

bool IsCustomPageSize(const PjlHeaderContext *context)
{
    return (GetJobInfoShort(context->job, JobInfoFieldId::Flags) & kJobFlagCustomPageSize) != 0;
}

void SeriesLines(PjlLines *lines, const PaperSeriesKeywords *series)
{
    if (series == nullptr) return;
    lines->Default("INPUTMODE", series->inputMode);
    lines->Default("OUTPUTMODE", series->outputMode);
    for (int n = 1; n <= 15; ++n) {
        CHAR key[16];
        FormatTextA(key, sizeof(key), "PAPER%dSIZE", n);
        lines->Default(key, series->paperSize);
    }
}

// Copies, media source and media type close both page parts.
void CopiesAndMediaLines(PjlLines *lines, const PjlHeaderContext *context)
{
    CHAR copies[8];
    FormatTextA(copies, sizeof(copies), "%d", static_cast<int>(static_cast<WORD>(context->publicDevmode->dmCopies)));
    lines->Default("COPIES", copies);
    LPCSTR source = FindMediaSource(GetJobInfoString(context->job, JobInfoFieldId::InputSlot));
    if (source != nullptr) lines->Default("MEDIASOURCE", source);
    LPCSTR type = FindMediaType(GetJobInfoString(context->job, JobInfoFieldId::MediaType));
    if (type != nullptr) lines->Default("MEDIATYPE", type);
}

void PageLines(PjlLines *lines, PjlHeaderContext *context)
{
    if (IsCustomPageSize(context)) {
        if (!Capable(context, CAP_CUSTOM_SIZE_PAPER_SERIES)) return;
        lines->Set("PSDEFAULTDMS", "ON");
        lines->Default("SCALE", "OFF");
        SeriesLines(lines, FindPaperSeries(Setting(context, DevmodeFieldId::CustomSizePaperSeries)));
        CopiesAndMediaLines(lines, context);
        return;
    }
    // A named input slot means the user chose the paper's source himself;
    // the printer's automatic paper choice would overrule that.
    if (!Capable(context, CAP_OUTPUT_CONTROL_DEFAULT_ON) ||
        strcmp(GetJobInfoString(context->job, JobInfoFieldId::InputSlot), "Auto") != 0)
        return;
    lines->Set("PSDEFAULTDMS", "ON");
    lines->Default("SCALE", "OFF");
    SeriesLines(lines, FindPaperSize(GetJobInfoString(context->job, JobInfoFieldId::PageSize)));
    CopiesAndMediaLines(lines, context);
}

void FinishingLines(PjlLines *lines, PjlHeaderContext *context)
{
    const SHORT foldMode = Setting(context, DevmodeFieldId::FoldMode);
    // Without folding there is nothing to bind, adjust, rotate or fold over.
    const bool folding = foldMode != 1 && foldMode != 2;

    if (Capable(context, CAP_FOLDER)) {
        static const struct {
            LPCSTR program;
            LPCSTR crossFold;
        } kFolds[] = {
            {"BYPASS", nullptr},          // 2
            {"FAN", "CROSSFOLDON"},       // 3
            {"FAN", "CROSSFOLDOFF"},      // 4
            {"CROSS", "CROSSFOLDON"},     // 5
            {"CROSS", "CROSSFOLDOFF"},    // 6
            {"SD1", "CROSSFOLDON"},       // 7
            {"SD1", "CROSSFOLDOFF"},      // 8
            {"170mm", "CROSSFOLDOFF"},    // 9
        };
        if (foldMode >= 2 && foldMode <= 9) {
            lines->Default("FINISHPROGID", kFolds[foldMode - 2].program);
            if (kFolds[foldMode - 2].crossFold != nullptr)
                lines->Default("FINISHCROSSFOLD", kFolds[foldMode - 2].crossFold);
        }
    }
    if (Capable(context, CAP_STACKER)) {
        const SHORT stacker = Setting(context, DevmodeFieldId::StackerMode);
        static const LPCSTR kModes[] = {"SIZE", "MIX", "SORT"};  // 2 to 4
        if (stacker >= 2 && stacker <= 4) {
            lines->Default("FINISHSTACKMODE", kModes[stacker - 2]);
        } else if (stacker >= 5 && stacker <= 15) {
            lines->Default("FINISHSTACKMODE", "STACK");
            CHAR bin[8];
            if (stacker == 5)
                FormatTextA(bin, sizeof(bin), "BYPASS");
            else
                FormatTextA(bin, sizeof(bin), "BIN%d", stacker - 5);
            lines->Default("FINISHBIN", bin);
        }
    }
    if (Capable(context, CAP_BALER)) {
        const SHORT baler = Setting(context, DevmodeFieldId::Baler);
        if (baler != 1) lines->Default("FINISHBALE", baler == 2 ? "ON" : "OFF");
    }
    if (Capable(context, CAP_OUTPUT_TRAY)) {
        const SHORT direction = Setting(context, DevmodeFieldId::OutputDirection);
        if (direction != 1) lines->Default("OUTPUTTRAY", direction == 2 ? "TRAY1" : "TRAY2");
    }
    if (folding && Capable(context, CAP_BINDING_MARGIN)) {
        static const LPCSTR kMargins[] = {"MARGINSOFF", "20", "25", "30", "50"};  // 1 to 5
        const SHORT margin = Setting(context, DevmodeFieldId::BindingMargin);
        if (margin >= 1 && margin <= 5) lines->Default("FINISHMARGINS", kMargins[margin - 1]);
    }
    if (folding && Capable(context, CAP_FOLD_ADJUSTMENT)) {
        static const LPCSTR kSizes[] = {"SMALLER", "STANDARD", "BIGGER"};  // 1 to 3
        const SHORT adjustment = Setting(context, DevmodeFieldId::FoldAdjustment);
        if (adjustment >= 1 && adjustment <= 3) lines->Default("FINISHSIZE", kSizes[adjustment - 1]);
    }
    if (folding && Capable(context, CAP_ROTATE_STACK))
        lines->Default("FINISHROTATE", Flag(context, DevmodeFieldId::RotateStack) ? "ON" : "OFF");
    if (folding && Capable(context, CAP_EAR_FOLD))
        lines->Default("FINISHCORNER", Flag(context, DevmodeFieldId::EarFold) ? "ON" : "OFF");

    const SHORT program = Setting(context, DevmodeFieldId::FoldProgram);
    // Program 21 bypasses the program folder: its margins and bins do not
    // apply.
    const bool programFolding = program != 21;
    if (Capable(context, CAP_FOLD_PROGRAM)) {
        CHAR text[16];
        if (program >= 1 && program <= 20) {
            FormatTextA(text, sizeof(text), "PROGRAM%ld", static_cast<LONG>(program));
            lines->Default("FINISHPROGID", text);
        } else if (program == 21) {
            lines->Default("FINISHPROGID", "BYPASS");
        }
    }
    if (programFolding && Capable(context, CAP_PROGRAM_MARGINS)) {
        const SHORT margins = Setting(context, DevmodeFieldId::ProgramMargins);
        if (margins == 1) lines->Default("FINISHMARGINS", "MARGINSOFF");
        if (margins == 2) lines->Default("FINISHMARGINS", "USEPROGRAM");
    }
    if (programFolding && Capable(context, CAP_FOLD_OUTPUT_BIN)) {
        const SHORT bin = Setting(context, DevmodeFieldId::FoldOutputBin);
        CHAR text[16];
        if (bin >= 1 && bin <= 13) {
            FormatTextA(text, sizeof(text), "BIN_%ld", static_cast<LONG>(bin));
            lines->Default("FINISHBIN", text);
        } else if (bin == 14) {
            lines->Default("FINISHBIN", "DONTCARE");
        } else if (bin == 15) {
            lines->Default("FINISHBIN", "FANFOLD");
        }
    }
}

#if KV_LINE_A
void SecurePrintLines(PjlLines *lines, PjlHeaderContext *context)
{
    LPCSTR pin = GetJobInfoString(context->job, JobInfoFieldId::Pin);
    // A printer that asks for encoded PINs gets the stored form as it is.
    const bool encoded = Capable(context, CAP_ENCODED_PIN);
    if (lines->Attributes()) {
        lines->Attribute("ACPR", "CONFIDENTIAL");
        if (pin[0] != '\0') lines->Attribute(encoded ? "EPWD" : "ACPW", pin);
    } else {
        lines->Set("HOLD", "STORE");
        if (pin[0] != '\0') {
            lines->Set("HOLDTYPE", "PRIVATE");
            lines->SetQuoted(encoded ? "HOLDENCRYPTKEY" : "HOLDKEY", pin);
        }
    }
    LPCSTR user = GetJobInfoString(context->job, JobInfoFieldId::UserName);
    if (user[0] != '\0') {
        lines->Attribute("ACID", user);
        lines->SetQuoted("USERNAME", user);
    }
    if (Setting(context, DevmodeFieldId::DocumentNameMode) == 1) {
        // Typed by the user and checked by the dialog already.
        lines->SetQuoted("JOBNAME", GetJobInfoString(context->job, JobInfoFieldId::JobName));
        return;
    }
    WCHAR wide[262];
    LPCSTR document = GetJobInfoString(context->job, JobInfoFieldId::DocumentName);
    if (MultiByteToWideChar(CP_ACP, 0, document, -1, wide, static_cast<int>(sizeof(wide) / sizeof(wide[0]))) <= 0)
        return;
    CHAR name[kTextRuleOutputMax + 1];
    TextError code = TEXT_ERROR_NONE;
    if (ConvertWithTextRule(context, kTextRuleJobName, wide, name, &code) && code != TEXT_ERROR_TOO_LONG)
        lines->SetQuoted("JOBNAME", name);
}
#endif

}  // namespace

DWORD JclModeFromSupport(DWORD supportJcl)
{
    DWORD mode = supportJcl & 0xFFFF;
    return mode >= 1 && mode <= 3 ? mode : JCL_MODE_NONE;
}

PjlHeaderContext::PjlHeaderContext(PDEVMODEW devmode, HANDLE printer, JobInfo *jobInfo)
    : publicDevmode(devmode),
      record(devmode != nullptr ? FindPrivateDevmode(devmode) : nullptr),
      printerData(printer),
      job(jobInfo),
      jclMode(JclModeFromSupport(printerData.GetSupportJCL(SUPPORT_FLAG_JCL)))
{
    memcpy(textRules, kBuiltInTextRules, sizeof(textRules));
    if (record != nullptr) {
        const ModelEditRule *overrides = nullptr;
        const DWORD printerType = static_cast<WORD>(GetDevmodeShort(DevmodeFieldId::PrinterType, record));
        if (QueryModel(OUPF_FUNCID_GETOVERRIDES, printerType, nullptr, &overrides)) ApplyTextRuleOverrides(overrides);
    }
}

void PjlHeaderContext::ApplyTextRuleOverrides(const ModelEditRule *overrides)
{
    if (overrides == nullptr) return;
    for (const ModelEditRule *row = overrides; row->id != 0; ++row)
        for (DWORD i = 0; i < kTextRuleCount; ++i)
            if (textRules[i].id == row->id) textRules[i] = *row;
}

const ModelEditRule *PjlHeaderContext::FindTextRule(WORD field) const
{
    for (const ModelEditRule *row = textRules; row->id != 0; ++row)
        if (row->id == field) return row;
    return nullptr;
}

BOOL ConvertWithTextRule(const PjlHeaderContext *context, WORD field, LPCWSTR text, LPSTR out, TextError *code)
{
    if (context == nullptr || text == nullptr || out == nullptr || code == nullptr) return FALSE;
    const ModelEditRule *rule = context->FindTextRule(field);
    if (rule == nullptr) return FALSE;
    return ValidateWideText(text, rule->flags, rule->minLength, rule->maxLength, code, out, kTextRuleOutputMax + 1);
}

void PreparePjlJob(PjlHeaderContext *context)
{
#if KV_LINE_A
    PrivateDevmode *record = context->record;
    JobInfo *job = context->job;
    const bool securePrint = GetDevmodeFlag(DevmodeFieldId::SecurePrint, record) != 0;
    WCHAR documentName[kDocumentNameLength] = {};
    DWORD capacity = kDocumentNameLength;
    if (GetDevmodeString(DevmodeFieldId::DocumentName, record, &capacity, documentName))
        SetJobInfoWideString(job, JobInfoFieldId::JobName, documentName);

    bool turnedNormal = false;
    if (GetJobInfoString(job, JobInfoFieldId::UserName)[0] == '\0') {
        SetDevmodeFlag(DevmodeFieldId::SecurePrint, record, 0);
        turnedNormal = true;
    }
    bool dropped = false;
    if (securePrint) {
        // A job held at the printer needs the secure print function, and a
        // job printed to a file never reaches a printer that could hold it.
        if (!context->printerData.IsFeatureSwitchOn(SWITCH_SECURE_PRINT) ||
            strcmp(GetJobInfoString(job, JobInfoFieldId::PortName), "FILE:") == 0) {
            SetDevmodeFlag(DevmodeFieldId::SecurePrint, record, 0);
            dropped = true;
        }
    }
    if (!dropped && !turnedNormal) return;
    // The job lost its secure print: with nothing else for the header to say
    // (a standard page, every finishing choice left to the printer), the
    // driver leaves the job's output to the printer altogether.
    if (!IsCustomPageSize(context) && GetDevmodeShort(DevmodeFieldId::FoldMode, record) == 1 &&
        GetDevmodeShort(DevmodeFieldId::OutputDirection, record) == 1)
        SetDevmodeFlag(DevmodeFieldId::OutputControlByDriver, record, 0);
#else
    (void)context;
#endif
}

BOOL BuildPjlHeader(PjlHeaderContext *context, ByteBuffer *out)
{
    if (context == nullptr || out == nullptr) return FALSE;
    if (context->publicDevmode == nullptr || context->record == nullptr || context->job == nullptr) return TRUE;
    PreparePjlJob(context);
    if (!Flag(context, DevmodeFieldId::OutputControlByDriver) || context->jclMode == JCL_MODE_NONE) return TRUE;

    PjlLines lines(out, context->jclMode);
    lines.UniversalExit();
    lines.JobStart();
#if KV_LINE_A
    if (Flag(context, DevmodeFieldId::SecurePrint)) SecurePrintLines(&lines, context);
#endif
    PageLines(&lines, context);
    FinishingLines(&lines, context);
    lines.Language();
    return lines.ok();
}

BOOL BuildPjlTrailer(const PjlHeaderContext *context, ByteBuffer *out)
{
    if (context == nullptr || out == nullptr) return FALSE;
    if (context->record == nullptr || GetDevmodeFlag(DevmodeFieldId::OutputControlByDriver, context->record) == 0 ||
        context->jclMode == JCL_MODE_NONE)
        return TRUE;
    return AppendBytes(out, kUniversalExit, static_cast<DWORD>(sizeof(kUniversalExit) - 1));
}
