# ReadGameModel over arbitrary bytes, and what the loader and the tools do
# with what it accepts (placing, writing back). Seeds: the demo's generated
# models, copied to <build>/tests/fuzz/gamemodel-seeds when the target is built:
#   build-fuzz/tests/fuzz/fuzz_gamemodel -max_len=65536 corpus/ build-fuzz/tests/fuzz/gamemodel-seeds
ostrevin_fuzzer(fuzz_gamemodel SOURCES ${CMAKE_CURRENT_LIST_DIR}/GameModelFuzzer.cpp LIBS ostrevin_gamemodel_io)
add_dependencies(fuzz_gamemodel ostrevin_data)
add_custom_command(TARGET fuzz_gamemodel POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/gamemodel-seeds
  COMMAND ${CMAKE_COMMAND} -E copy ${OSTREVIN_DEMO_DIR}/Data/top.GAMEMODEL ${OSTREVIN_DEMO_DIR}/Data/middle.GAMEMODEL
          ${OSTREVIN_DEMO_DIR}/Data/bottom.GAMEMODEL ${CMAKE_CURRENT_BINARY_DIR}/gamemodel-seeds)
