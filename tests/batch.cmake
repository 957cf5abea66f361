# The batch driver: its rules without a window, the progress and countdown
# windows, and whole batches with the real encoder and the test encoder.
orm_add_test(batch_tests marbeck/engine/batchlogic_test.cpp)
target_link_libraries(batch_tests PRIVATE orm_batch)

orm_add_test(batch_ui_tests marbeck/engine/tfrmprogress_test.cpp marbeck/shell/shutdown_test.cpp)
target_link_libraries(batch_ui_tests PRIVATE orm_batch_ui)

add_library(orm_batch_test_setup STATIC marbeck/engine/batchsetup.cpp)
target_link_libraries(orm_batch_test_setup PUBLIC orm_test_support orm_batch_ui)
target_compile_definitions(orm_batch_test_setup PRIVATE
  ORM_TEST_ENCODER="$<TARGET_FILE:orm_testencoder>")
add_dependencies(orm_batch_test_setup orm_testencoder stage_data)

orm_add_test(batch_run_tests marbeck/engine/batch_run_test.cpp marbeck/engine/batch_verify_test.cpp)
target_link_libraries(batch_run_tests PRIVATE orm_batch_test_setup)

# Stopping ends every encoder of the user by name: run alone, so that no other
# test's encoder is in reach.
add_executable(batch_stop_tests marbeck/engine/batch_stop_test.cpp)
set_target_properties(batch_stop_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
target_link_libraries(batch_stop_tests PRIVATE orm_batch_test_setup GTest::gtest_main)
gtest_discover_tests(batch_stop_tests PROPERTIES RUN_SERIAL TRUE)
orm_test_environment(batch_stop_tests)
