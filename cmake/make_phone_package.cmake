# Makes one phone package (run by ezx_phone_package, in CMake's script mode):
# stages <STAGE>/<FOLDER> with the program, the extra files, the icons and the
# desktop file, and packs that folder into <OUTPUT>.

foreach(var STAGE FOLDER PROGRAM NAME COMMENT COLOUR MARK PYTHON ICON_SCRIPT OUTPUT)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "make_phone_package: ${var} is not given")
  endif()
endforeach()

set(dir ${STAGE}/${FOLDER})
file(REMOVE_RECURSE ${dir})
file(MAKE_DIRECTORY ${dir})
get_filename_component(exec ${PROGRAM} NAME)

# The program runs; everything else is read only. No set-ID bits, no links.
file(COPY ${PROGRAM} DESTINATION ${dir}
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                      WORLD_READ WORLD_EXECUTE)
# The phone gets the program without its debugging sections.
if(STRIP)
  execute_process(COMMAND ${STRIP} --strip-unneeded ${dir}/${exec} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "make_phone_package: ${STRIP} could not strip ${exec}")
  endif()
endif()
string(REPLACE "|" ";" FILES "${FILES}")
foreach(f IN LISTS FILES)
  file(COPY ${f} DESTINATION ${dir} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()

foreach(icon "icon.png;32" "icon_big.png;48")
  list(GET icon 0 file)
  list(GET icon 1 size)
  execute_process(COMMAND ${PYTHON} ${ICON_SCRIPT} ${dir}/${file} ${size} ${COLOUR} ${MARK}
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "make_phone_package: the icon ${file} of ${FOLDER} could not be drawn")
  endif()
endforeach()

file(WRITE ${dir}/${FOLDER}.desktop
"[Desktop Entry]
Name=${NAME}
Comment=${COMMENT}
Exec=${exec}
Icon=icon.png
BigIcon=icon_big.png
OsVersion=2.0
Shared=0
")

get_filename_component(outdir ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${outdir})
file(REMOVE ${OUTPUT})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar czf ${OUTPUT} --format=gnutar -- ${FOLDER}
                WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT EXISTS ${OUTPUT})
  message(FATAL_ERROR "make_phone_package: ${OUTPUT} could not be packed")
endif()
file(REMOVE_RECURSE ${dir})
