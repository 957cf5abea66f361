orm_add_test(redirect_tests shared/redirect_test.cpp)
