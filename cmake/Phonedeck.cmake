# Helpers shared by every folder's CMakeLists.txt.

# The version record every binary carries (read back by CBase_FileVersionInfo).
set(PD_VERSION_MAJOR ${PROJECT_VERSION_MAJOR})
set(PD_VERSION_MINOR ${PROJECT_VERSION_MINOR})
set(PD_VERSION_PATCH ${PROJECT_VERSION_PATCH})
set(PD_VERSION_BUILD ${PROJECT_VERSION_TWEAK})

# pd_shared_library(<name> <sources>...)
# A deliverable shared library lib<name>.so: hidden visibility, so only what
# its header marks for export leaves the library, and static code linked into
# it (the foundation, gtest) never merges with another library's copy.
function(pd_shared_library name)
  add_library(${name} SHARED ${ARGN})
  set_target_properties(${name} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(${name} PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined)
  pd_embed_version(${name})
endfunction()

# pd_embed_version(<target>): compiles the version record into the target.
function(pd_embed_version target)
  if(COMMAND pd_version_record_source)
    pd_version_record_source(${target})
  endif()
endfunction()

# pd_test(<name> SOURCES <files>... LIBS <libs>... [LABELS <labels>...])
# A GoogleTest program; its cases are discovered when ctest runs.
# Labels: unit (default, also run under the sanitizers), e2e, xvfb.
function(pd_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # Case names come from the tests' own name generators, never from the
  # printed parameter (which may be the bytes of an object).
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    NO_PRETTY_VALUES
    PROPERTIES LABELS "${T_LABELS}" TIMEOUT 300)
  if("unit" IN_LIST T_LABELS)
    pd_unit_tests_need(${name})
  endif()
endfunction()

# pd_xvfb_tests_under_openbox(<target> <gtest filter>): the target's tests
# that match the filter run once more with a window manager on their private
# X server (openbox, through PD_XVFB_WM; names end in ".openbox"): for the
# windows' focus and deactivation, which a window manager changes.
function(pd_xvfb_tests_under_openbox name filter)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    NO_PRETTY_VALUES
    TEST_FILTER "${filter}"
    TEST_SUFFIX ".openbox"
    PROPERTIES LABELS xvfb TIMEOUT 300 ENVIRONMENT "PD_XVFB_WM=openbox")
endfunction()

# pd_unit_tests_need(<target>...): the targets the unit-labelled tests run.
# The target `unit_test_programs` builds just them, for build folders that
# run only those tests (the sanitizer build).
function(pd_unit_tests_need)
  set_property(GLOBAL APPEND PROPERTY PD_UNIT_TEST_TARGETS ${ARGN})
endfunction()

# pd_benchmark(<name> SOURCES <files>... LIBS <libs>...)
function(pd_benchmark name)
  if(NOT PHONEDECK_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark Threads::Threads)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()
include(${CMAKE_CURRENT_LIST_DIR}/Subdirs.cmake)
