# The device manager and records on the fake device.
target_sources(unit_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/RendererTests.cpp)
