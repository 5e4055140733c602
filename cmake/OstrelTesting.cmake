find_package(GTest REQUIRED)
include(GoogleTest)

# ostrel_add_test(NAME [QT] [LOCK resource] SOURCES a.cpp ... [LIBRARIES lib ...] [LABELS label ...])
#
# Adds one GoogleTest executable and registers each of its tests with CTest.
# Every test runs with HOME and the XDG folders pointed at a fresh temporary
# folder (see tests/support/TestMain.cpp), so nothing touches the real home.
# Tests of the Kit carry the label "kit"; slow end-to-end ones add "slow".
# Tests that share a LOCK resource (a bus name, a secret-store item) never run at once.
# QT tests run on the GUI thread of an off-screen application (tests/support/QtTestMain.cpp).
function(ostrel_add_test name)
    cmake_parse_arguments(T "QT" "LOCK" "SOURCES;LIBRARIES;LABELS" ${ARGN})
    if(T_QT)
        list(APPEND T_SOURCES ${PROJECT_SOURCE_DIR}/tests/support/QtTestMain.cpp)
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ostrel_test_support ostrel_warnings ${T_LIBRARIES})
    set(lock "")
    if(T_LOCK)
        set(lock RESOURCE_LOCK ${T_LOCK})
    endif()
    gtest_discover_tests(${name}
        PROPERTIES LABELS "${T_LABELS}" TIMEOUT 300 ${lock}
        DISCOVERY_TIMEOUT 60)
endfunction()
