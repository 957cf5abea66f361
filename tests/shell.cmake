# The profile chooser and the settings window on the offscreen platform.
orm_add_test(profiles_ui_tests marbeck/profiles/tfrmprofile_test.cpp)
target_link_libraries(profiles_ui_tests PRIVATE orm_profiles_ui)

orm_add_test(shell_ui_tests marbeck/shell/tfrmsettings_test.cpp)
target_link_libraries(shell_ui_tests PRIVATE orm_settings_ui)

orm_add_test(mainwindow_tests marbeck/shell/tfrmmain_test.cpp)
target_link_libraries(mainwindow_tests PRIVATE orm_shell_ui)
add_dependencies(mainwindow_tests stage_data)

# The staged program started for real on an X server of its own.
add_test(NAME marbeck_real_start
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/marbeck/shell/realstart_test.sh ${ORM_STAGE_DIR})
set_tests_properties(marbeck_real_start PROPERTIES TIMEOUT 120)
