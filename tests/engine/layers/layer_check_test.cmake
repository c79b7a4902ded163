# The engine's layer check on upward_include.txt: it fails, names every offence,
# and lets the allowed includes and a clock call in a comment pass.
# Run as: cmake -DCHECK=<engine/check_layers.cmake> -P layer_check_test.cmake
execute_process(
  COMMAND ${CMAKE_COMMAND} -DLAYER_FILE=${CMAKE_CURRENT_LIST_DIR}/upward.cmake -DLAYER=foundation
          -P ${CHECK}
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(text "${out}${err}")
set(failures "")
if(result EQUAL 0)
  string(APPEND failures "the check passed\n")
endif()
set(file "tests/engine/layers/upward_include.txt: ")
foreach(expected
    "includes engine/index/gs6_indx.h of layer index, above layer foundation"
    "includes engine/table/gs6_sql.h of layer expressions, above layer foundation"
    "includes engine/nowhere/gs6_none.h of no layer, above layer foundation"
    "includes QString: the engine uses no windowing toolkit"
    "includes platform/dataset/dataset.h: only the dataset adapter uses the data-access framework"
    "includes app/Main.h: the engine uses nothing built on it"
    "outside engine/foundation/gs6_os.cpp: return int(time(nullptr)) + lock_wait_time;"
    "outside engine/foundation/gs6_os.cpp: std::string Here() { return platform::CurrentDirectory(); }")
  string(FIND "${text}" "${file}" at_file)
  string(FIND "${text}" "${expected}" at)
  if(at EQUAL -1 OR at_file EQUAL -1)
    string(APPEND failures "not reported: ${expected}\n")
  endif()
endforeach()
foreach(allowed "gs6_os.h" "gs6_eror.h" "numtext" "<string>" "in a comment")
  string(FIND "${text}" "${allowed}" at)
  if(NOT at EQUAL -1)
    string(APPEND failures "reported although allowed: ${allowed}\n")
  endif()
endforeach()
if(NOT failures STREQUAL "")
  message(FATAL_ERROR "${failures}output:\n${text}")
endif()
