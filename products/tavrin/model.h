/*
 * model.h - which product line and which file names the tavrin model set
 * builds. Read by the C++ code and by the resource scripts, so #defines only.
 */
#ifndef KV_MODEL_H
#define KV_MODEL_H

#define KV_LINE_A 1

#define KV_MODEL_SET       "tavrin"
#define KV_MODEL_LIB_BASE  "kvpsctvj"
#define KV_MODEL_LIB_FILE  "kvpsctvj.fpl"
#define KV_UI_FILE         "kvpsctvu.dll"
#define KV_RENDER_FILE     "kvpsctvr.dll"
#define KV_EXTRA_LIB_FILE  "kvpsctvm.dll"

#endif /* KV_MODEL_H */
