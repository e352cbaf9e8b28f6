# HLSL -> shader code -> GLSL for the two shipped shaders, cold and warm; then,
# where a display opens, the pair on a device and the demo's texture loaded.
add_executable(bench_shader ${CMAKE_CURRENT_LIST_DIR}/ShaderBench.cpp)
target_link_libraries(bench_shader PRIVATE ostrevin_core ostrevin_d3dx9 ostrevin_d3d9 ostrevin_shadercode ostrevin_win32
                                           SDL2::SDL2 OpenGL::GL)
target_compile_definitions(bench_shader PRIVATE OSTREVIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                               OSTREVIN_DEMO_DIR_W=L"${OSTREVIN_DEMO_DIR}")
ostrevin_warnings(bench_shader)
