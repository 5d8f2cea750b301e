find_package(Qt6 REQUIRED COMPONENTS Test)
# The decoder tests build their messages with the traffic generator (test_support.h).
ternwick_test(test_frame_bytes SOURCES test_frame_bytes.cpp LIBS ternwick_decode ternwick_traffic)
ternwick_test(test_flight_table SOURCES test_flight_table.cpp LIBS ternwick_flights)
ternwick_test(test_airlines SOURCES test_airlines.cpp LIBS ternwick_airlines)
ternwick_test(test_cpr SOURCES test_cpr.cpp test_position_plausibility.cpp test_receiver_decoding.cpp LIBS ternwick_decode ternwick_traffic)
ternwick_test(test_tracker SOURCES test_tracker.cpp test_replies.cpp LIBS ternwick_decode ternwick_replay ternwick_traffic)
# ternwick-replay with files, the map and the live list, and a receiver on 127.0.0.1.
ternwick_test(test_replay_cli SOURCES test_replay_cli.cpp LIBS ternwick_traffic Qt6::Gui Qt6::Network Qt6::Test)
add_dependencies(test_replay_cli ternwick-replay)
ternwick_test(test_framing SOURCES test_framing.cpp LIBS ternwick_framing ternwick_traffic)
# Recordings with time stamps, the session's clock following them.
ternwick_test(test_recording SOURCES test_recording.cpp test_session.cpp LIBS ternwick_session ternwick_traffic)
ternwick_test(test_message_log SOURCES test_message_log.cpp LIBS ternwick_io)
