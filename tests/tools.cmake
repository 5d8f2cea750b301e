# The data-making tools and the data they made.
ternwick_test(test_traffic SOURCES test_traffic.cpp LIBS ternwick_traffic ternwick_decode)

ternwick_test(test_shipped_data SOURCES test_shipped_data.cpp
  LIBS ternwick_display ternwick_mapgen ternwick_traffic ternwick_decode ternwick_framing Qt6::Gui)

# The commands fail with a message naming what is wrong.
add_test(NAME mapgen_missing_catalogue
  COMMAND ternwick-mapgen --setup ${CMAKE_CURRENT_BINARY_DIR}/no-such-setup.txt --land x --countries y)
set_tests_properties(mapgen_missing_catalogue PROPERTIES
  ENVIRONMENT QT_QPA_PLATFORM=offscreen
  PASS_REGULAR_EXPRESSION "cannot read map catalogue .*no-such-setup.txt")
add_test(NAME traffic_bad_centre COMMAND ternwick-traffic --centre 95,10)
set_tests_properties(traffic_bad_centre PROPERTIES
  PASS_REGULAR_EXPRESSION "--centre '95,10': latitude must lie within 89 degrees")
add_test(NAME traffic_unwritable_output
  COMMAND ternwick-traffic --centre 10,124 --duration 5 --out ${CMAKE_CURRENT_BINARY_DIR}/no/such/dir/t.log)
set_tests_properties(traffic_unwritable_output PROPERTIES
  PASS_REGULAR_EXPRESSION "cannot write .*no/such/dir/t.log: No such file or directory")

# Adding a map of one's own area from the shipped outlines.
ternwick_test(test_mapgen_add SOURCES test_mapgen_add.cpp LIBS ternwick_mapgen Qt6::Gui)
