include(GoogleTest)

# pell_add_test(<name> SOURCES <files...> [LIBS <targets...>] [LABELS <label>])
# One test executable, registered case by case with CTest, with exactly one label: "core" for
# pure code, "threads" for threaded pure code (both also run under AddressSanitizer/UBSan, the
# latter under ThreadSanitizer too), "platform", "gui" or "integration" for the rest.
function(pell_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main Threads::Threads)
  if(NOT ARG_LABELS)
    set(ARG_LABELS core)
  endif()
  # pell_tests_<label> builds every test of one label, so a sanitizer build compiles only those.
  if(NOT TARGET pell_tests_${ARG_LABELS})
    add_custom_target(pell_tests_${ARG_LABELS})
  endif()
  add_dependencies(pell_tests_${ARG_LABELS} ${name})
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS "${ARG_LABELS}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    DISCOVERY_TIMEOUT 60)
endfunction()

# pell_add_benchmark(<name> SOURCES <files...> [LIBS <targets...>])
function(pell_add_benchmark name)
  if(NOT PELL_WITH_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark_main Threads::Threads)
endfunction()

# Adds every immediate sub-folder that has a CMakeLists.txt, in name order, so parallel work on
# sibling folders never edits a shared list.
function(pell_add_subdirectories)
  file(GLOB children LIST_DIRECTORIES true CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
