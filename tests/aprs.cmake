ternwick_test(test_aprs SOURCES test_aprs_report.cpp test_aprs_port.cpp LIBS ternwick_aprs)
