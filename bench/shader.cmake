# HLSL -> shader code -> GLSL for the two shipped shaders, cold and warm.
# The fake device library supplies IID_IUnknown (no window or GL needed).
if(TARGET ostrevin_fake_d3d9)
  add_executable(bench_shader ${CMAKE_CURRENT_LIST_DIR}/ShaderBench.cpp)
  target_link_libraries(bench_shader PRIVATE ostrevin_d3dx9 ostrevin_shadercode ostrevin_fake_d3d9)
  target_compile_definitions(bench_shader PRIVATE OSTREVIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  ostrevin_warnings(bench_shader)
endif()
