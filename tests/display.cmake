ternwick_test(test_display SOURCES test_display_surface.cpp test_display_catalogue.cpp test_display_list.cpp
  LIBS ternwick_display)
ternwick_test(test_live_map SOURCES test_live_map.cpp LIBS ternwick_display)
# Circles and track lines against the painter calls they stand for, pixel for pixel.
ternwick_test(test_display_drawing SOURCES test_display_drawing.cpp LIBS ternwick_display)
