target_sources(ostrevin_d3dx9 PRIVATE ${CMAKE_CURRENT_LIST_DIR}/CompileShader.cpp)
target_link_libraries(ostrevin_d3dx9 PRIVATE ostrevin_shadercode glslang::glslang glslang::SPIRV glslang::glslang-default-resource-limits)
