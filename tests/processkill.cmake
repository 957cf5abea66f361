orm_add_test(processkill_tests shared/processkill_test.cpp)
target_link_libraries(processkill_tests PRIVATE orm_platform)

# A conversion job's lifetime: real programs killed in the middle of a job.
orm_add_test(joblifetime_tests shared/joblifetime_test.cpp)
target_compile_definitions(joblifetime_tests PRIVATE ORM_TEST_ENCODER="$<TARGET_FILE:orm_testencoder>")
add_dependencies(joblifetime_tests orm_testencoder)
