# The icon artwork, drawn for ostrevin.ico and the Linux resource table.
target_sources(assetgen PRIVATE ${CMAKE_CURRENT_LIST_DIR}/IconArt.cpp)
# The hicolor PNG icons of the Linux package.
target_sources(assetgen PRIVATE ${CMAKE_CURRENT_LIST_DIR}/HicolorIcons.cpp)
target_link_libraries(assetgen PRIVATE PNG::PNG)
