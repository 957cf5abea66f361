orm_add_test(redirect_tests shared/redirect_test.cpp)
orm_add_test(batchscript_tests shared/batchscript_test.cpp)
orm_add_test(conversion_tests marbeck/engine/conversion_test.cpp)
target_link_libraries(conversion_tests PRIVATE orm_engine)
target_compile_definitions(conversion_tests PRIVATE
  ORM_TEST_ENCODER="$<TARGET_FILE:orm_testencoder>")
add_dependencies(conversion_tests orm_testencoder stage_data)
