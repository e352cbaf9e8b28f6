# The demo scene on the fake device; reads the built demo folder.
target_sources(unit_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/SceneTests.cpp ${OSTREVIN_SCENE_SOURCES})
add_dependencies(unit_tests ostrevin_data ostrevin_shaders)
