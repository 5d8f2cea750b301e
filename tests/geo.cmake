# Geometry on the Earth.
ternwick_test(test_geo SOURCES test_geo.cpp LIBS ternwick_geo)
