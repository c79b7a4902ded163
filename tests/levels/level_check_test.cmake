# The level check (cmake/check_levels.cmake) on the *_includes.txt files: each
# check fails, names every offence and lets the allowed includes pass.
# Run as: cmake -DCHECK=<cmake/check_levels.cmake> -DROOT=<source root> -P level_check_test.cmake
set(failures "")
function(expect level input)
  set(reported ${ARGN})
  list(FIND reported ALLOWED split)
  list(SUBLIST reported 0 ${split} offences)
  math(EXPR first_allowed "${split} + 1")
  list(SUBLIST reported ${first_allowed} -1 allowed)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DLEVEL=${level} -DROOT=${ROOT}
            -DFILES=${CMAKE_CURRENT_LIST_DIR}/${input} -P ${CHECK}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(text "${out}${err}")
  if(result EQUAL 0)
    string(APPEND failures "${level}: the check passed\n")
  endif()
  foreach(expected IN LISTS offences)
    string(FIND "${text}" "tests/levels/${input}: includes ${expected}" at)
    if(at EQUAL -1)
      string(APPEND failures "${level}: not reported: ${expected}\n")
    endif()
  endforeach()
  foreach(fine IN LISTS allowed)
    string(FIND "${text}" "includes ${fine}" at)
    if(NOT at EQUAL -1)
      string(APPEND failures "${level}: reported although allowed: ${fine}\n")
    endif()
  endforeach()
  set(failures "${failures}" PARENT_SCOPE)
  if(NOT failures STREQUAL "")
    set(failures "${failures}output:\n${text}\n" PARENT_SCOPE)
  endif()
endfunction()

expect(app app_includes.txt
  "engine/index/gs6_indxtag.h: the engine below the dataset adapter: reach it through engine/dataset/"
  "engine/foundation/gs6_dbsy.h: the engine below the dataset adapter"
  ALLOWED QString string app/Views.h engine/dataset/Zavaz6UZ.h report/Report.h
  catalog/catalog_files.h)
expect(catalog catalog_includes.txt
  "QWidget: level catalog uses no windowing toolkit"
  "platform/qt/db_grid.h: level catalog may include only"
  "app/Main.h: level catalog may include only"
  ALLOWED engine/table/gs6_DBF.h platform/dataset/dataset.h)
expect(framework framework_includes.txt
  "engine/dataset/Zavaz6UZ.h: level framework may include only platform/services/, platform/dataset/"
  "QObject: level framework uses no windowing toolkit"
  ALLOWED platform/services/exception.h)
if(NOT failures STREQUAL "")
  message(FATAL_ERROR "${failures}")
endif()
