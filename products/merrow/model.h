/*
 * model.h - which product line and which file names the merrow model set
 * builds. Read by the C++ code and by the resource scripts, so #defines only.
 */
#ifndef KV_MODEL_H
#define KV_MODEL_H

#define KV_LINE_B 1

#define KV_MODEL_SET       "merrow"
#define KV_MODEL_LIB_BASE  "kvpscmwj"
#define KV_MODEL_LIB_FILE  "kvpscmwj.fpl"
#define KV_UI_FILE         "kvpscmwu.dll"
#define KV_RENDER_FILE     "kvpscmwr.dll"
#define KV_EXTRA_LIB_FILE  "kvpscmwm.dll"

#endif /* KV_MODEL_H */
