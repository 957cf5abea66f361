# Console parser and progress arithmetic of both programs.
orm_add_test(engine_logic_tests shared/consoleparser_test.cpp shared/progressmodel_test.cpp)
target_compile_definitions(engine_logic_tests PRIVATE
  ORM_BENCH_DATA_DIR="${PROJECT_SOURCE_DIR}/bench/data")
