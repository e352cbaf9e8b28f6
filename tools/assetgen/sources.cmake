# The icon artwork is shared with platform/win32 (the Linux window icon).
target_sources(assetgen PRIVATE ${CMAKE_CURRENT_LIST_DIR}/IconArt.cpp)
