# HLSL -> shader code -> GLSL for the two shipped shaders, cold and warm.
# IID_IUnknown comes from the win32 layer (no window is opened).
add_executable(bench_shader ${CMAKE_CURRENT_LIST_DIR}/ShaderBench.cpp)
target_link_libraries(bench_shader PRIVATE ostrevin_d3dx9 ostrevin_shadercode ostrevin_win32)
target_compile_definitions(bench_shader PRIVATE OSTREVIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
ostrevin_warnings(bench_shader)
