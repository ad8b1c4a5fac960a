/*
 * resid.h - resource and control ids of the model resource libraries and
 * the plug-ins.
 *
 * Shared by the C++ code and the .rc scripts (windres runs it through the C
 * preprocessor), so it holds nothing but #defines and comments. The numbers
 * are fixed: the plug-ins of one release load texts and templates from
 * model libraries built separately, so an id, once shipped, never moves.
 */
#ifndef KV_RESID_H
#define KV_RESID_H

/* ---- Strings present in every module ------------------------------------ */

#define IDS_REGISTRY_KEY                1     /* the driver's own registry key */
#define IDS_LIBRARY_NAME                2     /* model library base name, no extension */
#define IDS_EXTRA_LIBRARY_NAME          5     /* further per-model library file */

/* ---- Strings of the model libraries (language 1041) --------------------- */

#define IDS_DOWNLOAD_URL                10    /* opened by the about box's home page button */
#define IDS_HOMEPAGE_BUTTON             11    /* label of that button */
#define IDS_PRINTING_DEFAULTS           1101  /* caption part of the printing-defaults sheet */
#define IDS_INTERNAL_ERROR              1102  /* the plug-in cannot work at all */

/* Paper series for custom page sizes. */
#define IDS_PAPER_SERIES_A              1401
#define IDS_PAPER_SERIES_JIS_B          1402
#define IDS_PAPER_SERIES_SPECIAL_A      1403
#define IDS_PAPER_SERIES_ANSI           1404
#define IDS_PAPER_SERIES_ARCH           1405
#define IDS_PAPER_SERIES_ARCH30         1406
#define IDS_PAPER_SERIES_B              1407

/* Folder. */
#define IDS_FOLD_PRINTER_SETTING        1501
#define IDS_FOLD_NONE                   1502
#define IDS_FOLD_FAN                    1503
#define IDS_FOLD_FAN_ONE_WAY            1504
#define IDS_FOLD_CROSS                  1505
#define IDS_FOLD_CROSS_ONE_WAY          1506
#define IDS_FOLD_SPECIAL                1507
#define IDS_FOLD_SPECIAL_ONE_WAY        1508
#define IDS_FOLD_170MM                  1509

/* Stacker; bins 1 to 10 are IDS_STACKER_BIN1 + n - 1. */
#define IDS_STACKER_PRINTER_SETTING     1601
#define IDS_STACKER_SIZE                1602
#define IDS_STACKER_MIXED_UPPER_FIRST   1603
#define IDS_STACKER_SORT                1604
#define IDS_STACKER_TOP_TRAY            1605
#define IDS_STACKER_BIN1                1606
#define IDS_STACKER_BIN2                1607
#define IDS_STACKER_BIN3                1608
#define IDS_STACKER_BIN4                1609
#define IDS_STACKER_BIN5                1610
#define IDS_STACKER_BIN6                1611
#define IDS_STACKER_BIN7                1612
#define IDS_STACKER_BIN8                1613
#define IDS_STACKER_BIN9                1614
#define IDS_STACKER_BIN10               1615

/* Paper winding (baler). */
#define IDS_BALER_PRINTER_SETTING       1701
#define IDS_BALER_ON                    1702
#define IDS_BALER_OFF                   1703

/* Output direction. */
#define IDS_OUTPUT_PRINTER_SETTING      1801
#define IDS_OUTPUT_REAR                 1802
#define IDS_OUTPUT_FRONT                1803
#define IDS_OUTPUT_REAR_PRINTER_TRAY    1804
#define IDS_OUTPUT_FRONT_FOLDER_TRAY    1805

/* Binding margin. */
#define IDS_BINDING_MARGIN_0MM          1901
#define IDS_BINDING_MARGIN_20MM         1902
#define IDS_BINDING_MARGIN_25MM         1903
#define IDS_BINDING_MARGIN_30MM         1904
#define IDS_BINDING_MARGIN_50MM         1905

/* Fold adjustment. */
#define IDS_FOLD_ADJUST_205MM           2001
#define IDS_FOLD_ADJUST_210MM_A4        2002
#define IDS_FOLD_ADJUST_215MM           2003

/*
 * Choices of the program-folder options page (template 1301). None of our
 * libraries carries them; the page code knows the ranges.
 */
#define IDS_FOLD_PROGRAM_BYPASS         2101
#define IDS_FOLD_PROGRAM_FIRST          2102  /* programs 1 to 20: 2102 to 2121 */
#define IDS_FOLD_PROGRAM_LAST           2121
#define IDS_PROGRAM_MARGINS_FIRST       2201
#define IDS_PROGRAM_MARGINS_LAST        2202
#define IDS_FOLD_OUTPUT_BIN_FIRST       2301
#define IDS_FOLD_OUTPUT_BIN_LAST        2315

/* About box. */
#define IDS_ABOUT_X86                   2503
#define IDS_ABOUT_LEGAL_NOTICE          2504
#define IDS_ABOUT_DRIVER_NAME           2505
#define IDS_ABOUT_X64                   2506
#define IDS_ABOUT_PS_VERSION_FORMAT     2507

/* Print type and document name (line A only). */
#define IDS_PRINT_TYPE                  2601
#define IDS_PRINT_TYPE_NORMAL           2602
#define IDS_PRINT_TYPE_SECURE           2603
#define IDS_DOCNAME_ENTER               2604
#define IDS_DOCNAME_AUTO                2605

#define IDS_ENABLED                     20000
#define IDS_DISABLED                    20001
#define IDS_ADVANCED_PRINTING_FEATURES  21023

