# A whole race of the real game binary, driven through the X server with
# xdotool: the camera replays a recording made by scripts/make-replay-recording.py
# and the project's score server answers on 127.0.0.1. Included by CMakeLists.txt
# of this folder, after the game_under_x library.
add_executable(race_e2e_tests ${CMAKE_CURRENT_LIST_DIR}/race_e2e_test.cpp)
target_compile_definitions(race_e2e_tests PRIVATE
    RECORDING_SCRIPT="${CMAKE_SOURCE_DIR}/scripts/make-replay-recording.py")
target_link_libraries(race_e2e_tests PRIVATE game_under_x local_score_server GTest::gtest_main)
add_dependencies(race_e2e_tests stompathon)
add_test(NAME race_e2e_tests COMMAND race_e2e_tests)
set_tests_properties(race_e2e_tests PROPERTIES LABELS "gl;e2e" RESOURCE_LOCK x_display TIMEOUT 150)
