# The D3DX texture loader and DDS parser, and the texture records of CRenderer.
target_sources(unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/DdsTests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FormatTableTests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextureLoaderTests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextureCacheTests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextureFailureTests.cpp)
