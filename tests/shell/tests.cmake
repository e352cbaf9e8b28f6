# The shell (app/Shell.cpp) on the real USER32 layer, with a recording
# stand-in for the scene, and the layer's own window, message and keyboard
# behaviour. Needs the test display.
ostrevin_gtest(shell_tests DISPLAY
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/Child.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ShellTests.cpp
    ${CMAKE_CURRENT_LIST_DIR}/User32Tests.cpp
    ${CMAKE_CURRENT_LIST_DIR}/IconTests.cpp
    ${CMAKE_SOURCE_DIR}/app/Shell.cpp
    ${CMAKE_SOURCE_DIR}/app/GameApplication.cpp
    ${CMAKE_SOURCE_DIR}/tools/assetgen/Icons.cpp
  LIBS ostrevin_win32 ostrevin_switches)
# The stand-in scene/Ostrevin3D.h must win over the repository's own.
target_include_directories(shell_tests BEFORE PRIVATE ${CMAKE_CURRENT_LIST_DIR}/standin)
target_include_directories(shell_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools)
