# The report text and frames, the report output of a session, the link to a KISS server.
find_package(Qt6 REQUIRED COMPONENTS Test)
ternwick_test(test_aprs SOURCES test_aprs_report.cpp test_aprs_output.cpp test_aprs_pacing.cpp
  test_aprs_filter.cpp
  LIBS ternwick_aprs ternwick_session ternwick_traffic Qt6::Test Qt6::Network)
add_dependencies(test_aprs ternwick-replay ternwick_data)
