# Refuses an #include that crosses the levels above and beside the engine.
#
# Run as: cmake -DLEVEL=<name> -DROOT=<source root> -DFOLDER=<folder> [-DSTAMP=<file>]
#         -P check_levels.cmake
# checks the sources and headers of FOLDER (relative to ROOT); -DFILES=<files>
# (absolute paths) checks those files instead.
#
# The levels, lowest first (the engine's own layers are checked by
# engine/check_layers.cmake):
#
#   services    platform/services/  below the engine: dates, code pages, paths, ...
#   (engine)    engine/foundation, table, index; engine/dataset is the adapter
#   framework   platform/dataset/   the data-access framework
#   catalog     catalog/            the catalog's own logic without windows; like the
#                                   tools it uses the engine (it creates tables)
#   controls    platform/qt/        data-aware controls and windowing stand-ins
#   report      report/             the report engine
#   app         app/                the catalog program
#
# A level may include the headers of the folders listed for it below, and its own.
# The program reaches the engine only through the dataset adapter (engine/dataset/)
# and the catalog logic, never the layers below the adapter; Qt is for the controls,
# the report engine and the program only. Any offence fails with one line per offence; otherwise STAMP is
# touched.
cmake_minimum_required(VERSION 3.20)

set(services_may platform/services/)
set(framework_may platform/services/ platform/dataset/)
set(catalog_may platform/services/ platform/dataset/ engine/ catalog/)
set(controls_may platform/services/ platform/dataset/ platform/qt/)
set(report_may platform/services/ platform/dataset/ platform/qt/ report/)
set(app_may platform/services/ platform/dataset/ engine/dataset/ catalog/ platform/qt/ report/
    app/)
set(qt_levels controls report app)
# What a refused folder is, for the message.
set(engine_below "the engine below the dataset adapter: reach it through engine/dataset/")

if(NOT DEFINED ${LEVEL}_may)
  message(FATAL_ERROR "check_levels: unknown level ${LEVEL}")
endif()
set(may ${${LEVEL}_may})
list(FIND qt_levels ${LEVEL} qt_at)

if(NOT DEFINED FILES)
  file(GLOB FILES ${ROOT}/${FOLDER}/*.cpp ${ROOT}/${FOLDER}/*.h)
endif()

set(problems "")
foreach(file IN LISTS FILES)
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  file(RELATIVE_PATH relative ${ROOT} ${file})
  get_filename_component(folder ${relative} DIRECTORY)
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "#[ \t]*include[ \t]*([<\"])([^>\"]+)[>\"]")
      continue()
    endif()
    set(target ${CMAKE_MATCH_2})
    if(target MATCHES "^(Q[A-Za-z0-9]*|Qt[A-Za-z]*/.*)$")
      if(qt_at EQUAL -1)
        string(APPEND problems "${relative}: includes ${target}: level ${LEVEL} uses no windowing toolkit\n")
      endif()
      continue()
    endif()
    if(NOT target MATCHES "/")
      # A bare name: a header beside the file, or a system header.
      continue()
    endif()
    if(NOT target MATCHES "^(platform|engine|catalog|report|app|tools|tests|bench|fuzz)/")
      continue()
    endif()
    set(allowed FALSE)
    foreach(prefix IN LISTS may)
      string(FIND "${target}" "${prefix}" at)
      if(at EQUAL 0)
        set(allowed TRUE)
      endif()
    endforeach()
    if(NOT allowed)
      if(target MATCHES "^engine/" AND NOT target MATCHES "^engine/dataset/")
        set(what "${engine_below}")
      else()
        string(REPLACE ";" ", " list "${may}")
        set(what "level ${LEVEL} may include only ${list}")
      endif()
      string(APPEND problems "${relative}: includes ${target}: ${what}\n")
    endif()
  endforeach()
endforeach()
if(NOT problems STREQUAL "")
  message("${problems}")
  message(FATAL_ERROR "Level ${LEVEL}: includes it may not make (see the README's layout table)")
endif()
if(STAMP)
  file(TOUCH ${STAMP})
endif()
