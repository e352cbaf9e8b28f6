# The program's own code, one library per folder: the same sources on
# Windows against the real SDK and on Linux against our layer.
add_library(ostrevin_sdk INTERFACE)
if(WIN32)
  target_link_libraries(ostrevin_sdk INTERFACE d3dx9 d3d9)
  target_compile_definitions(ostrevin_sdk INTERFACE UNICODE _UNICODE)
  target_compile_options(ostrevin_sdk INTERFACE -municode)
else()
  # Headers only: the program links the layer's libraries, the unit tests
  # the recording fakes of d3d9 and USER32 in their place.
  target_link_libraries(ostrevin_sdk INTERFACE ostrevin_platform_headers)
endif()

add_subdirectory(common)
add_subdirectory(mesh)
add_subdirectory(graphics)
add_subdirectory(scene)
add_subdirectory(app)
# The libraries under the shell and the scene object, in link order. A link
# names them before the layer's libraries, which they call.
set(OSTREVIN_PROGRAM_LIBRARIES ostrevin_scene ostrevin_graphics ostrevin_mesh ostrevin_common ostrevin_app)

if(WIN32)
  add_executable(ostrevin WIN32 ${PROJECT_SOURCE_DIR}/app/Ostrevin.rc)
  target_link_libraries(ostrevin PRIVATE ostrevin_shell ostrevin_demo_scene ${OSTREVIN_PROGRAM_LIBRARIES})
  target_link_options(ostrevin PRIVATE -municode -static)
else()
  # The icons reach LoadIconW through the program's resource table, the
  # counterpart of Ostrevin.rc.
  add_executable(ostrevin)
  target_link_libraries(ostrevin PRIVATE ostrevin_shell ostrevin_demo_scene ostrevin_resources
    ${OSTREVIN_PROGRAM_LIBRARIES} ostrevin_d3dx9 ostrevin_d3d9 ostrevin_win32 ostrevin_main)
  set_target_properties(ostrevin PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${OSTREVIN_DEMO_DIR})

  # Shaders next to the executable; the program reads them from its working directory.
  foreach(shader vs-phong.hlsl ps-phong.hlsl)
    add_custom_command(OUTPUT ${OSTREVIN_DEMO_DIR}/${shader}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/assets/${shader} ${OSTREVIN_DEMO_DIR}/${shader}
      DEPENDS ${CMAKE_SOURCE_DIR}/assets/${shader})
    list(APPEND _shader_outputs ${OSTREVIN_DEMO_DIR}/${shader})
  endforeach()
  add_custom_target(ostrevin_shaders ALL DEPENDS ${_shader_outputs})
  add_dependencies(ostrevin ostrevin_shaders ostrevin_data)
endif()
ostrevin_warnings(ostrevin)

