# The main window driven by control id, with scripted message boxes and file
# dialogs.
find_package(Qt6 REQUIRED COMPONENTS Test)
kinemo_add_test(kinemo_main_dialog_test
    ${CMAKE_CURRENT_LIST_DIR}/main_dialog_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/platform/dialog_test_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_dialog_test_support.h
    ${CMAKE_CURRENT_LIST_DIR}/motor_panel_text_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/movement_list_editing_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/program_io_test.cpp)
target_link_libraries(kinemo_main_dialog_test PRIVATE kinemo_sequencer_ui Qt6::Test)
target_compile_definitions(kinemo_main_dialog_test PRIVATE
    KINEMO_EXPECTED_DIR="${CMAKE_CURRENT_LIST_DIR}/expected")
# The same windows on a screen of twice the pixel density.
add_test(NAME kinemo_main_dialog_fits_at_200_percent
    COMMAND kinemo_main_dialog_test --gtest_filter=*TextsFit*)
set_tests_properties(kinemo_main_dialog_fits_at_200_percent PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=2")

# Runs from the main window against the simulated box through the driver.
kinemo_add_test(kinemo_main_dialog_run_test
    ${CMAKE_CURRENT_LIST_DIR}/main_dialog_run_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/platform/dialog_test_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_dialog_test_support.h)
target_link_libraries(kinemo_main_dialog_run_test PRIVATE
    kinemo_sequencer_ui kinemo_interface_binding kinemo_simulator Qt6::Test)
