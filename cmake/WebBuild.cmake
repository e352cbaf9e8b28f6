# The web build (emcmake, from scripts/web.sh): the program and the layer
# compiled to WebAssembly over SDL2's emscripten video driver and WebGL2,
# with glslang, SPIRV-Cross and SDL2 built for wasm from Debian's sources
# (found through CMAKE_FIND_ROOT_PATH). The demo's data comes from a native
# build's assetgen (OSTREVIN_WEB_HOST_BUILD), since the host tools cannot run
# here. Output: build-web/page/ (ostrevin.js, .wasm, .data, index.html).
set(OSTREVIN_WEB_HOST_BUILD "" CACHE PATH "Native build folder whose assetgen wrote demo/Data and icons/")
if(NOT EXISTS ${OSTREVIN_WEB_HOST_BUILD}/demo/Data/top.GAMEMODEL)
  message(FATAL_ERROR "OSTREVIN_WEB_HOST_BUILD must be a native build with the demo's data (target ostrevin_data)")
endif()

# SPIRV-Cross reports through exceptions, which the translator catches.
add_compile_options(-fexceptions)
add_link_options(-fexceptions)

find_package(SDL2 REQUIRED CONFIG)
if(NOT TARGET SDL2::SDL2)
  add_library(SDL2::SDL2 INTERFACE IMPORTED)
  set_target_properties(SDL2::SDL2 PROPERTIES INTERFACE_LINK_LIBRARIES SDL2::SDL2-static)
endif()
find_package(Threads REQUIRED)
# Made by scripts/web.sh from glslang's sources (its CMake builds it with the
# executables only).
if(NOT TARGET glslang::glslang-default-resource-limits)
  find_library(OSTREVIN_GLSLANG_LIMITS glslang-default-resource-limits REQUIRED)
  add_library(glslang::glslang-default-resource-limits STATIC IMPORTED)
  set_target_properties(glslang::glslang-default-resource-limits PROPERTIES IMPORTED_LOCATION ${OSTREVIN_GLSLANG_LIMITS})
endif()

# The GL back's types and enums come from the Khronos core header, which the
# emscripten sysroot lacks: the host's copy (platform independent) is used.
find_file(OSTREVIN_GLCOREARB GL/glcorearb.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(COPY ${OSTREVIN_GLCOREARB} DESTINATION ${CMAKE_BINARY_DIR}/include/GL)
include_directories(SYSTEM ${CMAKE_BINARY_DIR}/include)
# The libraries' headers as the sources name them (<spirv_cross/...>).
foreach(_root ${CMAKE_FIND_ROOT_PATH})
  if(EXISTS ${_root}/include/spirv_cross)
    include_directories(SYSTEM ${_root}/include)
  endif()
endforeach()

set(OSTREVIN_DEMO_DIR ${CMAKE_BINARY_DIR}/demo)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/icons/ostrevin-48.inc ${OSTREVIN_DEMO_DIR}/Data/top.GAMEMODEL
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${OSTREVIN_WEB_HOST_BUILD}/demo/Data ${OSTREVIN_DEMO_DIR}/Data
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${OSTREVIN_WEB_HOST_BUILD}/icons ${CMAKE_BINARY_DIR}/icons
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/assets/vs-phong.hlsl ${CMAKE_SOURCE_DIR}/assets/ps-phong.hlsl
    ${OSTREVIN_DEMO_DIR}
  DEPENDS ${OSTREVIN_WEB_HOST_BUILD}/demo/Data/top.GAMEMODEL ${CMAKE_SOURCE_DIR}/assets/vs-phong.hlsl
    ${CMAKE_SOURCE_DIR}/assets/ps-phong.hlsl
  COMMENT "Copying the demo's data from the native build")
add_custom_target(ostrevin_data DEPENDS ${CMAKE_BINARY_DIR}/icons/ostrevin-48.inc ${OSTREVIN_DEMO_DIR}/Data/top.GAMEMODEL)

add_subdirectory(platform)
# The program's folders against the layer's headers, as in cmake/Program.cmake.
add_library(ostrevin_sdk INTERFACE)
target_link_libraries(ostrevin_sdk INTERFACE ostrevin_platform_headers)
add_subdirectory(common)
add_subdirectory(mesh)
add_subdirectory(graphics)
add_subdirectory(scene)
add_subdirectory(app)
add_dependencies(ostrevin_resources ostrevin_data)

set(OSTREVIN_PAGE_DIR ${CMAKE_BINARY_DIR}/page)
add_executable(ostrevin)
target_link_libraries(ostrevin PRIVATE ostrevin_shell ostrevin_demo_scene ostrevin_resources
  ostrevin_scene ostrevin_graphics ostrevin_mesh ostrevin_common ostrevin_app
  ostrevin_d3dx9 ostrevin_d3d9 ostrevin_win32 ostrevin_main)
add_dependencies(ostrevin ostrevin_data)
set_target_properties(ostrevin PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${OSTREVIN_PAGE_DIR} SUFFIX .js)
# The demo's folder is the page's working directory (platform/web/pre.js):
# the program finds its shaders and Data/ at the same relative paths as on
# the desktop, and writes its empty a.out there.
# ASYNCIFY instruments every function that may be on the stack when
# Present yields; the shader libraries never are (no call of theirs reaches
# the device), so they are left as they are: a smaller module, a shorter
# link.
target_link_options(ostrevin PRIVATE
  -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2 -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536
  "-sASYNCIFY_REMOVE=glslang::*,spirv_cross::*,spvtools::*"
  -sALLOW_MEMORY_GROWTH -sEXIT_RUNTIME=1 -sENVIRONMENT=web
  "SHELL:--preload-file ${OSTREVIN_DEMO_DIR}@/demo"
  "SHELL:--pre-js ${CMAKE_SOURCE_DIR}/platform/web/pre.js")
set_property(TARGET ostrevin APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/platform/web/pre.js)
configure_file(${CMAKE_SOURCE_DIR}/platform/web/index.html ${OSTREVIN_PAGE_DIR}/index.html COPYONLY)
