# CPU cost of one frame's device calls of the demo's shape through the layer,
# against the same GL calls made directly in the same context (needs a display).
add_executable(bench_device_calls ${CMAKE_CURRENT_LIST_DIR}/device_calls/DeviceCallsBench.cpp)
target_link_libraries(bench_device_calls PRIVATE ostrevin_core ostrevin_d3dx9 ostrevin_d3d9 ostrevin_shadercode
                                                 ostrevin_win32 SDL2::SDL2 OpenGL::GL ${CMAKE_DL_LIBS})
target_compile_definitions(bench_device_calls PRIVATE OSTREVIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
ostrevin_warnings(bench_device_calls)
