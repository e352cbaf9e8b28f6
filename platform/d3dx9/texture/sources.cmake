target_sources(ostrevin_d3dx9 PRIVATE ${CMAKE_CURRENT_LIST_DIR}/TextureLoader.cpp ${CMAKE_CURRENT_LIST_DIR}/Dds.cpp)
