# The device manager and records on the fake device.
target_sources(unit_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/RendererTests.cpp)

# The OpenGL device under Xvfb.
ostrevin_gtest(gl_device_tests DISPLAY
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/GlDeviceTests.cpp ${CMAKE_CURRENT_LIST_DIR}/GlStateCacheTests.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DrawSemanticsTests.cpp
  LIBS ostrevin_core ostrevin_d3dx9 ostrevin_d3d9 ostrevin_win32 SDL2::SDL2 PNG::PNG)
