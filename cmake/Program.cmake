# The program's own code: one source for Windows and Linux.
set(OSTREVIN_CORE_SOURCES
  ${CMAKE_SOURCE_DIR}/app/GameApplication.cpp
  ${CMAKE_SOURCE_DIR}/common/ReadWholeFile.cpp
  ${CMAKE_SOURCE_DIR}/graphics/Renderer.cpp
  ${CMAKE_SOURCE_DIR}/graphics/Shader.cpp
  ${CMAKE_SOURCE_DIR}/graphics/Texture.cpp
  ${CMAKE_SOURCE_DIR}/mesh/Vertex.cpp
  ${CMAKE_SOURCE_DIR}/mesh/Mesh.cpp
  ${CMAKE_SOURCE_DIR}/scene/Entity.cpp
  ${CMAKE_SOURCE_DIR}/scene/EntityModel.cpp
  ${CMAKE_SOURCE_DIR}/scene/Camera.cpp
)
# The shell and the scene object; tests compile the shell against a stand-in.
set(OSTREVIN_SHELL_SOURCES ${CMAKE_SOURCE_DIR}/app/Shell.cpp)
set(OSTREVIN_SCENE_SOURCES ${CMAKE_SOURCE_DIR}/scene/Ostrevin3D.cpp)

if(NOT WIN32)
  # Everything but the shell and the scene: the unit tests link this against
  # either the OpenGL device or the recording fake.
  add_library(ostrevin_core STATIC ${OSTREVIN_CORE_SOURCES})
  target_include_directories(ostrevin_core PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(ostrevin_core PUBLIC ostrevin_platform_headers ostrevin_gamemodel_io)
  ostrevin_warnings(ostrevin_core)

  add_executable(ostrevin ${OSTREVIN_SHELL_SOURCES} ${OSTREVIN_SCENE_SOURCES})
  target_link_libraries(ostrevin PRIVATE ostrevin_core ostrevin_d3dx9 ostrevin_d3d9 ostrevin_win32 ostrevin_main)
  ostrevin_warnings(ostrevin)
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

if(NOT WIN32)
  # cmake --install: the program and its data in one folder (it reads its
  # inputs relative to the working directory), and a launcher on the PATH
  # that runs it from there.
  include(GNUInstallDirs)
  set(_appdir ${CMAKE_INSTALL_LIBDIR}/ostrevin)
  install(TARGETS ostrevin RUNTIME DESTINATION ${_appdir})
  install(FILES ${CMAKE_SOURCE_DIR}/assets/vs-phong.hlsl ${CMAKE_SOURCE_DIR}/assets/ps-phong.hlsl DESTINATION ${_appdir})
  install(DIRECTORY ${OSTREVIN_DEMO_DIR}/Data DESTINATION ${_appdir})
  configure_file(${CMAKE_SOURCE_DIR}/cmake/launcher.sh.in ${CMAKE_BINARY_DIR}/launcher/ostrevin @ONLY)
  install(PROGRAMS ${CMAKE_BINARY_DIR}/launcher/ostrevin DESTINATION ${CMAKE_INSTALL_BINDIR})

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME ostrevin)
  set(CPACK_PACKAGE_VENDOR "Ostrevin")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Interactive 3D demo: a three-part articulated model, Direct3D 9 on OpenGL")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Ostrevin developers <dev@ostrevin.invalid>")
  set(CPACK_DEBIAN_PACKAGE_SECTION games)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  include(CPack)
endif()
