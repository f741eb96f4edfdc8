# SPDX-License-Identifier: GPL-3.0-or-later
# Copies the help project into STAGE_DIR as the help compiler takes it: pages and the contents file
# turned from UTF-8 into Windows-1252 (the code page of a German help file, which the viewer decodes
# by the file's language), and the pictures the pages show taken from the window's assets.
#
# cmake -DSOURCE_DIR=<help/manual> -DASSETS_DIR=<assets> -DSTAGE_DIR=<folder> -P stage_manual.cmake

find_program(ICONV iconv REQUIRED)
file(REMOVE_RECURSE "${STAGE_DIR}")
file(MAKE_DIRECTORY "${STAGE_DIR}/bilder")

file(GLOB texts "${SOURCE_DIR}/*.html" "${SOURCE_DIR}/*.hhc")
foreach(source ${texts})
  get_filename_component(name "${source}" NAME)
  execute_process(COMMAND ${ICONV} -f UTF-8 -t WINDOWS-1252 "${source}"
                  OUTPUT_VARIABLE text RESULT_VARIABLE failed ERROR_VARIABLE why)
  if(failed)
    message(FATAL_ERROR "${name}: not convertible to Windows-1252: ${why}")
  endif()
  string(REPLACE "charset=utf-8" "charset=windows-1252" text "${text}")
  file(WRITE "${STAGE_DIR}/${name}" "${text}")
endforeach()

file(COPY "${SOURCE_DIR}/QLM.hhp" "${SOURCE_DIR}/hilfe.css" "${SOURCE_DIR}/help_context.h"
     DESTINATION "${STAGE_DIR}")
# Name in the help file = name in the assets folder.
foreach(pair "quillmoor.png=quillmoor_48.png" "make_html.png=make_html.png" "correct_names.png=correct_names.png"
             "reload_defs.png=reload_defs.png" "drives.png=drives.png" "reload.png=reload.png")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 target)
  list(GET pair 1 source)
  configure_file("${ASSETS_DIR}/${source}" "${STAGE_DIR}/bilder/${target}" COPYONLY)
endforeach()
