ternwick_test(test_display SOURCES test_display_surface.cpp test_display_catalogue.cpp test_display_list.cpp
  LIBS ternwick_display)
ternwick_test(test_replay_display SOURCES test_replay_display.cpp LIBS ternwick_decode Qt6::Gui)
add_dependencies(test_replay_display ternwick-replay)
