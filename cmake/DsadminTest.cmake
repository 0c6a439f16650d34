# dsadmin_add_test(<name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>]
#                  [TIMEOUT <seconds>])
#
# One GoogleTest executable in build/bin, its cases registered with ctest one by one
# at test time. Tests link the library targets; they never recompile sources.
find_package(GTest REQUIRED)
include(GoogleTest)

function(dsadmin_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  # An empty LABELS value would vanish from the list and turn TIMEOUT into a label.
  set(properties TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    list(APPEND properties LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    PROPERTIES ${properties})
endfunction()
