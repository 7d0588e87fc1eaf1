include(GoogleTest)

# qbk_add_test(<name> SOURCES <files...> [LIBS <targets...>] [RESOURCE_LOCK <lock>]
#              [PROGRAMS <DEFINE> <target>...] [NEEDS <targets...>])
# One GoogleTest program per area; every test case becomes its own CTest
# entry (discovered when the tests run, so sanitizer builds need no extra
# run at build time). Tests that touch state shared by the whole machine
# (outside any system root) name a RESOURCE_LOCK so that CTest never runs
# two of them at once. PROGRAMS and NEEDS as for qbk_test_programs.
function(qbk_add_test name)
  cmake_parse_arguments(ARG "" "RESOURCE_LOCK" "SOURCES;LIBS;PROGRAMS;NEEDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  qbk_test_programs(${name} PROGRAMS ${ARG_PROGRAMS} NEEDS ${ARG_NEEDS})
  set(properties TIMEOUT 300)
  if(ARG_RESOURCE_LOCK)
    list(APPEND properties RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    NO_PRETTY_VALUES
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${properties})
endfunction()

# qbk_test_programs(<target> [PROGRAMS <DEFINE> <program>...] [NEEDS <targets...>])
# For tests and benchmarks that start our programs or load our libraries:
# each PROGRAMS pair's program is built before `target`, which knows its
# path as the compile definition DEFINE="path". NEEDS names what is only to
# be built first (found by name in the build's bin/, or generated files).
function(qbk_test_programs target)
  cmake_parse_arguments(ARG "" "" "PROGRAMS;NEEDS" ${ARGN})
  list(LENGTH ARG_PROGRAMS count)
  math(EXPR odd "${count} % 2")
  if(odd)
    message(FATAL_ERROR "${target}: PROGRAMS takes pairs of <DEFINE> <target>, got: ${ARG_PROGRAMS}")
  endif()
  set(pairs ${ARG_PROGRAMS})
  while(pairs)
    list(POP_FRONT pairs define program)
    add_dependencies(${target} ${program})
    target_compile_definitions(${target} PRIVATE ${define}="$<TARGET_FILE:${program}>")
  endwhile()
  if(ARG_NEEDS)
    add_dependencies(${target} ${ARG_NEEDS})
  endif()
endfunction()

# The PROGRAMS of tests that install a scanner into their system root: the
# installer and the emulated scanner.
set(QBK_INSTALLED_SCANNER QBK_DEVINSTALL devinstall QBK_EMULATOR qbk-scanner-emu)

# qbk_copied_test_programs(<targets...>): test programs that tests copy
# into other folders (a system root, as the name the test needs). They are
# never installed, so they keep the run path to the build's bin/ that the
# build gives them, which holds wherever the copy lies.
function(qbk_copied_test_programs)
  set_target_properties(${ARGN} PROPERTIES BUILD_WITH_INSTALL_RPATH OFF INSTALL_RPATH "")
endfunction()

# qbk_add_benchmark(<name> SOURCES <files...> [LIBS <targets...>]
#                   [PROGRAMS <DEFINE> <target>...] [NEEDS <targets...>])
function(qbk_add_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROGRAMS;NEEDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main Threads::Threads)
  qbk_test_programs(${name} PROGRAMS ${ARG_PROGRAMS} NEEDS ${ARG_NEEDS})
endfunction()

# qbk_add_fuzzer(<name> SOURCES <files...> [LIBS <targets...>])
# libFuzzer targets exist only in a clang build configured with QBK_FUZZ=ON.
# Such a build instruments every library for coverage and the sanitizers:
# the code a fuzz target exercises lives in the libraries, and libFuzzer
# would otherwise see only the target's own file. The same build serves the
# sanitizer tests: the coverage hooks are empty outside a fuzz target.
#
# Each target's seeds are the files in corpus/<name>/ beside its source.
# Its smoke run is a CTest entry labelled "fuzz" (`ctest -L fuzz`): the
# target fuzzes for QBK_FUZZ_SECONDS from the seeds and whatever it learnt
# in earlier runs (<build>/fuzz/<name>/corpus); any crash, leak, hang or
# sanitizer report fails the entry and leaves the input in <build>/fuzz/<name>/.
set(QBK_FUZZ_SECONDS 30 CACHE STRING "Seconds each fuzz target runs in its smoke test")

if(QBK_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

function(qbk_add_fuzzer name)
  if(NOT QBK_FUZZ OR NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})

  set(seeds ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name})
  if(NOT IS_DIRECTORY ${seeds})
    message(FATAL_ERROR "${name}: no seed corpus in ${seeds}")
  endif()
  set(work ${PROJECT_BINARY_DIR}/fuzz/${name})
  file(MAKE_DIRECTORY ${work}/corpus)
  # New inputs go to the first folder, so the seeds in the tree stay as
  # they are.
  add_test(NAME fuzz.${name}
    COMMAND ${name} -max_total_time=${QBK_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=2048
            -print_final_stats=1 -artifact_prefix=${work}/ ${work}/corpus ${seeds}
    WORKING_DIRECTORY ${work})
  math(EXPR limit "${QBK_FUZZ_SECONDS} + 120")
  set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz TIMEOUT ${limit})
endfunction()