/* Messages and captions (line A only). */
#define IDS_SPEED_PRIORITY_CAPTION      9421
#define IDS_SPEED_PRIORITY_INTRO        9427
#define IDS_SPEED_PRIORITY_PER_USER_ID  9430
#define IDS_SPEED_PRIORITY_CONFIRM      9433
#define IDS_MSG_NO_USER_ID              9704
#define IDS_MSG_NO_USER_ID_PRINT_ANYWAY 9706
#define IDS_MSG_NO_USER_ID_PRINT_ANYWAY_AGAIN 9708
#define IDS_MSG_INVALID_DOCUMENT_NAME   9723
#define IDS_MSG_INVALID_USER_ID         9724
#define IDS_FMT_FULL_WIDTH_NOTE         9767
#define IDS_FMT_LIMIT_NOTE              9768
#define IDS_WARNING_CAPTION             9774
#define IDS_MSG_NO_USER_ID_SWITCH_NORMAL 9775
#define IDS_MSG_NO_USER_ID_SWITCHED_NORMAL 9776
#define IDS_MSG_NO_PIN                  9778
#define IDS_MSG_SECURE_FUNCTION_OFF     9779
#define IDS_MSG_FILE_PORT               9780
#define IDS_PRINT_TYPE_CAPTION          9781
#define IDS_MSG_ADVANCED_FEATURES_CONFLICT 23157
#define IDS_MSG_SETTING_CONFLICT        23158

/* ---- Dialog templates ---------------------------------------------------- */

#define IDD_OPTIONS                     1201
#define IDD_OPTIONS_PROGRAM_FOLDER      1301  /* not in our libraries */
#define IDD_ABOUT                       2401
#define IDD_DEVICE_SETTINGS             8001  /* line A only */
#define IDD_SECURE_PRINT                11100 /* line A only */

/* ---- Controls shared by several templates ------------------------------- */

#define IDC_OK_BUTTON                   10000
#define IDC_CANCEL_BUTTON               10001
#define IDC_RESTORE_DEFAULTS            10002
#define IDC_HELP_BUTTON                 10003
#define IDC_SEPARATOR                   10004

/* ---- Options tab (1201) -------------------------------------------------- */

#define IDC_DRIVER_OUTPUT_CONTROL       1202
#define IDC_PAPER_SERIES                1203
#define IDC_PAPER_SERIES_LABEL          1204
#define IDC_FOLDER                      1205
#define IDC_FOLDER_LABEL                1206
#define IDC_STACKER                     1207
#define IDC_STACKER_LABEL               1208
#define IDC_BALER                       1209
#define IDC_BALER_LABEL                 1210
#define IDC_OUTPUT_DIRECTION            1211
#define IDC_OUTPUT_DIRECTION_LABEL      1212
#define IDC_FOLD_SETTINGS_GROUP         1213
#define IDC_ROTATE_STACK                1214
#define IDC_EAR_FOLD                    1215
#define IDC_BINDING_MARGIN_LABEL        1217
#define IDC_BINDING_MARGIN              1218
#define IDC_FOLD_ADJUSTMENT_LABEL       1219
#define IDC_FOLD_ADJUSTMENT             1220
#define IDC_FOLD_PICTURE                1222
#define IDC_ABOUT_BUTTON                1224
#define IDC_PRINT_TYPE_LABEL            10901 /* line A only */
#define IDC_PRINT_TYPE                  10902 /* line A only */
#define IDC_SECURE_PRINT_SETTINGS       10903 /* line A only */

/* Program-folder options page (1301), for the page code only. */
#define IDC_FOLD_PROGRAM_LABEL          1302
#define IDC_FOLD_PROGRAM                1303
#define IDC_PROGRAM_MARGINS_LABEL       1304
#define IDC_PROGRAM_MARGINS             1305
#define IDC_FOLD_OUTPUT_BIN_LABEL       1306
#define IDC_FOLD_OUTPUT_BIN             1307

/* ---- About box (2401) ---------------------------------------------------- */

#define IDC_ABOUT_PRINTER_NAME          2402
#define IDC_ABOUT_MODEL_NAME            2403
#define IDC_HOMEPAGE                    2405
#define IDC_ABOUT_PICTURE               2407

/* ---- Device settings tab (8001) ------------------------------------------ */

#define IDC_SPEED_PRIORITY              8005
#define IDC_INFO_ICON                   8006  /* also on the secure print dialog */
#define IDC_SPEED_PRIORITY_GROUP        8007
#define IDC_SPEED_PRIORITY_NOTE         8008
#define IDC_USE_SECURE_PRINT            8023
#define IDC_INFO_ICON2                  8024
#define IDC_USE_SECURE_PRINT_GROUP      8025
#define IDC_USE_SECURE_PRINT_NOTE       8026

/* ---- Secure print dialog (11100) ----------------------------------------- */

#define IDC_USER_ID_LABEL               11103
#define IDC_USER_ID                     11104
#define IDC_PIN_LABEL                   11105
#define IDC_PIN_CODE                    11106
#define IDC_DOCNAME_MODE_LABEL          11107
#define IDC_DOCNAME_MODE                11108
#define IDC_DOCNAME_LABEL               11109
#define IDC_DOCNAME                     11110
#define IDC_SECURE_NOTE_FRAME           10931
#define IDC_SECURE_NOTE                 10932

/* ---- Pictures ------------------------------------------------------------- */

#define IDB_FOLD                        1223  /* 22 x 17, magenta is transparent */
#define IDB_ABOUT                       2406  /* one per model set */
#define IDI_INFO_SIGN                   10005 /* line A only */

/* ---- Plug-in resources ---------------------------------------------------- */

#define IDR_MANIFEST                    2     /* common controls 6 activation context */

/* ---- Help contexts (WinHelp, not resources) ----------------------------- */

#define IDH_OPTIONS                     10100
#define IDH_SECURE_PRINT                10301

#endif /* KV_RESID_H */
