# The profile chooser and the settings window on the offscreen platform.
orm_add_test(profiles_ui_tests marbeck/profiles/tfrmprofile_test.cpp)
target_link_libraries(profiles_ui_tests PRIVATE orm_profiles_ui)

orm_add_test(shell_ui_tests marbeck/shell/tfrmsettings_test.cpp)
target_link_libraries(shell_ui_tests PRIVATE orm_shell_ui)

orm_add_test(mainwindow_tests marbeck/shell/tfrmmain_test.cpp)
target_link_libraries(mainwindow_tests PRIVATE orm_shell_ui)
add_dependencies(mainwindow_tests stage_data)

# The staged program started for real on an X server of its own.
add_test(NAME marbeck_real_start
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/marbeck/shell/realstart_test.sh ${ORM_STAGE_DIR})
set_tests_properties(marbeck_real_start PROPERTIES TIMEOUT 120)

# Batches from the main window; ending one ends encoders by name, so run alone.
add_executable(mainwindow_batch_tests marbeck/shell/mainwindow_batch_test.cpp)
set_target_properties(mainwindow_batch_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
target_link_libraries(mainwindow_batch_tests PRIVATE orm_batch_test_setup orm_shell_ui GTest::gtest_main)
add_dependencies(mainwindow_batch_tests stage_data)
gtest_discover_tests(mainwindow_batch_tests PROPERTIES RUN_SERIAL TRUE)
orm_test_environment(mainwindow_batch_tests)
