# Windows: the same program sources against the real SDK (mingw-w64).
# The icon images come from our asset generator, built for the host by the
# Linux build; pass its path as OSTREVIN_ASSETGEN.
set(OSTREVIN_ASSETGEN "" CACHE FILEPATH "Host-built tools/assetgen executable")
if(NOT OSTREVIN_ASSETGEN)
  message(FATAL_ERROR "Set OSTREVIN_ASSETGEN to the host build's assetgen (build/tools/assetgen)")
endif()

include(${CMAKE_SOURCE_DIR}/cmake/Program.cmake)
# The SDK's own headers come with the compiler; the GAMEMODEL reading
# library links this name on both systems.
add_library(ostrevin_platform_headers INTERFACE)
add_subdirectory(${CMAKE_SOURCE_DIR}/mesh ${CMAKE_BINARY_DIR}/mesh)
set(_icons ${CMAKE_BINARY_DIR}/icons)
add_custom_command(OUTPUT ${_icons}/ostrevin.ico
  COMMAND ${OSTREVIN_ASSETGEN} icons ${_icons}
  DEPENDS ${OSTREVIN_ASSETGEN})
set_source_files_properties(${CMAKE_SOURCE_DIR}/app/Ostrevin.rc PROPERTIES
  OBJECT_DEPENDS ${_icons}/ostrevin.ico)

set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${_icons}")
