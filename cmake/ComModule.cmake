# In-process COM modules (libkelpo.so, libtagora.so).
#
# mirofoto_com_module(target [NO_REGISTER])
#   Makes a SHARED library target a COM module: only the exports marked
#   MIROFOTO_COM_EXPORT (DllGetClassObject and its three siblings) are
#   visible, the runtime and every other static library stay hidden inside,
#   and after each build regsvr registers the module into the build tree's
#   registry (MIROFOTO_REGISTRY_FILE), which the tests and the program in
#   build/bin use, so no manual step is needed; <target>_registered is the
#   target for hosts to depend on. NO_REGISTER leaves the registration to the
#   caller (modules that tests register themselves).

function(mirofoto_com_module target)
  cmake_parse_arguments(M "NO_REGISTER" "" "" ${ARGN})
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    PREFIX "lib")
  target_link_libraries(${target} PRIVATE platform_com)
  # The version script also keeps local what headers mark for export
  # (template statics of the standard library).
  target_link_options(${target} PRIVATE
    LINKER:--exclude-libs,ALL
    LINKER:--version-script=${PROJECT_SOURCE_DIR}/cmake/com_module.map)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/com_module.map)
  if(M_NO_REGISTER)
    return()
  endif()
  add_dependencies(${target} regsvr)
  set(register ${CMAKE_COMMAND} -E env MIROFOTO_REGISTRY=${MIROFOTO_REGISTRY_FILE}
               $<TARGET_FILE:regsvr> -s $<TARGET_FILE:${target}>)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${register}
    COMMENT "Registering ${target} in ${MIROFOTO_REGISTRY_FILE}"
    VERBATIM)
  # What a host that creates the module's objects depends on: built, and
  # registered again on every build, so that a registry removed or
  # rewritten since the module was linked is put right.
  add_custom_target(${target}_registered
    COMMAND ${register}
    COMMENT "Checking the registration of ${target}"
    VERBATIM)
  add_dependencies(${target}_registered ${target} regsvr)
endfunction()
