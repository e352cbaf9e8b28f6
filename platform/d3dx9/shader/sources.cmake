# D3DXCompileShader, ID3DXBuffer and ID3DXConstantTable over glslang's HLSL
# front end; the code buffer is the layer's shader code (platform/shadercode).
target_sources(ostrevin_d3dx9 PRIVATE ${CMAKE_CURRENT_LIST_DIR}/CompileShader.cpp)
target_link_libraries(ostrevin_d3dx9 PRIVATE ostrevin_shadercode glslang::glslang glslang::SPIRV
  glslang::glslang-default-resource-limits spirv-cross-core Threads::Threads)
# Debian's glslang is built without RTTI: UBSan's vptr check would need its
# type_info, so it is off for the file that calls glslang.
if(OSTREVIN_FUZZ OR OSTREVIN_SANITIZE MATCHES "undefined")
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/CompileShader.cpp PROPERTIES COMPILE_OPTIONS -fno-sanitize=vptr)
endif()
