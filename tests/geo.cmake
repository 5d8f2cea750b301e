# Geometry on the Earth and the outline store.
ternwick_test(test_geo SOURCES test_geo.cpp test_coverage.cpp LIBS ternwick_geo)
ternwick_test(test_outlines SOURCES test_outlines.cpp LIBS ternwick_geo)
