/*
 * model.h - which product line and which file names the pellin model set
 * builds. Read by the C++ code and by the resource scripts, so #defines only.
 */
#ifndef KV_MODEL_H
#define KV_MODEL_H

#define KV_LINE_B 1

#define KV_MODEL_SET       "pellin"
#define KV_MODEL_LIB_BASE  "kvpscplj"
#define KV_MODEL_LIB_FILE  "kvpscplj.fpl"
#define KV_UI_FILE         "kvpscplu.dll"
#define KV_RENDER_FILE     "kvpscplr.dll"
#define KV_EXTRA_LIB_FILE  "kvpscplm.dll"

#endif /* KV_MODEL_H */
