# The installation: install rules into a temporary root, the menu entry and
# metainfo validated, the installed Marbeck run from a folder it cannot write;
# and the Debian package checked by lintian. Each skips (77) when a tool is missing.
add_test(NAME packaging_installed
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/packaging/installed_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(packaging_installed PROPERTIES TIMEOUT 180 SKIP_RETURN_CODE 77)
add_test(NAME packaging_deb
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/packaging/deb_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(packaging_deb PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
