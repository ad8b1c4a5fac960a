/*
 * model.h - which product line and which file names the oskel model set
 * builds. Read by the C++ code and by the resource scripts, so #defines only.
 */
#ifndef KV_MODEL_H
#define KV_MODEL_H

#define KV_LINE_A 1

#define KV_MODEL_SET       "oskel"
#define KV_MODEL_LIB_BASE  "kvpscosj"
#define KV_MODEL_LIB_FILE  "kvpscosj.fpl"
#define KV_UI_FILE         "kvpscosu.dll"
#define KV_RENDER_FILE     "kvpscosr.dll"
#define KV_EXTRA_LIB_FILE  "kvpscosm.dll"

#endif /* KV_MODEL_H */
