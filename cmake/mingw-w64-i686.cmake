# Cross build for 32-bit Windows: the engine for the clients that still run
# 32-bit Windows.
set(QUILLON_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
