# Warnings and sanitizers shared by every target of the project.
add_library(project_options INTERFACE)
target_compile_options(project_options INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wno-unused-parameter>)

# Checked string and memory functions in optimized builds, as Debian builds
# its packages (the macro needs optimization, so Debug builds go without).
target_compile_options(project_options INTERFACE
  $<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2>)

if(MIROFOTO_SANITIZE)
  set(_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_compile_options(${_san})
  add_link_options(${_san})
endif()

# The registry of COM classes in the build tree: the modules register into it
# after each build, the program in bin/ finds it beside itself, and every test
# gets it through MIROFOTO_REGISTRY.
set(MIROFOTO_REGISTRY_FILE ${PROJECT_BINARY_DIR}/bin/registry.ini)

# mirofoto_add_gtest(name SOURCES ... LIBS ...): one test executable whose
# cases CTest lists one by one.
include(GoogleTest)
function(mirofoto_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main project_options)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "MIROFOTO_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data"
               ENVIRONMENT_MODIFICATION "MIROFOTO_REGISTRY=set:${MIROFOTO_REGISTRY_FILE}")
endfunction()
