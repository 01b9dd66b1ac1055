# Shared build settings for every target of ours (not for third-party code).
function(zarq_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    # -Wformat-nonliteral: a printf-style call whose format the compiler
    # cannot see is refused (ZARQ_PRINTF_LIKE, core/formatcheck.h).
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-unused-parameter
      -Wno-missing-field-initializers -Wno-cast-function-type -Wformat-nonliteral)
  endif()
  if(ZARQ_SANITIZE AND NOT WIN32)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
      -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# GoogleTest from the distribution's sources, built with our toolchain.
macro(zarq_use_gtest)
  if(NOT TARGET gtest)
    set(ZARQ_GTEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${ZARQ_GTEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    if(ZARQ_SANITIZE AND NOT WIN32)
      foreach(t gtest gtest_main)
        target_compile_options(${t} PRIVATE -fsanitize=address,undefined)
      endforeach()
    endif()
  endif()
endmacro()

# A test executable run by ctest (through the Wine wrapper for Windows builds).
function(zarq_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LOCKS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  zarq_warnings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  # Windows of the program's tests share one display, and some tests read a
  # window off the screen: a test that shows windows (label ui, or LOCKS
  # display) never runs beside another, so none lies over what is being read.
  if("ui" IN_LIST T_LABELS AND NOT "display" IN_LIST T_LOCKS)
    list(APPEND T_LOCKS display)
  endif()
  if(T_LOCKS)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_LOCKS}")
    # The tests that share the service manager run one after another and make
    # the longest chain of a parallel run: start them first.
    if("scm" IN_LIST T_LOCKS)
      set_tests_properties(${name} PROPERTIES COST 100)
    endif()
  endif()
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
