# The suite's own programs packed the way the phone installs everything else:
# a gzip-compressed tar holding one folder with the program, what it needs
# beside it, two icons and a desktop file. `cmake --build <build> --target
# packages` makes them in <build>/packages/; they are part of the default
# build too, so that the tests find them.
#
# ezx_phone_package(<target> FOLDER <folder> NAME <menu name> COMMENT <text>
#                   COLOUR <#rrggbb> MARK <two letters> [FILES <files beside the program>...])

find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(EZX_PACKAGE_DIR ${CMAKE_BINARY_DIR}/packages)
if(NOT TARGET packages)
  add_custom_target(packages ALL)
endif()

function(ezx_phone_package target)
  cmake_parse_arguments(P "" "FOLDER;NAME;COMMENT;COLOUR;MARK" "FILES" ${ARGN})
  set(pkg ${EZX_PACKAGE_DIR}/${P_FOLDER}.pkg)
  set(stage ${EZX_PACKAGE_DIR}/stage)
  string(REPLACE ";" "|" files "${P_FILES}")
  add_custom_command(
    OUTPUT ${pkg}
    COMMAND ${CMAKE_COMMAND}
            -DSTAGE=${stage} -DFOLDER=${P_FOLDER} -DPROGRAM=$<TARGET_FILE:${target}>
            "-DFILES=${files}" "-DNAME=${P_NAME}" "-DCOMMENT=${P_COMMENT}"
            -DCOLOUR=${P_COLOUR} -DMARK=${P_MARK} -DPYTHON=${Python3_EXECUTABLE}
            -DSTRIP=${CMAKE_STRIP}
            -DICON_SCRIPT=${PROJECT_SOURCE_DIR}/cmake/phone_icon.py -DOUTPUT=${pkg}
            -P ${PROJECT_SOURCE_DIR}/cmake/make_phone_package.cmake
    DEPENDS ${target} ${P_FILES} ${PROJECT_SOURCE_DIR}/cmake/make_phone_package.cmake
            ${PROJECT_SOURCE_DIR}/cmake/phone_icon.py
    COMMENT "Packing ${P_FOLDER}.pkg"
    VERBATIM)
  add_custom_target(package_${P_FOLDER} DEPENDS ${pkg})
  add_dependencies(packages package_${P_FOLDER})
endfunction()
