find_package(Qt6 REQUIRED COMPONENTS Test)
# The network source against a receiver on 127.0.0.1.
ternwick_test(test_network_source SOURCES test_network_source.cpp LIBS ternwick_io ternwick_replay ternwick_traffic Qt6::Network Qt6::Test)
