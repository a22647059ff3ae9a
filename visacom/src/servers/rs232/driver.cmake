# The RS-232 driver: visa_driver with the serial attributes and buffers.
add_library(visacom_rs232_driver STATIC
    ${CMAKE_CURRENT_LIST_DIR}/mvrs232_driver.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mvrs232_driver.h)
target_include_directories(visacom_rs232_driver PUBLIC ${CMAKE_SOURCE_DIR}/visacom/src)
target_link_libraries(visacom_rs232_driver PUBLIC visacom_driver)
