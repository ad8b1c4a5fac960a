// The model tables of the four model sets, one chosen per build by
// KV_MODEL_SET_<SET>, and the query list of each product line.
#include "oupm.h"
#include "resid.h"

namespace {

#if defined(KV_MODEL_SET_OSKEL)
const WORD kDialogs[] = {IDD_DEVICE_SETTINGS, IDD_OPTIONS};

// The secure print user ID may hold digits and printable ASCII without the
// blank and the double quote, 1 to 24 bytes; the PIN 4 to 7 digits.
const ModelEditRule kEditRules[] = {
    {IDC_USER_ID, 0, 0x006C0003, {0, 0}, 1, 24, 0},
    {IDC_PIN_CODE, 0, 0x00000001, {0, 0}, 4, 7, 0},
    {0, 0, 0, {0, 0}, 0, 0, 0},
};
#endif

#if defined(KV_MODEL_SET_TAVRIN)
const WORD kDialogs[] = {IDD_DEVICE_SETTINGS, IDD_OPTIONS};

// This model takes rolls of the A, special A, ANSI and Arch series only, and
// its folder has no 170 mm fold.
const ModelItemList kItemLists[] = {
    {IDC_PAPER_SERIES,
     {IDS_PAPER_SERIES_A, IDS_PAPER_SERIES_SPECIAL_A, IDS_PAPER_SERIES_ANSI, IDS_PAPER_SERIES_ARCH}},
    {IDC_FOLDER,
     {IDS_FOLD_PRINTER_SETTING, IDS_FOLD_NONE, IDS_FOLD_FAN, IDS_FOLD_FAN_ONE_WAY, IDS_FOLD_CROSS,
      IDS_FOLD_CROSS_ONE_WAY, IDS_FOLD_SPECIAL, IDS_FOLD_SPECIAL_ONE_WAY}},
    {0, {0}},
};
#endif

#if defined(KV_LINE_B)
const WORD kDialogs[] = {IDD_OPTIONS};
#endif

}  // namespace

#if defined(KV_MODEL_SET_OSKEL)
const ModelRecord g_modelTable[] = {
    {"Vastrelo 1140 PS", 8001, 3, 2, 0x00060007, kDialogs, kEditRules, nullptr, nullptr},
    {nullptr, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr},
};
#elif defined(KV_MODEL_SET_TAVRIN)
const ModelRecord g_modelTable[] = {
    {"Vastrelo 1180 PS", 8091, 3, 2, 0x000647FF, kDialogs, nullptr, nullptr, kItemLists},
    {nullptr, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr},
};
#elif defined(KV_MODEL_SET_MERROW)
const ModelRecord g_modelTable[] = {
    {"Vastrelo 1162 PS", 8011, 3, 0x000007FF, kDialogs, nullptr, nullptr, nullptr},
    {"Vastrelo 1165 PS", 8012, 3, 0x000007FF, kDialogs, nullptr, nullptr, nullptr},
    {nullptr, 0, 0, 0, nullptr, nullptr, nullptr, nullptr},
};
#elif defined(KV_MODEL_SET_PELLIN)
const ModelRecord g_modelTable[] = {
    {"Vastrelo 1157 PS", 8081, 3, 0x000007FF, kDialogs, nullptr, nullptr, nullptr},
    {nullptr, 0, 0, 0, nullptr, nullptr, nullptr, nullptr},
};
#else
#error "the model library is built for one model set: define KV_MODEL_SET_<SET>"
#endif

#if defined(KV_LINE_A) && (defined(KV_MODEL_SET_MERROW) || defined(KV_MODEL_SET_PELLIN))
#error "models Merrow and Pellin belong to product line B"
#endif
#if defined(KV_LINE_B) && (defined(KV_MODEL_SET_OSKEL) || defined(KV_MODEL_SET_TAVRIN))
#error "models Oskel and Tavrin belong to product line A"
#endif

#if defined(KV_LINE_A)
const LONG g_supportedQueries[] = {100, 202, 0, 1, 300, 200, 201, 301, 302, 303, -1};
#else
const LONG g_supportedQueries[] = {1006, 0, 1, 1001, 1005, 1002, 1003, 1004, -1};
#endif
