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
# DASHREC_EMULATOR is what runs the build's own programs (empty unless the
# build is for another architecture): a test that starts one puts it first.
string(JOIN " " emulator ${CMAKE_CROSSCOMPILING_EMULATOR})
set(DASHREC_TEST_ENV env DASHREC_SOURCE_DIR=${CMAKE_SOURCE_DIR} DASHREC_BINARY_DIR=${CMAKE_BINARY_DIR}
  SDL_VIDEODRIVER=dummy "PATH=/usr/sbin:/usr/bin:/sbin:/bin:$ENV{PATH}" DASHREC_SANDBOX_NETWORK=own
  "DASHREC_EMULATOR=${emulator}")
if(DASHREC_TSAN)
  # GLib's slice allocator hands a freed block to another thread without the
  # C library, so the thread sanitizer would take a GstBuffer made anew for a
  # racing use of the one freed before it.
  list(APPEND DASHREC_TEST_ENV G_SLICE=always-malloc)
endif()

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
  dashrec_test_timeout(ARG_TIMEOUT)
  # The launcher of every case (and of the listing of cases).
  set(launcher ${DASHREC_TEST_ENV})
  if(ARG_SANDBOX)
    list(APPEND launcher ${DASHREC_SANDBOX})
  endif()
  list(APPEND launcher ${CMAKE_CROSSCOMPILING_EMULATOR})
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${launcher}")
  # A failed assertion of the program ends it with status 0, as on the board:
  # a case passes only when GoogleTest itself says so, and no sanitizer
  # reported (a race report does not end the program).
  # One label a case (the discovered cases' properties take no list): its
  # suite, or "realtime" or "replay" below.
  dashrec_test_suite(label)
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
    set(label realtime)
    set(ARG_REPLAY TRUE)
  endif()
  # Cases whose encoders replay pre-encoded loops: the loops are made before
  # the first of them starts, so none starts its cameras late by making one.
  # Making them is real-time work of its own on a loaded machine.
  if(ARG_FIXTURES_SETUP)
    list(APPEND properties FIXTURES_SETUP ${ARG_FIXTURES_SETUP})
    set(label realtime)
  elseif(ARG_REPLAY)
    list(APPEND properties FIXTURES_REQUIRED replay_loops)
    if(NOT ARG_REALTIME)
      set(label replay)
    endif()
  endif()
  list(APPEND properties LABELS ${label})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ${properties})
endfunction()

# The suite a test belongs to, by its folder under tests/: a label, so that
# a run can pick whole suites (host/scripts/test-armhf.sh).
function(dashrec_test_suite out)
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(${out} suite:${folder} PARENT_SCOPE)
endfunction()

# A build for another architecture runs its tests in an emulator, several
# times slower than the PC: its time limits are five times as long.
function(dashrec_test_timeout variable)
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    math(EXPR longer "${${variable}} * 5")
    set(${variable} ${longer} PARENT_SCOPE)
  endif()
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
  dashrec_test_timeout(ARG_TIMEOUT)
  set(cmd ${DASHREC_TEST_ENV})
  if(ARG_SANDBOX)
    list(APPEND cmd ${DASHREC_SANDBOX})
  endif()
  add_test(NAME ${name} COMMAND ${cmd} ${ARG_COMMAND} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  dashrec_test_suite(suite)
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS ${suite})
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

# Fuzz targets are built by clang with libFuzzer, beside whatever compiler
# builds the tree; without it, in a build for another architecture, or in a
# ThreadSanitizer build (whose libraries cannot be linked with ASan), there
# are none.
find_program(DASHREC_CLANGXX NAMES clang++ clang++-14)
if(DASHREC_CLANGXX AND NOT CMAKE_CROSSCOMPILING AND NOT DASHREC_TSAN)
  execute_process(COMMAND ${DASHREC_CLANGXX} -print-file-name=libclang_rt.fuzzer-x86_64.a
    OUTPUT_VARIABLE DASHREC_FUZZER_RUNTIME OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
if(DASHREC_CLANGXX AND EXISTS "${DASHREC_FUZZER_RUNTIME}")
  set(DASHREC_FUZZ TRUE)
else()
  set(DASHREC_FUZZ FALSE)
  message(STATUS "no clang++ with libFuzzer for this build: the fuzz targets are not built")
endif()

# dashrec_fuzz(NAME SOURCES ... [LIBS ...] [SEEDS ...] [DICT file] [MAX_LEN n]
#              [SECONDS s] [SANDBOX]):
# a libFuzzer target and the test that runs it for SECONDS (5 by default).
# SOURCES (from the tree's root: the harness and the parser it drives) are
# compiled by clang with coverage, ASan and UBSan; the rest of the program
# comes from LIBS, built as usual. SEEDS are files or folders of inputs the
# run starts from; crash inputs kept there are replayed by every run.
function(dashrec_fuzz name)
  if(NOT DASHREC_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "SANDBOX" "DICT;MAX_LEN;SECONDS" "SOURCES;LIBS;SEEDS" ${ARGN})
  set(includes "$<TARGET_PROPERTY:${name},INCLUDE_DIRECTORIES>")
  set(definitions "$<TARGET_PROPERTY:${name},COMPILE_DEFINITIONS>")
  set(flags -std=c++17 -g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined
    -fno-sanitize-recover=undefined)
  set(objects "")
  foreach(source ${ARG_SOURCES})
    string(MAKE_C_IDENTIFIER ${source} stem)
    set(object ${CMAKE_CURRENT_BINARY_DIR}/${name}.dir/${stem}.o)
    add_custom_command(OUTPUT ${object}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/${name}.dir
      COMMAND ${CMAKE_CXX_COMPILER_LAUNCHER} ${DASHREC_CLANGXX} ${flags}
        "$<$<BOOL:${includes}>:-I$<JOIN:${includes},;-I>>" "$<$<BOOL:${definitions}>:-D$<JOIN:${definitions},;-D>>"
        -MD -MF ${object}.d -c ${CMAKE_SOURCE_DIR}/${source} -o ${object}
      DEPENDS ${CMAKE_SOURCE_DIR}/${source} DEPFILE ${object}.d
      COMMAND_EXPAND_LISTS VERBATIM
      COMMENT "clang++ (fuzzing) ${source}")
    list(APPEND objects ${object})
  endforeach()
  add_executable(${name} ${objects})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES LINKER_LANGUAGE CXX
    CXX_LINKER_LAUNCHER "${CMAKE_SOURCE_DIR}/cmake/fuzz-link.sh;${DASHREC_CLANGXX}")
  if(NOT ARG_SECONDS)
    set(ARG_SECONDS 5)
  endif()
  if(NOT ARG_MAX_LEN)
    set(ARG_MAX_LEN 4096)
  endif()
  set(flags -max_len=${ARG_MAX_LEN})
  if(ARG_DICT)
    list(APPEND flags -dict=${ARG_DICT})
  endif()
  set(options)
  if(ARG_SANDBOX)
    set(options SANDBOX)
  endif()
  dashrec_script_test(${name} ${options} TIMEOUT 300
    COMMAND ${CMAKE_SOURCE_DIR}/tests/fuzz/run_fuzz.sh $<TARGET_FILE:${name}> ${ARG_SECONDS} ${flags} ${ARG_SEEDS})
endfunction()
