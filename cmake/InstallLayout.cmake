# Where an install puts the program.
#
# The executables, the three modules and the COM registry share one private
# folder (lib/mirofoto), laid out like the build tree's bin/: the program
# finds libimgctl.so and registry.ini beside itself, and the registry names
# the modules by their installed paths. The commands users type are symbolic
# links in bin/; the kernel resolves them, so the running program's folder is
# still the private one. No headers are installed: no public API is promised.
include(GNUInstallDirs)
set(MIROFOTO_INSTALL_PRIVATEDIR "${CMAKE_INSTALL_LIBDIR}/mirofoto" CACHE STRING
  "Folder, relative to the install prefix, of the program, its modules and its registry")

# mirofoto_install(target [COMMAND])
#   Installs an executable or module target into the private folder; COMMAND
#   also puts a symbolic link to it into bin/.
function(mirofoto_install target)
  cmake_parse_arguments(I "COMMAND" "" "" ${ARGN})
  install(TARGETS ${target}
    RUNTIME DESTINATION ${MIROFOTO_INSTALL_PRIVATEDIR}
    LIBRARY DESTINATION ${MIROFOTO_INSTALL_PRIVATEDIR})
  if(NOT I_COMMAND)
    return()
  endif()
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  # A relative link keeps working wherever the prefix (or a package's
  # staging folder) puts the tree.
  file(RELATIVE_PATH to "/${CMAKE_INSTALL_BINDIR}" "/${MIROFOTO_INSTALL_PRIVATEDIR}/${name}")
  set(link ${PROJECT_BINARY_DIR}/install-links/${name})
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/install-links)
  file(CREATE_LINK ${to} ${link} SYMBOLIC)
  install(FILES ${link} DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()
