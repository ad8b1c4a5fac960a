# Declares the three modules of one model set, named as on Windows on both
# targets:
#   <prefix>u.dll  UI plug-in
#   <prefix>r.dll  render plug-in
#   <prefix>j.fpl  model resource library
# LINE is A or B; the code of a line is built once (kv_ui_<line>,
# kv_render_<line>) and the modules of one line differ in their resources
# and, for the model library, its model table.

set(KV_RES_INCLUDES
  -I${CMAKE_SOURCE_DIR}/products/common
  -I${CMAKE_SOURCE_DIR}/src/common)

# Compile RC_FILE for TARGET: a COFF object linked into the DLL on Windows; a
# .res image carried in the ELF section ".kvrsrc" natively, where the
# platform's resource functions read it.
function(kv_add_resources TARGET RC_FILE SET)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/res/${TARGET})
  file(MAKE_DIRECTORY ${out})
  set(incs -I${CMAKE_SOURCE_DIR}/products/${SET} ${KV_RES_INCLUDES})
  file(GLOB res_deps CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/products/common/*
    ${CMAKE_SOURCE_DIR}/products/${SET}/*
    ${CMAKE_SOURCE_DIR}/src/common/resid.h
    ${CMAKE_SOURCE_DIR}/src/ui/*.manifest)
  if(KV_WINDOWS)
    add_custom_command(OUTPUT ${out}/${TARGET}.res.o
      COMMAND ${KV_WINDRES} -c 65001 ${incs} -O coff ${RC_FILE} ${out}/${TARGET}.res.o
      DEPENDS ${RC_FILE} ${res_deps}
      WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
      COMMENT "windres ${TARGET}" VERBATIM)
    target_sources(${TARGET} PRIVATE ${out}/${TARGET}.res.o)
  else()
    add_custom_command(OUTPUT ${out}/${TARGET}.res
      COMMAND ${KV_WINDRES} -c 65001 ${incs} -O res ${RC_FILE} ${out}/${TARGET}.res
      DEPENDS ${RC_FILE} ${res_deps}
      WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
      COMMENT "windres ${TARGET}" VERBATIM)
    file(WRITE ${out}/${TARGET}.rsrc.S.in
      "\t.section .kvrsrc,\"a\",@progbits\n\t.balign 16\n\t.incbin \"${out}/${TARGET}.res\"\n\t.section .note.GNU-stack,\"\",@progbits\n")
    configure_file(${out}/${TARGET}.rsrc.S.in ${out}/${TARGET}.rsrc.S COPYONLY)
    set_source_files_properties(${out}/${TARGET}.rsrc.S PROPERTIES OBJECT_DEPENDS ${out}/${TARGET}.res)
    target_sources(${TARGET} PRIVATE ${out}/${TARGET}.rsrc.S)
  endif()
endfunction()

# One module: NAME (file base name), SUFFIX (.dll or .fpl), DEF (Windows
# exports), RC (resource script), SET, and the code in OBJECTS/LIBS/SOURCES.
function(kv_module)
  cmake_parse_arguments(M "" "NAME;SUFFIX;DEF;RC;SET;EXPORT_NAME" "OBJECTS;LIBS;SOURCES;DEFINES" ${ARGN})
  add_library(${M_NAME} SHARED ${M_SOURCES})
  # Linking an object library directly puts all of its objects (the entry
  # points among them) into the module.
  target_link_libraries(${M_NAME} PRIVATE ${M_OBJECTS} ${M_LIBS})
  target_include_directories(${M_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/products/${M_SET})
  if(M_DEFINES)
    target_compile_definitions(${M_NAME} PRIVATE ${M_DEFINES})
  endif()
  set_target_properties(${M_NAME} PROPERTIES
    PREFIX "" SUFFIX "${M_SUFFIX}" OUTPUT_NAME ${M_NAME}
    LIBRARY_OUTPUT_DIRECTORY ${KV_MODULE_DIR}
    RUNTIME_OUTPUT_DIRECTORY ${KV_MODULE_DIR})
  if(EXISTS ${M_RC})
    kv_add_resources(${M_NAME} ${M_RC} ${M_SET})
  else()
    message(WARNING "${M_NAME}: no resource script ${M_RC}")
  endif()
  if(KV_WINDOWS AND M_EXPORT_NAME)
    # The export directory names the module EXPORT_NAME exactly (ld would
    # append ".dll" to a .def LIBRARY name), so the export table is made by
    # dlltool and linked in as an object.
    find_program(KV_DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
    set(exp ${CMAKE_CURRENT_BINARY_DIR}/res/${M_NAME}/${M_NAME}.exp.o)
    add_custom_command(OUTPUT ${exp}
      COMMAND ${KV_DLLTOOL} --dllname ${M_EXPORT_NAME} -d ${M_DEF} -e ${exp}
      DEPENDS ${M_DEF} COMMENT "dlltool ${M_NAME}" VERBATIM)
    target_sources(${M_NAME} PRIVATE ${exp})
  elseif(KV_WINDOWS)
    target_sources(${M_NAME} PRIVATE ${M_DEF})
  endif()
  if(KV_WINDOWS)
    set_target_properties(${M_NAME} PROPERTIES IMPORT_PREFIX "" IMPORT_SUFFIX ".lib.a")
    target_link_libraries(${M_NAME} PRIVATE kernel32 user32 gdi32 advapi32 winspool comctl32 shell32 ole32 uuid rpcrt4 version)
  else()
    # Only the Windows exports leave the module; everything else binds inside
    # it, so each module keeps its own globals as a DLL does.
    target_link_libraries(${M_NAME} PRIVATE kvplatform)
    target_link_options(${M_NAME} PRIVATE -Wl,-Bsymbolic
      -Wl,--version-script=${CMAKE_SOURCE_DIR}/cmake/module-exports.map)
    set_property(TARGET ${M_NAME} APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/module-exports.map)
    set_target_properties(${M_NAME} PROPERTIES BUILD_RPATH "${CMAKE_BINARY_DIR}/lib")
  endif()
endfunction()

function(kv_model_set SET PREFIX LINE)
  string(TOUPPER ${SET} SET_UPPER)
  kv_module(NAME ${PREFIX}u SUFFIX .dll SET ${SET}
    OBJECTS kv_ui_${LINE}
    RC ${CMAKE_SOURCE_DIR}/src/ui/ui.rc
    DEF ${CMAKE_SOURCE_DIR}/src/ui/ui.def)
  kv_module(NAME ${PREFIX}r SUFFIX .dll SET ${SET}
    OBJECTS kv_render_${LINE}
    RC ${CMAKE_SOURCE_DIR}/src/renderer/render.rc
    DEF ${CMAKE_SOURCE_DIR}/src/renderer/render.def)
  kv_module(NAME ${PREFIX}j SUFFIX .fpl SET ${SET}
    SOURCES ${KV_MODELLIB_SOURCES}
    LIBS kv_common_lib_${LINE}
    DEFINES KV_MODEL_SET_${SET_UPPER}=1 KV_LINE_${LINE}=1 KV_BUILD_MODELLIB=1
    EXPORT_NAME quilfen
    RC ${CMAKE_SOURCE_DIR}/products/${SET}/${PREFIX}j.rc
    DEF ${CMAKE_SOURCE_DIR}/src/modellib/modellib.def)
endfunction()
