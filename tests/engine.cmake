orm_add_test(redirect_tests shared/redirect_test.cpp)
orm_add_test(batchscript_tests shared/batchscript_test.cpp)
