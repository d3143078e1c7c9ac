# Run by CPack on the staged package: strips the programs as Debian packages are stripped.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*")
foreach(program IN LISTS programs)
  execute_process(COMMAND "${CPACK_STRIP}" --strip-unneeded --remove-section=.comment
    --remove-section=.note "${program}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
