# D3DX 9 math: matrices, camera and projection builders, vector routines.
ostrevin_gtest(math_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/MathTests.cpp LIBS ostrevin_d3dx9)
