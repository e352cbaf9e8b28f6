# The DDS parser and the texture loader (all image formats) on a stub device.
# The loader's sources are built in, so the target needs no shader compiler.
ostrevin_fuzzer(fuzz_dds
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/DdsFuzzer.cpp
    ${CMAKE_SOURCE_DIR}/platform/d3dx9/texture/Dds.cpp
    ${CMAKE_SOURCE_DIR}/platform/d3dx9/texture/Pfm.cpp
    ${CMAKE_SOURCE_DIR}/platform/d3dx9/texture/Pixels.cpp
    ${CMAKE_SOURCE_DIR}/platform/d3dx9/texture/TextureLoader.cpp
  LIBS ostrevin_platform_headers ostrevin_formats)
target_include_directories(fuzz_dds SYSTEM PRIVATE ${OSTREVIN_STB_INCLUDE_DIR})
