# The profile chooser and the settings window on the offscreen platform.
orm_add_test(profiles_ui_tests marbeck/profiles/tfrmprofile_test.cpp)
target_link_libraries(profiles_ui_tests PRIVATE orm_profiles_ui)

orm_add_test(shell_ui_tests marbeck/shell/tfrmsettings_test.cpp)
target_link_libraries(shell_ui_tests PRIVATE orm_settings_ui)
