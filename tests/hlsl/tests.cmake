# HLSL compiler, constant table, shader code and GLSL translation (on the
# fake device for register writes; glslang itself checks the emitted GLSL).
find_package(glslang REQUIRED)  # imported targets are per directory
ostrevin_gtest(hlsl_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CompileShaderTests.cpp ${CMAKE_CURRENT_LIST_DIR}/GlslTranslatorTests.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ChildProcessTests.cpp ${CMAKE_CURRENT_LIST_DIR}/ShaderCacheTests.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HlslFidelityTests.cpp
  LIBS ostrevin_d3dx9 ostrevin_shadercode ostrevin_fake_d3d9 glslang::glslang glslang::SPIRV
    glslang::glslang-default-resource-limits)
# CShader records made by CRenderer::LoadShader on the fake device.
target_sources(unit_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ShaderRecordTests.cpp)
# glslang has no RTTI (see platform/d3dx9/CMakeLists.txt).
if(OSTREVIN_SANITIZE MATCHES "undefined")
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/GlslTranslatorTests.cpp PROPERTIES COMPILE_OPTIONS -fno-sanitize=vptr)
endif()
