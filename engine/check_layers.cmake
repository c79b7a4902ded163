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
# may include a Qt header or the Qt stand-ins, nor the program, the report engine,
# the catalog logic or the tools; only the dataset layer may include the data-access
# framework (platform/dataset/); no engine file but gs6_os.cpp may call
# the clock or the current directory. Any offence fails with one line per offence;
# otherwise STAMP is touched.
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
    elseif(target MATCHES "^(app|report|catalog|tools|tests)/")
      string(APPEND problems "${relative}: includes ${target}: the engine uses nothing built on it\n")
    elseif(target MATCHES "^platform/dataset/" AND NOT LAYER STREQUAL "dataset")
      string(APPEND problems "${relative}: includes ${target}: only the dataset adapter uses the "
                             "data-access framework\n")
    elseif(target MATCHES "^engine/")
      list(FIND allowed ${target} at)
      if(at EQUAL -1)
        set(owner "layer ${DEVAZOZ_HEADER_LAYER_${target}}")
        if(owner STREQUAL "layer ")
          set(owner "no layer")
        endif()
        string(APPEND problems
               "${relative}: includes ${target} of ${owner}, above layer ${LAYER}\n")
      endif()
    endif()
  endforeach()
  # The clock and the current directory, like every other system call, go through
  # the engine's OS file.
  if(NOT relative STREQUAL "engine/foundation/gs6_os.cpp")
    file(STRINGS ${file} calls REGEX "(time|clock|getcwd|chdir|Directory|ExpandFileName|CurrentDate)")
    foreach(line IN LISTS calls)
      string(REGEX REPLACE "//.*$" "" code "${line}")
      if(code MATCHES "platform::(CurrentLocalTime|CurrentDate|ExpandFileName|CurrentDirectory|ExecutableDirectory)[ \t]*\\(" OR
         code MATCHES "(^|[^A-Za-z0-9_.>])(time|clock_gettime|gettimeofday|getcwd|get_current_dir_name|chdir|fchdir|localtime|localtime_r|gmtime|gmtime_r|current_path)[ \t]*\\(" OR
         code MATCHES "std::chrono::(system|steady|high_resolution)_clock")
        string(STRIP "${code}" code)
        string(APPEND problems "${relative}: calls the clock or the current directory outside "
                               "engine/foundation/gs6_os.cpp: ${code}\n")
      endif()
    endforeach()
  endif()
endforeach()
if(NOT problems STREQUAL "")
  # One unwrapped line per offence, then the failure.
  message("${problems}")
  message(FATAL_ERROR "Devazoz engine layer ${LAYER}: includes or calls its layer may not make")
endif()
if(STAMP)
  file(TOUCH ${STAMP})
endif()
