# The texture loader: DDS parser, pixel conversion, and image files through
# stb (header-only; the implementations live in Pixels.cpp and TextureLoader.cpp).
find_path(OSTREVIN_STB_INCLUDE_DIR stb_image.h PATH_SUFFIXES stb REQUIRED)
target_sources(ostrevin_d3dx9 PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/TextureLoader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Dds.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Pfm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Pixels.cpp)
target_include_directories(ostrevin_d3dx9 SYSTEM PRIVATE ${OSTREVIN_STB_INCLUDE_DIR})
