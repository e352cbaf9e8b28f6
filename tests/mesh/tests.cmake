# GAMEMODEL reading and meshes on the fake device.
target_sources(unit_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/MeshTests.cpp)

# The gamemodel tool and assetgen's models, run as programs, and the tool's
# sandbox on its own.
ostrevin_gtest(gamemodel_tool_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/GameModelToolTests.cpp ${CMAKE_CURRENT_LIST_DIR}/SandboxTests.cpp
          ${CMAKE_CURRENT_LIST_DIR}/AssimpTestModelsTests.cpp
  LIBS ostrevin_gamemodel_tool)
target_compile_definitions(gamemodel_tool_tests PRIVATE
  GAMEMODEL_TOOL="$<TARGET_FILE:gamemodel>" ASSETGEN_TOOL="$<TARGET_FILE:assetgen>")
add_dependencies(gamemodel_tool_tests gamemodel assetgen)
