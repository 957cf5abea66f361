orm_add_test(cordane_tests cordane/handoff_test.cpp)
target_link_libraries(cordane_tests PRIVATE orm_cordane)

orm_add_test(cordane_run_tests cordane/cordane_run_test.cpp)
target_link_libraries(cordane_run_tests PRIVATE orm_cordane)
target_compile_definitions(cordane_run_tests PRIVATE ORM_TEST_ENCODER="$<TARGET_FILE:orm_testencoder>")
add_dependencies(cordane_run_tests Cordane lanthorn-stub stage_data orm_testencoder)

# The window stopped in the middle of a run, every way out of it.
add_executable(cordane_stop_tests cordane/cordane_stop_test.cpp)
set_target_properties(cordane_stop_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
target_link_libraries(cordane_stop_tests PRIVATE orm_test_support orm_cordane_ui GTest::gtest_main)
target_compile_definitions(cordane_stop_tests PRIVATE ORM_TEST_ENCODER="$<TARGET_FILE:orm_testencoder>")
add_dependencies(cordane_stop_tests orm_testencoder)
gtest_discover_tests(cordane_stop_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
