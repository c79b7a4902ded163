# qvx_level_check(<target> <level> <folder>): before <target> compiles, and again
# whenever a file of <folder> changes, cmake/check_levels.cmake checks that the
# folder's files include only what their level may (see the levels listed there and
# the README's layout table).
function(qvx_level_check target level folder)
  file(GLOB files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp
       ${CMAKE_SOURCE_DIR}/${folder}/*.h)
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/level_${level}.checked)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DLEVEL=${level} -DROOT=${CMAKE_SOURCE_DIR} -DFOLDER=${folder}
            -DSTAMP=${stamp} -P ${CMAKE_SOURCE_DIR}/cmake/check_levels.cmake
    DEPENDS ${files} ${CMAKE_SOURCE_DIR}/cmake/check_levels.cmake
    COMMENT "Checking the includes of level ${level} (${folder}/)"
    VERBATIM)
  add_custom_target(${target}_level_check DEPENDS ${stamp})
  add_dependencies(${target} ${target}_level_check)
endfunction()
