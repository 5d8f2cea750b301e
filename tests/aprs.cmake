ternwick_test(test_aprs SOURCES test_aprs_report.cpp LIBS ternwick_aprs)
