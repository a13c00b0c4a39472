# The dialog layer driven on the offscreen platform.
find_package(Qt6 REQUIRED COMPONENTS Test)
kinemo_add_test(kinemo_dialogs_test
    ${CMAKE_CURRENT_LIST_DIR}/dialog_services_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_signals_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_test_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_test_support.h
    ${CMAKE_CURRENT_LIST_DIR}/dialog_window_test.cpp)
target_link_libraries(kinemo_dialogs_test PRIVATE kinemo_dialogs Qt6::Test)
