# The window, driven through its accessible names on the offscreen platform.
find_package(Qt6 REQUIRED COMPONENTS Test)
ternwick_test(test_window SOURCES test_window.cpp test_window_aprs.cpp test_window_live_map.cpp LIBS ternwick_gui ternwick_replay Qt6::Test)
add_dependencies(test_window ternwick_data)
add_test(NAME ternwick_help COMMAND ternwick --help)
set_tests_properties(ternwick_help PROPERTIES PASS_REGULAR_EXPRESSION "usage: ternwick \\[FILE \\[--pace SPEED\\]\\]")
ternwick_test(test_window_replay SOURCES test_window_replay.cpp LIBS ternwick_gui ternwick_replay ternwick_traffic Qt6::Test)
add_dependencies(test_window_replay ternwick_data)
