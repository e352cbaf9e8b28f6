# The icon artwork is shared with platform/win32 (the Linux window icon).
target_sources(assetgen PRIVATE ${CMAKE_CURRENT_LIST_DIR}/IconArt.cpp)
# The hicolor PNG icons of the Linux package.
target_sources(assetgen PRIVATE ${CMAKE_CURRENT_LIST_DIR}/HicolorIcons.cpp)
target_link_libraries(assetgen PRIVATE PNG::PNG)
