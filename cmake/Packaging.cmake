# Installing and packaging.
# Linux: cmake --install lays the program out as desktop software - a
# launcher on the PATH, the binary under lib/ostrevin, its shaders and Data/
# under share/ostrevin, the gamemodel tool, a desktop entry, the icon in the
# hicolor theme, AppStream metainfo, manual pages, and under
# share/doc/ostrevin the copyright notices and the changelog - and CPack
# makes the Debian package of those files.
# Windows (the mingw-w64 cross build): a ZIP of ostrevin.exe, its shaders,
# Data/, a note on the DirectX 9 runtime and the notices.
set(OSTREVIN_APP_ID org.ostrevin.Ostrevin)
set(_packaging ${CMAKE_SOURCE_DIR}/packaging)
set(_maintainer "Ostrevin developers <dev@ostrevin.invalid>")

# The newest release in CHANGELOG.md is this version; its date goes into the
# metainfo and the manual pages.
file(STRINGS ${CMAKE_SOURCE_DIR}/CHANGELOG.md _release REGEX "^## " LIMIT_COUNT 1 ENCODING UTF-8)
if(NOT _release MATCHES "^## ([^ ]+) — ([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9])$"
   OR NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "CHANGELOG.md: the newest heading must read '## ${PROJECT_VERSION} — YYYY-MM-DD'")
endif()
set(OSTREVIN_RELEASE_DATE ${CMAKE_MATCH_2})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/CHANGELOG.md)
set(_shaders ${CMAKE_SOURCE_DIR}/assets/vs-phong.hlsl ${CMAKE_SOURCE_DIR}/assets/ps-phong.hlsl)

