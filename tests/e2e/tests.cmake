# The real program under the Xvfb display of ./test.sh.
find_package(X11 REQUIRED)
ostrevin_gtest(demo_tests DISPLAY
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/DemoTests.cpp
  LIBS ostrevin_core ostrevin_d3dx9 ostrevin_fake_d3d9 ostrevin_fake_user32 PNG::PNG X11::X11)
add_dependencies(demo_tests ostrevin)
