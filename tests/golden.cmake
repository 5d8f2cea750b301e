# Every output of ternwick-replay against files made by the program when they were last
# meant to change (tests/golden; TERNWICK_UPDATE_GOLDEN=1 makes them again).
ternwick_test(test_outputs_golden SOURCES test_outputs_golden.cpp LIBS Qt6::Gui)
add_dependencies(test_outputs_golden ternwick-replay ternwick_data)
