# Shared helpers of the build: one product library per folder, and the tests.

# dashrec_library(NAME [LIBS ...]): a static library of every .cpp/.c in the
# calling folder, so that a new source file needs no edit here. LIBS are
# outside libraries; the program's own libraries call each other freely and are
# linked as one group (dashrec_all).
function(dashrec_library name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  # A platform interface has one implementation per build: "x.device.cpp" is
  # the board's, the host's lives under host/.
  if(NOT DASHREC_PLATFORM STREQUAL "device")
    list(FILTER sources EXCLUDE REGEX "\\.device\\.(cpp|c)$")
  endif()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC ${ARG_LIBS} Threads::Threads)
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARG_LIBS} Threads::Threads)
  endif()
endfunction()



set(DASHREC_SANDBOX ${CMAKE_SOURCE_DIR}/host/sandbox/sandbox.py)

# What every test finds in its environment. The system's programs come first,
# as in the sandbox (python3 above all: a version manager's shim costs seconds
# a call); a sandboxed case has a network of its own, so the device's fixed
# ports are free to cases that run at once.
set(DASHREC_TEST_ENV env DASHREC_SOURCE_DIR=${CMAKE_SOURCE_DIR} DASHREC_BINARY_DIR=${CMAKE_BINARY_DIR}
  SDL_VIDEODRIVER=dummy "PATH=/usr/sbin:/usr/bin:/sbin:/bin:$ENV{PATH}" DASHREC_SANDBOX_NETWORK=own)

# dashrec_gtest(NAME SOURCES ... [LIBS ...] [SANDBOX] [REPLAY] [REALTIME]
#               [TIMEOUT s] [LOCK name] [FIXTURES_SETUP f]):
# a GoogleTest binary whose cases become CTest tests. With SANDBOX every case
# runs in a fresh sandbox of its own, so it may use the device's paths and
# ctest -j stays safe. Cases sharing a LOCK never run at the same time: the
# media tests take "engine", so that real-time encoding is not starved by its
# own kind.
function(dashrec_gtest name)
  cmake_parse_arguments(ARG "SANDBOX;REPLAY;REALTIME" "TIMEOUT;LOCK;FIXTURES_SETUP" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  dashrec_test_code(${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  # The launcher of every case (and of the listing of cases).
  set(launcher ${DASHREC_TEST_ENV})
  if(ARG_SANDBOX)
    list(APPEND launcher ${DASHREC_SANDBOX})
  endif()
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${launcher}")
  # A failed assertion of the program ends it with status 0, as on the board:
  # a case passes only when GoogleTest itself says so, and no sanitizer
  # reported (a race report does not end the program).
  set(properties TIMEOUT ${ARG_TIMEOUT}
    PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 1 test"
    FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]|ERROR: [A-Za-z]+Sanitizer|WARNING: ThreadSanitizer|runtime error:")
  if(ARG_LOCK)
    list(APPEND properties RESOURCE_LOCK ${ARG_LOCK})
  endif()
  # Cases that run cameras and encoders in real time: the one kind a loaded
  # machine may make miss its mark (host/scripts/test.sh retries them). Those
  # that encode, mux or decode much at once also take the "engine" lock, so
  # that two of them never starve each other; the rest mostly wait on timers.
  if(ARG_LOCK STREQUAL "engine")
    set(ARG_REALTIME TRUE)
  endif()
  if(ARG_REALTIME)
    list(APPEND properties LABELS realtime)
    set(ARG_REPLAY TRUE)
  endif()
  # Cases whose encoders replay pre-encoded loops: the loops are made before
  # the first of them starts, so none starts its cameras late by making one.
  if(ARG_REPLAY)
    list(APPEND properties FIXTURES_REQUIRED replay_loops)
  endif()
  if(ARG_FIXTURES_SETUP)
    list(APPEND properties FIXTURES_SETUP ${ARG_FIXTURES_SETUP})
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ${properties})
endfunction()

# The tests' own code is built without optimisation: it is most of what the
# build compiles and none of what it measures, so a two-core machine builds
# the suite in far less time. What it tests, the product's libraries, is
# built as usual.
function(dashrec_test_code target)
  target_compile_options(${target} PRIVATE -O0)
endfunction()

# dashrec_test_library(NAME SOURCES ... [LIBS ...]): helpers shared by several
# test programs, compiled once; their folder is on the users' include path.
function(dashrec_test_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS} GTest::gtest)
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  dashrec_test_code(${name})
endfunction()

# dashrec_script_test(NAME COMMAND ... [SANDBOX] [TIMEOUT s]): a test run as a command.
function(dashrec_script_test name)
  cmake_parse_arguments(ARG "SANDBOX" "TIMEOUT" "COMMAND" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set(cmd ${DASHREC_TEST_ENV})
  if(ARG_SANDBOX)
    list(APPEND cmd ${DASHREC_SANDBOX})
  endif()
  add_test(NAME ${name} COMMAND ${cmd} ${ARG_COMMAND} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
endfunction()

# Adds every CMakeLists.txt one level below the calling folder.
function(dashrec_add_children)
  file(GLOB children LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(child ${children})
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
