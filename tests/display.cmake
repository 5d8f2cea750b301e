ternwick_test(test_display SOURCES test_display_surface.cpp test_display_catalogue.cpp test_display_list.cpp
  LIBS ternwick_display)
ternwick_test(test_live_map SOURCES test_live_map.cpp LIBS ternwick_display)
