# D3DXCompileShader over arbitrary HLSL (first byte: vertex or pixel), which
# also runs the GLSL translation, plus DecodeShaderCode over the same bytes.
#   build-fuzz/tests/fuzz/fuzz_hlsl -max_len=4096 -dict=... corpus/ <dir with .hlsl seeds, e.g. assets/>
# IID_IUnknown comes from the win32 layer.
ostrevin_fuzzer(fuzz_hlsl SOURCES ${CMAKE_CURRENT_LIST_DIR}/HlslFuzzer.cpp
  LIBS ostrevin_d3dx9 ostrevin_shadercode ostrevin_win32)
