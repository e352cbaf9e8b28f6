# The D3DX texture loader and DDS parser, and the texture records of CRenderer.
target_sources(unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/DdsTests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FormatTableTests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextureLoaderTests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextureCacheTests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextureFailureTests.cpp)

# The loader's level 0 for one generated file per format and mip layout,
# against Pillow or the masks read by the script (skipped without Pillow).
add_executable(texture_dump ${CMAKE_CURRENT_LIST_DIR}/TextureDump.cpp)
target_link_libraries(texture_dump PRIVATE ostrevin_d3dx9)
target_include_directories(texture_dump PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
ostrevin_warnings(texture_dump)
find_program(OSTREVIN_SYSTEM_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
add_test(NAME TextureDecodeCompare
  COMMAND ${OSTREVIN_SYSTEM_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/decode_compare.py $<TARGET_FILE:texture_dump>)
set_tests_properties(TextureDecodeCompare PROPERTIES SKIP_RETURN_CODE 77)

# Loaded textures sampled through the OpenGL device under Xvfb.
ostrevin_gtest(gl_texture_tests DISPLAY
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/GlTextureTests.cpp
  LIBS ostrevin_core ostrevin_d3dx9 ostrevin_d3d9 ostrevin_win32 SDL2::SDL2 PNG::PNG)
