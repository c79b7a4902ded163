# A layer description for the engine's layer check: one foundation file that
# includes upward and calls the clock itself (upward_include.txt).
get_filename_component(DEVAZOZ_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/../../.. ABSOLUTE)
set(DEVAZOZ_LAYER_foundation_FILES ${CMAKE_CURRENT_LIST_DIR}/upward_include.txt)
set(DEVAZOZ_LAYER_foundation_ALLOWED engine/foundation/gs6_os.h engine/foundation/gs6_eror.h)
set("DEVAZOZ_HEADER_LAYER_engine/index/gs6_indx.h" index)
set("DEVAZOZ_HEADER_LAYER_engine/table/gs6_sql.h" expressions)
