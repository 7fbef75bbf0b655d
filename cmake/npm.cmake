# The web runtime as an npm package, laid out for `npm pack` in KLP_NPM_OUTPUT_DIR: klp.js and
# klp.wasm, the module entry with its types, the README, and package.json with the version.
set(KLP_NPM_OUTPUT_DIR "${CMAKE_BINARY_DIR}/npm" CACHE PATH "Where the web build lays out the npm package")
set(npm_src ${PROJECT_SOURCE_DIR}/packaging/npm)
configure_file(${npm_src}/package.json.in ${KLP_NPM_OUTPUT_DIR}/package.json @ONLY)
set(npm_files)
foreach(name klp.mjs wasm_url.mjs klp.d.ts README.md)
  add_custom_command(OUTPUT ${KLP_NPM_OUTPUT_DIR}/${name}
    COMMAND ${CMAKE_COMMAND} -E copy ${npm_src}/${name} ${KLP_NPM_OUTPUT_DIR}/${name}
    DEPENDS ${npm_src}/${name})
  list(APPEND npm_files ${KLP_NPM_OUTPUT_DIR}/${name})
endforeach()
add_custom_command(OUTPUT ${KLP_NPM_OUTPUT_DIR}/klp.js ${KLP_NPM_OUTPUT_DIR}/klp.wasm
  COMMAND ${CMAKE_COMMAND} -E copy ${KLP_WEB_OUTPUT_DIR}/klp.js ${KLP_WEB_OUTPUT_DIR}/klp.wasm
          ${KLP_NPM_OUTPUT_DIR}
  DEPENDS klp_web $<TARGET_FILE:klp_web>)
add_custom_target(npm_package ALL DEPENDS ${npm_files} ${KLP_NPM_OUTPUT_DIR}/klp.js)
