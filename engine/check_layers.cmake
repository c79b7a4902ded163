# Refuses an #include that reaches above a layer of the Devazoz engine.
#
# Run as: cmake -DLAYER_FILE=<file> -DLAYER=<name> [-DSTAMP=<file>] -P check_layers.cmake
# LAYER_FILE (written by engine/CMakeLists.txt) sets:
#   DEVAZOZ_LAYER_<name>_FILES    the layer's sources and headers (absolute paths)
#   DEVAZOZ_LAYER_<name>_ALLOWED  the headers it may include: its own and those of the
#                                 layers below it (paths relative to the source root)
#   DEVAZOZ_HEADER_LAYER_<header> the layer every engine header belongs to
#   DEVAZOZ_SOURCE_ROOT           the source root
# Every "engine/..." include (quoted or in angle brackets, or a bare file name that
# lies in the including file's folder) must be on the allowed list; no engine file
# may include a Qt header or the Qt stand-ins. Any offence fails with one line per
# include; otherwise STAMP is touched.
cmake_minimum_required(VERSION 3.20)

include(${LAYER_FILE})
set(files ${DEVAZOZ_LAYER_${LAYER}_FILES})
set(allowed ${DEVAZOZ_LAYER_${LAYER}_ALLOWED})
set(problems "")
foreach(file IN LISTS files)
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  file(RELATIVE_PATH relative ${DEVAZOZ_SOURCE_ROOT} ${file})
  get_filename_component(folder ${relative} DIRECTORY)
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"]")
      continue()
    endif()
    set(target ${CMAKE_MATCH_1})
    if(NOT target MATCHES "/" AND EXISTS ${DEVAZOZ_SOURCE_ROOT}/${folder}/${target})
      set(target ${folder}/${target})
    endif()
    if(target MATCHES "^(Q[A-Za-z]*|Qt[A-Za-z]*/.*|platform/qt/.*)$")
      string(APPEND problems "${relative}: includes ${target}: the engine uses no windowing toolkit\n")
    elseif(target MATCHES "^engine/")
      list(FIND allowed ${target} at)
      if(at EQUAL -1)
        set(owner "${DEVAZOZ_HEADER_LAYER_${target}}")
        if(owner STREQUAL "")
          set(owner "no layer")
        endif()
        string(APPEND problems
               "${relative}: includes ${target} of layer ${owner}, above layer ${LAYER}\n")
      endif()
    endif()
  endforeach()
endforeach()
if(NOT problems STREQUAL "")
  message(FATAL_ERROR "Devazoz engine layer ${LAYER}: upward include\n${problems}")
endif()
if(STAMP)
  file(TOUCH ${STAMP})
endif()
