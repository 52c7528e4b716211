# GoogleTest is built for the target from the sources the machine's package
# installs; every test program runs under Wine through the emulator wrapper.
set(GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "googletest sources")
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# The googletest sources carry no Cyrillic; keep their literals as written.
foreach(t gtest gtest_main gmock gmock_main)
  if(TARGET ${t})
    target_compile_options(${t} PRIVATE -w)
  endif()
endforeach()

set(X2Z_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix of the tests")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # The 32-bit build runs the test programs that need no window, under Wine's
  # 32-bit loader; they read the fixtures the 64-bit build wrote.
  set(X2Z_WORD32 ON)
  set(X2Z_FIXTURES_BUILD "${CMAKE_SOURCE_DIR}/build" CACHE PATH "64-bit build holding the test fixtures")
  set(x2z_runner_template ${CMAKE_SOURCE_DIR}/scripts/wine32-run.sh.in)
else()
  set(X2Z_WORD32 OFF)
  set(X2Z_FIXTURES_BUILD "${CMAKE_BINARY_DIR}")
  set(x2z_runner_template ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh.in)
endif()
configure_file(${x2z_runner_template} ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

# x2z_add_test(name [WORD32] SOURCES ... LIBS ...): one test program, one
# CTest entry. WORD32 programs are also built and run by the 32-bit build.
function(x2z_add_test name)
  cmake_parse_arguments(T "WORD32" "" "SOURCES;LIBS" ${ARGN})
  if(X2Z_WORD32 AND NOT T_WORD32)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} x2z_testsupport gmock gtest)
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "X2Z_SOURCE_DIR=${CMAKE_SOURCE_DIR};X2Z_BINARY_DIR=${X2Z_FIXTURES_BUILD}"
    TIMEOUT 900)
endfunction()
