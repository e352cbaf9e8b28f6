# The shell (app/Shell.cpp) on the real USER32 layer, driving a recording
# stand-in application, with the program's icon table; the layer's own
# window, message and keyboard behaviour and its text conversion; and the
# icon file assetgen writes.
# Needs the test display.
ostrevin_gtest(shell_tests DISPLAY
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/Child.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StandInApplication.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ShellTests.cpp
    ${CMAKE_CURRENT_LIST_DIR}/User32Tests.cpp
    ${CMAKE_CURRENT_LIST_DIR}/IconTests.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UtfTests.cpp
    ${CMAKE_SOURCE_DIR}/app/Shell.cpp
    ${CMAKE_SOURCE_DIR}/app/GameApplication.cpp
    ${CMAKE_SOURCE_DIR}/app/OstrevinResources.cpp
    ${CMAKE_SOURCE_DIR}/tools/assetgen/Icons.cpp
    ${CMAKE_SOURCE_DIR}/tools/assetgen/IconArt.cpp
  LIBS ostrevin_win32 ostrevin_switches ostrevin_layer_common)
target_include_directories(shell_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools ${CMAKE_BINARY_DIR}/icons)
add_dependencies(shell_tests ostrevin_data)
