# The skin file and picture loading without a display; the image button and the
# skinned windows on the offscreen platform.
find_package(Qt6 REQUIRED COMPONENTS Test)
orm_add_test(skins_tests marbeck/skins/skinres_test.cpp marbeck/skins/skinpicture_test.cpp)
target_link_libraries(skins_tests PRIVATE orm_skins)

orm_add_test(skins_ui_tests marbeck/skins/suibutton_test.cpp marbeck/skins/skinnedwindows_test.cpp)
target_link_libraries(skins_ui_tests PRIVATE orm_skins_ui orm_shell_ui Qt6::Test)
add_dependencies(skins_ui_tests skin_art)

# The chooser's tests run on the shipped skin.
add_dependencies(profiles_ui_tests skin_art)
