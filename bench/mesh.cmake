# CMesh::Load of the largest model (65,536 vertices, 200,000 indices) on the
# recording fake device, against a plain memcpy of the same bytes.
if(TARGET ostrevin_fake_d3d9)
  add_executable(bench_mesh_load ${CMAKE_CURRENT_LIST_DIR}/MeshLoadBench.cpp)
  target_link_libraries(bench_mesh_load PRIVATE ostrevin_core ostrevin_d3dx9 ostrevin_fake_d3d9 ostrevin_fake_user32)
  target_include_directories(bench_mesh_load PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  ostrevin_warnings(bench_mesh_load)
endif()
