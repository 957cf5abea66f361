# The source list: probing and its rules without a window, then the list view
# and the file information window on the offscreen platform.
add_library(orm_sources_test_clips STATIC marbeck/sources/sourceclips.cpp)
target_link_libraries(orm_sources_test_clips PUBLIC orm_test_support)
add_dependencies(orm_sources_test_clips stage_data)

orm_add_test(sources_tests marbeck/sources/probing_test.cpp marbeck/sources/sourcelist_test.cpp)
target_link_libraries(sources_tests PRIVATE orm_sources orm_sources_test_clips)

orm_add_test(sources_ui_tests
  marbeck/sources/listviewfiles_test.cpp marbeck/sources/fileinfo_test.cpp)
target_link_libraries(sources_ui_tests PRIVATE orm_sources_ui orm_sources_test_clips)

# Stand-ins for the MediaInfo module: one complete, one without its delete call.
add_library(orm_fake_mediainfo MODULE marbeck/sources/fakemediainfo.cpp)
add_library(orm_fake_mediainfo_nodelete MODULE marbeck/sources/fakemediainfo.cpp)
target_compile_definitions(orm_fake_mediainfo_nodelete PRIVATE FAKE_WITHOUT_DELETE)
set_target_properties(orm_fake_mediainfo orm_fake_mediainfo_nodelete PROPERTIES
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
add_dependencies(sources_tests orm_fake_mediainfo orm_fake_mediainfo_nodelete)
target_compile_definitions(sources_tests PRIVATE
  ORM_FAKE_MEDIAINFO="$<TARGET_FILE:orm_fake_mediainfo>"
  ORM_FAKE_MEDIAINFO_NODELETE="$<TARGET_FILE:orm_fake_mediainfo_nodelete>")
