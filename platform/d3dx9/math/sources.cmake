target_sources(ostrevin_d3dx9 PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Math.cpp)
