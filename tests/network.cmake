# The network source against a receiver on 127.0.0.1.
ternwick_test(test_network_source SOURCES test_network_source.cpp LIBS ternwick_io ternwick_replay Qt6::Network)
ternwick_test(test_replay_network SOURCES test_replay_network.cpp LIBS ternwick_common Qt6::Network)
add_dependencies(test_replay_network ternwick-replay)