set(CPACK_PACKAGE_NAME ostrevin)
set(CPACK_PACKAGE_VENDOR "Ostrevin")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Interactive 3D demo: a three-part articulated model, Direct3D 9 on OpenGL")
set(CPACK_PACKAGE_DESCRIPTION "Ostrevin draws a lit, textured three-part model whose top part swings on
the middle part, which swings on a fixed pedestal; the arrow keys slide the
camera. A Direct3D 9 program running on SDL2 and OpenGL 3.3 through its own
platform layer.")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
  # The program reads everything from the folder it starts in, so the ZIP
  # is that folder. Data/ comes from the host-built generator.
  set(_data ${CMAKE_BINARY_DIR}/Data)
  set(_data_files ${_data}/top.GAMEMODEL ${_data}/middle.GAMEMODEL ${_data}/bottom.GAMEMODEL ${_data}/panel-01-diff.dds)
  add_custom_command(OUTPUT ${_data_files}
    COMMAND ${OSTREVIN_ASSETGEN} models ${_data}
    COMMAND ${OSTREVIN_ASSETGEN} texture ${_data}
    DEPENDS ${OSTREVIN_ASSETGEN}
    COMMENT "Generating the demo's models and texture")
  add_custom_target(ostrevin_data ALL DEPENDS ${_data_files})
  configure_file(${_packaging}/README-Windows.txt.in ${CMAKE_BINARY_DIR}/packaging/README.txt @ONLY NEWLINE_STYLE WIN32)
  # The project's licence, then the notices of the runtime linked statically.
  # (The substituted text keeps its own line ends: made CRLF here too.)
  file(READ ${CMAKE_SOURCE_DIR}/LICENSE OSTREVIN_LICENSE_TEXT)
  string(REPLACE "\n" "\r\n" OSTREVIN_LICENSE_TEXT "${OSTREVIN_LICENSE_TEXT}")
  configure_file(${_packaging}/NOTICES-Windows.txt.in ${CMAKE_BINARY_DIR}/packaging/NOTICES.txt @ONLY NEWLINE_STYLE WIN32)

  install(TARGETS ostrevin RUNTIME DESTINATION .)
  install(FILES ${_shaders} ${CMAKE_BINARY_DIR}/packaging/README.txt ${CMAKE_BINARY_DIR}/packaging/NOTICES.txt
    DESTINATION .)
  install(FILES ${_data_files} DESTINATION Data)

  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
else()
  include(GNUInstallDirs)
  set(_datadir ${CMAKE_INSTALL_DATADIR}/ostrevin)

  # The icon at the hicolor theme's sizes, drawn by the generator.
  set(_hicolor ${CMAKE_BINARY_DIR}/hicolor)
  add_custom_command(OUTPUT ${_hicolor}/256x256/apps/${OSTREVIN_APP_ID}.png
    COMMAND assetgen hicolor ${_hicolor} ${OSTREVIN_APP_ID}
    DEPENDS assetgen
    COMMENT "Generating the hicolor icons")
  add_custom_target(ostrevin_hicolor ALL DEPENDS ${_hicolor}/256x256/apps/${OSTREVIN_APP_ID}.png)
  configure_file(${_packaging}/${OSTREVIN_APP_ID}.metainfo.xml.in
    ${CMAKE_BINARY_DIR}/packaging/${OSTREVIN_APP_ID}.metainfo.xml @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/launcher.sh.in ${CMAKE_BINARY_DIR}/launcher/ostrevin @ONLY)

  # Manual pages and the changelog, compressed as Debian wants them (gzip -9,
  # no name or time stamp in the header).
  set(_doc ${CMAKE_BINARY_DIR}/packaging/doc)
  set(_man_pages "")
  foreach(page ostrevin.1 gamemodel.1)
    configure_file(${_packaging}/man/${page} ${_doc}/${page} @ONLY)
    add_custom_command(OUTPUT ${_doc}/${page}.gz
      COMMAND gzip -9 -n -f -k ${page}
      WORKING_DIRECTORY ${_doc}
      DEPENDS ${_doc}/${page}
      VERBATIM)
    list(APPEND _man_pages ${_doc}/${page}.gz)
  endforeach()
  add_custom_command(OUTPUT ${_doc}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -DINPUT=${CMAKE_SOURCE_DIR}/CHANGELOG.md -DOUTPUT=${_doc}/changelog.gz
      -DPACKAGE=ostrevin "-DMAINTAINER=${_maintainer}" -P ${CMAKE_SOURCE_DIR}/cmake/DebianChangelog.cmake
    DEPENDS ${CMAKE_SOURCE_DIR}/CHANGELOG.md ${CMAKE_SOURCE_DIR}/cmake/DebianChangelog.cmake
    COMMENT "Writing the Debian changelog from CHANGELOG.md"
    VERBATIM)
  add_custom_target(ostrevin_docs ALL DEPENDS ${_man_pages} ${_doc}/changelog.gz)

  # The binary is architecture-dependent and not run directly: the launcher
  # on the PATH changes to the data folder and runs it from there.
  install(TARGETS ostrevin RUNTIME DESTINATION ${CMAKE_INSTALL_LIBDIR}/ostrevin)
  install(PROGRAMS ${CMAKE_BINARY_DIR}/launcher/ostrevin DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS gamemodel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${_packaging}/copyright ${_doc}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ostrevin)
  install(FILES ${_shaders} DESTINATION ${_datadir})
  install(DIRECTORY ${OSTREVIN_DEMO_DIR}/Data DESTINATION ${_datadir})
  install(FILES ${_packaging}/${OSTREVIN_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${OSTREVIN_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(DIRECTORY ${_hicolor}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${_maintainer}")
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  # Libraries the two binaries link (the tool's: Assimp, meshoptimizer) come
  # from dpkg-shlibdeps. SDL opens the GL library itself at run time:
  # libGL.so.1 under X11 (GLX) and, with libEGL.so.1, under Wayland.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, libegl1")
  # Window decorations under Wayland come from a libdecor plugin.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libdecor-0-plugin-1-cairo | libdecor-0-plugin-1")
endif()
include(CPack)
