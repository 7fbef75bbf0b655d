# Run by CPack before it packs: the package is not made without the web runtime.
file(GLOB_RECURSE runtime "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.wasm")
list(FILTER runtime INCLUDE REGEX "/share/npklod32/web/klp\\.wasm$")
if(NOT runtime)
  message(FATAL_ERROR "no web runtime to package: run scripts/build-web.sh first")
endif()
