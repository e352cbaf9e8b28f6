# The frame benchmark's baseline (scripts/bench.sh): the demo's frame as a
# plain SDL2 + OpenGL program, and the LD_PRELOAD shim that counts
# allocations and times the first swap of whichever program it is loaded in.
#
# The reference loads GLSL that a build step makes from the shipped HLSL with
# the layer's own compiler and translator, so that at run time it does what a
# plain GL program does: read GLSL, compile, link. Its start-up is the
# baseline that ostrevin's run-time HLSL compilation is measured against.
set(_ref_glsl_dir ${CMAKE_CURRENT_BINARY_DIR}/reference)

add_executable(ostrevin_reference_glsl ${CMAKE_CURRENT_LIST_DIR}/reference/DumpGlsl.cpp)
target_link_libraries(ostrevin_reference_glsl PRIVATE ostrevin_core ostrevin_d3dx9 ostrevin_shadercode ostrevin_win32)
ostrevin_warnings(ostrevin_reference_glsl)

add_custom_command(
  OUTPUT ${_ref_glsl_dir}/vs.glsl ${_ref_glsl_dir}/ps.glsl ${_ref_glsl_dir}/layout.txt
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_ref_glsl_dir}
  # A build writes nothing to the user's cache of compiled shaders.
  COMMAND ${CMAKE_COMMAND} -E env OSTREVIN_SHADER_CACHE=0
    $<TARGET_FILE:ostrevin_reference_glsl> ${CMAKE_SOURCE_DIR}/assets ${_ref_glsl_dir}
  DEPENDS ostrevin_reference_glsl ${CMAKE_SOURCE_DIR}/assets/vs-phong.hlsl ${CMAKE_SOURCE_DIR}/assets/ps-phong.hlsl
  COMMENT "GLSL of the shipped shaders for ostrevin_reference")
add_custom_target(ostrevin_reference_shaders DEPENDS ${_ref_glsl_dir}/vs.glsl ${_ref_glsl_dir}/ps.glsl
                                                     ${_ref_glsl_dir}/layout.txt)

add_executable(ostrevin_reference ${CMAKE_CURRENT_LIST_DIR}/reference/Reference.cpp)
# Only the GAMEMODEL reader and ReadWholeFile come from the program's code;
# no Direct3D or D3DX function is linked.
target_link_libraries(ostrevin_reference PRIVATE ostrevin_core SDL2::SDL2 OpenGL::GL)
target_compile_definitions(ostrevin_reference PRIVATE OSTREVIN_REFERENCE_GLSL_DIR="${_ref_glsl_dir}")
ostrevin_warnings(ostrevin_reference)
add_dependencies(ostrevin_reference ostrevin_reference_shaders ostrevin_data)

add_library(ostrevin_bench_shim SHARED ${CMAKE_CURRENT_LIST_DIR}/reference/BenchShim.c)
target_link_libraries(ostrevin_bench_shim PRIVATE ${CMAKE_DL_LIBS})
ostrevin_warnings(ostrevin_bench_shim)
