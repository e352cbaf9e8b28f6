# The icon artwork, drawn for ostrevin.ico and the Linux resource table.
target_sources(assetgen PRIVATE ${CMAKE_CURRENT_LIST_DIR}/IconArt.cpp)
